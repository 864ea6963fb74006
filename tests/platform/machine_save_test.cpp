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
#include <functional>
#include <iterator>
#include <map>
#include <string>

namespace {

namespace fs = std::filesystem;

// Every entry below a folder: its kind and, for a file, its bytes.
using Tree = std::map<std::string, std::string>;

Tree TreeOf(const fs::path &folder) {
  Tree tree;
  for (const fs::directory_entry &entry : fs::recursive_directory_iterator(folder)) {
    std::string &what = tree[entry.path().lexically_relative(folder).string()];
    if (entry.is_symlink()) {
      what = "link to " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      what = "folder";
    } else {
      std::ifstream in(entry.path(), std::ios::binary);
      what = "file " + std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  }
  return tree;
}

std::string ReadText(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

  // Gives the running machine something of `tag` in each of its parts.
  static void AddToMachine(const std::string &tag) {
    CreateDirectoryA("C:\\Data", nullptr);
    WriteWindowsFile("C:\\Data\\" + tag + ".txt", tag);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Kvt\\" + tag).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_TRUE(platform::AddLocalPort(("PORT_" + tag).c_str()));
  }

  static void WriteWindowsFile(const std::string &path, const std::string &text) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
  }

  // Whether the machine saved in `dir`, once loaded, holds `tag` in each part.
  static bool SavedMachineHas(const fs::path &dir, const std::string &tag) {
    platform::ResetMachine();
    if (!platform::LoadMachine(dir.string())) return false;
    const bool hasKey = platform::KeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\" + tag).has_value();
    const bool hasFile = GetFileAttributesA(("C:\\Data\\" + tag + ".txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    const bool hasPort = !platform::AddLocalPort(("PORT_" + tag).c_str());
    return hasKey && hasFile && hasPort;
  }

  // Fails each step of saving into `dir` in turn: each failed save leaves
  // everything under root_ as it was. Returns the number of steps, after the
  // save that no longer failed.
  unsigned FailEachStep(const fs::path &dir) {
    unsigned step = 1;
    for (;; ++step) {
      const Tree before = TreeOf(root_);
      const unsigned calls = platform::CallCount(platform::Fault::MachineSave);
      platform::FailNthCall(platform::Fault::MachineSave, step);
      if (platform::SaveMachine(dir.string())) break;
      EXPECT_EQ(TreeOf(root_), before) << "after a failure at step " << step;
      EXPECT_EQ(platform::CallCount(platform::Fault::MachineSave) - calls, step) << "no step after the failure";
      if (::testing::Test::HasFailure()) break;
    }
    platform::FailNthCall(platform::Fault::MachineSave, 0);
    return step - 1;
  }

  fs::path root_;
};

TEST_F(MachineSaveTest, EveryFailedStepLeavesTheOldFolderAsItWas) {
  // A folder that is not there yet, below folders that are not there either:
  // a failure leaves none of them.
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
  EXPECT_EQ(fs::canonical(platform::DriveCFolder()), fs::canonical(dir / "drive_c"));
  ASSERT_TRUE(DeleteFileA("C:\\Data\\a.txt"));
  EXPECT_FALSE(fs::exists(dir / "drive_c" / "Data" / "a.txt")) << "still used in place";
  EXPECT_EQ(std::distance(fs::directory_iterator(root_), fs::directory_iterator()), 1) << "the old folder is gone";
}

// Mounts a small file system of its own at `folder` for one test, in a
// mount namespace of the test's process so that nothing outlives it.
class SmallDisk {
 public:
  explicit SmallDisk(const fs::path &folder) : folder_(folder) {
    fs::create_directories(folder);
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("kvt-small-disk", folder.c_str(), "tmpfs", 0, "size=512k") != 0) {
      why_ = std::string("cannot mount a small file system here: ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  bool mounted() const { return mounted_; }
  const std::string &why() const { return why_; }

  // Fills the disk with a file until only `free` bytes are left.
  void LeaveFree(uintmax_t free) const {
    fs::remove(folder_ / "filler");
    struct statvfs info {};
    ASSERT_EQ(::statvfs(folder_.c_str(), &info), 0);
    const uintmax_t available = static_cast<uintmax_t>(info.f_bavail) * info.f_frsize;
    if (available > free) std::ofstream(folder_ / "filler") << std::string(available - free, 'f');
  }

 private:
  fs::path folder_;
  bool mounted_ = false;
  std::string why_;
};

TEST_F(MachineSaveTest, AFullDiskFailsTheSaveAndKeepsTheOldMachine) {
  SmallDisk disk(root_ / "disk");
  if (!disk.mounted()) GTEST_SKIP() << disk.why();
  const fs::path dir = root_ / "disk" / "machine";
  AddToMachine("old");
  ASSERT_TRUE(platform::SaveMachine(dir.string()));
  AddToMachine("new");
  WriteWindowsFile("C:\\Data\\photo.bin", std::string(64 * 1024, 'p'));

  // From no room at all up to room for the new machine beside the old one.
  unsigned failures = 0;
  bool saved = false;
  for (uintmax_t free = 0; !saved && free <= 256 * 1024; free += 4096) {
    disk.LeaveFree(free);
    const Tree before = TreeOf(root_ / "disk");
    saved = platform::SaveMachine(dir.string());
    if (!saved) {
      ++failures;
      EXPECT_EQ(TreeOf(root_ / "disk"), before) << free << " bytes free";
    }
  }
  EXPECT_GT(failures, 10u);
  ASSERT_TRUE(saved);
  fs::remove(root_ / "disk" / "filler");
  EXPECT_TRUE(SavedMachineHas(dir, "new"));
}

}  // namespace
