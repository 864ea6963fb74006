// The setup registry clean-up: device instance keys of the printer class
// by their "DriverDesc", device interface keys of USB printing by a text in
// their names, and the setup source path saved and put back. Each case
// makes its own keys under the two class keys (which a fresh Wine prefix
// lacks, so they are made when missing) and removes them afterwards.
#include <regex>
#include <string>
#include <vector>

#include "registry/key_tree.h"
#include "registry_fixture.h"

namespace setup_test {
namespace {

const char kPrinterClass[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}";
const char kUsbInterfaces[] =
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const char kSetupPath[] = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup";

// The two values of the setup key, put back as they were when the case
// ends, whatever it did to them.
class SourcePaths {
 public:
  SourcePaths() {
    for (const char *name : kNames) saved_.push_back(Read(name));
  }
  ~SourcePaths() {
    for (size_t i = 0; i < saved_.size(); ++i) {
      if (saved_[i].first) {
        Set(kNames[i], saved_[i].second);
      } else {
        Remove(kNames[i]);
      }
    }
  }
  void Set(const char *name, const std::string &text) {
    kvt::ScopedKey key = Open(KEY_SET_VALUE);
    ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE *>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
  }
  void Remove(const char *name) { RegDeleteValueA(Open(KEY_SET_VALUE).get(), name); }
  bool Has(const char *name) { return Read(name).first; }
  std::string Get(const char *name) { return Read(name).second; }

 private:
  static constexpr const char *kNames[] = {"SourcePath", "SourcePath.0ACC15D3"};
  static kvt::ScopedKey Open(REGSAM access) {
    kvt::ScopedKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSetupPath + 19, 0, NULL, 0, access, NULL, key.receive(), NULL);
    return key;
  }
  static std::pair<bool, std::string> Read(const char *name) {
    std::vector<char> data(4096, 0);
    DWORD size = static_cast<DWORD>(data.size() - 1);
    const bool read = RegQueryValueExA(Open(KEY_READ).get(), name, NULL, NULL, reinterpret_cast<BYTE *>(data.data()),
                                       &size) == ERROR_SUCCESS;
    return {read, read ? std::string(data.data()) : std::string()};
  }
  std::vector<std::pair<bool, std::string>> saved_;
};

class RegistryCleanup : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    for (const char *path : {kPrinterClass, kUsbInterfaces}) {
      kvt::ScopedKey key;
      ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL),
                ERROR_SUCCESS);
    }
    tag_ = Unique();
  }
  void TearDown() override {
    for (const auto &[parent, name] : made_) Unlock(parent, name), DeleteTree(parent, name);
    RegistryTest::TearDown();
  }

  // A subkey of a class key, made for this case and removed after it.
  void MakeSubkey(const char *parent, const std::string &name, const char *driverDesc = NULL) {
    const std::string path = std::string(parent) + "\\" + name;
    kvt::ScopedKey key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL),
              ERROR_SUCCESS);
    if (driverDesc != NULL) {
      ASSERT_EQ(RegSetValueExA(key.get(), "DriverDesc", 0, REG_SZ, reinterpret_cast<const BYTE *>(driverDesc),
                               static_cast<DWORD>(strlen(driverDesc) + 1)),
                ERROR_SUCCESS);
    }
    const std::string top = name.substr(0, name.find('\\'));
    made_.push_back({parent, top});
  }
  bool Exists(const char *parent, const std::string &name) {
    kvt::ScopedKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(parent) + "\\" + name).c_str(), 0, KEY_READ, key.receive()) ==
           ERROR_SUCCESS;
  }
  // Subkeys of a class key other than this case's: the scans list them too.
  bool ClassKeyHoldsOnlyOurs(const char *parent) {
    kvt::ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) return false;
    char name[256];
    for (DWORD i = 0;; ++i) {
      DWORD size = sizeof(name);
      if (RegEnumKeyExA(key.get(), i, name, &size, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) return true;
      if (std::string(name).find(tag_) == std::string::npos) return false;
    }
  }
  // Makes `name` below `parent` impossible to delete for this process.
  void Lock(const char *parent, const std::string &name) {
    kvt::ScopedSid everyone = Everyone(), systemSid = System();
    std::vector<BYTE> dacl = MakeAcl({MakeAce(ACCESS_ALLOWED_ACE_TYPE, 0, KEY_READ | WRITE_DAC, everyone.get())});
    kvt::ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(parent) + "\\" + name).c_str(), 0,
                            READ_CONTROL | WRITE_DAC | WRITE_OWNER, key.receive()),
              ERROR_SUCCESS);
    ASSERT_EQ(
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                        NULL, NULL, AsAcl(dacl), NULL),
        ERROR_SUCCESS);
    ASSERT_EQ(
        SetSecurityInfo(key.get(), SE_REGISTRY_KEY, OWNER_SECURITY_INFORMATION, systemSid.get(), NULL, NULL, NULL),
        ERROR_SUCCESS);
  }
  void Unlock(const char *parent, const std::string &name) {
    kvt::ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(parent) + "\\" + name).c_str(), 0, WRITE_DAC, key.receive()) ==
        ERROR_SUCCESS) {
      SetSecurityInfo(key.get(), SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, NULL, NULL, NULL, NULL);
    }
  }
  static void DeleteTree(const char *parent, const std::string &name) {
    kvt::ScopedKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, parent, 0, KEY_ALL_ACCESS, key.receive()) != ERROR_SUCCESS) return;
    DeleteRegKey(key.get(), name.c_str());
  }
  // The run's lines with every key handle shown as H.
  std::string LinesWithHandles() {
    static const std::regex handle("(RegDeleteKey|DeleteRegKey)\\((-?[0-9a-f]+), ");
    static const std::regex decimal("MyRegDeleteKey\\(-?[0-9]+, ");
    std::string lines = std::regex_replace(LinesOfRun(), handle, "$1(H, ");
    return std::regex_replace(lines, decimal, "MyRegDeleteKey(H, ");
  }

  std::string tag_;
  std::vector<std::pair<const char *, std::string>> made_;
};

