// Framing one export in a setup run and reading back what it logged.
#include "setup_session.h"

#include <windows.h>

#include "KvtSetup.h"
#include "setup_log.h"

namespace kvt::setup {

bool CallExport(const SetupLibrary &library, const ExportSpec &spec, const std::vector<ArgValue> &args,
                const std::string &setupFolder, CallRecord &record, std::string &error) {
  const Proc proc = library.Find(spec.name);
  const auto start = reinterpret_cast<decltype(&KVT_SetupStart)>(library.Find("KVT_SetupStart"));
  const auto finish = reinterpret_cast<decltype(&KVT_SetupFinish)>(library.Find("KVT_SetupFinish"));
  const char *missing = proc == nullptr ? spec.name : start == nullptr ? "KVT_SetupStart" : nullptr;
  if (missing == nullptr && finish == nullptr) missing = "KVT_SetupFinish";
  if (missing != nullptr) {
    error = library.Origin() + " does not offer " + missing;
    return false;
  }
  const LogWatch log(setupFolder);
  const std::string memo = std::string("kvtsetup call ") + spec.name;
  if (spec.frame == RunFrame::Inside || spec.frame == RunFrame::Finishes)
    start(setupFolder.c_str(), NULL, 0, memo.c_str());
  record.exportName = spec.name;
  record.result = spec.invoke(proc, args, record.outputs);
  if (spec.frame == RunFrame::Inside || spec.frame == RunFrame::Starts) finish();
  record.log = log.Appended();
  return true;
}

}  // namespace kvt::setup
