// Comparing two descriptions of a machine: matching by name, trees folded
// into their topmost entry, locked keys named, the INF store's files kept
// out of the files, the current user's keys shown where the user knows
// them; and the report of the changes as text and as JSON.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "changes_report.h"
#include "machine_changes.h"

namespace kvt::setup {
namespace {

using platform::MachineDescription;

// "removed  subject (facts)" lines of one group, as the report shows them.
std::vector<std::string> Lines(const std::vector<ChangeGroup> &groups, const std::string &key) {
  std::vector<std::string> lines;
  for (const ChangeGroup &group : groups) {
    if (group.key != key) continue;
    const std::string text = ChangesText({group});
    for (size_t at = text.find('\n') + 1; at < text.size();) {
      const size_t end = text.find('\n', at);
      lines.push_back(text.substr(at + 2, end - at - 2));
      at = end + 1;
    }
  }
  return lines;
}

MachineDescription::RegistryKey Key(const std::string &path, bool deletable = true,
                                    std::vector<MachineDescription::RegistryValue> values = {}) {
  return {path, std::move(values), deletable};
}

MachineDescription::RegistryValue Text(const std::string &name, const std::string &text) {
  std::vector<uint8_t> data(text.begin(), text.end());
  data.push_back(0);
  return {name, REG_SZ, data};
}

TEST(KvtsetupChanges, NothingChangedSaysSoAndListsEveryGroupForPrograms) {
  MachineDescription machine;
  machine.printers.push_back({"P", "D", "LPT1:"});
  const std::vector<ChangeGroup> groups = CompareMachines(machine, machine);
  EXPECT_EQ(ChangesText(groups), "Nothing on the machine changed.\n");
  const nlohmann::ordered_json json = ChangesJson(groups);
  std::vector<std::string> keys;
  for (const auto &[key, value] : json.items()) {
    keys.push_back(key);
    EXPECT_TRUE(value.is_array() && value.empty()) << key;
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"printers", "drivers", "monitorsAndPorts", "devices", "oemInfCopies",
                                            "colourProfiles", "registry", "files"}));
}

TEST(KvtsetupChanges, EntriesAreMatchedByNameAndTheirOtherFactsCompared) {
  MachineDescription before, after;
  before.printers = {{"Gone", "D", "LPT1:"}, {"Moved", "D", "LPT1:"}, {"Same", "D", "COM1:"}};
  after.printers = {{"Same", "D", "COM1:"}, {"Moved", "D", "FILE:"}, {"New", "E", "NUL:"}};
  before.drivers = {{"D", "Windows NT x86"}, {"D", "Windows 4.0"}};
  after.drivers = {{"D", "Windows NT x86"}};
  before.monitors = {{"Mon", "mon.dll"}};
  before.ports = {{"P1", "Mon"}};
  before.devices = {{"USB\\A\\1", "Printer", {"USB\\A", "USB\\B"}}};
  after.devices = {{"USB\\A\\1", "Printer", {"USB\\A"}}};
  before.colorProfiles = {"a.icm"};
  after.colorProfiles = {"a.icm", "b.icm"};
  const std::vector<ChangeGroup> groups = CompareMachines(before, after);
  EXPECT_EQ(Lines(groups, "printers"),
            (std::vector<std::string>{"removed  Gone (driver: D; port: LPT1:)", "added    New (driver: E; port: NUL:)",
                                      "changed  Moved (port: LPT1: -> FILE:)"}));
  EXPECT_EQ(Lines(groups, "drivers"), std::vector<std::string>{"removed  D (environment: Windows 4.0)"});
  EXPECT_EQ(Lines(groups, "monitorsAndPorts"),
            (std::vector<std::string>{"removed  monitor Mon (library: mon.dll)", "removed  port P1 (monitor: Mon)"}));
  EXPECT_EQ(Lines(groups, "devices"),
            std::vector<std::string>{"changed  USB\\A\\1 (hardware IDs: USB\\A, USB\\B -> USB\\A)"});
  EXPECT_EQ(Lines(groups, "colourProfiles"), std::vector<std::string>{"added    b.icm"});
}