// The Part's scan: restart at 0 after each deletion, the name buffer not
// cleared between calls, a match only for the whole text in its case.
TEST_F(RegistryCleanup, DriverDescriptionsSelectTheInstanceKeysToDelete) {
  const std::string driver = "KVT " + tag_;
  const std::string k0 = tag_ + "0000", k1 = tag_ + "0001", k2 = tag_ + "0002", k3 = tag_ + "0003";
  MakeSubkey(kPrinterClass, k0, driver.c_str());
  MakeSubkey(kPrinterClass, k1, ("kvt " + tag_).c_str());
  MakeSubkey(kPrinterClass, k2);
  MakeSubkey(kPrinterClass, k3, driver.c_str());
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteOemxInf(driver.c_str()), 1);
  const std::string lines = LinesOfRun();
  EXPECT_FALSE(Exists(kPrinterClass, k0));
  EXPECT_TRUE(Exists(kPrinterClass, k1)) << "letter case counts";
  EXPECT_TRUE(Exists(kPrinterClass, k2));
  EXPECT_FALSE(Exists(kPrinterClass, k3));
  if (!ClassKeyHoldsOnlyOurs(kPrinterClass)) GTEST_SKIP() << "the printer class key holds keys of others";
  auto seen = [](int index, const std::string &name, const std::string &desc) {
    return "RegEnumKeyEx()ret=0 / fine(" + std::to_string(index) + "):" + name + "\r\n-->Success\r\n" +
           "GetRegString(\"DriverDesc\")=" + desc + "\r\n";
  };
  EXPECT_TRUE(SameLines(lines, "KVT_RegDeleteOemxInf(" + driver + ")\r\n" + seen(0, k0, driver) +
                                   seen(0, k1, "kvt " + tag_) + seen(1, k2, "") + seen(2, k3, driver) +
                                   seen(0, k1, "kvt " + tag_) + seen(1, k2, "") +
                                   "RegEnumKeyEx()ret=259 / fine(2):" + k2 + "\r\n" + Err(ERROR_NO_MORE_ITEMS)));
}

