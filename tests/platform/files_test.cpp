// The files module's own behaviour, beyond what the conformance suite checks
// against Windows: the machine's drives and their host folders, path forms,
// the module path, saved machines, and the profile parser's rules at its
// edges.
#include <windows.h>

#include <platform/testing.h>
#include <scoped_handle.h>

#include "../../platform/files/profile_parser.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }

  static void Touch(const char *windowsPath, const std::string &text = "x") {
    const kvt::ScopedFile file(CreateFileA(windowsPath, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    ASSERT_NE(file.get(), INVALID_HANDLE_VALUE) << windowsPath << " " << GetLastError();
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  }
};

TEST_F(FilesTest, AFreshMachineHasItsSystemFoldersOnAPrivateDrive) {
  for (const char *folder :
       {"C:\\WINDOWS", "c:\\windows\\SYSTEM32", "C:\\WINDOWS\\Inf", "C:\\WINDOWS\\system32\\spool\\drivers\\color"}) {
    EXPECT_EQ(GetFileAttributesA(folder), static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY)) << folder;
  }
  const std::string first = platform::DriveCFolder();
  EXPECT_TRUE(fs::is_directory(first + "/WINDOWS/Inf"));
  Touch("C:\\left-over.txt");
  platform::ResetMachine();
  EXPECT_FALSE(fs::exists(first)) << "the previous machine's folder is removed";
  EXPECT_NE(platform::DriveCFolder(), first);
  EXPECT_EQ(GetFileAttributesA("C:\\left-over.txt"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, ResetClosesHandlesOfThePreviousMachine) {
  HANDLE file = CreateFileA("C:\\open.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("C:\\*", &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  platform::ResetMachine();
  EXPECT_FALSE(CloseHandle(file));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_FALSE(FindClose(find));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, DriveZIsTheHostRoot) {
  const std::string host = platform::DriveCFolder() + "/host-file.txt";
  std::ofstream(host) << "from the host";
  std::string windowsPath = "Z:" + host;
  for (char &ch : windowsPath) {
    if (ch == '/') ch = '\\';
  }
  HANDLE file = CreateFileA(windowsPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << windowsPath;
  char text[32] = {};
  DWORD read = 0;
  EXPECT_TRUE(ReadFile(file, text, sizeof(text) - 1, &read, nullptr));
  EXPECT_STREQ(text, "from the host");
  CloseHandle(file);
  EXPECT_EQ(platform::HostPathOfWindowsPath("C:\\host-file.txt"), host);
  // Other drive letters do not exist.
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetFileAttributesA("D:\\anything"), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(GetFileAttributesA("\\\\server\\share\\file"), INVALID_FILE_ATTRIBUTES);
}

TEST_F(FilesTest, RelativeRootedAndDriveRelativePathsFollowTheCurrentFolder) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Work", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\Work\\Deep", nullptr));
  Touch("C:\\Work\\Deep\\file.txt");
  Touch("C:\\rooted.txt");
  char current[MAX_PATH];
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, current), 3u);
  EXPECT_STREQ(current, "C:\\");

  ASSERT_TRUE(SetCurrentDirectoryA("c:\\work\\"));
  EXPECT_EQ(GetCurrentDirectoryA(MAX_PATH, current), 7u);
  EXPECT_STREQ(current, "C:\\work") << "the given spelling is kept";
  EXPECT_NE(GetFileAttributesA("Deep\\file.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA(".\\Deep\\..\\Deep\\file.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA("C:Deep\\file.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA("\\rooted.txt"), INVALID_FILE_ATTRIBUTES);
  EXPECT_NE(GetFileAttributesA("..\\..\\..\\rooted.txt"), INVALID_FILE_ATTRIBUTES) << ".. stops at the root";
  EXPECT_NE(GetFileAttributesA("Deep\\file.txt. . "), INVALID_FILE_ATTRIBUTES) << "trailing dots and blanks go";

  // The current folder is held: it cannot be removed.
  ASSERT_TRUE(SetCurrentDirectoryA("Deep"));
  ASSERT_TRUE(DeleteFileA("file.txt"));
  SetLastError(0xdeadbeef);
  EXPECT_FALSE(RemoveDirectoryA("C:\\Work\\Deep"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));

  SetLastError(0xdeadbeef);
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\Nowhere"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(SetCurrentDirectoryA("C:\\rooted.txt"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DIRECTORY));

  char small[4];
  std::memset(small, '#', sizeof(small));
  EXPECT_EQ(GetCurrentDirectoryA(sizeof(small), small), 13u) << "needed size, terminator included";
  EXPECT_EQ(small[0], '#');
}

TEST_F(FilesTest, InvalidNameCharactersAreRefused) {
  for (const char *name : {"C:\\a<b", "C:\\a|b", "C:\\a\"b", "C:\\a\x01"}) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(CreateFileA(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME)) << name;
  }
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA(nullptr, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesTest, ReadOnlyHoldsEvenForAPrivilegedHostUser) {
  Touch("C:\\locked.txt");
  ASSERT_TRUE(SetFileAttributesA("C:\\locked.txt", FILE_ATTRIBUTE_READONLY));
  SetLastError(0xdeadbeef);
  EXPECT_EQ(CreateFileA("C:\\locked.txt", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(CreateFileA("C:\\locked.txt", GENERIC_READ, 0, nullptr, CREATE_ALWAYS, 0, nullptr), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  HANDLE reader = CreateFileA("C:\\locked.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(reader, INVALID_HANDLE_VALUE);
  CloseHandle(reader);
  // A file created read-only can still be written through its own handle.
  HANDLE created =
      CreateFileA("C:\\born-locked.txt", GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
  ASSERT_NE(created, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(created, "abc", 3, &written, nullptr));
  CloseHandle(created);
  EXPECT_NE(GetFileAttributesA("C:\\born-locked.txt") & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST_F(FilesTest, HandleCallsCheckTheirArguments) {
  HANDLE file = CreateFileA("C:\\io.bin", GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD count = 0xdeadbeef;
  EXPECT_TRUE(WriteFile(file, nullptr, 0, &count, nullptr));
  EXPECT_EQ(count, 0u);
  EXPECT_FALSE(WriteFile(file, nullptr, 4, &count, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(WriteFile(file, "0123456789", 10, &count, nullptr));
  EXPECT_EQ(GetFileSize(file, nullptr), 10u);
  EXPECT_EQ(SetFilePointer(file, 4, nullptr, FILE_BEGIN), 4u);
  char text[8] = {};
  EXPECT_TRUE(ReadFile(file, text, 3, &count, nullptr));
  EXPECT_STREQ(text, "456");
  EXPECT_EQ(SetFilePointer(file, 0, nullptr, 7), INVALID_SET_FILE_POINTER);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  // Reading at the end succeeds with nothing.
  SetFilePointer(file, 0, nullptr, FILE_END);
  EXPECT_TRUE(ReadFile(file, text, 3, &count, nullptr));
  EXPECT_EQ(count, 0u);
  LONG high = 0;
  EXPECT_EQ(SetFilePointer(file, 0, &high, FILE_CURRENT), 10u);
  EXPECT_EQ(high, 0);
  CloseHandle(file);
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE, file}) {
    SetLastError(0xdeadbeef);
    EXPECT_EQ(SetFilePointer(bad, 0, nullptr, FILE_BEGIN), INVALID_SET_FILE_POINTER);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(ReadFile(bad, text, 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_FALSE(FindNextFileA(file, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(FilesTest, RootSearchesHaveNoDotEntries) {
  WIN32_FIND_DATAA entry;
  HANDLE find = FindFirstFileA("C:\\*", &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(entry.cFileName, "WINDOWS");
  EXPECT_FALSE(FindNextFileA(find, &entry));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_FILES));
  FindClose(find);
  // "*.*" also matches names without an extension.
  find = FindFirstFileA("C:\\WINDOWS\\*.*", &entry);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(entry.cFileName, ".");
  FindClose(find);
  SetLastError(0xdeadbeef);
  EXPECT_EQ(FindFirstFileA("C:\\WINDOWS\\", &entry), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(FilesTest, TheModulePathIsTheProgramOnDriveZ) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  ASSERT_GT(length, 3u);
  EXPECT_EQ(std::string(path, 3), "Z:\\");
  EXPECT_EQ(std::strchr(path, '/'), nullptr);
  EXPECT_NE(std::string(path).find("platform_tests"), std::string::npos);

  platform::SetMainModulePath("C:\\Program Files\\Host\\setup.exe");
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, MAX_PATH), 31u);
  EXPECT_STREQ(path, "C:\\Program Files\\Host\\setup.exe");
  SetLastError(0xdeadbeef);
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, 32), 31u) << "an exact fit is no error";
  EXPECT_EQ(GetLastError(), 0xdeadbeefu);
  EXPECT_EQ(GetModuleFileNameA(nullptr, path, 31), 31u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(std::strlen(path), 30u);
  EXPECT_EQ(GetModuleFileNameA(reinterpret_cast<HMODULE>(0x1234), path, MAX_PATH), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  platform::ResetMachine();
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  EXPECT_EQ(std::string(path, 3), "Z:\\");
}

TEST_F(FilesTest, SavedMachinesKeepTheirDriveAndLoadedOnesAreUsedInPlace) {
  const std::string dir = platform::DriveCFolder() + "-saved";
  ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
  Touch("C:\\Data\\kept.txt", "kept");
  ASSERT_TRUE(platform::SaveMachine(dir));
  EXPECT_TRUE(fs::exists(dir + "/drive_c/Data/kept.txt"));

  platform::ResetMachine();
  ASSERT_TRUE(platform::LoadMachine(dir));
  EXPECT_EQ(fs::canonical(platform::DriveCFolder()), fs::canonical(dir + "/drive_c"));
  EXPECT_NE(GetFileAttributesA("C:\\data\\KEPT.txt"), INVALID_FILE_ATTRIBUTES);
  ASSERT_TRUE(DeleteFileA("C:\\Data\\kept.txt"));
  EXPECT_FALSE(fs::exists(dir + "/drive_c/Data/kept.txt")) << "a loaded C: is used in place";
  ASSERT_TRUE(platform::SaveMachine(dir));  // saving onto itself keeps the folder
  EXPECT_TRUE(fs::is_directory(dir + "/drive_c/Data"));

  // A folder that is no machine changes nothing.
  EXPECT_FALSE(platform::LoadMachine(dir + "/nothing"));
  EXPECT_EQ(fs::canonical(platform::DriveCFolder()), fs::canonical(dir + "/drive_c"));
  platform::ResetMachine();
  std::error_code error;
  fs::remove_all(dir, error);
}

TEST_F(FilesTest, ProfileNamesWithoutAFolderAreInTheWindowsFolder) {
  Touch("C:\\WINDOWS\\kvt.ini", "[S]\r\nk=windows folder\r\n");
  char value[32];
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", value, sizeof(value), "kvt.ini"), 14u);
  EXPECT_STREQ(value, "windows folder");
  EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", value, 0, "kvt.ini"), 0u);
}

TEST_F(FilesTest, ProfileListsOfSectionsAndKeysAreDoubleTerminated) {
  Touch("C:\\list.ini", "[One]\r\na=1\r\nb=2\r\n; note\r\n[Two]\r\n");
  char list[32];
  std::memset(list, '#', sizeof(list));
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", list, sizeof(list), "C:\\list.ini"), 8u);
  EXPECT_EQ(std::memcmp(list, "One\0Two\0\0", 9), 0);
  EXPECT_EQ(GetPrivateProfileStringA("one", nullptr, "", list, sizeof(list), "C:\\list.ini"), 4u);
  EXPECT_EQ(std::memcmp(list, "a\0b\0\0", 5), 0);
  std::memset(list, '#', sizeof(list));
  EXPECT_EQ(GetPrivateProfileStringA(nullptr, nullptr, "", list, 6, "C:\\list.ini"), 4u);
  EXPECT_EQ(std::memcmp(list, "One\0\0\0", 6), 0) << "cut to size - 2, then two terminators";
  EXPECT_EQ(list[6], '#');
}

TEST_F(FilesTest, ProfileWritesCreateEditAndDelete) {
  ASSERT_TRUE(WritePrivateProfileStringA("Sec", "Key", "1", "C:\\w.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("sec", "key", "2", "C:\\w.ini"));
  ASSERT_TRUE(WritePrivateProfileStringA("Other", "x", "y", "C:\\w.ini"));
  EXPECT_EQ(GetPrivateProfileIntA("Sec", "Key", 0, "C:\\w.ini"), 2u);
  ASSERT_TRUE(WritePrivateProfileStringA("Sec", nullptr, nullptr, "C:\\w.ini"));
  EXPECT_EQ(GetPrivateProfileIntA("Sec", "Key", 9, "C:\\w.ini"), 9u);
  char value[8];
  EXPECT_EQ(GetPrivateProfileStringA("Other", "x", "", value, sizeof(value), "C:\\w.ini"), 1u);
  EXPECT_FALSE(WritePrivateProfileStringA("S", "k", "v", "C:\\missing\\w.ini"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

// --- The parser itself -----------------------------------------------------

TEST(ProfileParser, LinesAndSectionsAtTheEdges) {
  using platform::profile::Parse;
  const auto sections = Parse(
      "\xEF\xBB\xBF"
      "lead=before any section\n"
      "[Unclosed\n"
      "[ Spaced ]\r\n"
      "  novalue  \r\n"
      "=no name\n"
      "[a]b]\n"
      "k = v = w\n"
      "[]\n"
      "e=\x1A\n");
  ASSERT_EQ(sections.size(), 4u);
  EXPECT_EQ(sections[0].name, "");
  ASSERT_EQ(sections[0].entries.size(), 2u);
  EXPECT_EQ(sections[0].entries[0].name, "lead");
  EXPECT_EQ(sections[0].entries[1].name, "[Unclosed");
  EXPECT_FALSE(sections[0].entries[1].value.has_value());
  EXPECT_EQ(sections[1].name, " Spaced ");
  ASSERT_EQ(sections[1].entries.size(), 2u);
  EXPECT_EQ(sections[1].entries[0].name, "novalue");
  EXPECT_FALSE(sections[1].entries[0].value);
  EXPECT_EQ(sections[1].entries[1].name, "");
  EXPECT_EQ(sections[1].entries[1].value, "no name");
  EXPECT_EQ(sections[2].name, "a]b") << "the header runs to the last bracket";
  EXPECT_EQ(sections[2].entries[0].value, "v = w");
  EXPECT_EQ(sections[3].name, "");
  EXPECT_EQ(sections[3].entries[0].value, "");
}

TEST(ProfileParser, NamesFoldCaseInTheAnsiCodePage) {
  const auto sections = platform::profile::Parse("[\xC4RGER]\n\xE9t\xE9=summer\n");
  const auto *section = platform::profile::FindSection(sections, "\xE4rger");
  ASSERT_NE(section, nullptr);
  const auto *entry = platform::profile::FindEntry(*section, "\xC9T\xC9");
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(entry->value, "summer");
}

TEST(ProfileParser, LeadingIntegersFollowTheSystemConversion) {
  using platform::profile::LeadingInteger;
  EXPECT_EQ(LeadingInteger("  12abc"), 12u);
  EXPECT_EQ(LeadingInteger("abc"), 0u);
  EXPECT_EQ(LeadingInteger("-5"), static_cast<UINT>(-5));
  EXPECT_EQ(LeadingInteger("+7"), 7u);
  EXPECT_EQ(LeadingInteger("0x1F"), 31u);
  EXPECT_EQ(LeadingInteger("0X1f"), 31u);
  EXPECT_EQ(LeadingInteger("0b101"), 5u);
  EXPECT_EQ(LeadingInteger("0o17"), 15u);
  EXPECT_EQ(LeadingInteger("-0x10"), static_cast<UINT>(-16));
  EXPECT_EQ(LeadingInteger("0x"), 0u);
  EXPECT_EQ(LeadingInteger("- 5"), 0u);
  EXPECT_EQ(LeadingInteger("4294967297"), 1u) << "wraps modulo 2^32";
  EXPECT_EQ(LeadingInteger(""), 0u);
}

TEST(ProfileParser, QuotesComeOffOnlyInMatchingPairs) {
  using platform::profile::StripQuotes;
  EXPECT_EQ(StripQuotes("\"a\""), "a");
  EXPECT_EQ(StripQuotes("'a'"), "a");
  EXPECT_EQ(StripQuotes("\"a'"), "\"a'");
  EXPECT_EQ(StripQuotes("\""), "\"");
  EXPECT_EQ(StripQuotes("\"\""), "");
  EXPECT_EQ(StripQuotes("\"\"a\"\""), "\"a\"");
}

}  // namespace
