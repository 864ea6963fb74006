// EnumPrintersA for the local machine, levels 1, 2 and 4. As Windows does,
// the records come first in the caller's buffer and their strings are packed
// backwards from the end of the buffer, so every pointer points into it. A
// buffer that is too small is left untouched: FALSE, ERROR_INSUFFICIENT_BUFFER,
// the exact size needed and no records. Printers pending deletion are not
// listed; there are no connections to other machines.
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

#include <cstring>

namespace platform {
namespace {

// Writes records at the start of the buffer and strings down from its end.
class RecordPacker {
 public:
  RecordPacker(LPBYTE buffer, DWORD size) : buffer_(buffer), stringEnd_(size) {}

  LPSTR Put(std::u16string_view text) {
    const std::string ansi = WideToAnsi(text);
    stringEnd_ -= static_cast<DWORD>(ansi.size() + 1);
    auto *target = reinterpret_cast<LPSTR>(buffer_ + stringEnd_);
    std::memcpy(target, ansi.c_str(), ansi.size() + 1);
    return target;
  }

 private:
  LPBYTE buffer_;
  DWORD stringEnd_;
};

size_t AnsiSize(std::u16string_view text) { return text.size() + 1; }  // one byte per character in 1252

DWORD CountOpenJobs(DWORD printerId) {
  DWORD count = 0;
  for (const auto &[id, job] : Spooler().jobs) {
    if (job.printerId == printerId && !job.finished && !job.cancelled) ++count;
  }
  return count;
}

// Level 1's description: "name,driver,location", as Windows composes it.
std::u16string DescriptionOf(const Printer &printer) {
  return printer.name + u"," + printer.driverName + u"," + printer.location;
}

size_t RecordSize(DWORD level) {
  switch (level) {
    case 1:
      return sizeof(PRINTER_INFO_1A);
    case 2:
      return sizeof(PRINTER_INFO_2A);
    default:
      return sizeof(PRINTER_INFO_4A);
  }
}

size_t StringsSize(const Printer &printer, DWORD level) {
  switch (level) {
    case 1:
      return AnsiSize(DescriptionOf(printer)) + AnsiSize(printer.name) + AnsiSize(printer.comment);
    case 2:
      return AnsiSize(printer.name) + AnsiSize(printer.shareName) + AnsiSize(printer.portName) +
             AnsiSize(printer.driverName) + AnsiSize(printer.comment) + AnsiSize(printer.location) +
             AnsiSize(u"") /* separator page */ + AnsiSize(printer.printProcessor) + AnsiSize(printer.datatype) +
             AnsiSize(printer.parameters);
    default:
      return AnsiSize(printer.name);
  }
}

void PackRecord(const Printer &printer, DWORD level, LPBYTE record, RecordPacker &strings) {
  if (level == 1) {
    PRINTER_INFO_1A info{};
    info.Flags = PRINTER_ENUM_ICON8;
    info.pDescription = strings.Put(DescriptionOf(printer));
    info.pName = strings.Put(printer.name);
    info.pComment = strings.Put(printer.comment);
    std::memcpy(record, &info, sizeof(info));
  } else if (level == 2) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = strings.Put(printer.name);
    info.pShareName = strings.Put(printer.shareName);
    info.pPortName = strings.Put(printer.portName);
    info.pDriverName = strings.Put(printer.driverName);
    info.pComment = strings.Put(printer.comment);
    info.pLocation = strings.Put(printer.location);
    info.pSepFile = strings.Put(u"");
    info.pPrintProcessor = strings.Put(printer.printProcessor);
    info.pDatatype = strings.Put(printer.datatype);
    info.pParameters = strings.Put(printer.parameters);
    info.Attributes = printer.attributes;
    info.Priority = printer.priority;
    info.DefaultPriority = printer.defaultPriority;
    info.StartTime = printer.startTime;
    info.UntilTime = printer.untilTime;
    info.cJobs = CountOpenJobs(printer.id);
    std::memcpy(record, &info, sizeof(info));
  } else {
    PRINTER_INFO_4A info{};
    info.pPrinterName = strings.Put(printer.name);
    info.Attributes = printer.attributes;
    std::memcpy(record, &info, sizeof(info));
  }
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI EnumPrintersA(DWORD Flags, LPSTR Name, DWORD Level, LPBYTE pPrinterEnum, DWORD cbBuf,
                                     LPDWORD pcbNeeded, LPDWORD pcReturned) {
  if (SpoolerUnavailable()) return FALSE;
  if (pcbNeeded == nullptr || pcReturned == nullptr) {
    SetLastError(RPC_X_NULL_REF_POINTER);
    return FALSE;
  }
  if (Level != 1 && Level != 2 && Level != 4) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  // The name counts only with PRINTER_ENUM_NAME; it may then name no other
  // machine than this one.
  if ((Flags & PRINTER_ENUM_NAME) != 0 && Name != nullptr && *Name != '\0') {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (pPrinterEnum == nullptr && cbBuf != 0) {
    SetLastError(ERROR_INVALID_USER_BUFFER);
    return FALSE;
  }
  // The local printers are asked for by PRINTER_ENUM_LOCAL, or by
  // PRINTER_ENUM_NAME with the local machine's name; connections alone are
  // none.
  const bool local = (Flags & (PRINTER_ENUM_LOCAL | PRINTER_ENUM_NAME)) != 0;
  std::vector<const Printer *> listed;
  if (local) {
    for (const Printer &printer : Spooler().config.printers) {
      if (!printer.pendingDeletion) listed.push_back(&printer);
    }
  }
  size_t needed = 0;
  for (const Printer *printer : listed) needed += RecordSize(Level) + StringsSize(*printer, Level);
  *pcbNeeded = static_cast<DWORD>(needed);
  *pcReturned = 0;
  if (needed > cbBuf) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  RecordPacker strings(pPrinterEnum, cbBuf);
  for (size_t i = 0; i < listed.size(); ++i)
    PackRecord(*listed[i], Level, pPrinterEnum + i * RecordSize(Level), strings);
  *pcReturned = static_cast<DWORD>(listed.size());
  return TRUE;
}
