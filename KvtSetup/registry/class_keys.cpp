// The registry entries that Windows setup leaves for installed printers:
// device instance keys of the printer setup class whose "DriverDesc" names
// the driver, and device interface keys of USB printing whose names carry
// a given text. Both scans start again from the first subkey after every
// deletion, as the keys' indexes shift; a key whose deletion failed is
// remembered and passed over when it is met again, so every scan ends.
#include <scoped_handle.h>

#include "KvtSetup.h"
#include "registry/failed_names.h"
#include "registry/key_tree.h"
#include "registry/reg_string.h"
#include "run/log_result.h"

namespace {

const CHAR kPrinterClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}";
const CHAR kUsbPrintInterfaceKey[] =
    "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const DWORD kNameSize = 4096;

// Opens a class key with full access; an empty owner when that fails,
// which makes the first enumeration fail and end the scan.
kvt::ScopedKey OpenClassKey(LPCSTR path) {
  kvt::ScopedKey key;
  RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_ALL_ACCESS, key.receive());
  return key;
}

// Reads subkey `index`'s name into `name` (kNameSize bytes). The buffer is
// not cleared first: after a failed call it holds the last name read.
DWORD EnumerateSubkey(HKEY key, DWORD index, LPSTR name) {
  DWORD length = kNameSize;
  FILETIME written;
  return static_cast<DWORD>(RegEnumKeyExA(key, index, name, &length, NULL, NULL, NULL, &written));
}

// Where `text` first occurs in `name`, stepping over whole characters of
// the ANSI code page; -1 when it does not occur.
INT FindText(LPCSTR name, LPCSTR text) {
  for (INT at = 0; name[at] != '\0';) {
    INT i = 0;
    while (text[i] != '\0' && name[at + i] == text[i]) {
      ++i;
    }
    if (text[i] == '\0') {
      return at;
    }
    at += (IsDBCSLeadByte(static_cast<BYTE>(name[at])) && name[at + 1] != '\0') ? 2 : 1;
  }
  return text[0] == '\0' ? 0 : -1;
}

// Byte for byte: letter case and every character count.
BOOL SameText(LPCSTR a, LPCSTR b) {
  while (*a != '\0' && *a == *b) {
    ++a, ++b;
  }
  return *a == *b;
}

INT HandleDecimal(HKEY key) { return static_cast<INT>(reinterpret_cast<ULONG_PTR>(key)); }

}  // namespace

INT WINAPI KVT_RegDeleteOemxInf(LPCSTR driverName) {
  KVT_LogFileWrite("KVT_RegDeleteOemxInf(%s)", driverName);
  kvt::ScopedKey classKey = OpenClassKey(kPrinterClassKey);
  FailedNames failed;
  ClearFailedNames(&failed);
  CHAR name[kNameSize] = "";
  CHAR description[REG_STRING_SIZE];
  DWORD index = 0;
  for (;;) {
    const DWORD code = EnumerateSubkey(classKey.get(), index, name);
    SetLastError(code);  // the enumeration returns its code without setting it
    LogResult(code == ERROR_SUCCESS, "RegEnumKeyEx()ret=%d / fine(%d):%s", static_cast<INT>(code),
              static_cast<INT>(index), name);
    if (code != ERROR_SUCCESS) {
      break;
    }
    GetRegString(classKey.get(), name, "DriverDesc", description, REG_STRING_SIZE, "");
    KVT_LogFileWrite("GetRegString(\"DriverDesc\")=%s", description);
    if (driverName == NULL || !SameText(description, driverName) || HasFailed(&failed, name)) {
      ++index;
      continue;
    }
    if (RegDeleteKeyA(classKey.get(), name) != ERROR_SUCCESS && !RememberFailure(&failed, name)) {
      break;
    }
    classKey = OpenClassKey(kPrinterClassKey);
    index = 0;
  }
  return 1;
}

INT WINAPI KVT_RegDeleteDeviceClasses(LPCSTR text) {
  KVT_LogFileWrite("KVT_RegDeleteDeviceClasses(%s)", text);
  kvt::ScopedKey classKey = OpenClassKey(kUsbPrintInterfaceKey);
  FailedNames failed;
  ClearFailedNames(&failed);
  CHAR name[kNameSize] = "";
  DWORD index = 0;
  while (EnumerateSubkey(classKey.get(), index, name) == ERROR_SUCCESS) {
    ++index;
    // A match holds the text after the name's first character; an
    // occurrence at the start does not count, and no later one is sought.
    if (text == NULL || FindText(name, text) < 1 || HasFailed(&failed, name)) {
      continue;
    }
    const DWORD code = DeleteRegKey(classKey.get(), name);
    SetLastError(code);
    LogResult(code == ERROR_SUCCESS, "MyRegDeleteKey(%d, %s)", HandleDecimal(classKey.get()), name);
    if (code != ERROR_SUCCESS && !RememberFailure(&failed, name)) {
      break;
    }
    classKey = OpenClassKey(kUsbPrintInterfaceKey);
    index = 0;
    name[0] = '\0';
  }
  return 0;
}
