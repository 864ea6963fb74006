// The log writer and the result logger. A line is formatted with the
// system's wsprintf into 1,024 bytes (1,023 characters, the rest cut), gets
// CR LF and goes to the log in one write. A successful write, or one with
// no log to go to, leaves the thread's last-error code as it was, so that
// logging between a failed call and the reading of its error is harmless.
#include "run/log_result.h"

#include <stdarg.h>

#include <scoped_handle.h>

#include "KvtSetup.h"
#include "run/log_file.h"

namespace {

// wsprintf's own limit: 1,024 bytes including the terminator.
const DWORD kLogTextSize = 1024;

// Formats into `text`, which holds kLogTextSize bytes, and returns the
// length. The terminator is forced because the system's formatter is only
// documented to stop at 1,024 bytes, not to terminate what it cut.
DWORD FormatLogText(LPSTR text, LPCSTR format, va_list args) {
  text[0] = '\0';
  const int length = wvsprintfA(text, format, args);
  text[kLogTextSize - 1] = '\0';
  if (length < 0) {
    text[0] = '\0';
    return 0;
  }
  DWORD actual = 0;
  while (text[actual] != '\0') {
    ++actual;
  }
  return actual;
}

// Appends CR LF to a formatted text and writes it: 0 written, 1 not.
INT WriteLogText(LPCSTR text, DWORD length) {
  const DWORD previousError = GetLastError();
  CHAR line[kLogTextSize + 2];
  for (DWORD i = 0; i < length; ++i) {
    line[i] = text[i];
  }
  line[length] = '\r';
  line[length + 1] = '\n';
  if (!AppendToLog(line, length + 2)) {
    return 1;  // the failed write's error is kept for the host; none if no log
  }
  SetLastError(previousError);
  return 0;
}

INT WriteLogLineV(LPCSTR format, va_list args) {
  if (format == NULL) {
    return 1;
  }
  const DWORD previousError = GetLastError();
  CHAR text[kLogTextSize];
  const DWORD length = FormatLogText(text, format, args);
  SetLastError(previousError);
  return WriteLogText(text, length);
}

INT WriteLogLine(LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  const INT result = WriteLogLineV(format, args);
  va_end(args);
  return result;
}

}  // namespace

INT WINAPIV KVT_LogFileWrite(LPCSTR format, ...) {
  va_list args;
  va_start(args, format);
  const INT result = WriteLogLineV(format, args);
  va_end(args);
  return result;
}

INT WINAPIV LogResult(INT success, LPCSTR format, ...) {
  // Taken before anything else runs: the failed call's code, not ours.
  const DWORD error = GetLastError();
  if (format != NULL) {
    va_list args;
    va_start(args, format);
    CHAR text[kLogTextSize];
    const DWORD length = FormatLogText(text, format, args);
    va_end(args);
    // Written as it is: a percent sign produced by the values stays one.
    WriteLogText(text, length);
  }
  if (success != 0) {
    WriteLogLine("-->Success");
    return 0;
  }
  kvt::ScopedLocalBlock<CHAR> message;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (FormatMessageA(flags, NULL, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<LPSTR>(message.receive()), 0, NULL) == 0) {
    message.release();  // a failed call hands over no block, whatever it left there
  }
  WriteLogLine("-->Error(%d):%s", static_cast<INT>(error), message ? message.get() : "");
  // Freed before the code is set again, so that the caller gets it back.
  message.reset();
  SetLastError(error);
  return static_cast<INT>(error);
}
