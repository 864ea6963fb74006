// kvtsetup over the platform layer: the setup library is linked in and acts
// on a machine saved in a folder. The command runs on a copy of that
// folder; the folder is replaced by the machine as the command left it only
// when the command was called and the machine could be saved whole, and
// never in a dry run. A description of the machine before and after the
// command gives its changes.
#include <stdlib.h>

#include <platform/testing.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <system_error>

#include "changes_report.h"
#include "host.h"
#include "machine_changes.h"
#include "system_text.h"
#include "utf.h"

namespace kvt::setup {

namespace {

namespace fs = std::filesystem;

// A private temporary folder, removed with all it holds at the end.
class WorkFolder {
 public:
  WorkFolder() = default;
  WorkFolder(const WorkFolder &) = delete;
  WorkFolder &operator=(const WorkFolder &) = delete;
  ~WorkFolder() {
    if (!path_.empty()) {
      std::error_code ignored;
      // A copy's read-only files are no obstacle to removing it on the host.
      fs::remove_all(path_, ignored);
    }
  }
  bool Make(std::string &error) {
    std::string pattern = (fs::temp_directory_path() / "kvtsetup-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      error =
          "cannot make a working folder in " + fs::temp_directory_path().string() + ": " + text::ReasonOfErrno(errno);
      return false;
    }
    path_ = pattern;
    return true;
  }
  const fs::path &Path() const { return path_; }

 private:
  fs::path path_;
};

class MachineHost : public Host {
 public:
  void AddOptions(CLI::App &app) override {
    app.add_option("--machine", machineFolder_,
                   "the saved machine folder to act on, replaced by the machine as the command left it "
                   "(default: a fresh machine, not kept)");
    app.add_flag("--dry-run", dryRun_, "act on a copy of the machine and keep the folder as it was");
    app.add_flag("--changes", showChanges_, "show what the command changed on the machine, grouped by area");
    app.add_flag("--json", json_, "show the result, the log and the changes as one JSON document");
  }

  bool Begin(bool actsOnMachine, std::string &error) override {
    library_ = OpenSetupLibrary("", error);
    if (!library_) return false;
    if (!actsOnMachine) return true;
    platform::ResetMachine();
    if (!machineFolder_.empty() && !LoadCopy(error)) return false;
    if (showChanges_) before_ = platform::DescribeMachine();
    return true;
  }

  const SetupLibrary &Library() const override { return *library_; }

  bool Finish(const CallRecord &record, bool showResult, std::string &error) override {
    std::optional<std::vector<ChangeGroup>> changes;
    if (showChanges_) {
      changes =
          CompareMachines(*before_, platform::DescribeMachine(), "HKEY_USERS\\" + platform::ProcessIdentity().user);
    }
    const bool keep = !machineFolder_.empty() && !dryRun_;
    const bool saved = keep && platform::SaveMachine(machineFolder_);
    if (json_) {
      Show(JsonOf(record, showResult, changes, saved).dump(2, ' ', false, nlohmann::json::error_handler_t::replace) +
           "\n");
    } else {
      Show(RecordText(record, showResult));
      if (changes) Show("\nWhat the command changed on the machine:\n" + ChangesText(*changes));
    }
    if (keep && !saved) {
      error = "cannot save the machine into " + machineFolder_ + "; the folder holds the machine as it was before";
      return false;
    }
    return true;
  }

 private:
  bool LoadCopy(std::string &error) {
    std::error_code status;
    if (!fs::is_directory(machineFolder_, status)) {
      error = "there is no machine folder " + machineFolder_;
      return false;
    }
    if (!work_.Make(error)) return false;
    const fs::path copy = work_.Path() / "machine";
    fs::copy(machineFolder_, copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, status);
    if (status) {
      error = "cannot copy the machine in " + machineFolder_ + ": " + text::ReasonOfErrno(status.value());
      return false;
    }
    std::string reason;
    if (!platform::LoadMachine(copy.string(), &reason)) {
      error = "cannot load the machine in " + machineFolder_ + ": " + reason + "; it was left as it was";
      return false;
    }
    return true;
  }

  static void Show(const std::string &text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
  }

  nlohmann::ordered_json JsonOf(const CallRecord &record, bool showResult,
                                const std::optional<std::vector<ChangeGroup>> &changes, bool saved) const {
    nlohmann::ordered_json json = {{"export", record.exportName}, {"result", record.result}};
    if (showResult) {
      nlohmann::ordered_json outputs = nlohmann::ordered_json::object();
      for (const auto &[label, value] : record.outputs) outputs[label] = text::AnsiToUtf8(value);
      json["outputs"] = outputs;
    }
    json["log"] = text::AnsiToUtf8(record.log);
    json["machine"] = {{"folder", machineFolder_}, {"dryRun", dryRun_}, {"saved", saved}};
    if (changes) json["changes"] = ChangesJson(*changes);
    return json;
  }

  std::string machineFolder_;
  bool dryRun_ = false;
  bool showChanges_ = false;
  bool json_ = false;
  std::unique_ptr<SetupLibrary> library_;
  WorkFolder work_;
  std::optional<platform::MachineDescription> before_;
};

}  // namespace

std::unique_ptr<Host> MakeHost() { return std::make_unique<MachineHost>(); }

}  // namespace kvt::setup