TEST(KvtsetupChanges, RegistryTreesFoldIntoTheirTopKeyAndNameTheLockedKeys) {
  MachineDescription before, after;
  const std::string user = "HKEY_USERS\\S-1-5-21-1-2-3-1000";
  before.registryKeys = {Key("HKEY_LOCAL_MACHINE"),
                         Key("HKEY_LOCAL_MACHINE\\V", true, {Text("a", "1"), Text("b", "2")}),
                         Key("HKEY_LOCAL_MACHINE\\V\\Locked", false),
                         Key("HKEY_LOCAL_MACHINE\\V\\Open\\Deep", true),
                         Key("HKEY_LOCAL_MACHINE\\Kept", true, {Text("gone", "x"), Text("same", "y"), Text("", "z")}),
                         Key("HKEY_LOCAL_MACHINE\\Guard", false),
                         Key(user + "\\Software\\V"),
                         Key(user + "0\\Software\\V")};
  after.registryKeys = {Key("HKEY_LOCAL_MACHINE"),
                        Key("HKEY_LOCAL_MACHINE\\Kept", true, {Text("same", "y"), Text("", "new"), Text("n", "1")}),
                        Key("HKEY_LOCAL_MACHINE\\Guard", true), Key("HKEY_LOCAL_MACHINE\\Added"),
                        Key("HKEY_LOCAL_MACHINE\\Added\\Sub")};
  const std::vector<ChangeGroup> groups = CompareMachines(before, after, user);
  EXPECT_EQ(Lines(groups, "registry"),
            (std::vector<std::string>{
                "removed  HKEY_LOCAL_MACHINE\\V (keys below: 1; values: 2; locked against deletion: "
                "HKEY_LOCAL_MACHINE\\V\\Locked)",
                // A key whose parent is not listed is a tree of its own.
                "removed  HKEY_LOCAL_MACHINE\\V\\Open\\Deep",
                "removed  HKEY_CURRENT_USER\\Software\\V",
                "removed  HKEY_USERS\\S-1-5-21-1-2-3-10000\\Software\\V",
                "added    HKEY_LOCAL_MACHINE\\Added (keys below: 1)",
                "removed  HKEY_LOCAL_MACHINE\\Kept, value \"gone\" (data: \"x\" (REG_SZ))",
                "changed  HKEY_LOCAL_MACHINE\\Kept, default value (data: \"z\" (REG_SZ) -> \"new\" (REG_SZ))",
                "added    HKEY_LOCAL_MACHINE\\Kept, value \"n\" (data: \"1\" (REG_SZ))",
                "changed  HKEY_LOCAL_MACHINE\\Guard (locked against deletion: yes -> no)",
            }));
}

TEST(KvtsetupChanges, FilesFoldIntoTheirFolderAndTheInfStoreIsReportedApart) {
  MachineDescription before, after;
  before.files = {{"C:\\A", true, 0, 0, 0},
                  {"C:\\A\\x.txt", false, 0, 1, 1},
                  {"C:\\A\\y.txt", false, FILE_ATTRIBUTE_HIDDEN, 2, 2},
                  {"C:\\B.txt", false, FILE_ATTRIBUTE_READONLY, 3, 3},
                  {"C:\\Same.txt", false, 0, 4, 4},
                  {"C:\\Content.txt", false, 0, 4, 4},
                  {"C:\\Flags.txt", false, FILE_ATTRIBUTE_READONLY, 4, 4},
                  {"C:\\WINDOWS\\Inf\\oem1.inf", false, 0, 5, 5},
                  {"C:\\WINDOWS\\Inf\\oem1.pnf", false, 0, 5, 5}};
  after.files = {{"C:\\Same.txt", false, 0, 4, 4},
                 {"C:\\Content.txt", false, 0, 4, 40},
                 {"C:\\Flags.txt", false, FILE_ATTRIBUTE_HIDDEN, 4, 4},
                 {"C:\\New", true, 0, 0, 0}};
  before.oemInfs = {{"C:\\WINDOWS\\Inf\\oem1.inf", "C:\\WINDOWS\\Inf\\oem1.pnf", "Vendor"}};
  const std::vector<ChangeGroup> groups = CompareMachines(before, after);
  EXPECT_EQ(Lines(groups, "files"),
            (std::vector<std::string>{"removed  C:\\A (entries inside: 2)",
                                      "removed  C:\\B.txt (size: 3 bytes; attributes: read-only)", "added    C:\\New",
                                      "changed  C:\\Content.txt (content: 4 bytes -> 4 bytes)",
                                      "changed  C:\\Flags.txt (attributes: read-only -> hidden)"}));
  EXPECT_EQ(Lines(groups, "oemInfCopies"),
            std::vector<std::string>{
                "removed  C:\\WINDOWS\\Inf\\oem1.inf (provider: Vendor; precompiled: C:\\WINDOWS\\Inf\\oem1.pnf)"});
}

TEST(KvtsetupChanges, TheJsonHoldsTheSameChangesWithTheirFacts) {
  MachineDescription before, after;
  before.printers = {{"Gone", "D", "LPT1:"}, {"Moved", "D", "LPT1:"}};
  after.printers = {{"Moved", "D", "FILE:"}};
  const nlohmann::ordered_json json = ChangesJson(CompareMachines(before, after));
  const nlohmann::ordered_json expected = nlohmann::ordered_json::parse(R"([
    {"change": "removed", "subject": "Gone",
     "facts": [{"label": "driver", "before": "D"}, {"label": "port", "before": "LPT1:"}]},
    {"change": "changed", "subject": "Moved", "facts": [{"label": "port", "before": "LPT1:", "after": "FILE:"}]}
  ])");
  EXPECT_EQ(json["printers"], expected);
}

}  // namespace
}  // namespace kvt::setup
