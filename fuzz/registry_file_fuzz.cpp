// Loads arbitrary bytes as a saved machine's registry.reg. A file that
// loads must save again, the saved file must load, and saving that gives
// the same bytes: what a machine saves, it loads unchanged. Nothing the
// loader takes may be too deep or too strange to be written back.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <string>

#include "scratch_files.h"
#include "../platform/registry/registry_module.h"

namespace {

namespace registry = platform::registry;

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const std::string input = kvt::fuzz::ScratchFolder() + "/input.reg",
                    first = kvt::fuzz::ScratchFolder() + "/first.reg",
                    second = kvt::fuzz::ScratchFolder() + "/second.reg";
  std::ofstream(input, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char *>(data), size);
  std::string problem;
  std::shared_ptr<registry::Hive> hive = registry::ReadRegistry(input, &problem);
  if (!hive) {
    Require(!problem.empty());
    return 0;
  }
  registry::UseRegistry(hive);
  std::remove(first.c_str());
  std::remove(second.c_str());
  Require(registry::SaveRegistry(first));
  std::shared_ptr<registry::Hive> again = registry::ReadRegistry(first, &problem);
  Require(again != nullptr);
  registry::UseRegistry(again);
  Require(registry::SaveRegistry(second));
  Require(kvt::fuzz::FileBytes(first) == kvt::fuzz::FileBytes(second));
  registry::UseRegistry(nullptr);
  return 0;
}
