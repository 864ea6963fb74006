// The machine description: what each area shows of the machine, in a fixed
// order, and that it follows every change the Win32 calls make.
#include <windows.h>
#include <icm.h>
#include <setupapi.h>
#include <winspool.h>

#include <platform/testing.h>
#include <scoped_handle.h>

#include "../support/test_devices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

using platform::MachineDescription;

class MachineDescribeTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }

  static void WriteFile(const std::string &windowsPath, const std::string &bytes) {
    std::ofstream(*platform::HostPathOfWindowsPath(windowsPath), std::ios::binary | std::ios::trunc) << bytes;
  }

  static const MachineDescription::RegistryKey *FindKey(const MachineDescription &machine, const std::string &path) {
    for (const auto &key : machine.registryKeys) {
      if (key.path == path) return &key;
    }
    return nullptr;
  }

  static const MachineDescription::FileEntry *FindFile(const MachineDescription &machine, const std::string &path) {
    for (const auto &file : machine.files) {
      if (file.path == path) return &file;
    }
    return nullptr;
  }

  static std::vector<std::string> FilePaths(const MachineDescription &machine) {
    std::vector<std::string> paths;
    for (const auto &file : machine.files) paths.push_back(file.path);
    return paths;
  }
};

TEST_F(MachineDescribeTest, AFreshMachineShowsItsStandardPartsOnly) {
  const MachineDescription machine = platform::DescribeMachine();
  EXPECT_TRUE(machine.printers.empty());
  EXPECT_TRUE(machine.drivers.empty());
  ASSERT_EQ(machine.monitors.size(), 1u);
  EXPECT_EQ(machine.monitors[0].name, "Local Port");
  EXPECT_EQ(machine.ports.size(), 4u);
  EXPECT_TRUE(machine.devices.empty());
  EXPECT_TRUE(machine.oemInfs.empty());
  EXPECT_TRUE(machine.colorProfiles.empty());
  ASSERT_FALSE(machine.registryKeys.empty());
  EXPECT_EQ(machine.registryKeys[0].path, "HKEY_LOCAL_MACHINE");
  EXPECT_NE(FindKey(machine, "HKEY_USERS\\.DEFAULT"), nullptr);
  const auto *setup = FindKey(machine, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup");
  ASSERT_NE(setup, nullptr);
  ASSERT_EQ(setup->values.size(), 1u);
  EXPECT_EQ(setup->values[0].name, "SourcePath");
  EXPECT_EQ(FilePaths(machine),
            (std::vector<std::string>{"C:\\WINDOWS", "C:\\WINDOWS\\Inf", "C:\\WINDOWS\\system32",
                                      "C:\\WINDOWS\\system32\\spool", "C:\\WINDOWS\\system32\\spool\\drivers",
                                      "C:\\WINDOWS\\system32\\spool\\drivers\\color", "C:\\WINDOWS\\Temp"}));
  EXPECT_TRUE(platform::DescribeMachine().files.size() == machine.files.size()) << "describing changes nothing";
}

TEST_F(MachineDescribeTest, SpoolerShowsPrintersWithDriverAndPortButNotThosePendingDeletion) {
  DRIVER_INFO_2A driver = {};
  driver.cVersion = 3;
  driver.pName = const_cast<LPSTR>("KVT Describe");
  driver.pDriverPath = const_cast<LPSTR>("kvt.dll");
  driver.pDataFile = const_cast<LPSTR>("kvt.dll");
  driver.pConfigFile = const_cast<LPSTR>("kvtui.dll");
  ASSERT_TRUE(AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
  ASSERT_TRUE(platform::AddLocalPort("KVTPORT"));
  PRINTER_INFO_2A info = {};
  info.pDriverName = driver.pName;
  info.pPortName = const_cast<LPSTR>("KVTPORT");
  for (const char *name : {"Kept", "Held"}) {
    info.pPrinterName = const_cast<LPSTR>(name);
    kvt::ScopedPrinter printer(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    ASSERT_TRUE(printer);
  }
  // A printer deleted while a handle is open is gone for everyone else.
  kvt::ScopedPrinter held;
  PRINTER_DEFAULTSA all = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("Held"), held.receive(), &all));
  ASSERT_TRUE(DeletePrinter(held.get()));

  const MachineDescription machine = platform::DescribeMachine();
  ASSERT_EQ(machine.printers.size(), 1u);
  EXPECT_EQ(machine.printers[0].name, "Kept");
  EXPECT_EQ(machine.printers[0].driver, "KVT Describe");
  EXPECT_EQ(machine.printers[0].port, "KVTPORT");
  ASSERT_EQ(machine.drivers.size(), 1u);
  EXPECT_EQ(machine.drivers[0].environment, "Windows NT x86");
  EXPECT_EQ(machine.ports.back().name, "KVTPORT");
  EXPECT_EQ(machine.ports.back().monitor, "Local Port");
}

TEST_F(MachineDescribeTest, DevicesShowTheirHardwareIdsHoweverTheListEnds) {
  const struct {
    std::vector<BYTE> bytes;
    std::vector<std::string> ids;
  } cases[] = {
      {test_devices::MultiString({"USB\\Vid_1&Pid_2", "USB\\Vid_1"}), {"USB\\Vid_1&Pid_2", "USB\\Vid_1"}},
      {{'A', 0}, {"A"}},            // without the list's own terminator
      {{'A', 0, 'B'}, {"A", "B"}},  // a last text without its terminator
      {{0, 'A', 0, 0}, {}},         // an empty first text ends the list
      {{}, {}},
  };
  for (const auto &test : cases) {
    platform::ResetMachine();
    ASSERT_FALSE(test_devices::CreateDevice(test.bytes).empty());
    const MachineDescription machine = platform::DescribeMachine();
    ASSERT_EQ(machine.devices.size(), 1u);
    EXPECT_EQ(machine.devices[0].instanceId, "ROOT\\KVTTESTDEVICE\\0000");
    EXPECT_EQ(machine.devices[0].hardwareIds, test.ids);
  }
}

TEST_F(MachineDescribeTest, InfStoreShowsStoredInfsByNumberWithCompanionAndProvider) {
  const std::string inf = "[Version]\r\nSignature=\"$Windows NT$\"\r\nProvider=\"Vendor ";
  for (int i = 0; i < 11; ++i) {
    WriteFile("C:\\WINDOWS\\Temp\\v.inf", inf + std::to_string(i) + "\"\r\n");
    ASSERT_TRUE(SetupCopyOEMInfA("C:\\WINDOWS\\Temp\\v.inf", nullptr, SPOST_PATH, 0, nullptr, 0, nullptr, nullptr));
  }
  // Not stored INFs: another name, and a folder named like one.
  WriteFile("C:\\WINDOWS\\Inf\\other.inf", inf + "X\"\r\n");
  ASSERT_TRUE(CreateDirectoryA("C:\\WINDOWS\\Inf\\oem99.inf", nullptr));
  // A companion in other letters is still its companion; a missing one is none.
  ASSERT_TRUE(MoveFileA("C:\\WINDOWS\\Inf\\oem3.pnf", "C:\\WINDOWS\\Inf\\OEM3.PNF"));
  ASSERT_TRUE(DeleteFileA("C:\\WINDOWS\\Inf\\oem4.pnf"));

  const MachineDescription machine = platform::DescribeMachine();
  ASSERT_EQ(machine.oemInfs.size(), 11u);
  for (int i = 0; i < 11; ++i) {
    const auto &stored = machine.oemInfs[static_cast<size_t>(i)];
    EXPECT_EQ(stored.path, "C:\\WINDOWS\\Inf\\oem" + std::to_string(i) + ".inf");
    EXPECT_EQ(stored.provider, "Vendor " + std::to_string(i));
  }
  EXPECT_EQ(machine.oemInfs[2].pnfPath, "C:\\WINDOWS\\Inf\\oem2.pnf");
  EXPECT_EQ(machine.oemInfs[3].pnfPath, "C:\\WINDOWS\\Inf\\OEM3.PNF");
  EXPECT_EQ(machine.oemInfs[4].pnfPath, "");
}

TEST_F(MachineDescribeTest, ColourProfilesShowTheInstalledOnesOnly) {
  WriteFile("C:\\WINDOWS\\Temp\\a.icm", "a");
  WriteFile("C:\\WINDOWS\\Temp\\b.icm", "b");
  ASSERT_TRUE(InstallColorProfileA(nullptr, "C:\\WINDOWS\\Temp\\b.icm"));
  ASSERT_TRUE(InstallColorProfileA(nullptr, "C:\\WINDOWS\\Temp\\a.icm"));
  ASSERT_TRUE(UninstallColorProfileA(nullptr, "b.icm", FALSE));
  const MachineDescription machine = platform::DescribeMachine();
  EXPECT_EQ(machine.colorProfiles, std::vector<std::string>{"a.icm"});
  EXPECT_NE(FindFile(machine, "C:\\WINDOWS\\system32\\spool\\drivers\\color\\b.icm"), nullptr)
      << "a profile file that is not installed is a file like any other";
}

TEST_F(MachineDescribeTest, RegistryShowsKeysParentsFirstWithValuesAndWhetherTheyMayBeDeleted) {
  kvt::ScopedKey key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\b", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            key.receive(), nullptr),
            ERROR_SUCCESS);
  const BYTE text[] = "x";
  ASSERT_EQ(RegSetValueExA(key.get(), "Name", 0, REG_SZ, text, sizeof text), ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key.get(), "", 0, REG_BINARY, text, 1), ERROR_SUCCESS);
  for (const char *path : {"SOFTWARE\\Kvt\\A", "SOFTWARE\\Kvt\\b\\c", "SOFTWARE\\Kvt\\Locked"}) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.receive(), nullptr),
              ERROR_SUCCESS);
  }
  ASSERT_TRUE(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\Locked", "O:SYG:SYD:P(A;;KRWD;;;WD)"));

  const MachineDescription machine = platform::DescribeMachine();
  std::vector<std::string> kvt;
  for (const auto &described : machine.registryKeys) {
    if (described.path.rfind("HKEY_LOCAL_MACHINE\\SOFTWARE\\Kvt", 0) == 0) kvt.push_back(described.path);
  }
  const std::string base = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Kvt";
  EXPECT_EQ(kvt, (std::vector<std::string>{base, base + "\\A", base + "\\b", base + "\\b\\c", base + "\\Locked"}));
  const auto *b = FindKey(machine, base + "\\b");
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->values.size(), 2u);
  EXPECT_EQ(b->values[0].name, "Name");
  EXPECT_EQ(b->values[0].type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(b->values[0].data, std::vector<uint8_t>(text, text + sizeof text));
  EXPECT_EQ(b->values[1].name, "");
  EXPECT_TRUE(b->deletable);
  EXPECT_FALSE(FindKey(machine, base + "\\Locked")->deletable);
  // What the description says is what a deletion finds.
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\Locked"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Kvt\\A"), ERROR_SUCCESS);
}

