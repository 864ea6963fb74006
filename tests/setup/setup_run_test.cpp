// The setup run: the paths that KVT_SetupStart derives from its arguments,
// the log level, the banners, and the life of the log across runs.
#include <scoped_handle.h>

#include <cstring>

#include "setup_run_fixture.h"

namespace setup_test {
namespace {

using SetupRunPaths = SetupRunTest;

TEST_F(SetupRunPaths, TrailingBackslashIsDroppedOnce) {
  struct Case {
    const char *directory, *baseName, *setupDirectory, *iniPath, *logPath;
  } cases[] = {
      {"C:\\Setup\\", NULL, "C:\\Setup", "C:\\Setup\\KvtSetup.ini", "C:\\Setup\\KvtSetup.log"},
      {"C:\\", NULL, "C:", "C:\\KvtSetup.ini", "C:\\KvtSetup.log"},
      {"C:\\Setup\\\\", NULL, "C:\\Setup\\", "C:\\Setup\\\\KvtSetup.ini", "C:\\Setup\\\\KvtSetup.log"},
      {"", NULL, "", "\\KvtSetup.ini", "\\KvtSetup.log"},
      {"rel\\dir", "Custom", "rel\\dir", "rel\\dir\\Custom.ini", "rel\\dir\\Custom.log"},
  };
  for (const Case &c : cases) {
    EXPECT_EQ(KVT_SetupStart(c.directory, c.baseName, 0, "memo"), 1);
    EXPECT_STREQ(g_runState.setupDirectory, c.setupDirectory) << c.directory;
    EXPECT_STREQ(g_runState.iniPath, c.iniPath) << c.directory;
    EXPECT_STREQ(g_runState.logPath, c.logPath) << c.directory;
    EXPECT_EQ(g_runState.logFile, nullptr);
  }
}

TEST_F(SetupRunPaths, NullDirectoryIsTheHostProgramFolder) {
  char program[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(NULL, program, sizeof(program)), 0u);
  std::string folder(program, std::strrchr(program, '\\') - program);
  EXPECT_EQ(KVT_SetupStart(NULL, NULL, 0, NULL), 1);
  EXPECT_EQ(std::string(g_runState.setupDirectory), folder);
  EXPECT_EQ(std::string(g_runState.iniPath), folder + "\\KvtSetup.ini");
#ifndef _WIN32
  EXPECT_EQ(folder.rfind("Z:\\", 0), 0u) << "a host program lies on Z:";
#endif
}

TEST_F(SetupRunPaths, OverlongDirectoryLeavesNoPathToUse) {
  // A cut path would name another file: the run reads no INI and logs nothing.
  std::string directory = Dir() + "\\" + std::string(RUN_PATH_SIZE, 'd');
  EXPECT_EQ(KVT_SetupStart(directory.c_str(), NULL, 0, NULL), 1);
  EXPECT_EQ(std::strlen(g_runState.setupDirectory), RUN_PATH_SIZE - 1u);
  EXPECT_STREQ(g_runState.iniPath, "");
  EXPECT_STREQ(g_runState.logPath, "");
  char value[8];
  std::memset(value, 'x', sizeof(value));
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "LogLevel", value, sizeof(value)), 0);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(KVT_LogFileWrite("line"), 1);
}

using SetupRunLogLevel = SetupRunTest;

TEST_F(SetupRunLogLevel, ZeroMissingOrNotANumberWritesNoLog) {
  const char *inis[] = {NULL, "[KVTSetup]\r\nLogLevel=0\r\n", "[KVTSetup]\r\nLogLevel=abc\r\n",
                        "[Other]\r\nLogLevel=1\r\n", "[KVTSetup]\r\nLevel=1\r\n"};
  for (const char *ini : inis) {
    DeleteFileA(PathOf("KvtSetup.ini").c_str());
    if (ini != NULL) WriteFileBytes(PathOf("KvtSetup.ini"), ini);
    SetLastError(0xdeadbeef);
    EXPECT_EQ(KVT_SetupStart(Dir().c_str(), NULL, 0, "memo"), 1);
    EXPECT_EQ(GetLastError(), 0u) << "no log asked for is no failure";
    EXPECT_EQ(g_runState.logLevel, 0);
    EXPECT_EQ(KVT_LogFileWrite("line"), 1);
    EXPECT_EQ(KVT_SetupFinish(), 0);
    EXPECT_FALSE(FileExists(PathOf("KvtSetup.log"))) << (ini ? ini : "no INI");
  }
}

TEST_F(SetupRunLogLevel, AnyNonZeroLevelLogsEverything) {
  std::string logs[2];
  const char *levels[2] = {"1", "7"};
  for (int i = 0; i < 2; ++i) {
    DeleteFileA(PathOf("KvtSetup.log").c_str());
    StartRunWithIni(std::string("[kvtsetup]\r\n  loglevel = ") + levels[i] + "\r\n", "note");
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(KVT_LogFileWrite("n=%d", 3), 0);
    KVT_SetupFinish();
    logs[i] = MaskBannerTimes(Log());
  }
  EXPECT_TRUE(
      SameLines(logs[0], "*** Log Start (TIME) ***\r\nmemo : note\r\nn=3\r\n*** Log Finish (TIME) ***\r\n\r\n"));
  EXPECT_TRUE(SameLines(logs[1], logs[0]));
}

