// The log writer and the result logger: line formatting and its limit, the
// result lines with the system's error texts, and what happens without log.
#include <cstring>

#include "run/log_result.h"
#include "setup_run_fixture.h"

namespace setup_test {
namespace {

using LogWriter = SetupRunTest;

TEST_F(LogWriter, FormatsWithTheWsprintfConversions) {
  StartLoggingRun();
  EXPECT_EQ(KVT_LogFileWrite("%s|%d|%02d|%03d|%lx|100%%", "text", -42, 7, -5, 0xBEEFUL), 0);
  EXPECT_EQ(KVT_LogFileWrite(""), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "text|-42|07|-05|beef|100%\r\n\r\n"));
}

TEST_F(LogWriter, TextIsCutAt1023CharactersAndStillEndsInCrLf) {
  StartLoggingRun();
  for (size_t length : {size_t{1022}, size_t{1023}, size_t{1024}, size_t{5000}}) {
    std::string text(length, 'a');
    text.back() = 'z';
    EXPECT_EQ(KVT_LogFileWrite("%s", text.c_str()), 0);
  }
  std::string cut(1023, 'a');
  std::string expected =
      std::string(1021, 'a') + "z\r\n" + std::string(1022, 'a') + "z\r\n" + cut + "\r\n" + cut + "\r\n";
  EXPECT_TRUE(SameLines(LinesOfRun(), expected));
}

TEST_F(LogWriter, SuccessfulWritesKeepTheLastError) {
  StartLoggingRun();
  SetLastError(0xdeadbeef);
  EXPECT_EQ(KVT_LogFileWrite("x"), 0);
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
}

using LogResultLines = LogWriter;

TEST_F(LogResultLines, SuccessWritesActionThenSuccess) {
  StartLoggingRun();
  SetLastError(ERROR_FILE_NOT_FOUND);  // a success ignores any earlier error
  EXPECT_EQ(LogResult(TRUE, "DeleteFile(%s)", "C:\\100%d.txt"), 0);
  EXPECT_EQ(LogResult(1, NULL), 0);
  // A percent sign produced by a value is written as it is.
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeleteFile(C:\\100%d.txt)\r\n-->Success\r\n-->Success\r\n"));
}

TEST_F(LogResultLines, FailureWritesTheCodeAndSystemText) {
  StartLoggingRun();
  SetLastError(ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(LogResult(FALSE, "Action(%d)", 1), 2);
  EXPECT_EQ(GetLastError(), 2u) << "the code stays the thread's last error";
  SetLastError(ERROR_PATH_NOT_FOUND);
  EXPECT_EQ(LogResult(0, NULL), 3);
  std::string text2 = SystemMessage(2), text3 = SystemMessage(3);
  ASSERT_FALSE(text2.empty());
  EXPECT_EQ(text2.substr(text2.size() - 2), "\r\n") << "system texts end in their own line break";
  EXPECT_TRUE(SameLines(LinesOfRun(), "Action(1)\r\n-->Error(2):" + text2 + "\r\n-->Error(3):" + text3 + "\r\n"));
}

TEST_F(LogResultLines, AccessDeniedDeletionGives5) {
  std::string file = PathOf("locked.dat");
  WriteFileBytes(file, "x");
  ASSERT_TRUE(SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
  StartLoggingRun();
  SetLastError(0xdeadbeef);
  BOOL deleted = DeleteFileA(file.c_str());
  EXPECT_EQ(LogResult(deleted, "DeleteFile(%s)", file.c_str()), ERROR_ACCESS_DENIED);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeleteFile(" + file + ")\r\n-->Error(5):" + SystemMessage(5) + "\r\n"));
  SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(LogResultLines, CodeWithoutSystemTextLeavesTheTextEmpty) {
  const DWORD customerCode = 0x20000000;  // the customer bit: never a system message
  ASSERT_EQ(SystemMessage(customerCode), "");
  StartLoggingRun();
  SetLastError(customerCode);
  EXPECT_EQ(LogResult(0, NULL), static_cast<INT>(customerCode));
  EXPECT_TRUE(SameLines(LinesOfRun(), "-->Error(536870912):\r\n"));
}

TEST_F(LogResultLines, ResultDoesNotDependOnALog) {
  SetLastError(ERROR_ACCESS_DENIED);
  EXPECT_EQ(LogResult(0, "DeleteFile(%s)", "x"), 5);
  EXPECT_EQ(LogResult(1, "DeleteFile(%s)", "x"), 0);
  StartRunWithIni("[KVTSetup]\r\nLogLevel=0\r\n");
  SetLastError(ERROR_SHARING_VIOLATION);
  EXPECT_EQ(LogResult(0, NULL), 32);
  EXPECT_FALSE(FileExists(PathOf("KvtSetup.log")));
}

// The comparison the log tests use: equal logs pass, and a failure points
// at the first differing line with its line end shown.
TEST(SameLinesComparison, NamesTheFirstLineThatDiffers) {
  EXPECT_TRUE(SameLines("a\r\nb\r\n", "a\r\nb\r\n"));
  EXPECT_TRUE(SameLines("", ""));
  const std::string changed = SameLines("a\r\nb\r\nc\r\n", "a\r\nB\r\nc\r\n").message();
  EXPECT_NE(changed.find("line 2 of the log differs (3 lines, 3 expected)"), std::string::npos) << changed;
  EXPECT_NE(changed.find("actual:   \"b\\r\\n\""), std::string::npos) << changed;
  EXPECT_NE(changed.find("expected: \"B\\r\\n\""), std::string::npos) << changed;
  const std::string bareEnd = SameLines("a\n", "a\r\n").message();
  EXPECT_NE(bareEnd.find("line 1"), std::string::npos) << bareEnd;
  EXPECT_NE(bareEnd.find("\"a\\n\""), std::string::npos) << bareEnd;
  const ::testing::AssertionResult shorter = SameLines("a\r\n", "a\r\nb");
  EXPECT_FALSE(shorter);
  EXPECT_NE(std::string(shorter.message()).find("line 2 of the log differs (1 lines, 2 expected)"), std::string::npos);
  EXPECT_NE(std::string(shorter.message()).find("the log ends before it"), std::string::npos);
  EXPECT_NE(std::string(shorter.message()).find("expected: \"b\""), std::string::npos);
}

}  // namespace
}  // namespace setup_test
