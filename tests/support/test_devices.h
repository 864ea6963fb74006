// Devices that tests make and remove through SetupAPI, on Linux over the
// platform layer and under Wine in its prefix, where devices persist: every
// test device carries a hardware ID under "KVTTEST\" and a class of its own,
// so that leftovers of an earlier run can be found and removed.
#pragma once

#include <windows.h>
#include <setupapi.h>

#include <scoped_handle.h>

#include <string>
#include <vector>

namespace test_devices {

// The class of every test device (no class installer exists for it).
inline const GUID kTestClass = {0x4b565434, 0x7a34, 0x4e52, {0x9a, 0x11, 0x52, 0x5a, 0x34, 0x54, 0x45, 0x53}};

// The hardware-ID bytes of `ids` as a multi-string: each with its
// terminator, then the list's own terminator.
inline std::vector<BYTE> MultiString(const std::vector<std::string> &ids) {
  std::vector<BYTE> bytes;
  for (const std::string &id : ids) {
    bytes.insert(bytes.end(), id.begin(), id.end());
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

// Registers a root device of the test class with the hardware-ID bytes
// given as they are; returns its instance ID ("" on failure).
inline std::string CreateDevice(const std::vector<BYTE> &hardwareIds) {
  const kvt::ScopedDeviceInfoSet set(SetupDiCreateDeviceInfoList(&kTestClass, NULL));
  if (!set) return "";
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  char id[256] = "";
  if (!SetupDiCreateDeviceInfoA(set.get(), "KVTTESTDEVICE", &kTestClass, NULL, NULL, DICD_GENERATE_ID, &device) ||
      !SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, hardwareIds.data(),
                                         static_cast<DWORD>(hardwareIds.size())) ||
      !SetupDiRegisterDeviceInfo(set.get(), &device, 0, NULL, NULL, NULL) ||
      !SetupDiGetDeviceInstanceIdA(set.get(), &device, id, sizeof(id), NULL)) {
    return "";
  }
  return id;
}

// The instance IDs of the registered devices of the test class.
inline std::vector<std::string> TestDevices() {
  std::vector<std::string> ids;
  const kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(&kTestClass, NULL, NULL, 0));
  if (!set) return ids;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    char id[256] = "";
    if (SetupDiGetDeviceInstanceIdA(set.get(), &device, id, sizeof(id), NULL)) ids.push_back(id);
  }
  return ids;
}

// Removes every device of the test class.
inline void RemoveTestDevices() {
  const kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(&kTestClass, NULL, NULL, 0));
  if (!set) return;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index)
    SetupDiRemoveDevice(set.get(), &device);
}

}  // namespace test_devices
