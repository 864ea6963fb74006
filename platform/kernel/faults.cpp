// Fault injection: per kind of call, a counter of calls and at most one
// pending failure, expressed as the counter value of the call that fails.
#include <platform/testing.h>

#include "kernel_internal.h"

#include <array>

namespace platform {

namespace {

constexpr size_t kFaultKinds = static_cast<size_t>(Fault::MachineSave) + 1;

struct FaultState {
  unsigned calls = 0;
  unsigned failAt = 0;  // 0: no failure pending
};

std::array<FaultState, kFaultKinds> faults;

FaultState &StateOf(Fault fault) { return faults.at(static_cast<size_t>(fault)); }

}  // namespace

void FailNthCall(Fault fault, unsigned nth) {
  FaultState &state = StateOf(fault);
  state.failAt = nth == 0 ? 0 : state.calls + nth;
}

unsigned CallCount(Fault fault) { return StateOf(fault).calls; }

bool ShouldFail(Fault fault) {
  FaultState &state = StateOf(fault);
  ++state.calls;
  if (state.failAt != 0 && state.calls == state.failAt) {
    state.failAt = 0;
    return true;
  }
  return false;
}

void ResetFaults() { faults = {}; }

}  // namespace platform