TEST_F(MachineDescribeTest, FilesShowFoldersBeforeTheirEntriesInNameOrderWithAttributesAndContent) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Data", nullptr));
  ASSERT_TRUE(CreateDirectoryA("C:\\Data\\sub", nullptr));
  WriteFile("C:\\Data\\b.txt", "bb");
  WriteFile("C:\\Data\\A.txt", "a");
  WriteFile("C:\\Data\\sub\\z.txt", "");
  WriteFile("C:\\data.txt", "d");
  ASSERT_TRUE(SetFileAttributesA("C:\\Data\\b.txt", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesA("C:\\Data\\sub", FILE_ATTRIBUTE_SYSTEM));

  MachineDescription machine = platform::DescribeMachine();
  std::vector<std::string> data;
  for (const std::string &path : FilePaths(machine)) {
    if (path.rfind("C:\\Data", 0) == 0 || path.rfind("C:\\data", 0) == 0) data.push_back(path);
  }
  EXPECT_EQ(data, (std::vector<std::string>{"C:\\Data", "C:\\Data\\A.txt", "C:\\Data\\b.txt", "C:\\Data\\sub",
                                            "C:\\Data\\sub\\z.txt", "C:\\data.txt"}));
  const auto *b = FindFile(machine, "C:\\Data\\b.txt");
  ASSERT_NE(b, nullptr);
  EXPECT_FALSE(b->folder);
  EXPECT_EQ(b->size, 2u);
  EXPECT_EQ(b->attributes, static_cast<DWORD>(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  const auto *sub = FindFile(machine, "C:\\Data\\sub");
  EXPECT_TRUE(sub->folder);
  EXPECT_EQ(sub->attributes, static_cast<DWORD>(FILE_ATTRIBUTE_SYSTEM));
  // The same size with other bytes is other content.
  const uint64_t digest = FindFile(machine, "C:\\Data\\A.txt")->digest;
  WriteFile("C:\\Data\\A.txt", "b");
  machine = platform::DescribeMachine();
  EXPECT_EQ(FindFile(machine, "C:\\Data\\A.txt")->size, 1u);
  EXPECT_NE(FindFile(machine, "C:\\Data\\A.txt")->digest, digest);
  WriteFile("C:\\Data\\A.txt", "a");
  EXPECT_EQ(FindFile(platform::DescribeMachine(), "C:\\Data\\A.txt")->digest, digest);
}

}  // namespace
