// Drivers, printers and printer handles. A handle is a value from the
// kernel's handle counter keyed in the spooler's table; an unknown, closed or
// null handle gives ERROR_INVALID_HANDLE. Only the local machine is served:
// a server name other than null or "" is refused with ERROR_INVALID_NAME.
// Closing the last handle of a printer deleted while it was open removes
// the printer.
#include <winspool.h>

#include <platform/testing.h>

#include "../kernel/kernel_internal.h"
#include "../kernel/text.h"
#include "spooler_state.h"

namespace platform {
namespace {

// Longest printer name Windows accepts (MAX_PRINTER_NAME less the terminator).
constexpr size_t kMaxPrinterName = 220;

bool IsLocalServer(const char *serverName) { return serverName == nullptr || *serverName == '\0'; }

bool IsValidPrinterName(std::u16string_view name) {
  if (name.empty() || name.size() > kMaxPrinterName) return false;
  return name.find_first_of(u",\\") == std::u16string_view::npos;
}

std::vector<std::u16string> MultiStringOf(const char *list) {
  std::vector<std::u16string> items;
  if (list == nullptr) return items;
  while (*list != '\0') {
    items.push_back(AnsiToWide(list));
    while (*list != '\0') ++list;
    ++list;
  }
  return items;
}

// Removes a printer pending deletion once no handle refers to it any more.
void RemoveIfUnreferenced(DWORD printerId) {
  SpoolerState &state = Spooler();
  for (const auto &[value, handle] : state.handles) {
    if (!handle.isServer && handle.printerId == printerId) return;
  }
  std::erase_if(state.config.printers,
                [printerId](const Printer &printer) { return printer.id == printerId && printer.pendingDeletion; });
}

HANDLE NewPrinterHandle(PrinterHandle handle) {
  HANDLE value = NewHandleValue();
  Spooler().handles.emplace(value, handle);
  return value;
}

BOOL OpenPrinterByName(const std::u16string *name, LPHANDLE phPrinter, DWORD desiredAccess) {
  if (phPrinter == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *phPrinter = nullptr;
  PrinterHandle handle;
  if (name == nullptr || name->empty()) {
    handle.isServer = true;
    handle.access = desiredAccess != 0 ? desiredAccess : SERVER_ACCESS_ENUMERATE;
  } else {
    const Printer *printer = FindPrinterByName(*name);
    if (printer == nullptr) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return FALSE;
    }
    if (ShouldFail(Fault::OpenPrinter)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    handle.printerId = printer->id;
    handle.access = desiredAccess != 0 ? desiredAccess : PRINTER_ACCESS_USE;
  }
  *phPrinter = NewPrinterHandle(handle);
  return TRUE;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI AddPrinterDriverA(LPSTR pName, DWORD Level, LPBYTE pDriverInfo) {
  if (SpoolerUnavailable()) return FALSE;
  if (!IsLocalServer(pName)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (Level != 2 && Level != 3) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  if (pDriverInfo == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // DRIVER_INFO_3A begins with the fields of DRIVER_INFO_2A.
  const auto *info2 = reinterpret_cast<const DRIVER_INFO_2A *>(pDriverInfo);
  if (info2->pName == nullptr || *info2->pName == '\0' || info2->pDriverPath == nullptr ||
      info2->pDataFile == nullptr || info2->pConfigFile == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  PrinterDriver driver;
  driver.name = AnsiToWide(info2->pName);
  driver.environment = (info2->pEnvironment == nullptr || *info2->pEnvironment == '\0')
                           ? std::u16string(kLocalEnvironment)
                           : AnsiToWide(info2->pEnvironment);
  if (!IsKnownEnvironment(driver.environment)) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  driver.version = info2->cVersion;
  driver.driverPath = AnsiToWide(info2->pDriverPath);
  driver.dataFile = AnsiToWide(info2->pDataFile);
  driver.configFile = AnsiToWide(info2->pConfigFile);
  if (Level == 3) {
    const auto *info3 = reinterpret_cast<const DRIVER_INFO_3A *>(pDriverInfo);
    driver.helpFile = AnsiToWide(info3->pHelpFile);
    driver.dependentFiles = MultiStringOf(info3->pDependentFiles);
    driver.monitorName = AnsiToWide(info3->pMonitorName);
    driver.defaultDataType = AnsiToWide(info3->pDefaultDataType);
  }
  // Adding a driver that exists replaces it, as an upgrade does on Windows.
  SpoolerConfig &config = Spooler().config;
  for (PrinterDriver &existing : config.drivers) {
    if (EqualsIgnoreCase(existing.name, driver.name) && EqualsIgnoreCase(existing.environment, driver.environment)) {
      existing = std::move(driver);
      return TRUE;
    }
  }
  config.drivers.push_back(std::move(driver));
  return TRUE;
}

extern "C" HANDLE WINAPI AddPrinterA(LPSTR pName, DWORD Level, LPBYTE pPrinter) {
  if (SpoolerUnavailable()) return nullptr;
  if (!IsLocalServer(pName)) {
    SetLastError(ERROR_INVALID_NAME);
    return nullptr;
  }
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return nullptr;
  }
  if (pPrinter == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const auto *info = reinterpret_cast<const PRINTER_INFO_2A *>(pPrinter);
  SpoolerConfig &config = Spooler().config;
  Printer printer;
  printer.name = AnsiToWide(info->pPrinterName);
  if (!IsValidPrinterName(printer.name)) {
    SetLastError(ERROR_INVALID_PRINTER_NAME);
    return nullptr;
  }
  if (FindPrinterByName(printer.name) != nullptr) {
    SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
    return nullptr;
  }
  printer.portName = AnsiToWide(info->pPortName);
  if (!HasPort(config, printer.portName)) {
    SetLastError(ERROR_UNKNOWN_PORT);
    return nullptr;
  }
  printer.driverName = AnsiToWide(info->pDriverName);
  if (FindDriver(config, printer.driverName, kLocalEnvironment) == nullptr) {
    SetLastError(ERROR_UNKNOWN_PRINTER_DRIVER);
    return nullptr;
  }
  // WinPrint is the only print processor of this machine.
  printer.printProcessor = info->pPrintProcessor == nullptr ? u"WinPrint" : AnsiToWide(info->pPrintProcessor);
  if (!EqualsIgnoreCase(printer.printProcessor, u"WinPrint")) {
    SetLastError(ERROR_UNKNOWN_PRINTPROCESSOR);
    return nullptr;
  }
  printer.datatype = info->pDatatype == nullptr ? u"RAW" : AnsiToWide(info->pDatatype);
  printer.shareName = AnsiToWide(info->pShareName);
  printer.comment = AnsiToWide(info->pComment);
  printer.location = AnsiToWide(info->pLocation);
  printer.parameters = AnsiToWide(info->pParameters);
  printer.attributes = info->Attributes | PRINTER_ATTRIBUTE_LOCAL;
  printer.priority = info->Priority;
  printer.defaultPriority = info->DefaultPriority;
  printer.startTime = info->StartTime;
  printer.untilTime = info->UntilTime;
  printer.id = config.nextPrinterId++;
  const DWORD id = printer.id;
  config.printers.push_back(std::move(printer));

  PrinterHandle handle;
  handle.printerId = id;
  handle.access = PRINTER_ALL_ACCESS;
  return NewPrinterHandle(handle);
}

extern "C" BOOL WINAPI OpenPrinterW(LPWSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSW pDefault) {
  if (SpoolerUnavailable()) return FALSE;
  const DWORD access = pDefault != nullptr ? pDefault->DesiredAccess : 0;
  if (pPrinterName == nullptr) return OpenPrinterByName(nullptr, phPrinter, access);
  const std::u16string name = WideText(pPrinterName);
  return OpenPrinterByName(&name, phPrinter, access);
}

extern "C" BOOL WINAPI OpenPrinterA(LPSTR pPrinterName, LPHANDLE phPrinter, LPPRINTER_DEFAULTSA pDefault) {
  if (SpoolerUnavailable()) return FALSE;
  const DWORD access = pDefault != nullptr ? pDefault->DesiredAccess : 0;
  if (pPrinterName == nullptr) return OpenPrinterByName(nullptr, phPrinter, access);
  const std::u16string name = AnsiToWide(pPrinterName);
  return OpenPrinterByName(&name, phPrinter, access);
}

extern "C" BOOL WINAPI ClosePrinter(HANDLE hPrinter) {
  if (SpoolerUnavailable()) return FALSE;
  PrinterHandle *handle = FindHandle(hPrinter);
  if (handle == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  EndOpenDocument(*handle);
  const bool ofPrinter = !handle->isServer;
  const DWORD printerId = handle->printerId;
  Spooler().handles.erase(hPrinter);
  if (ofPrinter) RemoveIfUnreferenced(printerId);
  return TRUE;
}
