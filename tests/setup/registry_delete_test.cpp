// Key-tree deletion and the exported key deletions: the order of the
// leaves and the exact log, missing keys and unusable paths, paths that
// name a root itself, locked keys with and without unlocking, leaves that
// cannot be deleted or even named, and the former access that comes back
// when a deletion fails after an unlock.
#include "registry/key_tree.h"
#include "registry_fixture.h"

namespace setup_test {
namespace {

using RegistryDelete = RegistryTest;

TEST_F(RegistryDelete, TreeGoesLeafByLeafInFirstSubkeyOrder) {
  CreateKey("X\\A\\D");
  CreateKey("X\\B");
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 0), 1);
  const std::string x = Rel("X");
  EXPECT_TRUE(SameLines(NormalizedLines(), "KVT_RegDeleteKey(" + PathText("X") + ", 0)\r\n" +  //
                                               "DeleteRegKey(80000001, " + x + ")\r\n" +       //
                                               "RegDeleteKey(H, D) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(H, A) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(H, B) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(80000001, " + x + ") ret=0\r\n-->Success\r\n" +
                                               "DeleteRegKey(-2147483647, " + x + ")\r\n-->Success\r\n"));
  EXPECT_FALSE(KeyExists("X"));
  EXPECT_TRUE(KeyExists(""));
}

TEST_F(RegistryDelete, MissingKeyIsAFailureAfterAQuietTwo) {
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("Gone").c_str(), 0), 0);
  const std::string gone = Rel("Gone");
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_RegDeleteKey(" + PathText("Gone") + ", 0)\r\nDeleteRegKey(80000001, " +
                                          gone + ")\r\nRegDeleteKey(80000001, " + gone +
                                          ") ret=2\r\n-->Success\r\nDeleteRegKey(-2147483647, " + gone + ")\r\n" +
                                          Err(2)));
}

TEST_F(RegistryDelete, EmptyPathDeletesNothingAndDoesNotUnlock) {
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey("", 0), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_RegDeleteKey(, 0)\r\nDeleteRegKey(0, )\r\nRegDeleteKey(0, ) ret=6\r\n" +
                                          Err(6) + "DeleteRegKey(0, )\r\n" + Err(6)));
}

// The DACL of a predefined root, as entries.
std::vector<std::vector<BYTE>> RootDacl(HKEY root) {
  PACL dacl = NULL;
  kvt::ScopedSecurityDescriptor sd;
  if (GetSecurityInfo(root, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, &dacl, NULL, sd.receive()) !=
      ERROR_SUCCESS) {
    return {};
  }
  return AcesOf(dacl);
}

