// The machine as a whole: reset, live-object counts, module hooks, and the
// saving and loading of a machine folder. Each module's state lives in its
// own files; this is the one place that knows all of them.
#include <platform/testing.h>

#include "../files/files_internal.h"
#include "../mscms/mscms_module.h"
#include "../registry/registry_module.h"
#include "../setupapi/setupapi_module.h"
#include "../spooler/spooler_module.h"
#include "folder_replacement.h"
#include "kernel_internal.h"
#include "saved_file.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

namespace platform {

namespace {

namespace fs = std::filesystem;

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
constexpr const char *kAttributesFile = "file_attributes.json";

// What a save writes, and so replaces, in a machine folder.
constexpr const char *kMachineEntries[] = {kDriveCFolder, kRegistryFile,   kDevicesFile,
                                           kProfilesFile, kAttributesFile, kSpoolerFile};

// Whatever else the old folder holds goes into the new one as links to the
// same files: a save replaces the machine and nothing beside it.
bool KeepOtherEntries(const fs::path &oldFolder, const fs::path &newFolder) {
  std::error_code error;
  for (fs::directory_iterator it(oldFolder, error), end; !error && it != end; it.increment(error)) {
    const fs::path name = it->path().filename();
    if (std::find(std::begin(kMachineEntries), std::end(kMachineEntries), name.string()) != std::end(kMachineEntries)) {
      continue;
    }
    if (!TransferTree(it->path().string(), (newFolder / name).string(), TreeTransfer::Link)) return false;
  }
  return !error;
}

bool IsWithin(const fs::path &path, const fs::path &folder) {
  return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first == folder.end();
}

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
  FolderReplacement replacement;
  if (!replacement.Begin(dir)) return false;
  const fs::path target = replacement.Target();
  const fs::path next = replacement.Next();
  const fs::path driveC = files::DriveCFolder();
  // Inside its own C:, the machine would copy its copy without end.
  if (IsWithin(target, driveC)) return false;
  // Only a machine is replaced: a folder of other things is left alone.
  std::error_code error;
  if (replacement.ReplacesAFolder() && !fs::is_empty(target, error) && !fs::exists(target / kSpoolerFile, error)) {
    return false;
  }
  // When C: is this folder's drive_c, the new folder gets the very same
  // files: after the swap C: is the same drive, and its open files and
  // searches go on as they were.
  const TreeTransfer drive = driveC == target / kDriveCFolder ? TreeTransfer::Link : TreeTransfer::Copy;
  return TransferTree(driveC.string(), (next / kDriveCFolder).string(), drive) &&
         files::SaveAttributes((next / kAttributesFile).string()) &&
         registry::SaveRegistry((next / kRegistryFile).string()) &&
         setupapi::SaveDevices((next / kDevicesFile).string()) &&
         mscms::SaveProfiles((next / kProfilesFile).string()) && SaveSpooler((next / kSpoolerFile).string()) &&
         (!replacement.ReplacesAFolder() || KeepOtherEntries(target, next)) && replacement.Commit();
}

bool LoadMachine(const std::string &dir, std::string *error) {
  std::string problem;
  auto refuse = [&](const char *file) {
    if (error != nullptr) *error = std::string(file) + " " + problem;
    return false;
  };
  std::error_code status;
  if (!fs::is_directory(dir, status)) {
    if (error != nullptr) *error = "there is no such folder";
    return false;
  }
  // The registry is read first and used last, so that a bad file anywhere
  // leaves the machine as it was.
  const fs::path folder(dir);
  const bool hasRegistry = fs::exists(folder / kRegistryFile, status);
  std::shared_ptr<registry::Hive> hive;
  if (hasRegistry) {
    hive = registry::ReadRegistry((folder / kRegistryFile).string(), &problem);
    if (!hive) return refuse(kRegistryFile);
  }
  std::optional<setupapi::DeviceList> devices = setupapi::ReadDevices((folder / kDevicesFile).string(), &problem);
  if (!devices) return refuse(kDevicesFile);
  std::optional<mscms::InstalledProfiles> profiles = mscms::ReadProfiles((folder / kProfilesFile).string(), &problem);
  if (!profiles) return refuse(kProfilesFile);
  std::optional<std::vector<files::SavedAttribute>> attributes =
      files::ReadAttributes((folder / kAttributesFile).string(), (folder / kDriveCFolder).string(), &problem);
  if (!attributes) return refuse(kAttributesFile);
  if (!LoadSpooler((folder / kSpoolerFile).string(), &problem)) return refuse(kSpoolerFile);
  registry::UseRegistry(std::move(hive));
  setupapi::UseDevices(std::move(*devices));
  mscms::UseProfiles(std::move(*profiles));
  // The loaded machine's C: is its own folder, used in place: what a tool
  // does to the files is in the machine folder at once.
  files::UseDriveCFolder((folder / kDriveCFolder).string());
  files::UseAttributes(*attributes);
  return true;
}

MachineDescription DescribeMachine() {
  MachineDescription machine;
  DescribeSpooler(machine);
  setupapi::DescribeDevices(machine);
  setupapi::DescribeInfStore(machine);
  mscms::DescribeProfiles(machine);
  registry::DescribeRegistry(machine);
  files::DescribeDriveC(machine);
  return machine;
}

}  // namespace platform
