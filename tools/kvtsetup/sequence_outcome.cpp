// The sequences' results in the user's words. The install gives what
// storing the INF gave (not 0 when stored); the uninstall 1 when done, 0
// when a file was refused for lack of access, -1 when the print service was
// not running.
#include "sequence_outcome.h"

#include "host.h"

namespace kvt::setup {

SequenceOutcome OutcomeOf(const std::string &command, int32_t result) {
  if (command == "install") {
    if (result != 0) return {kExitDone, "done: the package's INF was stored in the system's INF folder"};
    return {kExitNotDone, "not done: the package's INF could not be stored; the log above tells why"};
  }
  switch (result) {
    case 1:
      return {kExitDone, "done: the package was uninstalled"};
    case 0:
      return {kExitNotDone,
              "not done: a file of the package could not be deleted for lack of access; the log above names it"};
    case -1:
      return {kExitNoSpooler,
              "not done: the print service is not running, so the package's printers and drivers are still there; "
              "everything else was removed as far as it could be"};
    default:
      return {kExitNotDone, "the uninstall gave the result " + std::to_string(result) + ", which it never gives"};
  }
}

}  // namespace kvt::setup
