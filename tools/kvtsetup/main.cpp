// kvtsetup: the installer program of the KVT-RZ4 driver package. It calls
// the setup library's install or uninstall sequence, or any single export
// in a setup run of its own, on a setup folder that holds KvtSetup.ini, and
// shows what the library logged. Exit status: 0 done, 1 not done, 2 a wrong
// command line, 3 the print service was not running, 4 nothing could be
// called.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>
#include <vector>

#include "export_table.h"
#include "host.h"
#include "sequence_outcome.h"
#include "setup_log.h"
#include "setup_session.h"

namespace {

using namespace kvt::setup;

struct Options {
  std::string setupFolder;
  std::string exportName;
  std::vector<std::string> exportArgs;
};

// One line on stderr that tells how the command ended; returns `status`.
int Tell(int status, const std::string &message) {
  std::cerr << "kvtsetup: " << message << '\n';
  return status;
}

int ListExports(Host &host) {
  std::string error;
  if (!host.Begin(false, error)) return Tell(kExitCannotRun, error);
  for (const std::string &name : host.Library().ExportNames()) {
    const ExportSignature *signature = FindExport(name);
    if (signature == nullptr) {
      std::cout << name << "\n    (kvtsetup does not know its arguments and cannot call it)\n";
    } else {
      std::cout << UsageOf(*signature) << "\n    " << signature->summary << '\n';
    }
  }
  for (const ExportSignature &signature : Exports()) {
    if (host.Library().Find(signature.name) == nullptr) {
      std::cerr << "kvtsetup: " << host.Library().Origin() << " does not offer " << signature.name << '\n';
    }
  }
  return kExitDone;
}

int RunCommand(Host &host, const std::string &command, const Options &o) {
  const bool sequence = command == "install" || command == "uninstall";
  const ExportSignature *signature =
      FindExport(sequence ? (command == "install" ? "KVT_Install" : "KVT_Uninstall") : o.exportName);
  if (signature == nullptr) {
    return Tell(kExitUsage, "the setup library has no export " + o.exportName + "; kvtsetup exports lists them");
  }
  std::vector<ArgValue> args;
  std::string error;
  if (!ParseArguments(*signature, sequence ? std::vector<std::string>{o.setupFolder} : o.exportArgs, args, error)) {
    return Tell(kExitUsage, error);
  }
  if (!host.Begin(true, error)) return Tell(kExitCannotRun, error);
  CallRecord record;
  if (!SetupFolderHoldsIni(o.setupFolder, error) ||
      !CallExport(host.Library(), *signature, args, o.setupFolder, record, error)) {
    return Tell(kExitCannotRun, error + "; nothing was changed");
  }
  if (!host.Finish(record, !sequence, error)) return Tell(kExitCannotRun, error);
  if (!sequence) return kExitDone;
  const SequenceOutcome outcome = OutcomeOf(command, record.result);
  return Tell(outcome.exitStatus, outcome.message);
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{
      "The installer program of the KVT-RZ4 driver package: runs the setup library's install and "
      "uninstall, or any of its exports, on a setup folder that holds KvtSetup.ini"};
  app.require_subcommand(1);
  app.fallthrough();
  app.set_version_flag("--version", std::string("kvtsetup ") + KVT_VERSION);
  std::unique_ptr<Host> host = MakeHost();
  host->AddOptions(app);
  Options o;

  CLI::App *install = app.add_subcommand("install", "copies the package's INF (InfName) into the system's INF folder");
  install->add_option("SETUPDIR", o.setupFolder, "the setup folder, holding KvtSetup.ini and the INF")->required();
  CLI::App *uninstall =
      app.add_subcommand("uninstall", "removes the package's printers, drivers, monitors, devices, files and keys");
  uninstall->add_option("SETUPDIR", o.setupFolder, "the setup folder, holding KvtSetup.ini")->required();
  CLI::App *call = app.add_subcommand("call", "calls one export in a setup run of its own and shows its result");
  call->add_option("EXPORT", o.exportName, "the export, such as KVT_RegDeleteKey")->required();
  call->add_option("ARG", o.exportArgs,
                   "its arguments: texts ((null) for none), numbers, registry roots such as HKEY_LOCAL_MACHINE; "
                   "after --, a text may begin with a minus sign");
  call->add_option("--dir", o.setupFolder, "the setup folder whose KvtSetup.ini and log the run uses")->required();
  CLI::App *exports = app.add_subcommand("exports", "lists the exports of the setup library and their arguments");
  app.footer(
      "Exit status:\n"
      "  0  done (for call: the export was called, whatever it returned)\n"
      "  1  not done: the install or uninstall gave 0\n"
      "  2  the command line is wrong; nothing was called\n"
      "  3  the uninstall found the print service not running\n"
      "  4  nothing was called: no setup folder or KvtSetup.ini, no setup library, or (over a saved machine)\n"
      "     the machine could not be loaded or saved");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    std::cerr << "kvtsetup: " << e.what() << "\nkvtsetup: kvtsetup --help lists the commands\n";
    return kExitUsage;
  }
  if (exports->parsed()) return ListExports(*host);
  const std::string command = install->parsed() ? "install" : uninstall->parsed() ? "uninstall" : "call";
  return RunCommand(*host, command, o);
}