TEST_F(RegistryCleanup, InterfaceKeysGoWhenTheTextFollowsTheirFirstCharacter) {
  const std::string text = "Vid_" + tag_;
  const std::string starts = text + "#start", later = "##?#USB#" + text + "#1", next = "##?#USB#" + text + "#2",
                    other = "##?#USB#Vid_0000" + tag_;
  MakeSubkey(kUsbInterfaces, starts);
  MakeSubkey(kUsbInterfaces, later + "\\#\\Control");
  MakeSubkey(kUsbInterfaces, next);
  MakeSubkey(kUsbInterfaces, other);
  StartFreshLoggingRun();
  EXPECT_EQ(KVT_RegDeleteDeviceClasses(NULL), 0);
  EXPECT_EQ(KVT_RegDeleteDeviceClasses(""), 0);
  EXPECT_EQ(LinesOfRun(), "KVT_RegDeleteDeviceClasses((null))\r\nKVT_RegDeleteDeviceClasses()\r\n");
  for (const std::string &name : {starts, later, next, other}) EXPECT_TRUE(Exists(kUsbInterfaces, name)) << name;

  StartFreshLoggingRun();
  EXPECT_EQ(KVT_RegDeleteDeviceClasses(text.c_str()), 0);
  const std::string lines = LinesWithHandles();
  EXPECT_TRUE(Exists(kUsbInterfaces, starts)) << "an occurrence at the start does not count";
  EXPECT_FALSE(Exists(kUsbInterfaces, later));
  EXPECT_FALSE(Exists(kUsbInterfaces, next)) << "adjacent matches both go";
  EXPECT_TRUE(Exists(kUsbInterfaces, other));
  EXPECT_TRUE(
      SameLines(lines, "KVT_RegDeleteDeviceClasses(" + text + ")\r\nDeleteRegKey(H, " + later +
                           ")\r\nRegDeleteKey(H, Control) ret=0\r\n-->Success\r\nRegDeleteKey(H, #) ret=0\r\n-->"
                           "Success\r\nRegDeleteKey(H, " +
                           later + ") ret=0\r\n-->Success\r\nMyRegDeleteKey(H, " + later +
                           ")\r\n-->Success\r\nDeleteRegKey(H, " + next + ")\r\nRegDeleteKey(H, " + next +
                           ") ret=0\r\n-->Success\r\nMyRegDeleteKey(H, " + next + ")\r\n-->Success\r\n"));
}

// A key that cannot be deleted is tried once and passed over afterwards:
// the scan still deletes every other match and ends.
TEST_F(RegistryCleanup, AKeyThatCannotBeDeletedIsPassedOverOnce) {
  const std::string driver = "KVT " + tag_, text = "Vid_" + tag_;
  MakeSubkey(kPrinterClass, tag_ + "0000", driver.c_str());
  MakeSubkey(kPrinterClass, tag_ + "0001", driver.c_str());
  Lock(kPrinterClass, tag_ + "0000");
  MakeSubkey(kUsbInterfaces, "#" + text + "#1\\Leaf");
  MakeSubkey(kUsbInterfaces, "#" + text + "#2");
  Lock(kUsbInterfaces, "#" + text + "#1\\Leaf");
  StartLoggingRun();
  EXPECT_EQ(KVT_RegDeleteOemxInf(driver.c_str()), 1);
  EXPECT_EQ(KVT_RegDeleteDeviceClasses(text.c_str()), 0);
  const std::string lines = LinesWithHandles();
  EXPECT_TRUE(Exists(kPrinterClass, tag_ + "0000"));
  EXPECT_FALSE(Exists(kPrinterClass, tag_ + "0001"));
  EXPECT_TRUE(Exists(kUsbInterfaces, "#" + text + "#1\\Leaf"));
  EXPECT_FALSE(Exists(kUsbInterfaces, "#" + text + "#2"));
  EXPECT_NE(lines.find("MyRegDeleteKey(H, #" + text + "#1)\r\n" + Err(5)), std::string::npos) << lines;
  EXPECT_EQ(lines.find("MyRegDeleteKey(H, #" + text + "#1)"), lines.rfind("MyRegDeleteKey(H, #" + text + "#1)"))
      << "tried once";
}

