// The key calls: opening and creating keys along a path, closing them,
// enumerating subkeys in the registry's sorted order and deleting keys that
// have no subkeys. Every right is checked against the process identity: a
// handle's own rights for what it is used for, the key's security when a
// key is opened, created below or deleted. Names are wide inside, as on
// Windows: the ANSI calls convert on the way in and out, so a name with
// characters outside the code page lists with a '?' for each of them, and
// that text names no key.
#include <platform/testing.h>

#include "../kernel/text.h"
#include "hive.h"

#include <cstring>

using namespace platform::registry;
using platform::security::CheckKeyAccess;

namespace {

// Rights a caller cannot ask a key for: the WOW64 view bits are accepted and
// ignored, as a 32-bit registry has only one view.
constexpr REGSAM kViewBits = KEY_WOW64_32KEY | KEY_WOW64_64KEY;

// Opens `path` below `base` with `access`; `create` adds missing keys.
LONG OpenPath(const OpenKey &base, std::u16string_view path, REGSAM access, bool create, PHKEY result,
              LPDWORD disposition) {
  std::vector<std::u16string_view> components;
  if (DWORD status = SplitKeyPath(path, &components); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  if (base.key->deleted) return ERROR_KEY_DELETED;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  std::shared_ptr<Key> key = base.key;
  size_t existing = 0;
  while (existing < components.size()) {
    std::shared_ptr<Key> next = FindSubkey(*key, components[existing]);
    if (!next) break;
    key = std::move(next);
    ++existing;
  }
  if (existing < components.size()) {
    if (!create) return ERROR_FILE_NOT_FOUND;
    // A key is created only where the caller may add subkeys: the handle's
    // own rights for its key, the key's security for keys further down.
    ACCESS_MASK granted = 0;
    const bool allowed = existing == 0 ? (base.granted & KEY_CREATE_SUB_KEY) != 0
                                       : CheckKeyAccess(key->security, KEY_CREATE_SUB_KEY, &granted);
    if (!allowed) return ERROR_ACCESS_DENIED;
    // Check the new key's rights before anything is added.
    const platform::security::Descriptor preview = platform::security::NewKeyDescriptor(key->security);
    if (!CheckKeyAccess(preview, access, &granted)) return ERROR_ACCESS_DENIED;
    for (; existing < components.size(); ++existing) key = AddSubkey(*key, components[existing]);
    *result = AddHandle(key, granted);
    if (disposition != nullptr) *disposition = REG_CREATED_NEW_KEY;
    return ERROR_SUCCESS;
  }
  ACCESS_MASK granted = 0;
  if (!CheckKeyAccess(key->security, access, &granted)) return ERROR_ACCESS_DENIED;
  *result = AddHandle(key, granted);
  if (disposition != nullptr) *disposition = REG_OPENED_EXISTING_KEY;
  return ERROR_SUCCESS;
}

bool IsPredefinedTarget(const Key &key) {
  for (HKEY root : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKEY_CURRENT_CONFIG}) {
    if (PredefinedKey(root).get() == &key) return true;
  }
  return false;
}

LONG OpenKeyWide(HKEY hKey, const std::u16string &subKey, REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  // A predefined key with no subkey opens as itself, as Windows documents.
  if (subKey.empty() && IsPredefined(hKey)) {
    OpenKey root;
    if (DWORD status = LookUpHandle(hKey, &root); status != ERROR_SUCCESS) return static_cast<LONG>(status);
    *phkResult = hKey;
    return ERROR_SUCCESS;
  }
  OpenKey base;
  if (DWORD status = LookUpHandle(hKey, &base); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  std::u16string_view path = subKey;
  // Windows lets a path below HKEY_CLASSES_ROOT begin with one backslash
  // when it is opened (not when it is created or deleted).
  if (hKey == HKEY_CLASSES_ROOT && !path.empty() && path[0] == u'\\') path.remove_prefix(1);
  return OpenPath(base, path, samDesired & ~kViewBits, false, phkResult, nullptr);
}

LONG CreateKeyWide(HKEY hKey, const std::u16string &subKey, DWORD dwOptions, REGSAM samDesired,
                   LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  if ((dwOptions & (REG_OPTION_CREATE_LINK | REG_OPTION_BACKUP_RESTORE)) != 0) return ERROR_INVALID_PARAMETER;
  // New keys get inherited security; an explicit descriptor is not taken.
  if (lpSecurityAttributes != nullptr && lpSecurityAttributes->lpSecurityDescriptor != nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  OpenKey base;
  if (DWORD status = LookUpHandle(hKey, &base); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  return OpenPath(base, subKey, samDesired & ~kViewBits, true, phkResult, lpdwDisposition);
}

LONG DeleteKeyWide(HKEY hKey, const std::u16string &subKey) {
  OpenKey base;
  if (DWORD status = LookUpHandle(hKey, &base); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  std::vector<std::u16string_view> components;
  if (DWORD status = SplitKeyPath(subKey, &components); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  if (base.key->deleted) return ERROR_KEY_DELETED;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  std::shared_ptr<Key> key = base.key;
  for (std::u16string_view name : components) {
    key = FindSubkey(*key, name);
    if (!key) return ERROR_FILE_NOT_FOUND;
  }
  ACCESS_MASK granted = 0;
  // Neither a hive's root nor a predefined key is ever deleted, nor a key
  // with subkeys.
  if (key->parent == nullptr || !key->subkeys.empty() || IsPredefinedTarget(*key)) return ERROR_ACCESS_DENIED;
  if (components.empty() ? (base.granted & DELETE) == 0 : !CheckKeyAccess(key->security, DELETE, &granted)) {
    return ERROR_ACCESS_DENIED;
  }
  Key &parent = *key->parent;
  parent.subkeys.erase(FoldedName(key->name));
  Touch(parent);
  key->parent = nullptr;
  key->deleted = true;
  return ERROR_SUCCESS;
}

}  // namespace

extern "C" LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  (void)ulOptions;  // only REG_OPTION_OPEN_LINK exists, and there are no links
  return OpenKeyWide(hKey, platform::AnsiToWide(lpSubKey), samDesired, phkResult);
}

extern "C" LONG WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult) {
  (void)ulOptions;
  return OpenKeyWide(hKey, platform::WideText(lpSubKey), samDesired, phkResult);
}

extern "C" LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;  // keys keep no class
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return CreateKeyWide(hKey, platform::AnsiToWide(lpSubKey), dwOptions, samDesired, lpSecurityAttributes, phkResult,
                       lpdwDisposition);
}

extern "C" LONG WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved, LPWSTR lpClass, DWORD dwOptions,
                                       REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                                       LPDWORD lpdwDisposition) {
  (void)Reserved;
  (void)lpClass;
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return CreateKeyWide(hKey, platform::WideText(lpSubKey), dwOptions, samDesired, lpSecurityAttributes, phkResult,
                       lpdwDisposition);
}

extern "C" LONG WINAPI RegCloseKey(HKEY hKey) {
  if (IsPredefined(hKey)) return ERROR_SUCCESS;
  return RemoveHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

extern "C" LONG WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                                     LPSTR lpClass, LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
  OpenKey open;
  if (DWORD status = LookUpHandle(hKey, &open); status != ERROR_SUCCESS) return static_cast<LONG>(status);
  if (lpName == nullptr || lpcchName == nullptr || lpReserved != nullptr) return ERROR_INVALID_PARAMETER;
  if (lpClass != nullptr && lpcchClass == nullptr) return ERROR_INVALID_PARAMETER;
  if ((open.granted & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  if (open.key->deleted) return ERROR_KEY_DELETED;
  if (platform::ShouldFail(platform::Fault::Registry)) return ERROR_NOT_ENOUGH_MEMORY;
  if (dwIndex >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
  auto entry = open.key->subkeys.begin();
  std::advance(entry, dwIndex);
  const Key &subkey = *entry->second;
  const std::string name = platform::WideToAnsi(subkey.name);
  // The size counts the terminator on the way in, not on the way out.
  if (name.size() >= *lpcchName) return ERROR_MORE_DATA;
  if (lpClass != nullptr) {
    if (*lpcchClass == 0) return ERROR_MORE_DATA;
    lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  *lpcchName = static_cast<DWORD>(name.size());
  if (lpftLastWriteTime != nullptr) *lpftLastWriteTime = subkey.lastWrite;
  return ERROR_SUCCESS;
}

extern "C" LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return DeleteKeyWide(hKey, platform::AnsiToWide(lpSubKey));
}

extern "C" LONG WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
  if (lpSubKey == nullptr) return ERROR_INVALID_PARAMETER;
  return DeleteKeyWide(hKey, platform::WideText(lpSubKey));
}
