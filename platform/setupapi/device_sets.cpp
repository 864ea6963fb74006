// SetupDi calls on device information sets: making and destroying sets,
// enumerating their elements, creating and registering devices, instance
// IDs, and device removal. A handle is checked against the table of live
// sets before it is used, never trusted.
#include "device_sets.h"

#include <platform/testing.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

#include "../kernel/text.h"

namespace platform::setupapi {

namespace {

std::map<const DeviceSet *, std::unique_ptr<DeviceSet>> &LiveSets() {
  static std::map<const DeviceSet *, std::unique_ptr<DeviceSet>> sets;
  return sets;
}

HDEVINFO NewSet(const GUID *classGuid) {
  auto set = std::make_unique<DeviceSet>();
  if (classGuid != nullptr) {
    set->hasClass = true;
    set->classGuid = *classGuid;
  }
  DeviceSet *handle = set.get();
  LiveSets().emplace(handle, std::move(set));
  return handle;
}

bool SameGuid(const GUID &a, const GUID &b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Instance IDs are "enumerator\device\instance": printable characters, no
// blanks or commas.
bool IsValidIdCharacter(char ch) {
  const unsigned char byte = static_cast<unsigned char>(ch);
  return byte > 0x20 && byte != 0x7F && ch != ',';
}

// Instance IDs are stored in upper case, so a plain comparison of an upper
// case ID finds it whatever case it was given in.
template <typename Visit>
void ForEachLiveId(const DeviceSet &set, Visit visit) {
  for (const DevicePtr &device : Devices().devices) visit(device->instanceId);
  for (const DevicePtr &element : set.elements) {
    if (!element->removed && !element->registered) visit(element->instanceId);
  }
}

bool IdInUse(const DeviceSet &set, const std::string &id) {
  bool used = false;
  ForEachLiveId(set, [&](const std::string &other) { used = used || other == id; });
  return used;
}

// The lowest free number of "<prefix>nnnn", found in one pass; empty when
// all 10,000 are taken.
std::string GeneratedId(const DeviceSet &set, const std::string &prefix) {
  std::vector<bool> taken(10000, false);
  ForEachLiveId(set, [&](const std::string &other) {
    if (other.size() != prefix.size() + 4 || other.compare(0, prefix.size(), prefix) != 0) return;
    unsigned number = 0;
    for (size_t i = prefix.size(); i < other.size(); ++i) {
      if (other[i] < '0' || other[i] > '9') return;
      number = number * 10 + static_cast<unsigned>(other[i] - '0');
    }
    taken[number] = true;
  });
  for (unsigned number = 0; number < taken.size(); ++number) {
    if (!taken[number]) {
      char digits[8];
      std::snprintf(digits, sizeof(digits), "%04u", number);
      return prefix + digits;
    }
  }
  return "";
}

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

}  // namespace

DeviceSet *SetOf(HDEVINFO handle) {
  auto it = LiveSets().find(static_cast<const DeviceSet *>(handle));
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || it == LiveSets().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return it->second.get();
}

DevicePtr ElementOf(DeviceSet &set, const SP_DEVINFO_DATA *data) {
  if (data == nullptr || data->cbSize != sizeof(SP_DEVINFO_DATA) || data->Reserved == 0 ||
      data->Reserved > set.elements.size()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return set.elements[data->Reserved - 1];
}

void DescribeElement(const DeviceSet &set, size_t index, SP_DEVINFO_DATA *data) {
  const Device &device = *set.elements[index];
  data->ClassGuid = device.classGuid;
  data->DevInst = device.devInst;
  data->Reserved = index + 1;
}

void DestroyAllSets() { LiveSets().clear(); }

size_t LiveSetCount() { return LiveSets().size(); }

}  // namespace platform::setupapi

using namespace platform::setupapi;

extern "C" HDEVINFO WINAPI SetupDiCreateDeviceInfoList(const GUID *ClassGuid, HWND) { return NewSet(ClassGuid); }

extern "C" HDEVINFO WINAPI SetupDiGetClassDevsA(const GUID *ClassGuid, PCSTR, HWND, DWORD Flags) {
  if ((Flags & DIGCF_DEVICEINTERFACE) != 0 || (ClassGuid == nullptr && (Flags & DIGCF_ALLCLASSES) == 0)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  if (platform::ShouldFail(platform::Fault::DeviceList)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return INVALID_HANDLE_VALUE;
  }
  HDEVINFO handle = NewSet((Flags & DIGCF_ALLCLASSES) != 0 ? nullptr : ClassGuid);
  DeviceSet *set = SetOf(handle);
  // No device of this machine is ever started, so none is present.
  if ((Flags & DIGCF_PRESENT) == 0) {
    for (const DevicePtr &device : Devices().devices) {
      if (!set->hasClass || SameGuid(set->classGuid, device->classGuid)) set->elements.push_back(device);
    }
  }
  SetLastError(ERROR_SUCCESS);
  return handle;
}

extern "C" BOOL WINAPI SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
  if (SetOf(DeviceInfoSet) == nullptr) return FALSE;
  LiveSets().erase(static_cast<const DeviceSet *>(DeviceInfoSet));
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiEnumDeviceInfo(HDEVINFO DeviceInfoSet, DWORD MemberIndex,
                                             PSP_DEVINFO_DATA DeviceInfoData) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  if (DeviceInfoData == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) return Fail(ERROR_INVALID_USER_BUFFER);
  if (MemberIndex >= set->elements.size()) return Fail(ERROR_NO_MORE_ITEMS);
  DescribeElement(*set, MemberIndex, DeviceInfoData);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiCreateDeviceInfoA(HDEVINFO DeviceInfoSet, PCSTR DeviceName, const GUID *ClassGuid,
                                                PCSTR DeviceDescription, HWND, DWORD CreationFlags,
                                                PSP_DEVINFO_DATA DeviceInfoData) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  if (DeviceName == nullptr || ClassGuid == nullptr) return Fail(ERROR_INVALID_PARAMETER);
  if (DeviceInfoData != nullptr && DeviceInfoData->cbSize != sizeof(SP_DEVINFO_DATA)) {
    return Fail(ERROR_INVALID_USER_BUFFER);
  }
  if (set->hasClass && !SameGuid(set->classGuid, *ClassGuid)) return Fail(ERROR_CLASS_MISMATCH);
  const std::string name = DeviceName;
  if (name.empty()) return Fail(ERROR_INVALID_DEVINST_NAME);
  for (char ch : name) {
    if (!IsValidIdCharacter(ch) || ((CreationFlags & DICD_GENERATE_ID) != 0 && ch == '\\')) {
      return Fail(ERROR_INVALID_DEVINST_NAME);
    }
  }
  std::string id;
  if ((CreationFlags & DICD_GENERATE_ID) != 0) {
    id = GeneratedId(*set, platform::UpperAnsi("ROOT\\" + name + "\\"));
    if (id.empty()) return Fail(ERROR_DEVINST_ALREADY_EXISTS);
  } else {
    id = platform::UpperAnsi(name);
    if (IdInUse(*set, id)) return Fail(ERROR_DEVINST_ALREADY_EXISTS);
  }
  auto device = std::make_shared<Device>();
  device->instanceId = id;
  device->classGuid = *ClassGuid;
  if (DeviceDescription != nullptr) device->description = DeviceDescription;
  device->devInst = Devices().nextDevInst++;
  set->elements.push_back(device);
  if (DeviceInfoData != nullptr) DescribeElement(*set, set->elements.size() - 1, DeviceInfoData);
  SetLastError(ERROR_SUCCESS);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiRegisterDeviceInfo(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData, DWORD,
                                                 PSP_DETSIG_CMPPROC, PVOID, PSP_DEVINFO_DATA) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  DevicePtr device = ElementOf(*set, DeviceInfoData);
  if (device == nullptr) return FALSE;
  if (device->removed) return Fail(ERROR_NO_SUCH_DEVINST);
  Register(device);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiGetDeviceInstanceIdA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                   PSTR DeviceInstanceId, DWORD DeviceInstanceIdSize,
                                                   PDWORD RequiredSize) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  DevicePtr device = ElementOf(*set, DeviceInfoData);
  if (device == nullptr) return FALSE;
  if (DeviceInstanceId == nullptr && DeviceInstanceIdSize != 0) return Fail(ERROR_INVALID_USER_BUFFER);
  const DWORD needed = static_cast<DWORD>(device->instanceId.size() + 1);
  if (RequiredSize != nullptr) *RequiredSize = needed;
  if (DeviceInstanceIdSize < needed) return Fail(ERROR_INSUFFICIENT_BUFFER);
  std::memcpy(DeviceInstanceId, device->instanceId.c_str(), needed);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiRemoveDevice(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  DevicePtr device = ElementOf(*set, DeviceInfoData);
  if (device == nullptr) return FALSE;
  if (!device->registered) return Fail(ERROR_NO_SUCH_DEVINST);
  if (platform::ShouldFail(platform::Fault::DeviceRemoval)) return Fail(ERROR_ACCESS_DENIED);
  // The device leaves the machine; its element stays in every set that
  // holds it, as Windows keeps it, so indexes of a walk do not shift.
  Unregister(device);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiCallClassInstaller(DI_FUNCTION InstallFunction, HDEVINFO DeviceInfoSet,
                                                 PSP_DEVINFO_DATA DeviceInfoData) {
  if (SetOf(DeviceInfoSet) == nullptr) return FALSE;
  if (InstallFunction != DIF_REMOVE) return Fail(ERROR_DI_DO_DEFAULT);
  return SetupDiRemoveDevice(DeviceInfoSet, DeviceInfoData);
}