// A key path that is empty or all backslashes names the root itself (or,
// under an open key, that key): the whole tree below it would go, and an
// unlock would open the root to everyone. Refused before any registry
// call, with or without unlocking, however the root is spelled.
TEST_F(RegistryDelete, PathsNamingARootAreRefusedHoweverSpelled) {
  struct Case {
    const char *path, *keyPath, *hex, *decimal;
  };
  const Case cases[] = {
      {"HKEY_CURRENT_USER", "", "80000001", "-2147483647"},
      {"HKEY_CURRENT_USER\\\\", "\\", "80000001", "-2147483647"},
      {"HKEY_CURRENT_USER\\\\\\", "\\\\", "80000001", "-2147483647"},
      {"HKEY_CLASSES_ROOT\\\\", "\\", "80000000", "-2147483648"},  // "\\" opens HKEY_CLASSES_ROOT itself
      {"HKEY_CLASSES_ROOT/\\", "\\", "80000000", "-2147483648"},
  };
  const auto rootDacl = RootDacl(HKEY_CURRENT_USER);
  for (const Case &c : cases) {
    for (INT noUnlock : {0, 1}) {
      StartFreshLoggingRun();
      EXPECT_EQ(KVT_RegDeleteKey(c.path, noUnlock), 0) << c.path;
      const std::string keyPath = c.keyPath;
      EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_RegDeleteKey(" + std::string(c.path) + ", " + std::to_string(noUnlock) +
                                              ")\r\nDeleteRegKey(" + c.hex + ", " + keyPath + ")\r\nRegDeleteKey(" +
                                              c.hex + ", " + keyPath + ") ret=87\r\n" + Err(87) + "DeleteRegKey(" +
                                              c.decimal + ", " + keyPath + ")\r\n" + Err(87)))
          << c.path;
    }
  }
  for (const char *keyPath : {"", "\\", "\\\\"}) {
    StartFreshLoggingRun();
    EXPECT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, keyPath), 0);
    EXPECT_TRUE(SameLines(LinesOfRun(), "DeleteRegKey(80000001, " + std::string(keyPath) +
                                            ")\r\nRegDeleteKey(80000001, " + keyPath + ") ret=87\r\n" + Err(87)));
    SetLastError(0);
    EXPECT_EQ(KVT_RegAllowAccessToEveryone(HKEY_CURRENT_USER, keyPath), 1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(RootDacl(HKEY_CURRENT_USER), rootDacl) << "the root was never unlocked";

  CreateKey("Keep");
  kvt::ScopedKey base;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Rel("").c_str(), 0, KEY_ALL_ACCESS, base.receive()), ERROR_SUCCESS);
  const auto baseDacl = ReadDacl("");
  for (const char *keyPath : {"", "\\"}) {
    EXPECT_EQ(DeleteRegKey(base.get(), keyPath), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(KVT_RegDeleteLockedKey(base.get(), keyPath), 0);
    EXPECT_EQ(KVT_RegAllowAccessToEveryone(base.get(), keyPath), 1);
  }
  EXPECT_TRUE(KeyExists("Keep"));
  EXPECT_EQ(ReadDacl(""), baseDacl);
}

TEST_F(RegistryDelete, KeyPathTooLongForItsBufferDeletesNothing) {
  std::string path = "HKEY_CURRENT_USER\\" + std::string(4096, 'k');
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(path.c_str(), 0), 0);
  std::string lines = LinesOfRun();
  EXPECT_EQ(lines.find("\nRegDeleteKey("), std::string::npos) << "no deletion tried";
  EXPECT_NE(lines.find(Err(87)), std::string::npos);
}

TEST_F(RegistryDelete, LockedKeyIsUnlockedAndDeletedOrKeptWithNoUnlock) {
  CreateKey("L\\Sub");
  SetKeySecurity("L", LockingDacl(), true);
  const std::string l = Rel("L");
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("L").c_str(), 1), 0);
  EXPECT_TRUE(KeyExists("L\\Sub"));
  EXPECT_EQ(KVT_RegDeleteKey(PathText("L").c_str(), 0), 1);
  EXPECT_FALSE(KeyExists("L"));
  const std::string refused =
      "DeleteRegKey(80000001, " + l + ")\r\nRegDeleteKey(80000001, " + l + ") ret=5\r\n" + Err(5);
  EXPECT_TRUE(SameLines(NormalizedLines(),
                        "KVT_RegDeleteKey(" + PathText("L") + ", 1)\r\n" + refused + "DeleteRegKey(-2147483647, " + l +
                            ")\r\n" + Err(5) + "KVT_RegDeleteKey(" + PathText("L") + ", 0)\r\n" + refused +
                            "DeleteRegKey(80000001, " + l + ")\r\nRegDeleteKey(H, Sub) ret=0\r\n-->Success\r\n" +
                            "RegDeleteKey(80000001, " + l + ") ret=0\r\n-->Success\r\n" +
                            "KVT_RegDeleteLockedKey(-2147483647, " + l + ")\r\n-->Success\r\n"));
}

// A leaf that may not be deleted ends the walk with its code: no second
// visit, no attempt on the given key, the other subkeys untouched.
TEST_F(RegistryDelete, UndeletableLeafEndsTheWalk) {
  CreateKey("X\\A");
  CreateKey("X\\B");
  SetKeySecurity("X\\A", LockingDacl(), true);
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 1), 0);
  EXPECT_TRUE(KeyExists("X\\B"));
  const std::string x = Rel("X");
  EXPECT_TRUE(SameLines(NormalizedLines(), "KVT_RegDeleteKey(" + PathText("X") + ", 1)\r\nDeleteRegKey(80000001, " + x +
                                               ")\r\nRegDeleteKey(H, A) ret=5\r\n" + Err(5) +
                                               "DeleteRegKey(-2147483647, " + x + ")\r\n" + Err(5)));
}

