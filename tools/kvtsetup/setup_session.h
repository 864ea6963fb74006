// One export called as an installer calls it: inside a setup run of the
// setup folder (started and finished around it unless the export is part
// of the run's frame or starts a run of its own), with the log that the
// run wrote read back afterwards.
#pragma once

#include <string>
#include <vector>

#include "export_table.h"
#include "setup_library.h"

namespace kvt::setup {

struct CallRecord {
  std::string exportName;
  int32_t result = 0;
  CallOutputs outputs;
  std::string log;  // what the call added to the setup folder's log
};

// Calls `signature` with `args` in a run of `setupFolder`. False, with nothing
// called, when the library lacks the export or the exports of the run's
// frame.
bool CallExport(const SetupLibrary &library, const ExportSignature &signature, const std::vector<ArgValue> &args,
                const std::string &setupFolder, CallRecord &record, std::string &error);

}  // namespace kvt::setup
