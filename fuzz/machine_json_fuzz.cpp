// Loads arbitrary bytes as one of a saved machine's JSON files (which one
// is fixed when the target is built: spooler, devices, colour profiles or
// file attributes, whose entries are looked up on the fresh machine's C:).
// A file that loads must save again, the saved file must load, and saving
// that gives the same bytes; a file refused says why.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include <platform/testing.h>

#include "../platform/files/files_internal.h"
#include "scratch_files.h"
#include "../platform/mscms/mscms_module.h"
#include "../platform/setupapi/setupapi_module.h"
#include "../platform/spooler/spooler_module.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// Loads `path` into the machine: true when it was taken.
bool Load(const std::string &path, std::string *problem) {
#if KVT_MACHINE_FILE == 1
  return platform::LoadSpooler(path, problem);
#elif KVT_MACHINE_FILE == 2
  std::optional<platform::setupapi::DeviceList> devices = platform::setupapi::ReadDevices(path, problem);
  if (devices) platform::setupapi::UseDevices(std::move(*devices));
  return devices.has_value();
#elif KVT_MACHINE_FILE == 3
  std::optional<platform::mscms::InstalledProfiles> profiles = platform::mscms::ReadProfiles(path, problem);
  if (profiles) platform::mscms::UseProfiles(std::move(*profiles));
  return profiles.has_value();
#else
  std::optional<std::vector<platform::files::SavedAttribute> > attributes =
      platform::files::ReadAttributes(path, platform::DriveCFolder(), problem);
  if (attributes) platform::files::UseAttributes(*attributes);
  return attributes.has_value();
#endif
}

bool Save(const std::string &path) {
  std::remove(path.c_str());
#if KVT_MACHINE_FILE == 1
  return platform::SaveSpooler(path);
#elif KVT_MACHINE_FILE == 2
  return platform::setupapi::SaveDevices(path);
#elif KVT_MACHINE_FILE == 3
  return platform::mscms::SaveProfiles(path);
#else
  return platform::files::SaveAttributes(path);
#endif
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
