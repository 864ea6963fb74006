// The registry's model inside the platform layer: keys with case-insensitive
// names, values and a security descriptor each; the machine's two hives
// (HKEY_LOCAL_MACHINE and HKEY_USERS) with the other predefined keys as
// paths into them; and the table of open key handles. Library code never
// includes this header.
#pragma once

#include <aclapi.h>
#include <winreg.h>

#include "../security/security_model.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform::registry {

struct Value {
  std::string name;  // ANSI, as first set; "" is the default value
  DWORD type = REG_NONE;
  std::vector<uint8_t> data;
};

struct Key {
  Key() = default;
  Key(const Key &) = delete;
  Key &operator=(const Key &) = delete;
  // Frees the subkeys that die with the key one after another, not through
  // nested destructors, so that no depth of tree can exhaust the stack.
  ~Key();

  // As created. A key made through a wide call may hold characters that
  // the ANSI code page lacks: ANSI callers see each of them as '?'.
  std::u16string name;
  Key *parent = nullptr;  // null for a hive's root and for a deleted key
  // Subkeys by upper-cased name: the map's order is the order Windows
  // enumerates them in.
  std::map<std::u16string, std::shared_ptr<Key>> subkeys;
  std::vector<Value> values;  // in the order they were first set
  security::Descriptor security;
  FILETIME lastWrite{};
  bool deleted = false;
};

struct Hive {
  std::shared_ptr<Key> machine;  // HKEY_LOCAL_MACHINE
  std::shared_ptr<Key> users;    // HKEY_USERS
};

// The upper-cased form that names are compared and sorted by.
std::u16string FoldedName(std::u16string_view name);
std::u16string FoldedName(std::string_view ansiName);

// The longest name of a key, in characters; longer names are refused.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;
// The deepest a key may lie below its hive's root, in levels, as on Windows.
constexpr size_t kMaxKeyDepth = 512;

// Splits a key path at backslashes; empty components (doubled or trailing
// backslashes) are skipped. ERROR_BAD_PATHNAME for a leading backslash,
// ERROR_INVALID_PARAMETER for a component longer than kMaxKeyNameLength.
DWORD SplitKeyPath(std::u16string_view path, std::vector<std::u16string_view> *components);

// The machine's hives; a fresh machine's until one is loaded.
Hive &CurrentHive();
// A fresh hive with the standard keys and their default security.
Hive FreshHive();
// Adds the keys that the predefined keys lead to when they are missing (a
// loaded hive need not have them), with inherited security.
void EnsureStandardKeys(Hive &hive);
// Adds HKEY_USERS\<sid> for the current user when missing.
void EnsureUserKey(Hive &hive);

// Creates a subkey of `parent` named `name` with the security a new key
// inherits; the caller has checked that it does not exist.
std::shared_ptr<Key> AddSubkey(Key &parent, std::u16string_view name);
std::shared_ptr<Key> FindSubkey(const Key &parent, std::u16string_view name);
// Stamps the key's last-write time with the machine's clock.
void Touch(Key &key);

// Predefined keys: the key a predefined handle stands for, or null when it
// is not one of the five this registry has (or its key is missing).
bool IsPredefined(HKEY handle);
std::shared_ptr<Key> PredefinedKey(HKEY handle);

// Open handles. A handle keeps its key alive after the key is deleted.
struct OpenKey {
  std::shared_ptr<Key> key;
  ACCESS_MASK granted = 0;
};
// ERROR_INVALID_HANDLE for null or unknown handles; predefined handles give
// their key with every right.
DWORD LookUpHandle(HKEY handle, OpenKey *out);
HKEY AddHandle(std::shared_ptr<Key> key, ACCESS_MASK granted);
bool RemoveHandle(HKEY handle);
void CloseAllKeys();
size_t OpenKeyCount();

}  // namespace platform::registry
