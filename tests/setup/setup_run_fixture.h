// The fixture of the setup library's own tests: a scratch folder and a run
// state that starts each case as a freshly loaded library has it.
#pragma once

#include <string>

#include "KvtSetup.h"
#include "run/run_state.h"
#include "setup_test_support.h"

namespace setup_test {

class SetupRunTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ResetRunState();
  }
  void TearDown() override {
    ResetRunState();  // closes a log a failed case left open
    ScratchFolderTest::TearDown();
  }

  std::string Log() { return ReadFileBytes(PathOf("KvtSetup.log")); }

  // Finishes the run and gives the lines between its two banners.
  std::string LinesOfRun() {
    KVT_SetupFinish();
    std::string log = MaskBannerTimes(Log());
    const std::string start = "*** Log Start (TIME) ***\r\n", finish = "*** Log Finish (TIME) ***\r\n\r\n";
    if (log.rfind(start, 0) != 0 || log.size() < start.size() + finish.size() ||
        log.compare(log.size() - finish.size(), finish.size(), finish) != 0) {
      return "unexpected log: " + log;
    }
    return log.substr(start.size(), log.size() - start.size() - finish.size());
  }

  // A KvtSetup.ini with `body` and a run started on the scratch folder.
  void StartRunWithIni(const std::string &body, const char *memo = NULL) {
    WriteFileBytes(PathOf("KvtSetup.ini"), body);
    ASSERT_EQ(KVT_SetupStart(Dir().c_str(), NULL, 0, memo), 1);
  }
  void StartLoggingRun(const char *memo = NULL) { StartRunWithIni("[KVTSetup]\r\nLogLevel=1\r\n", memo); }
  // A logging run on an empty log, for cases that look at several runs in
  // turn.
  void StartFreshLoggingRun() {
    KVT_SetupFinish();
    DeleteFileA(PathOf("KvtSetup.log").c_str());
    StartLoggingRun();
  }
};

}  // namespace setup_test
