// The installed colour profiles of the machine, for the kernel's machine
// functions. Library code never includes this header.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace platform {
struct MachineDescription;
}

namespace platform::mscms {

// File names of the installed profiles in the colour folder.
using InstalledProfiles = std::vector<std::string>;

// `<dir>/color_profiles.json`. Reading gives nullopt for a malformed file,
// with what is wrong in `problem` (worded to follow the file's name), and
// no profiles for a missing one; nothing changes until UseProfiles.
bool SaveProfiles(const std::string &path);
std::optional<InstalledProfiles> ReadProfiles(const std::string &path, std::string *problem);
void UseProfiles(InstalledProfiles profiles);

// Adds the installed profiles, in the order they were installed.
void DescribeProfiles(MachineDescription &machine);

}  // namespace platform::mscms
