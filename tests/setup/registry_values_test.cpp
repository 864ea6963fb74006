// Registry path texts and the three value operations: the root table and
// its separator rule, values of a root key itself, missing keys, short
// buffers and unknown roots.
#include <cstring>

#include "registry/reg_path.h"
#include "registry_fixture.h"

namespace setup_test {
namespace {

TEST(SplitRegPath, RootTableAndSeparatorRule) {
  struct Row {
    const char *path;
    HKEY root;
    const char *keyPath;
  } rows[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup", HKEY_LOCAL_MACHINE,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup"},
      {"HKEY_CURRENT_USER\\Software\\A\\B", HKEY_CURRENT_USER, "Software\\A\\B"},
      {"HKEY_CLASSES_ROOT\\x", HKEY_CLASSES_ROOT, "x"},
      {"HKEY_CURRENT_CONFIG\\x", HKEY_CURRENT_CONFIG, "x"},
      {"HKEY_USERS", HKEY_USERS, ""},
      {"HKEY_USERS\\", HKEY_USERS, ""},
      {"HKEY_USERSX", HKEY_USERS, ""},  // the byte after the name goes, whatever it is
      {"HKEY_USERS.DEFAULT", HKEY_USERS, "DEFAULT"},
      {"HKEY_CLASSES_ROOT/A", HKEY_CLASSES_ROOT, "A"},
      {"hkey_local_machine\\SOFTWARE", NULL, "key_local_machine\\SOFTWARE"},
      {"HKLM\\SOFTWARE\\A", NULL, "KLM\\SOFTWARE\\A"},
      {"HKEY_CURRENT", NULL, "KEY_CURRENT"},  // shorter than any name it begins
      {"", NULL, ""},
      {NULL, NULL, ""},
  };
  for (const Row &row : rows) {
    HKEY root = reinterpret_cast<HKEY>(1);
    char keyPath[64];
    std::memset(keyPath, 'Z', sizeof(keyPath));
    EXPECT_TRUE(SplitRegPath(row.path, &root, keyPath, sizeof(keyPath))) << (row.path ? row.path : "(null)");
    EXPECT_EQ(root, row.root) << (row.path ? row.path : "(null)");
    EXPECT_STREQ(keyPath, row.keyPath);
  }
}

TEST(SplitRegPath, CutKeyPathIsReportedAndTerminated) {
  HKEY root = NULL;
  char keyPath[8];
  std::memset(keyPath, 'Z', sizeof(keyPath));
  EXPECT_TRUE(SplitRegPath("HKEY_USERS\\1234567", &root, keyPath, sizeof(keyPath)));  // 7 + terminator fit
  EXPECT_FALSE(SplitRegPath("HKEY_USERS\\12345678", &root, keyPath, sizeof(keyPath)));
  EXPECT_STREQ(keyPath, "1234567");
}

using RegistryValues = RegistryTest;

TEST_F(RegistryValues, SetGetAndDeleteOnTheKeyAndOnARootItself) {
  const std::string name = "KvtValue_" + Unique();
  const BYTE data[] = {1, 0, 2, 0xFF};
  for (const std::string &path : {PathText(""), std::string("HKEY_CURRENT_USER")}) {
    EXPECT_EQ(KVT_RegSetValue(path.c_str(), name.c_str(), REG_BINARY, data, sizeof(data)), ERROR_SUCCESS) << path;
    DWORD type = 0xdeadbeef, size = 16;
    BYTE read[16];
    std::memset(read, 0xAA, sizeof(read));
    EXPECT_EQ(KVT_RegGetValue(path.c_str(), name.c_str(), &type, read, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    ASSERT_EQ(size, sizeof(data));
    EXPECT_EQ(std::memcmp(read, data, sizeof(data)), 0);
    EXPECT_EQ(read[sizeof(data)], 0xAA) << "nothing written past the data";
    EXPECT_EQ(KVT_RegDeleteValue(path.c_str(), name.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(KVT_RegDeleteValue(path.c_str(), name.c_str()), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(KVT_RegGetValue(path.c_str(), name.c_str(), &type, read, &size), ERROR_FILE_NOT_FOUND);
  }
}

TEST_F(RegistryValues, TextSizeIsTheCallersByteCount) {
  const char text[] = "D:\\Setup";
  EXPECT_EQ(
      KVT_RegSetValue(PathText("").c_str(), "SourcePath", REG_SZ, reinterpret_cast<const BYTE *>(text), sizeof(text)),
      ERROR_SUCCESS);
  DWORD type = 0, size = 64;
  char read[64] = {};
  EXPECT_EQ(KVT_RegGetValue(PathText("").c_str(), "SourcePath", &type, reinterpret_cast<BYTE *>(read), &size), 0);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(size, sizeof(text));
  EXPECT_STREQ(read, text);
}

TEST_F(RegistryValues, MissingKeyGives2AndIsNotCreated) {
  const BYTE data[] = {1};
  EXPECT_EQ(KVT_RegSetValue(PathText("Missing\\Deeper").c_str(), "v", REG_BINARY, data, 1), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(KeyExists("Missing"));
  DWORD type = 0, size = 1;
  BYTE read[1];
  EXPECT_EQ(KVT_RegGetValue(PathText("Missing").c_str(), "v", &type, read, &size), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(KVT_RegDeleteValue(PathText("Missing").c_str(), "v"), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(KeyExists("Missing"));
}

TEST_F(RegistryValues, ShortBufferGivesMoreDataAndTheSizeNeeded) {
  const BYTE data[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  ASSERT_EQ(KVT_RegSetValue(PathText("").c_str(), "v", REG_BINARY, data, sizeof(data)), 0);
  DWORD type = 0, size = 4;
  BYTE read[8];
  std::memset(read, 0xAA, sizeof(read));
  EXPECT_EQ(KVT_RegGetValue(PathText("").c_str(), "v", &type, read, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, sizeof(data));
  EXPECT_EQ(read[4], 0xAA) << "nothing written past the caller's size";
}

TEST_F(RegistryValues, UnknownRootGivesTheInvalidHandleCode) {
  const BYTE data[] = {1};
  std::string lower = "hkey_current_user\\" + Rel("");
  EXPECT_EQ(KVT_RegSetValue(lower.c_str(), "v", REG_BINARY, data, 1), ERROR_INVALID_HANDLE);
  DWORD type = 0, size = 1;
  BYTE read[1];
  EXPECT_EQ(KVT_RegGetValue("HKCU\\Software", "v", &type, read, &size), ERROR_INVALID_HANDLE);
  EXPECT_EQ(KVT_RegDeleteValue("", "v"), ERROR_INVALID_HANDLE);
}

}  // namespace
}  // namespace setup_test
