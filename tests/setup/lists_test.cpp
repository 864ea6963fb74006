// The INI-driven lists: the frame they share (count, item keys, path values
// and their folder letters), the exact log of a directory item, files that
// are read-only, missing, in use or loaded, directories that hold folders
// or are missing, copying and moving, and the lists that hand their items
// to other operations. Each case writes its own files under names of its
// own, in the Windows folders of the system under test.
#include <map>
#include <string>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include "setup_run_fixture.h"

namespace setup_test {
namespace {

std::string Err(DWORD code) { return "-->Error(" + std::to_string(code) + "):" + SystemMessage(code) + "\r\n"; }

class ListsTest : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    char windows[MAX_PATH];
    ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
    windows_ = windows;
    CreateDirectoryA(System().c_str(), NULL);  // a fresh machine has none
    tag_ = Dir().substr(Dir().rfind('\\') + 1);
  }

  std::string System() const { return windows_ + "\\System"; }
  // A name of this case's own.
  std::string Own(const std::string &name) const { return "kvt" + tag_ + name; }

  void StartListRun(const std::string &sections, int logLevel = 1) {
    StartRunWithIni("[KVTSetup]\r\nLogLevel=" + std::to_string(logLevel) + "\r\n" + sections);
  }

  // Puts a DLL at `path` that the process has loaded, which Windows will
  // not let anyone delete: a copy of the test printer configuration DLL
  // under Windows, a file marked so on Linux.
  bool LoadedModule(const std::string &path) {
#ifdef _WIN32
    std::string dll = "Z:" KVT_TEST_PRINTER_CONFIG_DLL;
    for (char &ch : dll) {
      if (ch == '/') ch = '\\';
    }
    if (!CopyFileA(dll.c_str(), path.c_str(), FALSE)) return false;
    modules_[path] = LoadLibraryA(path.c_str());
    return modules_[path] != NULL;
#else
    WriteFileBytes(path, "MZ");
    return platform::MarkLoadedModule(path, true);
#endif
  }
  void UnloadModule(const std::string &path) {
#ifdef _WIN32
    FreeLibrary(modules_[path]);
#else
    platform::MarkLoadedModule(path, false);
#endif
    DeleteFileA(path.c_str());
  }

  std::string windows_;
  std::string tag_;
  std::map<std::string, HMODULE> modules_;
};

// The Part's example, as the log shows it byte for byte.
TEST_F(ListsTest, DirectoryItemLogsTheExampleExactly) {
  const std::string folder = System() + "\\" + Own("Folder");
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
  WriteFileBytes(folder + "\\example.dat", "data");
  StartListRun("[DelDir]\r\nCount=1\r\nDelDir1=SYSDIR\\" + Own("Folder") + "\r\n");
  EXPECT_EQ(KVT_DeleteDirList(), 1);
  EXPECT_EQ(LinesOfRun(), "KVT_DeleteDirList()\r\nCount=1\r\nDelDir1=SYSDIR\\" + Own("Folder") + "\r\nFindFirstFile(" +
                              folder + "\\*)\r\r\n-->Success\r\nDeleteFile(" + folder + "\\.)\r\n" + Err(5) +
                              "DeleteFile(" + folder + "\\..)\r\n" + Err(5) + "DeleteFile(" + folder +
                              "\\example.dat)\r\n-->Success\r\nRemoveDirectory(" + folder +
                              ")\r\n-->Success\r\nDeleteDirectory(" + folder + ")\r\n-->Success\r\n");
  EXPECT_FALSE(FileExists(folder));
}