TEST_F(RegistryCleanup, SourcePathIsSavedOnceAndPutBack) {
  SourcePaths paths;
  const std::string first = "C:\\First" + tag_, mine = "C:\\Package" + tag_, other = "C:\\Other" + tag_;
  paths.Set("SourcePath", first);
  paths.Remove("SourcePath.0ACC15D3");
  EXPECT_EQ(KVT_SetWin98SetupReg(mine.c_str()), 1);
  EXPECT_EQ(KVT_SetWin98SetupReg("C:\\Again"), 0) << "a saved copy is there already";
  EXPECT_EQ(paths.Get("SourcePath"), mine);
  EXPECT_EQ(paths.Get("SourcePath.0ACC15D3"), first);
  EXPECT_EQ(KVT_ClearWin98SetupReg(mine.c_str()), 1);
  EXPECT_EQ(paths.Get("SourcePath"), first);
  EXPECT_FALSE(paths.Has("SourcePath.0ACC15D3"));

  // Somebody else changed the path since: both values stay.
  EXPECT_EQ(KVT_SetWin98SetupReg(mine.c_str()), 1);
  paths.Set("SourcePath", other);
  EXPECT_EQ(KVT_ClearWin98SetupReg(mine.c_str()), 0);
  EXPECT_EQ(paths.Get("SourcePath"), other);
  EXPECT_EQ(paths.Get("SourcePath.0ACC15D3"), first);

  // No source path, a saved copy: the copy goes back.
  paths.Remove("SourcePath");
  EXPECT_EQ(KVT_ClearWin98SetupReg(mine.c_str()), 1);
  EXPECT_EQ(paths.Get("SourcePath"), first);
  EXPECT_FALSE(paths.Has("SourcePath.0ACC15D3"));
  EXPECT_EQ(KVT_ClearWin98SetupReg(mine.c_str()), 0) << "nothing to put back";
}

// A path that cannot be saved is never replaced; a missing one is saved as
// the empty text.
TEST_F(RegistryCleanup, SourcePathThatCannotBeSavedIsNotReplaced) {
  SourcePaths paths;
  const std::string longPath = "C:\\" + std::string(1100, 'p');
  paths.Set("SourcePath", longPath);
  paths.Remove("SourcePath.0ACC15D3");
  EXPECT_EQ(KVT_SetWin98SetupReg("C:\\Package"), 0);
  EXPECT_EQ(paths.Get("SourcePath"), longPath);
  EXPECT_FALSE(paths.Has("SourcePath.0ACC15D3"));

  paths.Remove("SourcePath");
  EXPECT_EQ(KVT_SetWin98SetupReg("C:\\Package"), 1);
  EXPECT_EQ(paths.Get("SourcePath"), "C:\\Package");
  EXPECT_TRUE(paths.Has("SourcePath.0ACC15D3"));
  EXPECT_EQ(paths.Get("SourcePath.0ACC15D3"), "");
  EXPECT_EQ(KVT_ClearWin98SetupReg("C:\\Package"), 1);
  EXPECT_EQ(paths.Get("SourcePath"), "");
}

}  // namespace
}  // namespace setup_test
