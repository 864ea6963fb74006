// Device registry properties: the size protocol of the reads (the size
// needed with ERROR_INSUFFICIENT_BUFFER) and the writes, which keep the
// bytes exactly as given, as the registry does, terminated or not.
#include <cstring>

#include "device_sets.h"

using namespace platform::setupapi;

namespace {

BOOL Fail(DWORD error) {
  SetLastError(error);
  return FALSE;
}

// The device description is the text given at creation unless it was set.
const std::vector<BYTE> *PropertyOf(const Device &device, DWORD property, std::vector<BYTE> *scratch) {
  auto it = device.properties.find(property);
  if (it != device.properties.end()) return &it->second;
  if (property == SPDRP_DEVICEDESC && !device.description.empty()) {
    scratch->assign(device.description.begin(), device.description.end());
    scratch->push_back(0);
    return scratch;
  }
  return nullptr;
}

}  // namespace

extern "C" BOOL WINAPI SetupDiGetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, PDWORD PropertyRegDataType,
                                                         PBYTE PropertyBuffer, DWORD PropertyBufferSize,
                                                         PDWORD RequiredSize) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  DevicePtr device = ElementOf(*set, DeviceInfoData);
  if (device == nullptr) return FALSE;
  if (PropertyBuffer == nullptr && PropertyBufferSize != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (Property >= SPDRP_MAXIMUM_PROPERTY) return Fail(ERROR_INVALID_REG_PROPERTY);
  if (device->removed) return Fail(ERROR_NO_SUCH_DEVINST);
  std::vector<BYTE> scratch;
  const std::vector<BYTE> *bytes = PropertyOf(*device, Property, &scratch);
  if (bytes == nullptr) return Fail(ERROR_INVALID_DATA);
  const DWORD size = static_cast<DWORD>(bytes->size());
  if (PropertyRegDataType != nullptr) *PropertyRegDataType = PropertyType(Property);
  if (RequiredSize != nullptr) *RequiredSize = size;
  if (PropertyBufferSize < size) return Fail(ERROR_INSUFFICIENT_BUFFER);
  if (size != 0) std::memcpy(PropertyBuffer, bytes->data(), size);
  return TRUE;
}

extern "C" BOOL WINAPI SetupDiSetDeviceRegistryPropertyA(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                                         DWORD Property, const BYTE *PropertyBuffer,
                                                         DWORD PropertyBufferSize) {
  DeviceSet *set = SetOf(DeviceInfoSet);
  if (set == nullptr) return FALSE;
  DevicePtr device = ElementOf(*set, DeviceInfoData);
  if (device == nullptr) return FALSE;
  if (PropertyBuffer == nullptr && PropertyBufferSize != 0) return Fail(ERROR_INVALID_PARAMETER);
  if (Property >= SPDRP_MAXIMUM_PROPERTY) return Fail(ERROR_INVALID_REG_PROPERTY);
  if (device->removed) return Fail(ERROR_NO_SUCH_DEVINST);
  if (PropertyBuffer == nullptr) {
    device->properties.erase(Property);
  } else {
    device->properties[Property].assign(PropertyBuffer, PropertyBuffer + PropertyBufferSize);
  }
  return TRUE;
}
