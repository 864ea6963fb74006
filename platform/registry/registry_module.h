// The registry module's entry points for the machine as a whole: reset,
// live counts and the registry file of a saved machine.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace platform {
struct MachineDescription;
}

namespace platform::registry {

struct Hive;

// A fresh registry and the default identity; every open key is closed.
void ResetRegistry();
size_t LiveKeyHandleCount();

// Writes HKEY_LOCAL_MACHINE and HKEY_USERS to the new file `path` as
// REGEDIT4 text with each key's security descriptor as SDDL on a comment
// line under its header, and a closing comment line last. False, leaving
// nothing at `path`, for a registry that such a file cannot hold.
bool SaveRegistry(const std::string &path);
// Reads such a file; null when it cannot be read, is malformed or lacks its
// closing line, with what is wrong and on which line in `problem` (worded to
// follow the file's name: "is cut short at line 12").
std::shared_ptr<Hive> ReadRegistry(const std::string &path, std::string *problem);
// Makes `hive` (null: a fresh one) the machine's registry; every open key
// is closed.
void UseRegistry(std::shared_ptr<Hive> hive);

// Adds every key of HKEY_LOCAL_MACHINE and HKEY_USERS to `machine`.
void DescribeRegistry(MachineDescription &machine);

}  // namespace platform::registry
