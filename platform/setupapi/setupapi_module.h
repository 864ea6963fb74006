// The machine's device list, shared by the SetupAPI calls of this folder and
// the machine functions of the kernel. Library code never includes this
// header.
#pragma once

#include <setupapi.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {
struct MachineDescription;
}

namespace platform::setupapi {

// One device instance. Elements of device information sets share it, so a
// property written through one set is seen through every other.
struct Device {
  std::string instanceId;  // upper case, "ROOT\CLASS\0000"
  GUID classGuid{};
  std::string description;
  std::map<DWORD, std::vector<BYTE>> properties;  // SPDRP_* -> bytes as set
  DWORD devInst = 0;
  bool registered = false;
  bool removed = false;
};
using DevicePtr = std::shared_ptr<Device>;

// The registered devices in the order they were registered.
struct DeviceList {
  std::vector<DevicePtr> devices;
  DWORD nextDevInst = 1;
};

DeviceList &Devices();
void Register(const DevicePtr &device);
void Unregister(const DevicePtr &device);

// The registry type a property is reported with.
DWORD PropertyType(DWORD property);

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" in upper case, and back.
std::string GuidText(const GUID &guid);
std::optional<GUID> GuidOfText(const std::string &text);

// Machine lifecycle: a fresh machine has no devices and no sets.
void ResetDevices();
void DestroyAllSets();
size_t LiveSetCount();
// `<dir>/devices.json`. Reading gives nullopt for a malformed file, with
// what is wrong in `problem` (worded to follow the file's name), and an
// empty list for a missing one; nothing changes until UseDevices.
bool SaveDevices(const std::string &path);
std::optional<DeviceList> ReadDevices(const std::string &path, std::string *problem);
void UseDevices(DeviceList list);

// Adds the registered devices with their hardware IDs, and the INF store's
// stored INFs in the order of their numbers, to `machine`.
void DescribeDevices(MachineDescription &machine);
void DescribeInfStore(MachineDescription &machine);

}  // namespace platform::setupapi
