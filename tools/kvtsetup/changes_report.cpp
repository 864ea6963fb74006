// Writing a machine's changes for people and for programs.
#include "changes_report.h"

#include <sstream>

namespace kvt::setup {

namespace {

const char *KindWord(ChangeKind kind) {
  switch (kind) {
    case ChangeKind::Added:
      return "added";
    case ChangeKind::Removed:
      return "removed";
    case ChangeKind::Changed:
      break;
  }
  return "changed";
}

std::string FactText(const Fact &fact) {
  if (fact.before && fact.after) return fact.label + ": " + *fact.before + " -> " + *fact.after;
  return fact.label + ": " + (fact.before ? *fact.before : fact.after.value_or(""));
}

}  // namespace

std::string ChangesText(const std::vector<ChangeGroup> &groups) {
  std::ostringstream text;
  bool any = false;
  for (const ChangeGroup &group : groups) {
    if (group.changes.empty()) continue;
    text << (any ? "\n" : "") << group.title << '\n';
    any = true;
    for (const Change &change : group.changes) {
      std::string word = KindWord(change.kind);
      word.resize(9, ' ');
      text << "  " << word << change.subject;
      for (size_t i = 0; i < change.facts.size(); ++i) {
        text << (i == 0 ? " (" : "; ") << FactText(change.facts[i]);
      }
      text << (change.facts.empty() ? "" : ")") << '\n';
    }
  }
  if (!any) text << "Nothing on the machine changed.\n";
  return text.str();
}

nlohmann::ordered_json ChangesJson(const std::vector<ChangeGroup> &groups) {
  nlohmann::ordered_json json = nlohmann::ordered_json::object();
  for (const ChangeGroup &group : groups) {
    nlohmann::ordered_json changes = nlohmann::ordered_json::array();
    for (const Change &change : group.changes) {
      nlohmann::ordered_json facts = nlohmann::ordered_json::array();
      for (const Fact &fact : change.facts) {
        nlohmann::ordered_json item = {{"label", fact.label}};
        if (fact.before) item["before"] = *fact.before;
        if (fact.after) item["after"] = *fact.after;
        facts.push_back(std::move(item));
      }
      changes.push_back({{"change", KindWord(change.kind)}, {"subject", change.subject}, {"facts", facts}});
    }
    json[group.key] = std::move(changes);
  }
  return json;
}

}  // namespace kvt::setup
