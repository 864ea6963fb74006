// Loads arbitrary bytes as one of a saved machine's JSON files (which one
// is fixed when the target is built: spooler, devices or colour profiles).
// A file that loads must save again, the saved file must load, and saving
// that gives the same bytes; a file refused says why.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "scratch_files.h"
#include "../platform/mscms/mscms_module.h"
#include "../platform/setupapi/setupapi_module.h"
#include "../platform/spooler/spooler_module.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input = kvt::fuzz::ScratchFolder() + "/input.json",
                    first = kvt::fuzz::ScratchFolder() + "/first.json",
                    second = kvt::fuzz::ScratchFolder() + "/second.json";
  std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data), size);
  std::string problem;
  if (!Load(input, &problem)) {
    Require(!problem.empty());
    return 0;
  }
  Require(Save(first));
  Require(Load(first, &problem));
  Require(Save(second));
  Require(kvt::fuzz::FileBytes(first) == kvt::fuzz::FileBytes(second));
  return 0;
}
