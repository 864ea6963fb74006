// What the two builds of kvtsetup do differently: where the setup library
// comes from, what machine a command acts on, and how its outcome is shown
// besides the log. kvtsetup.exe loads KvtSetup.dll and acts on the Windows
// it runs on; over the platform layer the library is linked in and acts on
// a saved machine, which it can copy first and compare afterwards.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>

#include "setup_library.h"
#include "setup_session.h"

namespace kvt::setup {

// How a command ended, and the exit status that tells a caller so.
enum ExitStatus {
  kExitDone = 0,       // the command was carried out (a sequence's result 1)
  kExitNotDone = 1,    // a sequence's result 0
  kExitUsage = 2,      // the command line is wrong; nothing was called
  kExitNoSpooler = 3,  // the uninstall's -1: the print service was not running
  kExitCannotRun = 4,  // nothing was called: no setup folder, no library, no machine
};

class Host {
 public:
  virtual ~Host() = default;
  // The options of the whole program that only this build has.
  virtual void AddOptions(CLI::App &app) = 0;
  // Makes the library ready and, when `actsOnMachine`, the machine that
  // the command acts on. False with a message, having changed nothing.
  virtual bool Begin(bool actsOnMachine, std::string &error) = 0;
  virtual const SetupLibrary &Library() const = 0;
  // Shows `record` (the log, and the result and outputs when `showResult`)
  // and keeps the machine as the command left it. False with a message
  // when it could not be kept. A host that is not finished keeps nothing.
  virtual bool Finish(const CallRecord &record, bool showResult, std::string &error) = 0;
};

std::unique_ptr<Host> MakeHost();

// The record as text: for a call the result and outputs, then the log as
// the library wrote it.
std::string RecordText(const CallRecord &record, bool showResult);

}  // namespace kvt::setup
