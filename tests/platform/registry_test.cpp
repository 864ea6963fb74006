// The platform registry's own behaviour beyond what Windows can be asked to
// show: injected failures, the process identity, security written as SDDL,
// handles of deleted keys, and saving and loading the registry with a
// machine.
#include <windows.h>

#include <platform/testing.h>

#include <gtest/gtest.h>

#include <aclapi.h>

#include <pthread.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

namespace {

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { EXPECT_EQ(platform::Live().keyHandles, 0u); }

  static LONG Create(const char *path) {
    HKEY key = nullptr;
    const LONG status =
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status == ERROR_SUCCESS) RegCloseKey(key);
    return status;
  }

  static bool Exists(const char *path) { return platform::KeySecurity(HKEY_LOCAL_MACHINE, path).has_value(); }
};

TEST_F(RegistryTest, EachCallFailingOnceChangesNothing) {
  ASSERT_EQ(Create("SOFTWARE\\Kvt"), ERROR_SUCCESS);
  const unsigned before = platform::CallCount(platform::Fault::Registry);
  ASSERT_EQ(Create("SOFTWARE\\Kvt\\A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(platform::CallCount(platform::Fault::Registry) - before, 1u);  // one create, however deep

  platform::FailNthCall(platform::Fault::Registry, 1);
  EXPECT_EQ(Create("SOFTWARE\\Kvt\\C\\D"), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_FALSE(Exists("SOFTWARE\\Kvt\\C"));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  const DWORD one = 1;
  platform::FailNthCall(platform::Fault::Registry, 1);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&one), 4), ERROR_NOT_ENOUGH_MEMORY);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  char name[16];
  size = sizeof(name);
  platform::FailNthCall(platform::Fault::Registry, 1);
  EXPECT_EQ(RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr), ERROR_NOT_ENOUGH_MEMORY);
  platform::FailNthCall(platform::Fault::Registry, 1);
  EXPECT_EQ(RegDeleteKeyA(key, "A\\B"), ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_TRUE(Exists("SOFTWARE\\Kvt\\A\\B"));
  EXPECT_EQ(RegDeleteKeyA(key, "A\\B"), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
}

TEST_F(RegistryTest, AccessFollowsTheIdentity) {
  ASSERT_EQ(Create("SOFTWARE\\Kvt"), ERROR_SUCCESS);
  // New keys of an administrator belong to Administrators and inherit the
  // hive's entries.
  EXPECT_EQ(platform::KeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt").value_or(""),
            "O:BAG:S-1-5-21-1004336348-1177238915-682003330-513D:AI(A;CIID;KA;;;SY)(A;CIID;KA;;;BA)(A;CIID;KR;;;BU)");
  ASSERT_TRUE(platform::SetProcessIdentity({"S-1-5-21-1-2-3-1001", {"S-1-5-32-545", "S-1-1-0"}}));
  EXPECT_EQ(Create("SOFTWARE\\Kvt\\User"), ERROR_ACCESS_DENIED);
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, KEY_READ, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  // HKEY_CURRENT_USER follows the user.
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Mine", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_TRUE(platform::KeySecurity(HKEY_USERS, "S-1-5-21-1-2-3-1001\\Software\\Mine").has_value());
  EXPECT_FALSE(platform::SetProcessIdentity({"S-1-x", {}}));
  EXPECT_EQ(platform::ProcessIdentity().user, "S-1-5-21-1-2-3-1001");
}

TEST_F(RegistryTest, OwnerRightsAndNullDacl) {
  ASSERT_EQ(Create("SOFTWARE\\Kvt"), ERROR_SUCCESS);
  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", "O:BAG:SYD:P"));
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, DELETE, &key), ERROR_ACCESS_DENIED);
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, MAXIMUM_ALLOWED, &key), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", "O:SYG:SYD:P"));
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, MAXIMUM_ALLOWED, &key), ERROR_ACCESS_DENIED);
  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", "O:SYG:SYD:NO_ACCESS_CONTROL"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt"), ERROR_SUCCESS);
  EXPECT_FALSE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE", "O:SYG:SYD:(X;;KA;;;WD)"));
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, ""), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_CLASSES_ROOT, ""), ERROR_ACCESS_DENIED);
}

