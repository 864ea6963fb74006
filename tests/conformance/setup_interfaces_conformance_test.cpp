// SetupAPI and colour management as Windows gives them: the enumeration
// and property protocols of device information sets, removal, the INF
// store's error for a missing INF, and uninstalling a profile that is not
// installed. The same cases run over the platform layer on Linux and
// against Wine's own SetupAPI and mscms. Calls start with the last error
// set to 0xdeadbeef so that a code left unset shows.
#include <windows.h>
#include <icm.h>
#include <setupapi.h>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "../support/test_devices.h"

namespace {

using test_devices::CreateDevice;
using test_devices::MultiString;

constexpr DWORD kUnset = 0xdeadbeef;

class DeviceConformance : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef _WIN32
    platform::ResetMachine();
#endif
    test_devices::RemoveTestDevices();
  }
  void TearDown() override { test_devices::RemoveTestDevices(); }

  static DWORD ElementCount(HDEVINFO set) {
    SP_DEVINFO_DATA device = {};
    device.cbSize = sizeof(device);
    DWORD count = 0;
    while (SetupDiEnumDeviceInfo(set, count, &device)) ++count;
    return count;
  }

  // Finds the element of `set` with instance ID `id`; its index or -1.
  static int IndexOf(HDEVINFO set, const std::string &id, SP_DEVINFO_DATA *device) {
    device->cbSize = sizeof(*device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, device); ++index) {
      char found[256] = "";
      if (SetupDiGetDeviceInstanceIdA(set, device, found, sizeof(found), NULL) && id == found) {
        return static_cast<int>(index);
      }
    }
    return -1;
  }
};

TEST_F(DeviceConformance, GeneratedInstanceIdsAreRootIdsInUpperCase) {
  const std::string first = CreateDevice(MultiString({"KVTTEST\\Conf1"}));
  const std::string second = CreateDevice(MultiString({"KVTTEST\\Conf2"}));
  EXPECT_EQ(first, "ROOT\\KVTTESTDEVICE\\0000");
  EXPECT_EQ(second, "ROOT\\KVTTESTDEVICE\\0001");
}

TEST_F(DeviceConformance, EnumerationChecksTheRecordSizeAndEndsWithNoMoreItems) {
  ASSERT_NE(CreateDevice(MultiString({"KVTTEST\\Enum"})), "");
  kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(&test_devices::kTestClass, NULL, NULL, 0));
  ASSERT_NE(set.get(), INVALID_HANDLE_VALUE);
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device) + 1;
  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set.get(), 0, &device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_USER_BUFFER));

  device.cbSize = sizeof(device);
  EXPECT_TRUE(SetupDiEnumDeviceInfo(set.get(), 0, &device));
  EXPECT_EQ(std::memcmp(&device.ClassGuid, &test_devices::kTestClass, sizeof(GUID)), 0);
  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(set.get(), 1, &device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_MORE_ITEMS));

  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiEnumDeviceInfo(INVALID_HANDLE_VALUE, 0, &device));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(DeviceConformance, HardwareIdReadsReportTheSizeNeeded) {
  const std::vector<BYTE> ids = MultiString({"KVTTEST\\Size", "KVTTEST\\Other"});
  const std::string id = CreateDevice(ids);
  kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  SP_DEVINFO_DATA device = {};
  ASSERT_GE(IndexOf(set.get(), id, &device), 0);

  DWORD type = 0, required = 0;
  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, &type, NULL, 0, &required));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(required, ids.size());

  std::vector<BYTE> buffer(ids.size() + 4, 0xCC);
  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, &type, buffer.data(),
                                                 required - 1, &required));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  EXPECT_TRUE(SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, &type, buffer.data(), required,
                                                &required));
  EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
  EXPECT_TRUE(std::equal(ids.begin(), ids.end(), buffer.begin()));
  EXPECT_EQ(buffer[ids.size()], 0xCC);  // nothing written past the property

  SetLastError(kUnset);
  EXPECT_FALSE(SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_COMPATIBLEIDS, &type, NULL, 0, &required));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

// A walk that removes devices must be able to go on with the next index:
// the removed device's element stays in the set (the set's element count
// does not change), and the device leaves the machine.
TEST_F(DeviceConformance, RemovalKeepsTheElementInTheSetAndTheDeviceLeaves) {
  const std::string gone = CreateDevice(MultiString({"KVTTEST\\Gone"}));
  const std::string kept = CreateDevice(MultiString({"KVTTEST\\Kept"}));
  kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  SP_DEVINFO_DATA device = {};
  const int index = IndexOf(set.get(), gone, &device);
  ASSERT_GE(index, 0);
  const int keptIndex = IndexOf(set.get(), kept, &device);
  ASSERT_GE(keptIndex, 0);
  const DWORD before = ElementCount(set.get());
  ASSERT_GE(IndexOf(set.get(), gone, &device), 0);
  SetLastError(kUnset);
  EXPECT_TRUE(SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device));

  EXPECT_EQ(ElementCount(set.get()), before);
  SP_DEVINFO_DATA again = {};
  EXPECT_EQ(IndexOf(set.get(), kept, &again), keptIndex);
  EXPECT_EQ(test_devices::TestDevices(), std::vector<std::string>{kept});
}

TEST(SetupCopyOemInfConformance, MissingInfGivesFileNotFound) {
#ifndef _WIN32
  platform::ResetMachine();
#endif
  char windows[MAX_PATH];
  ASSERT_GT(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  const std::string missing = std::string(windows) + "\\Temp\\kvt-no-such-file.inf";
  SetLastError(kUnset);
  EXPECT_FALSE(SetupCopyOEMInfA(missing.c_str(), NULL, SPOST_PATH, 0, NULL, 0, NULL, NULL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(ColorProfileConformance, UninstallingAProfileThatIsNotInstalledGivesFileNotFound) {
#ifndef _WIN32
  platform::ResetMachine();
#endif
  char folder[MAX_PATH];
  DWORD size = sizeof(folder);
  ASSERT_TRUE(GetColorDirectoryA(NULL, folder, &size));
  const std::string profile = std::string(folder) + "\\kvt-not-installed.icm";
  SetLastError(kUnset);
  EXPECT_FALSE(UninstallColorProfileA(NULL, profile.c_str(), TRUE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
