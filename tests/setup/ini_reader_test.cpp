// The INI readers: what the system's profile functions give for one key,
// the defaults when there is nothing to read, and the "key=value" lines.
#include <cstring>

#include "setup_run_fixture.h"

namespace setup_test {
namespace {

const char kIni[] =
    "[KVTSetup]\r\n"
    "LogLevel=1\r\n"
    "DriverName = \"KVT RZ4\" \r\n"
    "Quoted='one' and two\r\n"
    "Empty=\r\n"
    "Number=  12abc\r\n"
    "Negative=-5\r\n"
    "Word=abc\r\n";

class IniReader : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    StartRunWithIni(kIni);
  }
};

TEST_F(IniReader, StringValuesAsTheProfileFunctionsGiveThem) {
  char buffer[64];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(KVT_GetKvtSetupIniString("kvtsetup", "drivername", buffer, sizeof(buffer)), 7);
  EXPECT_STREQ(buffer, "KVT RZ4");
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "Quoted", buffer, sizeof(buffer)), 13);
  EXPECT_STREQ(buffer, "'one' and two") << "quotes stay unless they surround the whole value";
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "Empty", buffer, sizeof(buffer)), 0);
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "Missing", buffer, sizeof(buffer)), 0);
  EXPECT_EQ(KVT_GetKvtSetupIniString("NoSection", "Empty", buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_TRUE(
      SameLines(LinesOfRun(), "drivername=KVT RZ4\r\nQuoted='one' and two\r\nEmpty=\r\nMissing=\r\nEmpty=\r\n"));
}

TEST_F(IniReader, LongValueIsCutToTheBuffer) {
  char buffer[8];
  std::memset(buffer, 'x', sizeof(buffer));
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "DriverName", buffer, 4), 3);
  EXPECT_STREQ(buffer, "KVT");
  EXPECT_EQ(std::string(buffer + 4, 4), "xxxx") << "nothing written past size";
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "DriverName", buffer, 1), 0);
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "DriverName", NULL, 16), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DriverName=KVT\r\nDriverName=\r\nDriverName=\r\n"));
}

TEST_F(IniReader, IntegerIsTheNumberTheTextBeginsWith) {
  INT value = 0x5a5a5a5a;
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "Number", &value), 1);
  EXPECT_EQ(value, 12);
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "Negative", &value), 1);
  EXPECT_EQ(value, -5);
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "Word", &value), 1);
  EXPECT_EQ(value, 0);
  value = 0x5a5a5a5a;
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "Missing", &value), 1);
  EXPECT_EQ(value, 0);
  // A null place to store it still reads and logs the number.
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "Number", NULL), 1);
  EXPECT_TRUE(SameLines(LinesOfRun(), "Number=12\r\nNegative=-5\r\nWord=0\r\nMissing=0\r\nNumber=12\r\n"));
}

TEST_F(IniReader, NullSectionOrKeyReadsNothing) {
  char buffer[64] = "pattern";
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", NULL, buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "") << "no list of key names";
  EXPECT_EQ(KVT_GetKvtSetupIniString(NULL, NULL, buffer, sizeof(buffer)), 0);
  INT value = 7;
  EXPECT_EQ(KVT_GetKvtSetupIniInt(NULL, "LogLevel", &value), 1);
  EXPECT_EQ(value, 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "=\r\n=\r\nLogLevel=0\r\n"));
}

using IniReaderOutsideARun = SetupRunTest;

TEST_F(IniReaderOutsideARun, BeforeAnyRunReadsGiveDefaults) {
  char buffer[16] = "pattern";
  INT value = 7;
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "LogLevel", buffer, sizeof(buffer)), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(KVT_GetKvtSetupIniInt("KVTSetup", "LogLevel", &value), 1);
  EXPECT_EQ(value, 0);
}

TEST_F(IniReaderOutsideARun, AfterTheFinishReadsUseTheLastRunsFile) {
  StartRunWithIni("[KVTSetup]\r\nLogLevel=3\r\nName=kept\r\n");
  KVT_SetupFinish();
  std::string closed = Log();
  char buffer[16];
  EXPECT_EQ(KVT_GetKvtSetupIniString("KVTSetup", "Name", buffer, sizeof(buffer)), 4);
  EXPECT_STREQ(buffer, "kept");
  EXPECT_TRUE(SameLines(Log(), closed)) << "nothing logged after the finish";
}

}  // namespace
}  // namespace setup_test
