// The lists on inputs the platform layer can stage and Windows seldom
// shows (Linux only): a Windows directory too long for its buffer, which is
// never cut, and a count far beyond any list.
#include <platform/testing.h>

#include <string>

#include "setup_run_fixture.h"

namespace setup_test {
namespace {

using ListsFaults = SetupRunTest;

TEST_F(ListsFaults, AWindowsDirectoryTooLongIsNotCutAndItsItemsArePassedOver) {
  platform::SetWindowsDirectoryPath("C:\\" + std::string(125, 'w'));  // 128 characters: one too many
  StartRunWithIni(
      "[KVTSetup]\r\nLogLevel=1\r\n[CopyFile]\r\nCount=1\r\nSorc1=BASEDIR\\a.dat\r\nDest1=SYSDIR\\a.dat\r\n");
  WriteFileBytes(PathOf("a.dat"), "a");
  EXPECT_EQ(KVT_CopyFileList(0), 1);
  const std::string lines = LinesOfRun();
  EXPECT_NE(lines.find("GetWindowsDirectory()\r\n-->Error(206):"), std::string::npos) << lines;
  EXPECT_NE(lines.find("Dest1: no path, the Windows directory is not known\r\n"), std::string::npos) << lines;
  EXPECT_EQ(lines.find("CopyFile("), std::string::npos);
  platform::SetWindowsDirectoryPath("C:\\" + std::string(124, 'w'));  // 127 fit
  StartRunWithIni("[KVTSetup]\r\nLogLevel=1\r\n[DelFile]\r\nCount=1\r\nDelFile1=WINDIR\\x\r\n");
  KVT_DeleteFileList();
  EXPECT_NE(LinesOfRun().find("DeleteFile(C:\\" + std::string(124, 'w') + "\\x)"), std::string::npos);
}

TEST_F(ListsFaults, ACountBeyondAnyListIsBounded) {
  StartRunWithIni("[KVTSetup]\r\nLogLevel=1\r\n[DelFile]\r\nCount=2147483647\r\n");
  EXPECT_EQ(KVT_DeleteFileList(), 1);
  const std::string lines = LinesOfRun();
  EXPECT_NE(lines.find("Count=2147483647\r\nCount=2147483647 is more than a list holds: only the first 10000 items are "
                       "read\r\n"),
            std::string::npos);
  EXPECT_NE(lines.find("DelFile10000=\r\n"), std::string::npos);
  EXPECT_EQ(lines.find("DelFile10001="), std::string::npos);
}

}  // namespace
}  // namespace setup_test
