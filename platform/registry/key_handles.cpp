// Open registry keys: handle values drawn from the kernel's counter, each
// with its key and the rights it was opened with, and the registry's part of
// a machine reset.
#include <platform/testing.h>

#include "../kernel/kernel_internal.h"
#include "hive.h"
#include "registry_module.h"

#include <map>

namespace platform::registry {

namespace {

std::map<uintptr_t, OpenKey> &Handles() {
  static std::map<uintptr_t, OpenKey> handles;
  return handles;
}

uintptr_t ValueOf(HKEY handle) { return reinterpret_cast<uintptr_t>(handle); }

}  // namespace

DWORD LookUpHandle(HKEY handle, OpenKey *out) {
  if (IsPredefined(handle)) {
    std::shared_ptr<Key> key = PredefinedKey(handle);
    if (!key) return ERROR_INVALID_HANDLE;
    *out = OpenKey{std::move(key), KEY_ALL_ACCESS};
    return ERROR_SUCCESS;
  }
  auto found = Handles().find(ValueOf(handle));
  if (handle == nullptr || found == Handles().end()) return ERROR_INVALID_HANDLE;
  *out = found->second;
  return ERROR_SUCCESS;
}

HKEY AddHandle(std::shared_ptr<Key> key, ACCESS_MASK granted) {
  auto handle = static_cast<HKEY>(NewHandleValue());
  Handles().emplace(ValueOf(handle), OpenKey{std::move(key), granted});
  return handle;
}

bool RemoveHandle(HKEY handle) { return Handles().erase(ValueOf(handle)) == 1; }

void CloseAllKeys() { Handles().clear(); }

size_t OpenKeyCount() { return Handles().size(); }

size_t LiveKeyHandleCount() { return OpenKeyCount(); }

void ResetRegistry() {
  CloseAllKeys();
  security::ResetIdentity();
  CurrentHive() = FreshHive();
}

void UseRegistry(std::shared_ptr<Hive> hive) {
  CloseAllKeys();
  CurrentHive() = hive ? std::move(*hive) : FreshHive();
}

}  // namespace platform::registry
