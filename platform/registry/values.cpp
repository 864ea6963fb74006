// The value calls: values of any type kept as the bytes they were set with,
// names compared without case, and the Windows size protocol for reading
// (ERROR_MORE_DATA with the size needed when the buffer is too small).
#include <platform/testing.h>

#include "hive.h"

#include <algorithm>
#include <cstring>

using namespace platform::registry;

namespace {

std::vector<Value>::iterator FindValue(Key &key, std::string_view name) {
  const std::u16string folded = FoldedName(name);
  return std::find_if(key.values.begin(), key.values.end(),
                      [&folded](const Value &value) { return FoldedName(value.name) == folded; });
}

// The handle's key when it is open with `right` and not deleted.
LONG KeyFor(HKEY handle, ACCESS_MASK right, std::shared_ptr<Key> *key) {
  OpenKey open;
  if (DWORD status = LookUpHandle(handle, &open); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  if ((open.granted & right) == 0) return ERROR_ACCESS_DENIED;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  *key = std::move(open.key);
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE *lpData,
                                      DWORD cbData) {
  (void)Reserved;
  const std::string_view name = lpValueName == nullptr ? "" : lpValueName;
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  if (lpData == nullptr && cbData != 0) return ERROR_NOACCESS;
  std::shared_ptr<Key> key;
  if (LONG status = KeyFor(hKey, KEY_SET_VALUE, &key); status != ERROR_SUCCESS) return status;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  std::vector<uint8_t> data(lpData, lpData + cbData);
  auto value = FindValue(*key, name);
  if (value == key->values.end()) {
    key->values.push_back(Value{std::string(name), dwType, std::move(data)});
  } else {
    value->type = dwType;
    value->data = std::move(data);
  }
  Touch(*key);
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                        LPBYTE lpData, LPDWORD lpcbData) {
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) return ERROR_INVALID_PARAMETER;
  std::shared_ptr<Key> key;
  if (LONG status = KeyFor(hKey, KEY_QUERY_VALUE, &key); status != ERROR_SUCCESS) return status;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  auto value = FindValue(*key, lpValueName == nullptr ? "" : lpValueName);
  if (value == key->values.end()) return ERROR_FILE_NOT_FOUND;
  if (lpType != nullptr) *lpType = value->type;
  if (lpcbData == nullptr) return ERROR_SUCCESS;
  const auto size = static_cast<DWORD>(value->data.size());
  LONG status = ERROR_SUCCESS;
  if (lpData != nullptr) {
    if (*lpcbData < size) {
      status = ERROR_MORE_DATA;
    } else if (size != 0) {
      std::memcpy(lpData, value->data.data(), size);
    }
  }
  *lpcbData = size;
  return status;
}

extern "C" LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  std::shared_ptr<Key> key;
  if (LONG status = KeyFor(hKey, KEY_SET_VALUE, &key); status != ERROR_SUCCESS) return status;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  auto value = FindValue(*key, lpValueName == nullptr ? "" : lpValueName);
  if (value == key->values.end()) return ERROR_FILE_NOT_FOUND;
  key->values.erase(value);
  Touch(*key);
  return ERROR_SUCCESS;
}
