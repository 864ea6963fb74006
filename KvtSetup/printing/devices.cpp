// Removal of the Plug and Play devices that stand for the printer: a walk
// over every device of every class, present or not, that removes each
// device one of whose hardware IDs is the one asked for. Removal keeps a
// device's element in the walk's set, so the walk's indexes stay valid and
// the device after a removed one is examined too.
#include <windows.h>
#include <setupapi.h>

#include <scoped_handle.h>

#include "KvtSetup.h"
#include "run/bounded_text.h"
#include "run/log_result.h"

namespace {

// Room after the property's bytes that stays zero: a hardware-ID list
// whose last string lacks its terminator still ends inside the buffer.
const DWORD kTerminatorRoom = 2;

// Reads the device's hardware-ID list into a zero-filled LocalAlloc block
// and gives its size in bytes; empty when the device has none or the read
// fails.
kvt::ScopedLocalBlock<CHAR> ReadHardwareIds(HDEVINFO set, PSP_DEVINFO_DATA device, DWORD *size) {
  kvt::ScopedLocalBlock<CHAR> buffer;
  DWORD bufferSize = 0;
  DWORD required = 0;
  while (!SetupDiGetDeviceRegistryPropertyA(set, device, SPDRP_HARDWAREID, NULL, reinterpret_cast<PBYTE>(buffer.get()),
                                            bufferSize, &required)) {
    buffer.reset();
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || required <= bufferSize ||
        required > MAXDWORD - kTerminatorRoom) {
      return buffer;
    }
    buffer.reset(static_cast<LPSTR>(LocalAlloc(LPTR, required + kTerminatorRoom)));
    if (!buffer) {
      return buffer;
    }
    bufferSize = required;
  }
  *size = bufferSize;
  return buffer;
}

// The first string of the list equal to `hardwareId` ignoring letter case,
// as the device spells it; NULL when none is (or `hardwareId` is NULL).
LPCSTR MatchingHardwareId(LPCSTR ids, DWORD size, LPCSTR hardwareId) {
  if (ids == NULL || hardwareId == NULL) {
    return NULL;
  }
  DWORD offset = 0;
  while (offset < size && ids[offset] != '\0') {
    if (lstrcmpiA(ids + offset, hardwareId) == 0) {
      return ids + offset;
    }
    offset += BoundedLength(ids + offset, size - offset) + 1;
  }
  return NULL;
}

}  // namespace

INT WINAPI KVT_RemoveDevice(LPCSTR hardwareId) {
  const kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(NULL, NULL, NULL, DIGCF_ALLCLASSES));
  if (!set) {
    return 0;
  }
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);

  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    DWORD size = 0;
    const kvt::ScopedLocalBlock<CHAR> ids = ReadHardwareIds(set.get(), &device, &size);
    LPCSTR match = MatchingHardwareId(ids.get(), size, hardwareId);
    if (match != NULL) {
      LogResult(SetupDiCallClassInstaller(DIF_REMOVE, set.get(), &device), "SetupDiCallClassInstaller(DIF_REMOVE,%s)",
                match);
    }
  }

  // The enumeration that ended the walk set the last error, after any
  // failed removal: 259 is the normal end. It is read before the set goes.
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS || error == ERROR_NO_MORE_ITEMS ? 1 : 0;
}
