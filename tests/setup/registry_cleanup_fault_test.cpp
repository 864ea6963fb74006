// The setup registry clean-up where the platform layer stages what Windows
// seldom shows (Linux only): class keys that a user without administrator
// rights cannot open, and a registry call failing at every point of the
// source-path operations, which must never lose the saved path.
#include <platform/testing.h>

#include <string>

#include "registry_fixture.h"

namespace setup_test {
namespace {

const char kSetupKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

void SetSetupValue(const char *name, const std::string &text) {
  kvt::ScopedKey key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_SET_VALUE, key.receive());
  if (text == "(missing)") {
    RegDeleteValueA(key.get(), name);
  } else {
    RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
  }
}

std::string SetupValue(const char *name) {
  char data[2048] = {};
  DWORD size = sizeof(data) - 1;
  kvt::ScopedKey key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSetupKey, 0, KEY_READ, key.receive());
  return RegQueryValueExA(key.get(), name, NULL, NULL, reinterpret_cast<BYTE *>(data), &size) == ERROR_SUCCESS
             ? std::string(data)
             : std::string("(missing)");
}

using RegistryCleanupFaults = RegistryTest;

TEST_F(RegistryCleanupFaults, ClassKeysAUserCannotOpen) {
  ASSERT_TRUE(platform::SetProcessIdentity({"S-1-5-21-1-2-3-1001", {"S-1-5-32-545", "S-1-1-0"}}));
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteOemxInf("KVT"), 1);
  EXPECT_EQ(KVT_RegDeleteDeviceClasses("Vid"), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_RegDeleteOemxInf(KVT)\r\nRegEnumKeyEx()ret=6 / fine(0):\r\n" + Err(6) +
                                          "KVT_RegDeleteDeviceClasses(Vid)\r\n"));
}

// Whichever registry call fails, once: the path from before is either in
// place or kept in the saved copy, never gone.
TEST_F(RegistryCleanupFaults, TheSavedSourcePathIsNeverLost) {
  const std::string first = SetupValue("SourcePath");
  ASSERT_NE(first, "(missing)");
  const unsigned before = platform::CallCount(platform::Fault::Registry);
  ASSERT_EQ(KVT_SetWin98SetupReg("C:\\Package"), 1);
  const unsigned setCalls = platform::CallCount(platform::Fault::Registry) - before;
  ASSERT_EQ(KVT_ClearWin98SetupReg("C:\\Package"), 1);
  const unsigned clearCalls = platform::CallCount(platform::Fault::Registry) - before - setCalls;
  for (unsigned nth = 1; nth <= setCalls; ++nth) {
    platform::FailNthCall(platform::Fault::Registry, nth);
    const INT set = KVT_SetWin98SetupReg("C:\\Package");
    platform::FailNthCall(platform::Fault::Registry, 0);
    if (set == 1) {
      EXPECT_EQ(SetupValue("SourcePath.0ACC15D3"), first) << "set, call " << nth;
    } else {
      EXPECT_EQ(SetupValue("SourcePath"), first) << "set, call " << nth;
    }
    // Set reports 1 even when the folder itself could not be written, as
    // its rule is; the earlier path is then still in place.
    SetSetupValue("SourcePath", first);
    SetSetupValue("SourcePath.0ACC15D3", "(missing)");
  }
  for (unsigned nth = 1; nth <= clearCalls; ++nth) {
    ASSERT_EQ(KVT_SetWin98SetupReg("C:\\Package"), 1);
    platform::FailNthCall(platform::Fault::Registry, nth);
    const INT cleared = KVT_ClearWin98SetupReg("C:\\Package");
    platform::FailNthCall(platform::Fault::Registry, 0);
    if (cleared == 1) {
      EXPECT_EQ(SetupValue("SourcePath"), first) << "clear, call " << nth;
    } else {
      EXPECT_EQ(SetupValue("SourcePath.0ACC15D3"), first) << "clear, call " << nth;
      EXPECT_EQ(KVT_ClearWin98SetupReg("C:\\Package"), 1) << "clear, call " << nth;
    }
    // A copy whose deletion failed after the path went back is harmless.
    SetSetupValue("SourcePath.0ACC15D3", "(missing)");
  }
}

}  // namespace
}  // namespace setup_test
