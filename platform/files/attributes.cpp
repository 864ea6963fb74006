// What a host file system does not keep for the machine: the hidden and
// system attributes of files and folders and the read-only attribute of
// folders (a file's read-only attribute is its write permission), and the
// files that a process has mapped as loaded modules. Both are kept by the
// entry's host identity and forgotten when the entry is deleted or the
// machine is reset.
#include <platform/testing.h>

#include "files_internal.h"

#include <map>
#include <set>
#include <utility>

namespace platform::files {

namespace {

using Key = std::pair<dev_t, ino_t>;

constexpr DWORD kKeptAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

std::map<Key, DWORD> &Attributes() {
  static std::map<Key, DWORD> attributes;
  return attributes;
}

std::set<Key> &LoadedModules() {
  static std::set<Key> modules;
  return modules;
}

std::optional<Key> KeyOf(const std::string &host) {
  const std::optional<FileIdentity> identity = IdentityOf(host);
  if (!identity) return std::nullopt;
  return Key{identity->device, identity->inode};
}

void ResetAttributes() {
  Attributes().clear();
  LoadedModules().clear();
}

const bool kRegistered = (RegisterResetHook(&ResetAttributes), true);

}  // namespace

DWORD KeptAttributes(const std::string &host) {
  const std::optional<Key> key = KeyOf(host);
  if (!key) return 0;
  auto found = Attributes().find(*key);
  return found == Attributes().end() ? 0 : found->second;
}

void KeepAttributes(const std::string &host, DWORD attributes) {
  (void)kRegistered;
  const std::optional<Key> key = KeyOf(host);
  if (!key) return;
  if ((attributes & kKeptAttributes) == 0) {
    Attributes().erase(*key);
  } else {
    Attributes()[*key] = attributes & kKeptAttributes;
  }
}

void ForgetEntry(const FileIdentity &entry) {
  const Key key{entry.device, entry.inode};
  Attributes().erase(key);
  LoadedModules().erase(key);
}

bool IsLoadedModule(const std::string &host) {
  const std::optional<Key> key = KeyOf(host);
  return key && LoadedModules().count(*key) != 0;
}

}  // namespace platform::files

namespace platform {

bool MarkLoadedModule(const std::string &windowsPath, bool loaded) {
  const std::optional<std::string> host = HostPathOfWindowsPath(windowsPath);
  const std::optional<files::Key> key = host ? files::KeyOf(*host) : std::nullopt;
  if (!key) return false;
  if (loaded) {
    files::LoadedModules().insert(*key);
  } else {
    files::LoadedModules().erase(*key);
  }
  return true;
}

}  // namespace platform