// Keys numbered without leading zeros up to the count; folder letters in
// either case with characters 2 to 7 unread; values that name no path, the
// empty text of a missing key among them, are passed over with a line.
TEST_F(ListsTest, FileListReadsItsKeysAndFolderLetters) {
  std::string keys = "[DelFile]\r\nCount=10\r\nDelFile01=SYSDIR\\" + Own("01") + "\r\n";
  const char *folders[] = {"SYSDIR\\", "sYSDIR\\", "S12345\\", "INFDIR\\", "WINDIR\\", "Xnodir\\", "B12345X\\"};
  for (int n = 1; n <= 7; ++n) keys += "DelFile" + std::to_string(n) + "=" + folders[n - 1] + Own("f") + "\r\n";
  keys += "DelFile8=\r\nDelFile9=S\r\n";
  keys += "DelFile10=WINDIR\\\r\n";
  WriteFileBytes(System() + "\\" + Own("01"), "kept");
  for (const std::string &folder : {System(), windows_ + "\\inf", windows_})
    WriteFileBytes(folder + "\\" + Own("f"), "x");
  StartListRun(keys);
  EXPECT_EQ(KVT_DeleteFileList(), 0) << "the Windows directory itself cannot be deleted as a file";
  const std::string lines = LinesOfRun();
  EXPECT_TRUE(FileExists(System() + "\\" + Own("01"))) << "DelFile01 is never read";
  for (const std::string &folder : {System(), windows_ + "\\inf", windows_}) {
    EXPECT_FALSE(FileExists(folder + "\\" + Own("f"))) << folder;
  }
  const std::string file = System() + "\\" + Own("f");
  EXPECT_NE(lines.find("DelFile1=SYSDIR\\" + Own("f") + "\r\nDeleteFile(" + file + ")\r\n-->Success\r\n"),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("DelFile2=sYSDIR\\" + Own("f") + "\r\nDeleteFile(" + file + ")\r\n" + Err(2)),
            std::string::npos);
  EXPECT_NE(lines.find("DelFile3=S12345\\" + Own("f") + "\r\nDeleteFile(" + file + ")\r\n" + Err(2)),
            std::string::npos);
  EXPECT_NE(lines.find("DelFile6=Xnodir\\" + Own("f") + "\r\nDelFile6: not a path of this list\r\n"),
            std::string::npos);
  EXPECT_NE(lines.find("DelFile7: not a path of this list\r\n"), std::string::npos) << "B is for the copy lists";
  EXPECT_NE(lines.find("DelFile8=\r\nDelFile8: not a path of this list\r\n"), std::string::npos);
  EXPECT_NE(lines.find("DelFile9=S\r\nDeleteFile(" + System() + "\\)\r\n"), std::string::npos)
      << "a value too short for its relative part names the folder";
  EXPECT_NE(lines.find("DelFile10=WINDIR\\\r\nDeleteFile(" + windows_ + "\\)\r\n" + Err(5)), std::string::npos)
      << lines;
  EXPECT_EQ(lines.find("DelFile01"), std::string::npos);
  EXPECT_EQ(lines.find("DelFile11"), std::string::npos);
}

