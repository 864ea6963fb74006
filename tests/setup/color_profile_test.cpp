// Uninstalling and deleting the printer's colour profile: a profile named
// by its path or, on Windows, by its bare file name; a profile that is not
// installed; a null name.
#include <string>

#include "printing_fixture.h"

namespace setup_test {
namespace {

class ColorProfileTest : public PrintingTest {
 protected:
  // Installs a profile file of the scratch folder; returns its path in the
  // colour folder.
  std::string InstallProfile(const std::string &name) {
    WriteFileBytes(PathOf(name), "profile bytes");
    EXPECT_TRUE(InstallColorProfileA(NULL, PathOf(name).c_str())) << GetLastError();
    return ColorDir() + "\\" + name;
  }
};

TEST_F(ColorProfileTest, AnInstalledProfileIsUninstalledAndDeleted) {
  const std::string profile = InstallProfile("kvt_" + Dir().substr(Dir().rfind('\\') + 1) + ".icm");
  ASSERT_TRUE(FileExists(profile));
  StartLoggingRun();
  EXPECT_NE(KVT_DeleteICMProfile(profile.c_str()), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "UninstallColorProfile(" + profile + ")\r\n-->Success\r\n"));
  EXPECT_FALSE(FileExists(profile));
}

TEST_F(ColorProfileTest, ABareNameIsAProfileOfTheColourFolder) {
  if (UnderWine()) GTEST_SKIP() << "Wine resolves a bare profile name against the current folder";
  const std::string name = "kvt_bare.icm";
  const std::string profile = InstallProfile(name);
  EXPECT_NE(KVT_DeleteICMProfile(name.c_str()), 0);
  EXPECT_FALSE(FileExists(profile));
}

TEST_F(ColorProfileTest, AProfileThatIsNotInstalledGivesZeroAndAnErrorLine) {
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteICMProfile("kvt_not_installed.icm"), 0);
  EXPECT_EQ(KVT_DeleteICMProfile(NULL), 0);  // nothing logged
  EXPECT_TRUE(SameLines(LinesOfRun(), "UninstallColorProfile(kvt_not_installed.icm)\r\n" + Err(ERROR_FILE_NOT_FOUND)));
}

}  // namespace
}  // namespace setup_test
