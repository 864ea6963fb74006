// Devices that tests make and remove through SetupAPI, on Linux over the
// platform layer and under Wine in its prefix, where devices persist: every
// test device carries a hardware ID under "KVTTEST\" and a class of its own,
// so that leftovers of an earlier run can be found and removed.
#pragma once

#include <windows.h>
#include <setupapi.h>

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

// Owns a device information set.
struct DeviceSet {
  HDEVINFO h;
  explicit DeviceSet(HDEVINFO set) : h(set) {}
  ~DeviceSet() {
    if (h != INVALID_HANDLE_VALUE && h != NULL) SetupDiDestroyDeviceInfoList(h);
  }
  DeviceSet(const DeviceSet &) = delete;
  DeviceSet &operator=(const DeviceSet &) = delete;
};

// Registers a root device of the test class with the hardware-ID bytes
// given as they are; returns its instance ID ("" on failure).
inline std::string CreateDevice(const std::vector<BYTE> &hardwareIds) {
  DeviceSet set(SetupDiCreateDeviceInfoList(&kTestClass, NULL));
  if (set.h == INVALID_HANDLE_VALUE) return "";
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  char id[256] = "";
  if (!SetupDiCreateDeviceInfoA(set.h, "KVTTESTDEVICE", &kTestClass, NULL, NULL, DICD_GENERATE_ID, &device) ||
      !SetupDiSetDeviceRegistryPropertyA(set.h, &device, SPDRP_HARDWAREID, hardwareIds.data(),
                                         static_cast<DWORD>(hardwareIds.size())) ||
      !SetupDiRegisterDeviceInfo(set.h, &device, 0, NULL, NULL, NULL) ||
      !SetupDiGetDeviceInstanceIdA(set.h, &device, id, sizeof(id), NULL)) {
    return "";
  }
  return id;
}

// The instance IDs of the registered devices of the test class.
inline std::vector<std::string> TestDevices() {
  std::vector<std::string> ids;
  DeviceSet set(SetupDiGetClassDevsA(&kTestClass, NULL, NULL, 0));
  if (set.h == INVALID_HANDLE_VALUE) return ids;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.h, index, &device); ++index) {
    char id[256] = "";
    if (SetupDiGetDeviceInstanceIdA(set.h, &device, id, sizeof(id), NULL)) ids.push_back(id);
  }
  return ids;
}

// Removes every device of the test class.
inline void RemoveTestDevices() {
  DeviceSet set(SetupDiGetClassDevsA(&kTestClass, NULL, NULL, 0));
  if (set.h == INVALID_HANDLE_VALUE) return;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.h, index, &device); ++index) SetupDiRemoveDevice(set.h, &device);
}

}  // namespace test_devices
