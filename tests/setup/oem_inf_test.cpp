// Handing the package's INF to Windows and deleting Windows' copies of it
// by a value inside them: the directory in use, every matching copy with
// its companion, the value rules (letter case, missing entries, an empty
// value), read-only copies, and the log lines of each step.
#include <string>

#include "printing_fixture.h"

namespace setup_test {
namespace {

const char kInfBody[] = "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=Example\r\n";

class OemInfTest : public PrintingTest {
 protected:
  // The listing line of every OEM INF the search yields, in its order.
  std::string ListingLines() {
    std::string lines;
    for (const std::string &name : OemInfNames()) lines += "  " + InfDir() + "\\" + name + "\r\n";
    return lines;
  }
  std::string DeletedLine(const std::string &name) { return "DeleteFile(" + InfPath(name) + ")\r\n"; }
};

TEST_F(OemInfTest, CopyWithoutDirectoryTakesTheInfFromTheSetupDirectory) {
  const std::string inf = "kvtcopy_" + Dir().substr(Dir().rfind('\\') + 1) + ".inf";
  WriteFileBytes(PathOf(inf), std::string(kInfBody) + "[KvtTestMarker]\r\nOwner=PrintingTest\r\n");
  StartLoggingRun();
  EXPECT_NE(KVT_SetupCopyOemInf(inf.c_str(), NULL), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_SetupCopyOemInf(" + inf + "," + Dir() + ")\r\nSetupCopyOEMInf(" +
                                          PathOf(inf) + "," + Dir() + ")\r\n-->Success\r\n"));
  if (UnderWine()) GTEST_SKIP() << "Wine stores the INF under its own name instead of oemN.inf";
  EXPECT_TRUE(FileExists(InfPath("oem0.inf")));
  EXPECT_TRUE(FileExists(InfPath("oem0.pnf")));
}

TEST_F(OemInfTest, CopyFailuresReturnZeroAndLogTheReason) {
  StartLoggingRun();
  EXPECT_EQ(KVT_SetupCopyOemInf(NULL, NULL), 0);  // nothing logged
  EXPECT_EQ(KVT_SetupCopyOemInf("missing.inf", "C:\\NoSuchFolder"), 0);
  // A path that does not fit its 8,192-byte buffer is not cut and used.
  const std::string longName(8200, 'a');
  EXPECT_EQ(KVT_SetupCopyOemInf(longName.c_str(), Dir().c_str()), 0);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
  const std::string lines = LinesOfRun();
  const std::string missing =
      "KVT_SetupCopyOemInf(missing.inf,C:\\NoSuchFolder)\r\n"
      "SetupCopyOEMInf(C:\\NoSuchFolder\\missing.inf,C:\\NoSuchFolder)\r\n-->Error(";
  EXPECT_EQ(lines.rfind(missing, 0), 0u) << lines;
  EXPECT_NE(lines.find(Err(ERROR_FILENAME_EXCED_RANGE)), std::string::npos) << lines;
}

TEST_F(OemInfTest, NoOemInfFileLogsTheFailedSearch) {
  if (!OemInfNames().empty()) GTEST_SKIP() << "the INF folder holds OEM INF files of others";
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteOemxInf("Version", "Provider", "Example"), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_DeleteOemxInf([Version]/Provider=Example)\r\nFindFirstFile(" + InfDir() +
                                          ") find:\r\n" + Err(ERROR_FILE_NOT_FOUND)));
}

TEST_F(OemInfTest, TheExampleRunDeletesTheMatchAndItsCompanion) {
  if (!OemInfNames().empty()) GTEST_SKIP() << "the INF folder holds OEM INF files of others";
  WriteInf("oem0.inf", "[Version]\r\nProvider=Other\r\n");
  WriteInf("oem1.inf", kInfBody);
  WriteFileBytes(InfPath("oem1.pnf"), "companion");
  const std::string listing = ListingLines();
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteOemxInf("Version", "Provider", "Example"), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_DeleteOemxInf([Version]/Provider=Example)\r\n" + listing +
                                          DeletedLine("oem1.inf") + "-->Success\r\n" + DeletedLine("oem1.pnf") +
                                          "-->Success\r\n"));
  EXPECT_TRUE(FileExists(InfPath("oem0.inf")));
  EXPECT_FALSE(FileExists(InfPath("oem1.inf")));
  EXPECT_FALSE(FileExists(InfPath("oem1.pnf")));
}

// Every match goes, read-only or without companion; values that differ in
// letter case, lack the section or the key do not match.
TEST_F(OemInfTest, EveryMatchGoesAndOnlyExactValuesMatch) {
  WriteInf("oem7100.inf", kInfBody);  // match, read-only, no companion
  ASSERT_TRUE(SetFileAttributesA(InfPath("oem7100.inf").c_str(), FILE_ATTRIBUTE_READONLY));
  WriteInf("oem7101.inf", "[Version]\r\nProvider=EXAMPLE\r\n");
  WriteInf("oem7102.inf", "[Version]\r\nOther=Example\r\n");
  WriteInf("oem7103.inf", "[Strings]\r\nProvider=Example\r\n");
  WriteInf("oem7104.inf", kInfBody);  // match with companion
  WriteFileBytes(InfPath("oem7104.pnf"), "companion");
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteOemxInf("Version", "Provider", "Example"), 0);
  const std::string lines = LinesOfRun();
  EXPECT_NE(lines.find(DeletedLine("oem7100.inf") + "-->Success\r\n" + DeletedLine("oem7100.pnf") +
                       Err(ERROR_FILE_NOT_FOUND)),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find(DeletedLine("oem7104.inf") + "-->Success\r\n" + DeletedLine("oem7104.pnf") + "-->Success\r\n"),
            std::string::npos)
      << lines;
  size_t deletions = 0;
  for (size_t at = lines.find("DeleteFile("); at != std::string::npos; at = lines.find("DeleteFile(", at + 1)) {
    ++deletions;
  }
  EXPECT_EQ(deletions, 4u);
  EXPECT_FALSE(FileExists(InfPath("oem7100.inf")));
  EXPECT_FALSE(FileExists(InfPath("oem7104.inf")));
  for (const char *kept : {"oem7101.inf", "oem7102.inf", "oem7103.inf"}) EXPECT_TRUE(FileExists(InfPath(kept)));
}

TEST_F(OemInfTest, AnEmptyValueMatchesNothingAndNullArgumentsDoNothing) {
  WriteInf("oem7200.inf", "[Version]\r\nProvider=\r\n");
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteOemxInf("Version", "Provider", ""), 0);
  EXPECT_EQ(KVT_DeleteOemxInf(NULL, "Provider", "Example"), 0);
  EXPECT_EQ(KVT_DeleteOemxInf("Version", NULL, "Example"), 0);
  EXPECT_EQ(KVT_DeleteOemxInf("Version", "Provider", NULL), 0);
  const std::string lines = LinesOfRun();
  EXPECT_TRUE(FileExists(InfPath("oem7200.inf")));
  EXPECT_EQ(lines.find("DeleteFile("), std::string::npos) << lines;
  EXPECT_EQ(lines.rfind("KVT_DeleteOemxInf("), 0u) << lines;  // one entry line only
  EXPECT_EQ(lines.find("KVT_DeleteOemxInf(", 1), std::string::npos) << lines;
}

}  // namespace
}  // namespace setup_test
