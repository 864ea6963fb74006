// The install and uninstall sequences and KVT_Dummy: what the install
// copies, the order in which the uninstall reads its keys and runs its
// steps, the steps an empty value skips, its results, and a run with the
// log off. The sequences read KVTSetup.ini and write KVTSetup.log in the
// setup directory they are given.
#include <string>
#include <vector>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include "setup_run_fixture.h"

namespace setup_test {
namespace {

class Sequences : public SetupRunTest {
 protected:
  void WriteIni(const std::string &body) { WriteFileBytes(PathOf("KVTSetup.ini"), body); }
  std::string RunLines() {
    std::string log = MaskBannerTimes(ReadFileBytes(PathOf("KVTSetup.log")));
    DeleteFileA(PathOf("KVTSetup.log").c_str());
    return log;
  }
  // The lines of `log` that begin with one of `prefixes`, in order.
  static std::vector<std::string> LinesStarting(const std::string &log, const std::vector<std::string> &prefixes) {
    std::vector<std::string> lines;
    for (size_t at = 0; at < log.size();) {
      size_t end = log.find("\r\n", at);
      if (end == std::string::npos) end = log.size();
      const std::string line = log.substr(at, end - at);
      for (const std::string &prefix : prefixes) {
        if (line.rfind(prefix, 0) == 0) {
          lines.push_back(line);
          break;
        }
      }
      at = end + 2;
    }
    return lines;
  }
};

TEST_F(Sequences, InstallCopiesTheInfItNames) {
  const std::string inf = "kvtseq_" + Dir().substr(Dir().rfind('\\') + 1) + ".inf";
  WriteFileBytes(PathOf(inf), "[Version]\r\nSignature=\"$Windows NT$\"\r\n[KvtTestMarker]\r\nOwner=PrintingTest\r\n");
  WriteIni("[KVTSetup]\r\nLogLevel=1\r\nInfName=" + inf + "\r\n");
  EXPECT_NE(KVT_Install(NULL, NULL, Dir().c_str(), 0), 0);
  const std::string log = RunLines();
  EXPECT_NE(log.find("*** Log Start (TIME) ***\r\nmemo : Install\r\nInfName=" + inf + "\r\nKVT_SetupCopyOemInf(" + inf +
                     "," + Dir() + ")\r\nSetupCopyOEMInf("),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("-->Success\r\n*** Log Finish (TIME) ***\r\n"), std::string::npos) << log;

  WriteIni("[KVTSetup]\r\nLogLevel=1\r\n");
  EXPECT_EQ(KVT_Install(NULL, NULL, Dir().c_str(), 0), 0);
  const std::string missing = RunLines();
  EXPECT_NE(missing.find("InfName=\r\nKVT_SetupCopyOemInf(," + Dir() + ")\r\nSetupCopyOEMInf(" + Dir() + "\\," + Dir() +
                         ")\r\n-->Error("),
            std::string::npos)
      << missing;
}

// Every key read through the INI reader, in the order of the steps;
// "DriverName" and "DriverName2" twice. Empty second names skip their
// steps, and every other step runs with whatever it read.
TEST_F(Sequences, UninstallReadsItsKeysInOrderAndSkipsOnlyTheEmptySecondNames) {
  WriteIni(
      "[KVTSetup]\r\nLogLevel=1\r\nDriverName=KVT Seq Driver\r\nMonitorName=KVT Seq Monitor\r\nICM=kvtseq.icm\r\n"
      "USB=Vid_KVTSEQ\r\n");
  EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), 1) << "no lists: the file list's 1";
  const std::string log = RunLines();
  const std::vector<std::string> expected = {
      "memo : Uninstall",
      "DriverName=KVT Seq Driver",
      "KVT_DeleteAllPrinter(KVT Seq Driver)",
      "DeletePrinterDriver(KVT Seq Driver)",
      "DriverName2=",
      "MonitorName=KVT Seq Monitor",
      "DeleteMonitor(KVT Seq Monitor)",
      "MonitorName2=",
      "ICM=kvtseq.icm",
      "UninstallColorProfile(kvtseq.icm)",
      "USB=Vid_KVTSEQ",
      "KVT_RegDeleteDeviceClasses(Vid_KVTSEQ)",
      "DriverName=KVT Seq Driver",
      "KVT_RegDeleteOemxInf(KVT Seq Driver)",
      "DriverName2=",
      "KVT_DeleteDeviceList()",
      "KVT_DeleteOemxInfList()",
      "KVT_DeleteRegList()",
      "KVT_DeleteFileList()",
      "KVT_DeleteDirList()",
  };
  EXPECT_EQ(LinesStarting(log, {"memo : ", "DriverName", "MonitorName", "ICM=", "USB=", "KVT_", "DeletePrinterDriver",
                                "DeleteMonitor", "UninstallColorProfile"}),
            expected)
      << log;
}

