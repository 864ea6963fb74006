// Saving a machine is whole or nothing: a save that fails at any step, or on
// a full disk, leaves the old folder as it was and nothing beside it; a
// machine saved into the folder it was loaded from goes on using its drive.
#include <windows.h>

#include <platform/testing.h>

#include <gtest/gtest.h>

#include <sched.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every entry below a folder: its kind and, for a file, its bytes.
using Tree = std::map<std::string, std::string>;

Tree TreeOf(const fs::path &folder) {
  Tree tree;
  for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
    tree[entry.path().lexically_relative(folder).string()] = entry.is_symlink()
                                                                 ? "link to " + fs::read_symlink(entry.path()).string()
                                                             : entry.is_directory() ? "folder"
                                                                                    : "file " + ReadText(entry.path());
  }
  return tree;
}

class MachineSaveTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    root_ = fs::temp_directory_path() / ("kvt-machine-save-" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override {
    platform::ResetMachine();  // lets go of a loaded machine's drive
    fs::remove_all(root_);
  }

  // Gives the running machine something of `tag` in its drive, registry and
  // spooler.
  static void AddToMachine(const std::string &tag, size_t fileSize = 1) {
    fs::create_directories(platform::DriveCFolder() + "/Data");
    std::ofstream(platform::DriveCFolder() + "/Data/" + tag + ".txt") << std::string(fileSize, 'x');
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Kvt\\" + tag).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(platform::AddLocalPort(("PORT_" + tag).c_str()));
  }

  // Whether the machine saved in `dir`, once loaded, holds `tag` in each part.
  static bool SavedMachineHas(const fs::path &dir, const std::string &tag) {
    platform::ResetMachine();
    return platform::LoadMachine(dir.string()) &&
           platform::KeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\" + tag).has_value() &&
           GetFileAttributesA(("C:\\Data\\" + tag + ".txt").c_str()) != INVALID_FILE_ATTRIBUTES &&
           !platform::AddLocalPort(("PORT_" + tag).c_str());
  }

  // Fails each step of saving into `dir` in turn, each failed save leaving
  // everything under root_ as it was, until a save gets through; returns the
  // number of steps.
  unsigned FailEachStep(const fs::path &dir) {
    unsigned step = 1;
    for (; !::testing::Test::HasFailure(); ++step) {
      const Tree before = TreeOf(root_);
      const unsigned calls = platform::CallCount(platform::Fault::MachineSave);
      platform::FailNthCall(platform::Fault::MachineSave, step);
      if (platform::SaveMachine(dir.string())) break;
      EXPECT_EQ(TreeOf(root_), before) << "after a failure at step " << step;
      EXPECT_EQ(platform::CallCount(platform::Fault::MachineSave) - calls, step) << "no step after the failure";
    }
    platform::FailNthCall(platform::Fault::MachineSave, 0);
    return step - 1;
  }

  fs::path root_;
};

TEST_F(MachineSaveTest, EveryFailedStepLeavesTheOldFolderAsItWas) {
  // A folder below folders that are not there yet: a failure leaves none.
  AddToMachine("first");
  const fs::path fresh = root_ / "made" / "for" / "it";
  EXPECT_GE(FailEachStep(fresh), 15u) << "folders, the drive, four files, the flush and the swap";
  EXPECT_TRUE(SavedMachineHas(fresh, "first"));

  // A folder of other things is no machine to replace.
  const fs::path saved = root_ / "saved";
  fs::create_directories(saved);
  std::ofstream(saved / "notes.txt") << "no machine";
  const Tree before = TreeOf(root_);
  EXPECT_FALSE(platform::SaveMachine(saved.string()));
  EXPECT_EQ(TreeOf(root_), before);
  fs::remove(saved / "notes.txt");

  // A machine saved before, with things of its owner beside it, replaced by
  // another machine.
  platform::ResetMachine();
  AddToMachine("old");
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  fs::create_directories(saved / "notes" / "inner");
  std::ofstream(saved / "notes" / "inner" / "kept.txt") << "the owner's";
  fs::create_symlink("notes", saved / "link");
  platform::ResetMachine();
  AddToMachine("new");
  FailEachStep(saved);
  EXPECT_EQ(ReadText(saved / "notes" / "inner" / "kept.txt"), "the owner's");
  EXPECT_EQ(fs::read_symlink(saved / "link"), "notes");
  EXPECT_TRUE(SavedMachineHas(saved, "new"));
  EXPECT_FALSE(SavedMachineHas(saved, "old"));

  // The folder of the running machine, whose C: is its drive_c.
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  AddToMachine("more");
  FailEachStep(saved);
  EXPECT_NE(GetFileAttributesA("C:\\Data\\more.txt"), INVALID_FILE_ATTRIBUTES) << "C: is still the machine's drive";
  EXPECT_TRUE(SavedMachineHas(saved, "more"));
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 2) << "made, saved: nothing else";
}

