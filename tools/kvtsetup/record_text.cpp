// A command's record as the user reads it on the terminal.
#include <sstream>

#include "host.h"

namespace kvt::setup {

std::string RecordText(const CallRecord &record, bool showResult) {
  std::ostringstream text;
  if (showResult) {
    text << record.exportName << " returned " << record.result << '\n';
    for (const auto &[label, value] : record.outputs) text << "  " << label << ": " << value << '\n';
    if (!record.log.empty()) text << "The setup log of the call:\n";
  }
  // The log exactly as the library wrote it, line ends included.
  text << record.log;
  return text.str();
}

}  // namespace kvt::setup