TEST_F(Sequences, UninstallResultIsTheFileListsUnlessTheSpoolerIsStopped) {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  const std::string tag = Dir().substr(Dir().rfind('\\') + 1);
  const std::string file = std::string(windows) + "\\kvtseq" + tag + ".dat";
  WriteIni("[KVTSetup]\r\nLogLevel=1\r\n[DelFile]\r\nCount=1\r\nDelFile1=WINDIR\\kvtseq" + tag + ".dat\r\n");
  WriteFileBytes(file, "x");
  EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), 1);
  EXPECT_FALSE(FileExists(file));
  RunLines();

  // The same run with the log off: the same work and result, no log.
  WriteIni("[KVTSetup]\r\nLogLevel=0\r\n[DelFile]\r\nCount=1\r\nDelFile1=WINDIR\\kvtseq" + tag + ".dat\r\n");
  WriteFileBytes(file, "x");
  EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), 1);
  EXPECT_FALSE(FileExists(file));
  EXPECT_FALSE(FileExists(PathOf("KVTSetup.log")));
#ifndef _WIN32
  // A file the system refuses to delete: 0; a stopped spooler: -1, even
  // though every file went.
  WriteIni("[KVTSetup]\r\nLogLevel=1\r\n[DelFile]\r\nCount=1\r\nDelFile1=WINDIR\\kvtseq" + tag + ".dat\r\n");
  WriteFileBytes(file, "x");
  ASSERT_TRUE(platform::MarkLoadedModule(file, true));
  EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), 0);
  platform::MarkLoadedModule(file, false);
  RunLines();
  platform::SetSpoolerRunning(false);
  EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), -1);
  platform::SetSpoolerRunning(true);
  EXPECT_FALSE(FileExists(file));
  EXPECT_NE(RunLines().find("KVT_DeleteAllPrinter()\r\n-->Error(1722):"), std::string::npos);
#endif
}

#ifndef _WIN32
// The platform's clock records the wait; its buffers can be refused; the
// message box is recorded instead of shown.
TEST_F(Sequences, UninstallWaitsASecondAndNeitherSequenceStartsWithoutItsBuffers) {
  WriteIni("[KVTSetup]\r\nLogLevel=1\r\nInfName=none.inf\r\n");
  const size_t sleeps = platform::Sleeps().size();
  KVT_Uninstall(NULL, NULL, Dir().c_str(), 0);
  ASSERT_EQ(platform::Sleeps().size(), sleeps + 1);
  EXPECT_EQ(platform::Sleeps().back(), 1000u);
  const std::string log = RunLines();
  EXPECT_LT(log.find("KVT_DeleteDeviceList()"), log.find("KVT_DeleteOemxInfList()"));

  for (unsigned nth : {1u, 2u}) {
    platform::FailNthCall(platform::Fault::LocalAlloc, nth);
    EXPECT_EQ(KVT_Uninstall(NULL, NULL, Dir().c_str(), 0), 0) << "buffer " << nth;
  }
  platform::FailNthCall(platform::Fault::LocalAlloc, 1);
  EXPECT_EQ(KVT_Install(NULL, NULL, Dir().c_str(), 0), 0);
  EXPECT_FALSE(FileExists(PathOf("KVTSetup.log"))) << "no run was started";
}

TEST_F(Sequences, DummyShowsTheNumberAsCaptionAndReturnsIt) {
  const size_t boxes = platform::MessageBoxes().size();
  EXPECT_EQ(KVT_Dummy(-5), -5);
  const std::vector<platform::MessageBoxRecord> shown = platform::MessageBoxes();
  ASSERT_EQ(shown.size(), boxes + 1);
  const platform::MessageBoxRecord &box = shown.back();
  EXPECT_EQ(box.text, "AAAA");
  EXPECT_EQ(box.caption, "-5");
  EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
  EXPECT_FALSE(FileExists(PathOf("KVTSetup.log")));
}
#endif

}  // namespace
}  // namespace setup_test