TEST_F(SetupRunLogLevel, NullMemoWritesNoMemoLine) {
  StartLoggingRun(NULL);
  KVT_SetupFinish();
  EXPECT_TRUE(SameLines(MaskBannerTimes(Log()), "*** Log Start (TIME) ***\r\n*** Log Finish (TIME) ***\r\n\r\n"));
}

using SetupRunLifecycle = SetupRunTest;

TEST_F(SetupRunLifecycle, TwoRunsAppendEachFramedByBanners) {
  bool virtualClock = SetTestClock(2004, 3, 7, 14, 5, 9);
  StartLoggingRun("first");
  KVT_LogFileWrite("one");
  SetTestClock(2004, 3, 7, 14, 5, 12);
  KVT_SetupFinish();
  SetTestClock(2010, 12, 31, 23, 59, 58);
  StartLoggingRun("second");
  KVT_LogFileWrite("two");
  SetTestClock(2011, 1, 1, 0, 0, 1);
  KVT_SetupFinish();
  std::string expected =
      "*** Log Start (2004/03/07 14:05:09) ***\r\nmemo : first\r\none\r\n"
      "*** Log Finish (2004/03/07 14:05:12) ***\r\n\r\n"
      "*** Log Start (2010/12/31 23:59:58) ***\r\nmemo : second\r\ntwo\r\n"
      "*** Log Finish (2011/01/01 00:00:01) ***\r\n\r\n";
  if (virtualClock) {
    EXPECT_TRUE(SameLines(Log(), expected));
  } else {
    EXPECT_TRUE(SameLines(MaskBannerTimes(Log()), MaskBannerTimes(expected)));
  }
}

TEST_F(SetupRunLifecycle, WritesOutsideARunDoNothing) {
  SetLastError(0xdeadbeef);
  EXPECT_EQ(KVT_LogFileWrite("before %s", "any run"), 1);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  StartLoggingRun();
  EXPECT_EQ(KVT_SetupFinish(), 0);
  std::string closed = Log();
  EXPECT_EQ(KVT_LogFileWrite("after the finish"), 1);
  EXPECT_EQ(KVT_SetupFinish(), 0) << "a second finish does nothing";
  EXPECT_TRUE(SameLines(Log(), closed));
  EXPECT_STREQ(g_runState.iniPath, PathOf("KvtSetup.ini").c_str()) << "paths outlive the run";
}

TEST_F(SetupRunLifecycle, RestartWithLogOpenClosesTheEarlierLog) {
  StartLoggingRun("first");
  StartLoggingRun("second");  // no finish in between: the file must not stay locked
  EXPECT_EQ(GetLastError(), 0u);
  KVT_SetupFinish();
  EXPECT_TRUE(SameLines(MaskBannerTimes(Log()),
                        "*** Log Start (TIME) ***\r\nmemo : first\r\n"
                        "*** Log Start (TIME) ***\r\nmemo : second\r\n*** Log Finish (TIME) ***\r\n\r\n"));
}

TEST_F(SetupRunLifecycle, LogHeldByAnotherOpenerLeavesTheRunWithoutLog) {
  WriteFileBytes(PathOf("KvtSetup.log"), "old\r\n");
  kvt::ScopedFile other(CreateFileA(PathOf("KvtSetup.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
  ASSERT_NE(other.get(), INVALID_HANDLE_VALUE);
  StartLoggingRun("memo");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(KVT_LogFileWrite("lost"), 1);
  other.reset();
  EXPECT_EQ(KVT_LogFileWrite("still lost"), 1) << "the log stays closed for the rest of the run";
  EXPECT_EQ(KVT_SetupFinish(), 0);
  EXPECT_TRUE(SameLines(Log(), "old\r\n"));
}

TEST_F(SetupRunLifecycle, LogIsHeldWithoutSharingAndAppended) {
  WriteFileBytes(PathOf("KvtSetup.log"), "old\r\n");
  StartLoggingRun();
  kvt::ScopedFile other(CreateFileA(PathOf("KvtSetup.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    NULL, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL));
  EXPECT_EQ(other.get(), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  other.reset();
  KVT_LogFileWrite("line");
  ResetRunState();  // abandoned without a finish: every line written so far is there
  EXPECT_TRUE(SameLines(MaskBannerTimes(Log()), "old\r\n*** Log Start (TIME) ***\r\nline\r\n"));
}

TEST_F(SetupRunLifecycle, LogPathOfMaxPathCharactersIsNotOpened) {
  // Dir + "\" + name + ".log": 259 characters open, 260 do not.
  for (size_t total : {size_t{259}, size_t{260}}) {
    ResetRunState();
    std::string name(total - Dir().size() - 5, 'n');
    std::string ini = PathOf(name + ".ini");
    if (total < MAX_PATH) WriteFileBytes(ini, "[KVTSetup]\r\nLogLevel=1\r\n");
    EXPECT_EQ(KVT_SetupStart(Dir().c_str(), name.c_str(), 0, "memo"), 1);
    ASSERT_EQ(std::strlen(g_runState.logPath), total);
    EXPECT_EQ(KVT_LogFileWrite("line"), total < MAX_PATH ? 0 : 1) << total;
    KVT_SetupFinish();
    EXPECT_EQ(FileExists(PathOf(name + ".log")), total < MAX_PATH) << total;
  }
}

}  // namespace
}  // namespace setup_test
