// Framing one export in a setup run and reading back what it logged.
#include "setup_session.h"

#include <windows.h>

#include "KvtSetup.h"
#include "setup_log.h"

namespace kvt::setup {

bool CallExport(const SetupLibrary &library, const ExportSignature &signature, const std::vector<ArgValue> &args,
                const std::string &setupFolder, CallRecord &record, std::string &error) {
  const Proc proc = library.Find(signature.name);
  const auto start = reinterpret_cast<decltype(&KVT_SetupStart)>(library.Find("KVT_SetupStart"));
  const auto finish = reinterpret_cast<decltype(&KVT_SetupFinish)>(library.Find("KVT_SetupFinish"));
  const char *missing = proc == nullptr ? signature.name : start == nullptr ? "KVT_SetupStart" : nullptr;
  if (missing == nullptr && finish == nullptr) missing = "KVT_SetupFinish";
  if (missing != nullptr) {
    error = library.Origin() + " does not offer " + missing;
    return false;
  }
  const LogWatch log(setupFolder);
  const std::string memo = std::string("kvtsetup call ") + signature.name;
  if (signature.frame == RunFrame::Inside || signature.frame == RunFrame::Finishes)
    start(setupFolder.c_str(), NULL, 0, memo.c_str());
  record.exportName = signature.name;
  record.result = signature.invoke(proc, args, record.outputs);
  if (signature.frame == RunFrame::Inside || signature.frame == RunFrame::Starts) finish();
  record.log = log.Appended();
  return true;
}

}  // namespace kvt::setup
