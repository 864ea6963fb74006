// The machine's list of registered devices: lookup by instance ID,
// registration and removal, and the class GUID as text for saved machines.
#include "setupapi_module.h"

#include <platform/testing.h>

#include <algorithm>
#include <cstdio>

#include "../kernel/text.h"

namespace platform::setupapi {

namespace {

void ResetModule() {
  DestroyAllSets();
  Devices() = DeviceList{};
}

void CountLive(LiveObjects &live) { live.deviceInfoSets = LiveSetCount(); }

// The module's state resets with the machine.
const bool registered = [] {
  RegisterResetHook(ResetModule);
  RegisterLiveCounter(CountLive);
  return true;
}();

}  // namespace

DeviceList &Devices() {
  static DeviceList list;
  return list;
}

void Register(const DevicePtr &device) {
  if (device->registered) return;
  device->registered = true;
  Devices().devices.push_back(device);
}

void Unregister(const DevicePtr &device) {
  auto &devices = Devices().devices;
  devices.erase(std::remove(devices.begin(), devices.end(), device), devices.end());
  device->registered = false;
  device->removed = true;
}

DWORD PropertyType(DWORD property) {
  return property == SPDRP_HARDWAREID || property == SPDRP_COMPATIBLEIDS ? REG_MULTI_SZ : REG_SZ;
}

std::string GuidText(const GUID &guid) {
  char text[40];
  std::snprintf(text, sizeof(text), "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0], guid.Data4[1], guid.Data4[2],
                guid.Data4[3], guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::optional<GUID> GuidOfText(const std::string &text) {
  // Exactly the 38 characters GuidText writes, hex digits in either case.
  static constexpr const char *kShape = "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}";
  if (text.size() != 38) return std::nullopt;
  std::vector<unsigned> digits;
  for (size_t i = 0; i < text.size(); ++i) {
    const char ch = text[i];
    if (kShape[i] != 'X') {
      if (ch != kShape[i]) return std::nullopt;
      continue;
    }
    if (ch >= '0' && ch <= '9') {
      digits.push_back(static_cast<unsigned>(ch - '0'));
    } else if ((ch | 0x20) >= 'a' && (ch | 0x20) <= 'f') {
      digits.push_back(static_cast<unsigned>((ch | 0x20) - 'a' + 10));
    } else {
      return std::nullopt;
    }
  }
  auto take = [&digits](size_t from, size_t count) {
    unsigned value = 0;
    for (size_t i = 0; i < count; ++i) value = value * 16 + digits[from + i];
    return value;
  };
  GUID guid{};
  guid.Data1 = take(0, 8);
  guid.Data2 = static_cast<WORD>(take(8, 4));
  guid.Data3 = static_cast<WORD>(take(12, 4));
  for (size_t i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(take(16 + 2 * i, 2));
  return guid;
}

void ResetDevices() { ResetModule(); }

void DescribeDevices(MachineDescription &machine) {
  for (const DevicePtr &device : Devices().devices) {
    MachineDescription::Device described;
    described.instanceId = ToUtf8(AnsiToWide(device->instanceId.c_str()));
    described.description = ToUtf8(AnsiToWide(device->description.c_str()));
    // A multi-string: texts each ending in a zero, up to an empty one or
    // the end of the bytes, whichever comes first.
    auto ids = device->properties.find(SPDRP_HARDWAREID);
    if (ids != device->properties.end()) {
      const std::vector<BYTE> &bytes = ids->second;
      for (size_t at = 0; at < bytes.size() && bytes[at] != 0;) {
        size_t end = at;
        while (end < bytes.size() && bytes[end] != 0) ++end;
        described.hardwareIds.push_back(
            ToUtf8(AnsiToWide(std::string(bytes.begin() + at, bytes.begin() + end).c_str())));
        at = end + 1;
      }
    }
    machine.devices.push_back(std::move(described));
  }
}

}  // namespace platform::setupapi
