// The single run state of the library and its return to the unset state.
#include "run/run_state.h"

#include "run/log_file.h"

RunState g_runState;  // zero-filled at load: texts empty, level 0, no log

void ResetRunState(void) {
  CloseLogFile();
  g_runState.setupDirectory[0] = '\0';
  g_runState.iniPath[0] = '\0';
  g_runState.logPath[0] = '\0';
  g_runState.logLevel = 0;
}
