// What the result of the install or the uninstall means to the user who
// ran it: the exit status that tells a script, and one line that tells a
// person.
#pragma once

#include <cstdint>
#include <string>

namespace kvt::setup {

struct SequenceOutcome {
  int exitStatus = 0;
  std::string message;
};

// `command` is "install" or "uninstall"; `result` what the sequence gave.
SequenceOutcome OutcomeOf(const std::string &command, int32_t result);

}  // namespace kvt::setup
