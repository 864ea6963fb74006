// The changes of a machine as a user reads them, and as one JSON value.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

#include "machine_changes.h"

namespace kvt::setup {

// One heading per group with changes and one line per change:
//   removed  KVT-RZ4 (driver: KVT-RZ4; port: KVTUSB001:)
//   changed  C:\WINDOWS\win.ini (content: 120 bytes -> 140 bytes)
// or one line saying that nothing changed.
std::string ChangesText(const std::vector<ChangeGroup> &groups);

// {"printers": [{"change": "removed", "subject": "KVT-RZ4",
//   "facts": [{"label": "driver", "before": "KVT-RZ4"}, ...]}], ...},
// every group present, empty or not.
nlohmann::ordered_json ChangesJson(const std::vector<ChangeGroup> &groups);

}  // namespace kvt::setup