TEST_F(RegistryTest, HandleOfADeletedKey) {
  ASSERT_EQ(Create("SOFTWARE\\Kvt"), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt"), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "v", 0, REG_SZ, reinterpret_cast<const BYTE *>("x"), 2), ERROR_KEY_DELETED);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, SavedMachineKeepsValuesAndSecurity) {
  const std::string dir = (std::filesystem::temp_directory_path() / "kvt-registry-test").string();
  std::filesystem::remove_all(dir);
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  const char text[] = "C:\\path \"quoted\"";
  const char lines[] = "a\r\nb";
  const DWORD number = 0xfeedbeef;
  const BYTE multi[] = {'a', 0, 'b', 0, 0};
  EXPECT_EQ(RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof(text)), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Lines", 0, REG_SZ, reinterpret_cast<const BYTE *>(lines), sizeof(lines)),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "N", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&number), 4), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "M", 0, REG_MULTI_SZ, multi, sizeof(multi)), ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExA(key, "Empty", 0, REG_BINARY, nullptr, 0), ERROR_SUCCESS);
  RegCloseKey(key);
  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt", "O:SYG:SYD:P(D;;SD;;;WD)(A;CI;KA;;;BA)"));
  ASSERT_TRUE(platform::SaveMachine(dir));

  platform::ResetMachine();
  ASSERT_TRUE(platform::LoadMachine(dir));
  EXPECT_EQ(platform::KeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt").value_or(""),
            "O:SYG:SYD:P(D;;SD;;;WD)(A;CI;KA;;;BA)");
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KVT\\sub", 0, KEY_READ, &key), ERROR_SUCCESS);
  char buffer[64];
  DWORD type = 0;
  DWORD size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS);
  EXPECT_STREQ(buffer, text);
  size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, "Lines", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(std::string(buffer, size), std::string(lines, sizeof(lines)));
  size = sizeof(buffer);
  EXPECT_EQ(RegQueryValueExA(key, "M", nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size), ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_EQ(std::string(buffer, size), std::string(reinterpret_cast<const char *>(multi), sizeof(multi)));
  DWORD read = 0;
  size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "n", nullptr, &type, reinterpret_cast<BYTE *>(&read), &size), ERROR_SUCCESS);
  EXPECT_EQ(read, number);
  size = 7;
  EXPECT_EQ(RegQueryValueExA(key, "Empty", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, 0u);
  RegCloseKey(key);

  // A malformed file fails the load and leaves the registry as it was.
  std::ofstream(dir + "/registry.reg") << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\X]\r\n\"v\"=dword:123456789\r\n";
  EXPECT_FALSE(platform::LoadMachine(dir));
  EXPECT_TRUE(Exists("SOFTWARE\\Kvt\\Sub"));

  // A name that code page 1252 cannot spell has no place in the file: the
  // save fails and the saved machine stays as it was.
  ASSERT_TRUE(platform::SaveMachine(dir));
  const auto saved = std::filesystem::last_write_time(dir + "/registry.reg");
  const std::u16string wide = u"SOFTWARE\\Kvt\\\u4E2D";
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, reinterpret_cast<LPCWSTR>(wide.c_str()), 0, nullptr, 0, KEY_READ,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_FALSE(platform::SaveMachine(dir));
  EXPECT_EQ(std::filesystem::last_write_time(dir + "/registry.reg"), saved);
  ASSERT_TRUE(platform::LoadMachine(dir));
  EXPECT_TRUE(Exists("SOFTWARE\\Kvt\\Sub"));
  std::filesystem::remove_all(dir);
}

// Runs `work` on a thread with a stack of 256 KiB, which a walk that recursed
// once per level of a 20,000-level tree would overflow.
void OnSmallStack(std::function<void()> work) {
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, 256 * 1024);
  pthread_t thread;
  auto run = [](void *argument) -> void * {
    (*static_cast<std::function<void()> *>(argument))();
    return nullptr;
  };
  ASSERT_EQ(pthread_create(&thread, &attributes, run, &work), 0);
  pthread_join(thread, nullptr);
  pthread_attr_destroy(&attributes);
}

// A chain far deeper than a saved registry may hold (Windows stops at 512
// levels) is still handed down a DACL, refused by a save and freed, all
// without walking the tree by recursion.
TEST_F(RegistryTest, DeepKeyTreesAreWalkedWithoutRecursion) {
  constexpr int kDepth = 20000;
  ASSERT_EQ(Create("SOFTWARE\\Deep"), ERROR_SUCCESS);
  HKEY top = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Deep", 0, KEY_ALL_ACCESS, &top), ERROR_SUCCESS);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(top, "", 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
  std::string path = "SOFTWARE\\Deep";
  for (int level = 0; level < kDepth; ++level) {
    HKEY next = nullptr;
    ASSERT_EQ(RegCreateKeyExA(key, "k", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &next, nullptr), ERROR_SUCCESS);
    RegCloseKey(key);
    key = next;
    path += "\\k";
  }
  RegCloseKey(key);

  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Deep", "O:BAG:SYD:(A;CI;KA;;;BA)(A;CI;KR;;;WD)"));
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(
      GetSecurityInfo(top, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &descriptor),
      ERROR_SUCCESS);
  DWORD status = ERROR_INVALID_PARAMETER;
  OnSmallStack([&] {
    status = SetSecurityInfo(top, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, dacl, nullptr);
  });
  EXPECT_EQ(status, static_cast<DWORD>(ERROR_SUCCESS));
  LocalFree(descriptor);
  RegCloseKey(top);
  EXPECT_NE(platform::KeySecurity(HKEY_LOCAL_MACHINE, path).value_or("").find("(A;CIID;KR;;;WD)"), std::string::npos)
      << "the new entry reached the deepest key";

  const std::string dir = (std::filesystem::temp_directory_path() / "kvt-registry-deep").string();
  std::filesystem::remove_all(dir);
  bool saved = true;
  OnSmallStack([&] { saved = platform::SaveMachine(dir); });
  EXPECT_FALSE(saved) << "a file that could not be loaded again";
  EXPECT_FALSE(std::filesystem::exists(dir));
  OnSmallStack([] { platform::ResetMachine(); });
  EXPECT_FALSE(Exists("SOFTWARE\\Deep"));
}

}  // namespace