// Everyone's full access is only meant to let one deletion through: when
// the deletion fails all the same, the key gets its former DACL back.
TEST_F(RegistryDelete, FailedDeletionAfterUnlockPutsTheFormerDaclBack) {
  kvt::ScopedSid everyone = Everyone();
  CreateKey("M");
  SetKeySecurity("M",
                 MakeAcl({MakeAce(ACCESS_DENIED_ACE_TYPE, 0, DELETE, everyone.get()),
                          MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ | WRITE_DAC, everyone.get())}),
                 true);
  CreateKey("X\\A");
  SetKeySecurity("X\\A", LockingDacl(), true);
  const auto m = ReadDacl("M"), x = ReadDacl("X");
  ASSERT_EQ(m.size(), 2u);
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("M").c_str(), 0), 0);
  EXPECT_EQ(ReadDacl("M"), m);
  EXPECT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, Rel("M").c_str()), 0);
  EXPECT_EQ(ReadDacl("M"), m);
  EXPECT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 0), 0);  // fails at its locked leaf
  EXPECT_EQ(ReadDacl("X"), x);
  const std::string lines = LinesOfRun(), label = "KVT_RegDeleteLockedKey(-2147483647, " + Rel("M") + ")\r\n";
  EXPECT_NE(lines.find(label + Err(5)), std::string::npos) << lines;

  // Called on its own, the grant stays.
  EXPECT_EQ(KVT_RegAllowAccessToEveryone(HKEY_CURRENT_USER, Rel("M").c_str()), 1);
  EXPECT_EQ(ReadDacl("M").size(), 3u);
}

// A subkey whose name has no ANSI form lists as "??", which neither opens
// nor deletes (code 2, though it is there). The walk removes what comes
// before it, meets it once, and ends with the key kept and the failure
// logged; an unlock changes nothing of that, and the key gets its former
// DACL back whether it was given under a root or under an open key.
TEST_F(RegistryDelete, UnspellableLeafEndsTheWalkAndKeepsTheKeyAsItWas) {
  CreateKey("X\\A");
  CreateKey("X\\B\\C");
  CreateUnspellableKey("X");
  const auto dacl = ReadDacl("X");
  const std::string x = Rel("X");
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteKey(PathText("X").c_str(), 0), 0);
  EXPECT_TRUE(SameLines(NormalizedLines(), "KVT_RegDeleteKey(" + PathText("X") + ", 0)\r\n" +  //
                                               "DeleteRegKey(80000001, " + x + ")\r\n" +       //
                                               "RegDeleteKey(H, A) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(H, C) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(H, B) ret=0\r\n-->Success\r\n" +  //
                                               "RegDeleteKey(H, ?\?) ret=2\r\n" + Err(2) +     //
                                               "DeleteRegKey(-2147483647, " + x + ")\r\n" + Err(2)));
  EXPECT_TRUE(KeyExists("X"));
  EXPECT_EQ(ReadDacl("X"), dacl);

  EXPECT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, x.c_str()), 0);
  EXPECT_EQ(ReadDacl("X"), dacl);
  kvt::ScopedKey base;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, Rel("").c_str(), 0, KEY_ALL_ACCESS, base.receive()), ERROR_SUCCESS);
  EXPECT_EQ(KVT_RegDeleteLockedKey(base.get(), "X"), 0);
  EXPECT_EQ(ReadDacl("X"), dacl);
  EXPECT_TRUE(KeyExists("X"));
}

TEST_F(RegistryDelete, LockedDeletionOfAMissingKeyCreatesAndDeletesIt) {
  EXPECT_EQ(KVT_RegDeleteLockedKey(HKEY_CURRENT_USER, Rel("New\\Leaf").c_str()), 1);
  EXPECT_TRUE(KeyExists("New"));
  EXPECT_FALSE(KeyExists("New\\Leaf"));
}

}  // namespace
}  // namespace setup_test
