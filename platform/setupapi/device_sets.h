// Device information sets: the handle table and the checks that every
// SetupDi call makes on a set handle and an SP_DEVINFO_DATA record.
#pragma once

#include "setupapi_module.h"

namespace platform::setupapi {

struct DeviceSet {
  bool hasClass = false;  // a set made for one class takes only that class
  GUID classGuid{};
  std::vector<DevicePtr> elements;  // stay while the set lives
};

// The set behind a handle, or null with ERROR_INVALID_HANDLE.
DeviceSet *SetOf(HDEVINFO handle);

// The element a record names, or null with the last error set:
// ERROR_INVALID_PARAMETER for a null record, a wrong cbSize or a record of
// another set.
DevicePtr ElementOf(DeviceSet &set, const SP_DEVINFO_DATA *data);

// Fills a record for element `index` of `set`.
void DescribeElement(const DeviceSet &set, size_t index, SP_DEVINFO_DATA *data);

}  // namespace platform::setupapi