TEST_F(MachineSaveTest, ASaveIntoItsOwnFolderKeepsOpenFilesAndSearches) {
  const fs::path dir = root_ / "machine";
  AddToMachine("a");
  AddToMachine("b");
  ASSERT_TRUE(platform::SaveMachine(dir.string()));
  ASSERT_TRUE(platform::LoadMachine(dir.string()));
  HANDLE log = CreateFileA("C:\\Data\\log.txt", GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(log, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(log, "before,", 7, &written, nullptr));
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA("C:\\Data\\*.txt", &found);
  ASSERT_NE(search, INVALID_HANDLE_VALUE);
  EXPECT_STREQ(found.cFileName, "a.txt");

  ASSERT_TRUE(platform::SaveMachine(dir.string()));
  ASSERT_TRUE(WriteFile(log, "after", 5, &written, nullptr));
  EXPECT_TRUE(CloseHandle(log));
  ASSERT_TRUE(FindNextFileA(search, &found));
  EXPECT_STREQ(found.cFileName, "b.txt");
  EXPECT_TRUE(FindClose(search));
  EXPECT_EQ(ReadText(dir / "drive_c" / "Data" / "log.txt"), "before,after") << "the handle wrote into the new folder";
  ASSERT_TRUE(DeleteFileA("C:\\Data\\a.txt"));
  EXPECT_FALSE(fs::exists(dir / "drive_c" / "Data" / "a.txt")) << "still used in place";
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1) << "the old folder is gone";
}

TEST_F(MachineSaveTest, AFullDiskFailsTheSaveAndKeepsTheOldMachine) {
  // A small file system of the test's own, in a mount namespace of its own
  // so that nothing outlives the test's process.
  const fs::path disk = root_ / "disk";
  fs::create_directories(disk);
  if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("kvt-small-disk", disk.c_str(), "tmpfs", 0, "size=512k") != 0) {
    GTEST_SKIP() << "cannot mount a small file system here: " << std::strerror(errno);
  }
  const fs::path dir = disk / "machine";
  AddToMachine("old");
  ASSERT_TRUE(platform::SaveMachine(dir.string()));
  AddToMachine("new", 64 * 1024);

  // A filler file leaves from no room at all up to room for the new machine
  // beside the old one.
  unsigned failures = 0;
  bool saved = false;
  for (uintmax_t free = 0; !saved && free <= 256 * 1024; free += 4096) {
    fs::remove(disk / "filler");
    struct statvfs info {};
    ASSERT_EQ(::statvfs(disk.c_str(), &info), 0);
    const uintmax_t available = static_cast<uintmax_t>(info.f_bavail) * info.f_frsize;
    if (available > free) std::ofstream(disk / "filler") << std::string(available - free, 'f');
    const Tree before = TreeOf(disk);
    saved = platform::SaveMachine(dir.string());
    if (!saved) {
      ++failures;
      EXPECT_EQ(TreeOf(disk), before) << free << " bytes free";
    }
  }
  EXPECT_GT(failures, 10u);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(SavedMachineHas(dir, "new"));
  platform::ResetMachine();
  ::umount2(disk.c_str(), MNT_DETACH);
}

}  // namespace

namespace {

// A copy of a machine folder, or a checkout of one from version control,
// loses what the host's files cannot keep and gives every file write
// permission: the saved list of attributes brings them back.
TEST_F(MachineSaveTest, AttributesThatTheHostCannotKeepComeBackWithTheMachine) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Kept", nullptr));
  const struct {
    const char *path;
    DWORD attributes;
    bool folder;
  } entries[] = {
      {"C:\\Kept\\readonly.txt", FILE_ATTRIBUTE_READONLY, false},
      {"C:\\Kept\\Thumbs.db", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
      {"C:\\Kept\\all.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM, false},
      {"C:\\Kept\\plain.txt", 0, false},
      {"C:\\Kept\\Hidden Folder", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY, true},
  };
  for (const auto &entry : entries) {
    if (entry.folder) {
      ASSERT_TRUE(CreateDirectoryA(entry.path, nullptr));
    } else {
      std::ofstream(*platform::HostPathOfWindowsPath(entry.path)) << entry.path;
    }
    if (entry.attributes != 0) {
      ASSERT_TRUE(SetFileAttributesA(entry.path, entry.attributes));
    }
  }
  const fs::path dir = root_ / "machine";
  ASSERT_TRUE(platform::SaveMachine(dir.string()));
  for (const fs::directory_entry &file : fs::recursive_directory_iterator(dir / "drive_c")) {
    fs::permissions(file.path(), fs::perms::owner_write, fs::perm_options::add);
  }
  const fs::path copy = root_ / "copy";
  fs::copy(dir, copy, fs::copy_options::recursive);

  for (const fs::path &loaded : {dir, copy}) {
    platform::ResetMachine();
    ASSERT_TRUE(platform::LoadMachine(loaded.string()));
    for (const auto &entry : entries) {
      const DWORD kind = entry.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
      EXPECT_EQ(GetFileAttributesA(entry.path), kind | entry.attributes) << entry.path << " in " << loaded;
    }
    EXPECT_FALSE(DeleteFileA("C:\\Kept\\readonly.txt"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  }
  EXPECT_NE(ReadText(copy / "file_attributes.json").find("\"read-only\""), std::string::npos);
}

}  // namespace
