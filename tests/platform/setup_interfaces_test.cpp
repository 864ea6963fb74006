// The platform's SetupAPI and colour management beyond what Wine can
// confirm: the INF store's naming (lowest free oemN.inf, an identical INF
// keeping its name) and companion file, what SetupCopyOEMInfA refuses,
// snapshots of the device list, colour profiles by bare name and in use,
// and devices and profiles travelling with a saved machine.
#include <gtest/gtest.h>
#include <icm.h>
#include <platform/testing.h>
#include <setupapi.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "../support/test_devices.h"

namespace {

using test_devices::CreateDevice;
using test_devices::MultiString;

std::string HostFile(const std::string &windowsPath) {
  std::ifstream in(*platform::HostPathOfWindowsPath(windowsPath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteWindowsFile(const std::string &windowsPath, const std::string &bytes) {
  std::ofstream out(*platform::HostPathOfWindowsPath(windowsPath), std::ios::binary);
  out << bytes;
}

class SetupInterfacesTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }

  // Copies an INF with `body` from C:\Source; the stored path or "".
  std::string CopyInf(const std::string &body, DWORD style = 0) {
    CreateDirectoryA("C:\\Source", NULL);
    WriteWindowsFile("C:\\Source\\kvt.inf", body);
    char stored[MAX_PATH] = "";
    DWORD required = 0;
    PSTR component = NULL;
    if (!SetupCopyOEMInfA("C:\\Source\\kvt.inf", "C:\\Source", SPOST_PATH, style, stored, sizeof(stored), &required,
                          &component)) {
      return "";
    }
    EXPECT_EQ(required, std::string(stored).size() + 1);
    EXPECT_EQ(std::string(component), std::string(stored).substr(15));  // after "C:\WINDOWS\Inf\"
    return stored;
  }
};

TEST_F(SetupInterfacesTest, InfStoreTakesTheLowestFreeNumberAndKeepsIdenticalInfs) {
  WriteWindowsFile("C:\\WINDOWS\\Inf\\oem0.inf", "[Version]\r\nforeign\r\n");
  WriteWindowsFile("C:\\WINDOWS\\Inf\\oem2.inf", "[Version]\r\nforeign too\r\n");
  EXPECT_EQ(CopyInf("[Version]\r\nProvider=A\r\n"), "C:\\WINDOWS\\Inf\\oem1.inf");
  EXPECT_EQ(CopyInf("[Version]\r\nProvider=B\r\n"), "C:\\WINDOWS\\Inf\\oem3.inf");
  EXPECT_EQ(CopyInf("[Version]\r\nProvider=A\r\n"), "C:\\WINDOWS\\Inf\\oem1.inf");
  EXPECT_EQ(CopyInf("[Version]\r\nProvider=A\r\n", SP_COPY_NOOVERWRITE), "");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  EXPECT_EQ(HostFile("C:\\WINDOWS\\Inf\\oem1.inf"), "[Version]\r\nProvider=A\r\n");
  const std::string companion = HostFile("C:\\WINDOWS\\Inf\\oem1.pnf");
  EXPECT_EQ(companion, std::string("KVTPNF1\0\x17\0\0\0\x09\0\0\0C:\\Source", 25));
}

TEST_F(SetupInterfacesTest, InfStoreRefusesWhatIsNoInf) {
  EXPECT_EQ(CopyInf("[Strings]\r\nProvider=A\r\n"), "");
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRONG_INF_STYLE));
  EXPECT_FALSE(SetupCopyOEMInfA(NULL, NULL, SPOST_PATH, 0, NULL, 0, NULL, NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  WriteWindowsFile("C:\\Source\\kvt.inf", "[Version]\r\n");
  char small[8];
  DWORD required = 0;
  EXPECT_FALSE(SetupCopyOEMInfA("C:\\Source\\kvt.inf", NULL, SPOST_PATH, 0, small, sizeof(small), &required, NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, sizeof("C:\\WINDOWS\\Inf\\oem0.inf"));
}

TEST_F(SetupInterfacesTest, ASetIsASnapshotAndChecksItsHandles) {
  const std::string first = CreateDevice(MultiString({"KVTTEST\\A"}));
  kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  CreateDevice(MultiString({"KVTTEST\\B"}));
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  EXPECT_TRUE(SetupDiEnumDeviceInfo(set.get(), 0, &device));
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set.get(), 1, &device));  // made after the snapshot
  EXPECT_TRUE(SetupDiRemoveDevice(set.get(), &device));
  EXPECT_FALSE(SetupDiRemoveDevice(set.get(), &device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_SUCH_DEVINST));
  EXPECT_EQ(SetupDiGetClassDevsA(NULL, NULL, NULL, 0), INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  int bogus = 0;
  EXPECT_FALSE(SetupDiDestroyDeviceInfoList(&bogus));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(platform::Live().deviceInfoSets, 1u);
}

TEST_F(SetupInterfacesTest, ColourProfilesByBareNameAndInUse) {
  WriteWindowsFile("C:\\WINDOWS\\Temp\\kvt.icm", "profile");
  ASSERT_TRUE(InstallColorProfileA(NULL, "C:\\WINDOWS\\Temp\\kvt.icm"));
  EXPECT_TRUE(InstallColorProfileA(NULL, "C:\\WINDOWS\\Temp\\kvt.icm"));  // again: still fine
  const std::string installed = "C:\\WINDOWS\\system32\\spool\\drivers\\color\\kvt.icm";
  HANDLE open = CreateFileA(installed.c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
  ASSERT_NE(open, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(UninstallColorProfileA(NULL, "KVT.ICM", TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  CloseHandle(open);
  EXPECT_TRUE(UninstallColorProfileA(NULL, "KVT.ICM", TRUE));  // still installed after the failure
  EXPECT_EQ(GetFileAttributesA(installed.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_FALSE(UninstallColorProfileA(NULL, "kvt.icm", FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(SetupInterfacesTest, DevicesAndProfilesTravelWithASavedMachine) {
  const std::string folder = ::testing::TempDir() + "kvt-setup-machine-" + std::to_string(::getpid());
  std::filesystem::remove_all(folder);
  std::vector<BYTE> unterminated = {'K', 'V', 'T', 0, 'X'};
  const std::string device = CreateDevice(unterminated);
  WriteWindowsFile("C:\\WINDOWS\\Temp\\kvt.icm", "profile");
  ASSERT_TRUE(InstallColorProfileA(NULL, "C:\\WINDOWS\\Temp\\kvt.icm"));
  ASSERT_TRUE(platform::SaveMachine(folder));

  platform::ResetMachine();
  ASSERT_TRUE(platform::LoadMachine(folder));
  EXPECT_EQ(test_devices::TestDevices(), std::vector<std::string>{device});
  kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  SP_DEVINFO_DATA data = {};
  data.cbSize = sizeof(data);
  ASSERT_TRUE(SetupDiEnumDeviceInfo(set.get(), 0, &data));
  BYTE ids[16] = {};
  DWORD size = 0;
  EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set.get(), &data, SPDRP_HARDWAREID, NULL, ids, sizeof(ids), &size));
  EXPECT_EQ(std::vector<BYTE>(ids, ids + size), unterminated);
  EXPECT_TRUE(UninstallColorProfileA(NULL, "kvt.icm", FALSE));

  // A malformed device file fails the load and changes nothing.
  std::ofstream(folder + "/devices.json") << "{\"version\":1,\"devices\":[{\"instanceId\":\"X\"}]}";
  EXPECT_FALSE(platform::LoadMachine(folder));
  EXPECT_EQ(test_devices::TestDevices(), std::vector<std::string>{device});
  std::filesystem::remove_all(folder);
}

}  // namespace
