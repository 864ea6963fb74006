// The registry module's entry points for the machine as a whole: reset,
// live counts and the registry file of a saved machine.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform::registry {

struct Hive;

// A fresh registry and the default identity; every open key is closed.
void ResetRegistry();
size_t LiveKeyHandleCount();

// Writes HKEY_LOCAL_MACHINE and HKEY_USERS as REGEDIT4 text with each key's
// security descriptor as SDDL on a comment line under its header.
bool SaveRegistry(const std::string &path);
// Reads such a file; null when it is malformed or cannot be read.
std::shared_ptr<Hive> ReadRegistry(const std::string &path);
// Makes `hive` (null: a fresh one) the machine's registry; every open key
// is closed.
void UseRegistry(std::shared_ptr<Hive> hive);

}  // namespace platform::registry
