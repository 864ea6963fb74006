// What a command changed on a machine: two descriptions of it, before and
// after, compared area by area. A removed or added tree (a registry key
// with its subkeys, a folder with its files) is one change of its topmost
// entry that counts what lay below it; registry keys locked against
// deletion are named.
#pragma once

#include <platform/testing.h>

#include <optional>
#include <string>
#include <vector>

namespace kvt::setup {

enum class ChangeKind { Added, Removed, Changed };

// One thing known about what changed: for an added entry its value after,
// for a removed one its value before, for a changed one both.
struct Fact {
  std::string label;
  std::optional<std::string> before;
  std::optional<std::string> after;
};

struct Change {
  ChangeKind kind = ChangeKind::Changed;
  std::string subject;
  std::vector<Fact> facts;
};

struct ChangeGroup {
  std::string key;    // for JSON: "printers", ...
  std::string title;  // for people: "Printers", ...
  std::vector<Change> changes;
};

// The groups, always all of them and in this order: printers, printer
// drivers, port monitors and ports, devices, OEM INF copies, colour
// profiles, registry keys and values, files and folders. Within a group,
// removals, additions and changes each in the machine's order. Registry
// paths below `currentUserKey` ("HKEY_USERS\<the user's SID>", or "") are
// shown below HKEY_CURRENT_USER, where the user knows them.
std::vector<ChangeGroup> CompareMachines(const platform::MachineDescription &before,
                                         const platform::MachineDescription &after,
                                         const std::string &currentUserKey = "");

}  // namespace kvt::setup