TEST_F(ListsTest, FileListDeletesReadOnlyFilesAndFailsOnlyForRefusals) {
  const std::string readOnly = System() + "\\" + Own("ro"), open = System() + "\\" + Own("open"),
                    loaded = System() + "\\" + Own("loaded.dll"), last = System() + "\\" + Own("last");
  WriteFileBytes(readOnly, "r");
  ASSERT_TRUE(SetFileAttributesA(readOnly.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  WriteFileBytes(open, "o");
  WriteFileBytes(last, "l");
  HANDLE held = CreateFileA(open.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(LoadedModule(loaded));
  StartListRun("[DelFile]\r\nCount=5\r\nDelFile1=SYSDIR\\" + Own("ro") + "\r\nDelFile2=SYSDIR\\" + Own("missing") +
               "\r\nDelFile3=SYSDIR\\" + Own("open") + "\r\nDelFile4=SYSDIR\\" + Own("loaded.dll") +
               "\r\nDelFile5=SYSDIR\\" + Own("last") + "\r\n");
  EXPECT_EQ(KVT_DeleteFileList(), 0) << "the loaded module's deletion was refused";
  const std::string lines = LinesOfRun();
  CloseHandle(held);
  EXPECT_FALSE(FileExists(readOnly));
  EXPECT_TRUE(FileExists(open));
  EXPECT_TRUE(FileExists(loaded));
  EXPECT_FALSE(FileExists(last)) << "a failed item does not stop the list";
  EXPECT_NE(lines.find("DeleteFile(" + System() + "\\" + Own("missing") + ")\r\n" + Err(2)), std::string::npos);
  EXPECT_NE(lines.find("DeleteFile(" + open + ")\r\n" + Err(ERROR_SHARING_VIOLATION)), std::string::npos);
  EXPECT_NE(lines.find("DeleteFile(" + loaded + ")\r\n" + Err(5)), std::string::npos) << lines;
  UnloadModule(loaded);

  // Alone, a missing file and one in use by another program leave the result 1.
  StartListRun("[DelFile]\r\nCount=1\r\nDelFile1=SYSDIR\\" + Own("missing") + "\r\n");
  EXPECT_EQ(KVT_DeleteFileList(), 1);
}

// A directory holding a folder keeps it: its files go, the folder, "." and
// ".." give error lines, and the removal fails twice over. The attributes
// of the directory and its parent are not touched by "." and "..".
TEST_F(ListsTest, DirectoryWithAFolderKeepsItAndItsParentsAttributes) {
  const std::string parent = System() + "\\" + Own("Parent"), folder = parent + "\\Dir";
  ASSERT_TRUE(CreateDirectoryA(parent.c_str(), NULL));
  ASSERT_TRUE(CreateDirectoryA(folder.c_str(), NULL));
  ASSERT_TRUE(CreateDirectoryA((folder + "\\Sub").c_str(), NULL));
  WriteFileBytes(folder + "\\a.txt", "a");
  WriteFileBytes(folder + "\\b.txt", "b");
  ASSERT_TRUE(SetFileAttributesA(parent.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  ASSERT_TRUE(SetFileAttributesA(folder.c_str(), FILE_ATTRIBUTE_HIDDEN));
  StartListRun("[DelDir]\r\nCount=1\r\nDelDir1=SYSDIR\\" + Own("Parent") + "\\Dir\r\n");
  EXPECT_EQ(KVT_DeleteDirList(), 0);
  const std::string lines = LinesOfRun();
  EXPECT_FALSE(FileExists(folder + "\\a.txt"));
  EXPECT_FALSE(FileExists(folder + "\\b.txt"));
  EXPECT_TRUE(FileExists(folder + "\\Sub"));
  EXPECT_NE(lines.find("DeleteFile(" + folder + "\\Sub)\r\n" + Err(5)), std::string::npos) << lines;
  EXPECT_NE(lines.find("RemoveDirectory(" + folder + ")\r\n" + Err(ERROR_DIR_NOT_EMPTY) + "DeleteDirectory(" + folder +
                       ")\r\n" + Err(ERROR_DIR_NOT_EMPTY)),
            std::string::npos)
      << lines;
  EXPECT_EQ(GetFileAttributesA(parent.c_str()) & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
  EXPECT_NE(GetFileAttributesA(folder.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  SetFileAttributesA(parent.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA((folder + "\\Sub").c_str());
  RemoveDirectoryA(folder.c_str());
  RemoveDirectoryA(parent.c_str());
}

TEST_F(ListsTest, MissingDirectoryLogsTheSearchAndTheRemovalTwice) {
  const std::string folder = System() + "\\" + Own("Gone");
  StartListRun("[DelDir]\r\nCount=1\r\nDelDir1=SYSDIR\\" + Own("Gone") + "\r\n");
  EXPECT_EQ(KVT_DeleteDirList(), 0);
  const std::string lines = LinesOfRun();
  EXPECT_NE(lines.find("FindFirstFile(" + folder + "\\*)\r\r\n-->Error("), std::string::npos) << lines;
  EXPECT_EQ(lines.find("DeleteFile("), std::string::npos);
  EXPECT_NE(lines.find("RemoveDirectory(" + folder + ")\r\n" + Err(2) + "DeleteDirectory(" + folder + ")\r\n" + Err(2)),
            std::string::npos)
      << lines;
}

// Copies replace what stands at the destination; a move deletes each source
// only once its copy is in place; B names the run's setup directory.
TEST_F(ListsTest, CopyAndMoveLists) {
  WriteFileBytes(PathOf("source.dat"), "new");
  WriteFileBytes(System() + "\\" + Own("dest"), "old");
  const std::string copy = "[CopyFile]\r\nCount=2\r\nSorc1=BASEDIR\\source.dat\r\nDest1=SYSDIR\\" + Own("dest") +
                           "\r\nSorc2=SYSDIR\\" + Own("none") + "\r\nDest2=WINDIR\\" + Own("none") + "\r\n";
  const std::string move = "[MoveFile]\r\nCount=2\r\nSorc1=SYSDIR\\" + Own("dest") + "\r\nDest1=INFDIR\\" +
                           Own("moved") + "\r\nSorc2=SYSDIR\\" + Own("none") + "\r\nDest2=WINDIR\\" + Own("none") +
                           "\r\n";
  StartListRun(copy + move);
  EXPECT_EQ(KVT_CopyFileList(0), 1);
  EXPECT_EQ(ReadFileBytes(System() + "\\" + Own("dest")), "new");
  EXPECT_TRUE(FileExists(PathOf("source.dat")));
  EXPECT_EQ(KVT_CopyFileList(1), 1);
  const std::string lines = LinesOfRun();
  EXPECT_EQ(ReadFileBytes(windows_ + "\\inf\\" + Own("moved")), "new");
  EXPECT_FALSE(FileExists(System() + "\\" + Own("dest")));
  DeleteFileA((windows_ + "\\inf\\" + Own("moved")).c_str());
  EXPECT_NE(
      lines.find("CopyFile(" + PathOf("source.dat") + "->" + System() + "\\" + Own("dest") + ")\r\n-->Success\r\n"),
      std::string::npos)
      << lines;
  const std::string failed =
      "CopyFile(" + System() + "\\" + Own("none") + "->" + windows_ + "\\" + Own("none") + ")\r\n" + Err(2);
  EXPECT_NE(lines.find(failed + "KVT_CopyFileList()\r\nCount=2\r\n"), std::string::npos) << lines;
  EXPECT_EQ(lines.rfind(failed), lines.size() - failed.size()) << "a failed move copy deletes nothing";
  EXPECT_NE(lines.find("->" + windows_ + "\\inf\\" + Own("moved") + ")\r\n-->Success\r\nDeleteFile(" + System() + "\\" +
                       Own("dest") + ")\r\n-->Success\r\n"),
            std::string::npos);
}

// The lists that hand items on: an empty registry path goes to the key
// deletion too (count beyond the keys), the device list logs each result,
// and empty lists give 1. With logging off the work is the same.
TEST_F(ListsTest, ListsHandTheirItemsOnWithOrWithoutALog) {
  HKEY key = NULL;
  const std::string sub = "Software\\" + Own("Reg");
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (sub + "\\Leaf").c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  RegCloseKey(key);
  const std::string ini = "[DelReg]\r\nCount=2\r\nDelReg1=HKEY_CURRENT_USER\\" + sub +
                          "\r\n[RemoveDevice]\r\nCount=1\r\nHID1=KVT\\NoSuchDevice" + tag_ + "\r\n";
  StartListRun(ini);
  EXPECT_EQ(KVT_DeleteRegList(), 1);
  EXPECT_EQ(KVT_DeleteDeviceList(), 1);
  EXPECT_EQ(KVT_DeleteOemxInfList(), 1) << "an empty list";
  EXPECT_EQ(KVT_DeleteDirList(), 1) << "an empty list";
  const std::string lines = LinesOfRun();
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_NE(lines.find("DelReg2=\r\nKVT_RegDeleteKey(, 0)\r\n"), std::string::npos) << lines;
  EXPECT_NE(
      lines.find("HID1=KVT\\NoSuchDevice" + tag_ + "\r\nRemoveDevice(KVT\\NoSuchDevice" + tag_ + ")\r\n-->Success\r\n"),
      std::string::npos)
      << lines;
  EXPECT_NE(lines.find("KVT_DeleteOemxInfList()\r\nCount=0\r\nKVT_DeleteDirList()\r\nCount=0\r\n"), std::string::npos);

  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL),
            ERROR_SUCCESS);
  RegCloseKey(key);
  DeleteFileA(PathOf("KvtSetup.log").c_str());
  StartListRun(ini, 0);
  EXPECT_EQ(KVT_DeleteRegList(), 1);
  EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, sub.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS);
  KVT_SetupFinish();
  EXPECT_FALSE(FileExists(PathOf("KvtSetup.log")));
}

}  // namespace
}  // namespace setup_test
