// The part of a setup folder's KvtSetup.log that one command made: the
// log's length is noted before the command, and what lies beyond it is
// read afterwards. Read through the Win32 file calls, so that both builds
// read the machine's own file.
#pragma once

#include <cstdint>
#include <string>

namespace kvt::setup {

class LogWatch {
 public:
  // Notes where `<setupFolder>\KvtSetup.log` ends now (0 when missing).
  explicit LogWatch(std::string setupFolder);
  // The bytes written since, as the log holds them (CR LF line ends). A log
  // that is now shorter than noted was replaced, and is read whole.
  std::string Appended() const;
  const std::string &Path() const { return path_; }

 private:
  std::string path_;
  uint32_t start_ = 0;
};

// Whether `setupFolder` holds a KvtSetup.ini (in any letter case); false
// with a message in the user's words when it does not.
bool SetupFolderHoldsIni(const std::string &setupFolder, std::string &error);

}  // namespace kvt::setup
