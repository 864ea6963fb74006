// The machine as a whole: reset, live-object counts, module hooks, and the
// saving and loading of a machine folder. Each module's state lives in its
// own files; this is the one place that knows all of them.
#include <platform/testing.h>

#include "../files/files_internal.h"
#include "../mscms/mscms_module.h"
#include "../registry/registry_module.h"
#include "../setupapi/setupapi_module.h"
#include "../spooler/spooler_module.h"
#include "kernel_internal.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace platform {

namespace {

// Function-local statics: modules register from static initializers, which
// may run before any other static of this file is constructed.
std::vector<ResetHook> &ResetHooks() {
  static std::vector<ResetHook> hooks;
  return hooks;
}

std::vector<LiveCounter> &LiveCounters() {
  static std::vector<LiveCounter> counters;
  return counters;
}

constexpr const char *kSpoolerFile = "spooler.json";
constexpr const char *kDriveCFolder = "drive_c";
constexpr const char *kRegistryFile = "registry.reg";
constexpr const char *kDevicesFile = "devices.json";
constexpr const char *kProfilesFile = "color_profiles.json";

}  // namespace

void RegisterResetHook(ResetHook hook) {
  auto &hooks = ResetHooks();
  if (hook != nullptr && std::find(hooks.begin(), hooks.end(), hook) == hooks.end()) hooks.push_back(hook);
}

void RegisterLiveCounter(LiveCounter counter) {
  auto &counters = LiveCounters();
  if (counter != nullptr && std::find(counters.begin(), counters.end(), counter) == counters.end()) {
    counters.push_back(counter);
  }
}

void ResetMachine() {
  // Other modules first: their objects may sit in kernel memory.
  for (ResetHook hook : ResetHooks()) hook();
  ResetSpooler();
  registry::ResetRegistry();
  files::ResetFiles();
  ResetHeaps();
  ResetGlobalMemory();
  ResetLanguage();
  ResetFaults();
}

LiveObjects Live() {
  LiveObjects live;
  live.heaps = LiveHeapCount();
  live.globalBlocks = LiveGlobalBlockCount();
  live.printerHandles = LivePrinterHandleCount();
  live.keyHandles = registry::LiveKeyHandleCount();
  for (LiveCounter counter : LiveCounters()) counter(live);
  return live;
}

bool SaveMachine(const std::string &dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  if (error) return false;
  if (!files::CopyDriveCTo((std::filesystem::path(dir) / kDriveCFolder).string())) return false;
  if (!registry::SaveRegistry((std::filesystem::path(dir) / kRegistryFile).string())) return false;
  if (!setupapi::SaveDevices((std::filesystem::path(dir) / kDevicesFile).string())) return false;
  if (!mscms::SaveProfiles((std::filesystem::path(dir) / kProfilesFile).string())) return false;
  return SaveSpooler((std::filesystem::path(dir) / kSpoolerFile).string());
}

bool LoadMachine(const std::string &dir) {
  // The registry is read first and used last, so that a bad file anywhere
  // leaves the machine as it was.
  const std::string registryPath = (std::filesystem::path(dir) / kRegistryFile).string();
  std::error_code error;
  const bool hasRegistry = std::filesystem::exists(registryPath, error);
  std::shared_ptr<registry::Hive> hive = hasRegistry ? registry::ReadRegistry(registryPath) : nullptr;
  if (hasRegistry && !hive) return false;
  std::optional<setupapi::DeviceList> devices =
      setupapi::ReadDevices((std::filesystem::path(dir) / kDevicesFile).string());
  if (!devices) return false;
  std::optional<mscms::InstalledProfiles> profiles =
      mscms::ReadProfiles((std::filesystem::path(dir) / kProfilesFile).string());
  if (!profiles) return false;
  if (!LoadSpooler((std::filesystem::path(dir) / kSpoolerFile).string())) return false;
  registry::UseRegistry(std::move(hive));
  setupapi::UseDevices(std::move(*devices));
  mscms::UseProfiles(std::move(*profiles));
  // The loaded machine's C: is its own folder, used in place: what a tool
  // does to the files is in the machine folder at once.
  files::UseDriveCFolder((std::filesystem::path(dir) / kDriveCFolder).string());
  return true;
}

}  // namespace platform
