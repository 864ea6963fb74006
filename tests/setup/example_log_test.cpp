// A whole short run as an operation of the library performs it, compared
// line for line with the log it must leave: banners, memo, entry line, INI
// reads, an action with its error line, and the empty lines.
#include "run/log_result.h"
#include "setup_run_fixture.h"

namespace setup_test {
namespace {

using ExampleRun = SetupRunTest;

TEST_F(ExampleRun, LogHoldsTheRunLineForLine) {
  WriteFileBytes(PathOf("KvtSetup.ini"),
                 "[KVTSetup]\r\nLogLevel=1\r\n[DelFile]\r\nCount=1\r\nDelFile1=SYSDIR\\example.dll\r\n");
  const bool virtualClock = SetTestClock(2004, 3, 7, 14, 5, 9);
  ASSERT_EQ(KVT_SetupStart(Dir().c_str(), NULL, 0, "cleanup"), 1);
  KVT_LogFileWrite("KVT_DeleteFileList()");
  INT count = 0;
  KVT_GetKvtSetupIniInt("DelFile", "Count", &count);
  char item[4096];
  KVT_GetKvtSetupIniString("DelFile", "DelFile1", item, sizeof(item));
  const std::string target = PathOf("example.dll");
  EXPECT_EQ(LogResult(DeleteFileA(target.c_str()), "DeleteFile(%s)", target.c_str()), ERROR_FILE_NOT_FOUND);
  SetTestClock(2004, 3, 7, 14, 5, 12);
  EXPECT_EQ(KVT_SetupFinish(), 0);

  const std::string expected =
      "*** Log Start (2004/03/07 14:05:09) ***\r\n"
      "memo : cleanup\r\n"
      "KVT_DeleteFileList()\r\n"
      "Count=1\r\n"
      "DelFile1=SYSDIR\\example.dll\r\n"
      "DeleteFile(" +
      target +
      ")\r\n"
      "-->Error(2):" +
      SystemMessage(ERROR_FILE_NOT_FOUND) +
      "\r\n"
      "*** Log Finish (2004/03/07 14:05:12) ***\r\n"
      "\r\n";
  if (virtualClock) {
    EXPECT_TRUE(SameLines(Log(), expected));
  } else {
    EXPECT_TRUE(SameLines(MaskBannerTimes(Log()), MaskBannerTimes(expected)));
  }
  EXPECT_EQ(count, 1);
}

}  // namespace
}  // namespace setup_test
