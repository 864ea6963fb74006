// Comparing two descriptions of a machine. Entries are matched by what
// names them (a printer by its name, a registry key by its path, ...);
// everything else about them is a fact whose change is reported.
#include "machine_changes.h"

#include <functional>
#include <map>
#include <set>
#include <utility>

#include "utf.h"
#include "value_text.h"

namespace kvt::setup {

namespace {

using platform::MachineDescription;
using Facts = std::vector<std::pair<std::string, std::string>>;

template <typename T>
struct Area {
  std::function<std::string(const T &)> key;
  std::function<std::string(const T &)> subject;
  std::function<Facts(const T &)> facts;
};

// A fact of something that went (its value before) or came (after).
Fact OneSided(ChangeKind kind, std::string label, std::string value) {
  Fact fact{std::move(label), std::nullopt, std::nullopt};
  (kind == ChangeKind::Removed ? fact.before : fact.after) = std::move(value);
  return fact;
}

Change Whole(ChangeKind kind, std::string subject, const Facts &facts) {
  Change change{kind, std::move(subject), {}};
  for (const auto &[label, value] : facts) change.facts.push_back(OneSided(kind, label, value));
  return change;
}

// Removals in the order of `before`, then additions and changes in the
// order of `after`.
template <typename T>
void CompareLists(const std::vector<T> &before, const std::vector<T> &after, const Area<T> &area,
                  std::vector<Change> &out) {
  std::map<std::string, const T *> old, now;
  for (const T &item : before) old.emplace(area.key(item), &item);
  for (const T &item : after) now.emplace(area.key(item), &item);
  for (const T &item : before) {
    if (now.count(area.key(item)) == 0) out.push_back(Whole(ChangeKind::Removed, area.subject(item), area.facts(item)));
  }
  std::vector<Change> changed;
  for (const T &item : after) {
    auto match = old.find(area.key(item));
    if (match == old.end()) {
      out.push_back(Whole(ChangeKind::Added, area.subject(item), area.facts(item)));
      continue;
    }
    const Facts was = area.facts(*match->second), is = area.facts(item);
    Change change{ChangeKind::Changed, area.subject(item), {}};
    for (size_t i = 0; i < is.size() && i < was.size(); ++i) {
      if (was[i].second != is[i].second) change.facts.push_back({is[i].first, was[i].second, is[i].second});
    }
    if (!change.facts.empty()) changed.push_back(std::move(change));
  }
  out.insert(out.end(), changed.begin(), changed.end());
}

std::string Joined(const std::vector<std::string> &texts) {
  std::string joined;
  for (const std::string &text : texts) joined += (joined.empty() ? "" : ", ") + text;
  return joined;
}

std::string ParentOf(const std::string &path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// A tree that went or came: its topmost entry, then counts of what lay
// below it and the facts that each entry below adds.
struct Tree {
  Change change;
  size_t entriesBelow = 0;
};

// Folds the entries of `paths` (parents before children) whose parent is
// among them into the tree of their topmost such ancestor.
template <typename Entry>
std::vector<Tree> FoldTrees(const std::vector<const Entry *> &entries, ChangeKind kind,
                            const std::function<Facts(const Entry &)> &facts,
                            const std::function<void(Tree &, const Entry &)> &below, const char *belowLabel) {
  std::vector<Tree> trees;
  std::map<std::string, size_t> treeOf;
  for (const Entry *entry : entries) {
    auto parent = treeOf.find(ParentOf(entry->path));
    if (parent != treeOf.end()) {
      Tree &tree = trees[parent->second];
      ++tree.entriesBelow;
      below(tree, *entry);
      treeOf.emplace(entry->path, parent->second);
      continue;
    }
    treeOf.emplace(entry->path, trees.size());
    Tree tree{Whole(kind, entry->path, facts(*entry)), 0};
    below(tree, *entry);
    trees.push_back(std::move(tree));
  }
  for (Tree &tree : trees) {
    if (tree.entriesBelow == 0) continue;
    tree.change.facts.insert(tree.change.facts.begin(), OneSided(kind, belowLabel, std::to_string(tree.entriesBelow)));
  }
  return trees;
}

// Texts of the registry are ANSI; the report is UTF-8.
std::string ValueText(const MachineDescription::RegistryValue &value) {
  return text::AnsiToUtf8(ValueDataText(value.type, value.data)) + " (" + ValueTypeText(value.type) + ")";
}

std::string ValueSubject(const std::string &keyPath, const std::string &name) {
  return keyPath + ", " + (name.empty() ? std::string("default value") : "value " + QuotedText(name));
}

// The registry changes' paths as the user knows them.
void ShowCurrentUser(std::vector<Change> &changes, const std::string &currentUserKey) {
  if (currentUserKey.empty()) return;
  auto shown = [&currentUserKey](std::string &path) {
    if (path.compare(0, currentUserKey.size(), currentUserKey) == 0 &&
        (path.size() == currentUserKey.size() || path[currentUserKey.size()] == '\\' ||
         path[currentUserKey.size()] == ',')) {
      path = "HKEY_CURRENT_USER" + path.substr(currentUserKey.size());
    }
  };
  for (Change &change : changes) {
    shown(change.subject);
    for (Fact &fact : change.facts) {
      if (fact.label != "locked against deletion") continue;
      if (fact.before) shown(*fact.before);
      if (fact.after) shown(*fact.after);
    }
  }
}

void CompareRegistry(const MachineDescription &before, const MachineDescription &after, std::vector<Change> &out) {
  using Key = MachineDescription::RegistryKey;
  std::map<std::string, const Key *> old, now;
  for (const Key &key : before.registryKeys) old.emplace(key.path, &key);
  for (const Key &key : after.registryKeys) now.emplace(key.path, &key);
  auto lockNote = [](ChangeKind kind) {
    return [kind](Tree &tree, const Key &key) {
      if (!key.deletable) tree.change.facts.push_back(OneSided(kind, "locked against deletion", key.path));
    };
  };
  auto valueCount = [](const Key &key) {
    return key.values.empty() ? Facts{} : Facts{{"values", std::to_string(key.values.size())}};
  };
  for (ChangeKind kind : {ChangeKind::Removed, ChangeKind::Added}) {
    const auto &from = kind == ChangeKind::Removed ? before.registryKeys : after.registryKeys;
    const auto &other = kind == ChangeKind::Removed ? now : old;
    std::vector<const Key *> gone;
    for (const Key &key : from) {
      if (other.count(key.path) == 0) gone.push_back(&key);
    }
    for (Tree &tree : FoldTrees<Key>(gone, kind, valueCount, lockNote(kind), "keys below")) {
      out.push_back(std::move(tree.change));
    }
  }
  for (const Key &key : after.registryKeys) {
    auto match = old.find(key.path);
    if (match == old.end()) continue;
    const Key &was = *match->second;
    if (was.deletable != key.deletable) {
      out.push_back({ChangeKind::Changed,
                     key.path,
                     {{"locked against deletion", was.deletable ? "no" : "yes", key.deletable ? "no" : "yes"}}});
    }
    for (const auto &value : was.values) {
      bool kept = false;
      for (const auto &now : key.values) kept = kept || now.name == value.name;
      if (!kept)
        out.push_back({ChangeKind::Removed, ValueSubject(key.path, value.name), {{"data", ValueText(value), {}}}});
    }
    for (const auto &value : key.values) {
      const MachineDescription::RegistryValue *previous = nullptr;
      for (const auto &then : was.values) {
        if (then.name == value.name) previous = &then;
      }
      if (previous == nullptr) {
        out.push_back({ChangeKind::Added, ValueSubject(key.path, value.name), {{"data", {}, ValueText(value)}}});
      } else if (previous->type != value.type || previous->data != value.data) {
        out.push_back({ChangeKind::Changed,
                       ValueSubject(key.path, value.name),
                       {{"data", ValueText(*previous), ValueText(value)}}});
      }
    }
  }
}

std::string AttributeText(DWORD attributes) {
  std::vector<std::string> words;
  if (attributes & FILE_ATTRIBUTE_READONLY) words.push_back("read-only");
  if (attributes & FILE_ATTRIBUTE_HIDDEN) words.push_back("hidden");
  if (attributes & FILE_ATTRIBUTE_SYSTEM) words.push_back("system");
  return words.empty() ? "none" : Joined(words);
}

Facts FileFacts(const MachineDescription::FileEntry &file) {
  Facts facts;
  if (!file.folder) facts.emplace_back("size", std::to_string(file.size) + " bytes");
  if (file.attributes != 0) facts.emplace_back("attributes", AttributeText(file.attributes));
  return facts;
}

void CompareFiles(const MachineDescription &before, const MachineDescription &after, std::vector<Change> &out) {
  using File = MachineDescription::FileEntry;
  // The INF store's files are reported as OEM INF copies.
  std::set<std::string> storeFiles;
  for (const auto *machine : {&before, &after}) {
    for (const auto &inf : machine->oemInfs) storeFiles.insert({inf.path, inf.pnfPath});
  }
  std::map<std::string, const File *> old, now;
  for (const File &file : before.files) old.emplace(file.path, &file);
  for (const File &file : after.files) now.emplace(file.path, &file);
  for (ChangeKind kind : {ChangeKind::Removed, ChangeKind::Added}) {
    const auto &from = kind == ChangeKind::Removed ? before.files : after.files;
    const auto &other = kind == ChangeKind::Removed ? now : old;
    std::vector<const File *> gone;
    for (const File &file : from) {
      if (other.count(file.path) == 0 && storeFiles.count(file.path) == 0) gone.push_back(&file);
    }
    auto nothingMore = [](Tree &, const File &) {};
    for (Tree &tree : FoldTrees<File>(gone, kind, FileFacts, nothingMore, "entries inside")) {
      out.push_back(std::move(tree.change));
    }
  }
  for (const File &file : after.files) {
    auto match = old.find(file.path);
    if (match == old.end() || storeFiles.count(file.path) != 0) continue;
    const File &was = *match->second;
    Change change{ChangeKind::Changed, file.path, {}};
    if (was.folder != file.folder) {
      change.facts.push_back({"kind", was.folder ? "folder" : "file", file.folder ? "folder" : "file"});
    } else if (!file.folder && (was.size != file.size || was.digest != file.digest)) {
      change.facts.push_back({"content", std::to_string(was.size) + " bytes", std::to_string(file.size) + " bytes"});
    }
    if (was.attributes != file.attributes) {
      change.facts.push_back({"attributes", AttributeText(was.attributes), AttributeText(file.attributes)});
    }
    if (!change.facts.empty()) out.push_back(std::move(change));
  }
}

}  // namespace

std::vector<ChangeGroup> CompareMachines(const MachineDescription &before, const MachineDescription &after,
                                         const std::string &currentUserKey) {
  std::vector<ChangeGroup> groups = {
      {"printers", "Printers", {}},
      {"drivers", "Printer drivers", {}},
      {"monitorsAndPorts", "Port monitors and ports", {}},
      {"devices", "Devices", {}},
      {"oemInfCopies", "OEM INF copies", {}},
      {"colourProfiles", "Colour profiles", {}},
      {"registry", "Registry keys and values", {}},
      {"files", "Files and folders", {}},
  };
  CompareLists<MachineDescription::Printer>(before.printers, after.printers,
                                            {[](const auto &p) { return p.name; }, [](const auto &p) { return p.name; },
                                             [](const auto &p) {
                                               return Facts{{"driver", p.driver}, {"port", p.port}};
                                             }},
                                            groups[0].changes);
  CompareLists<MachineDescription::Driver>(
      before.drivers, after.drivers,
      {[](const auto &d) { return d.name + "\n" + d.environment; }, [](const auto &d) { return d.name; },
       [](const auto &d) {
         return Facts{{"environment", d.environment}};
       }},
      groups[1].changes);
  CompareLists<MachineDescription::Monitor>(
      before.monitors, after.monitors,
      {[](const auto &m) { return m.name; }, [](const auto &m) { return "monitor " + m.name; },
       [](const auto &m) {
         return Facts{{"library", m.dll}};
       }},
      groups[2].changes);
  CompareLists<MachineDescription::Port>(
      before.ports, after.ports,
      {[](const auto &p) { return p.name; }, [](const auto &p) { return "port " + p.name; },
       [](const auto &p) {
         return Facts{{"monitor", p.monitor}};
       }},
      groups[2].changes);
  CompareLists<MachineDescription::Device>(
      before.devices, after.devices,
      {[](const auto &d) { return d.instanceId; }, [](const auto &d) { return d.instanceId; },
       [](const auto &d) {
         return Facts{{"description", d.description}, {"hardware IDs", Joined(d.hardwareIds)}};
       }},
      groups[3].changes);
  CompareLists<MachineDescription::OemInf>(
      before.oemInfs, after.oemInfs,
      {[](const auto &inf) { return inf.path; }, [](const auto &inf) { return inf.path; },
       [](const auto &inf) {
         return Facts{{"provider", inf.provider}, {"precompiled", inf.pnfPath.empty() ? "none" : inf.pnfPath}};
       }},
      groups[4].changes);
  CompareLists<std::string>(before.colorProfiles, after.colorProfiles,
                            {[](const auto &name) { return name; }, [](const auto &name) { return name; },
                             [](const auto &) { return Facts{}; }},
                            groups[5].changes);
  CompareRegistry(before, after, groups[6].changes);
  ShowCurrentUser(groups[6].changes, currentUserKey);
  CompareFiles(before, after, groups[7].changes);
  return groups;
}

}  // namespace kvt::setup
