// The spooler's state, its lookups and its reset. Run-time objects own their
// resources (a job owns its output file), so dropping the state releases
// everything.
#include "spooler_state.h"

#include <platform/spooler_internal.h>
#include <platform/testing.h>

#include "../kernel/text.h"
#include "spooler_module.h"

namespace platform {

DataValue *Printer::FindValue(std::u16string_view valueName) {
  for (DataValue &value : data) {
    if (EqualsIgnoreCase(value.name, valueName)) return &value;
  }
  return nullptr;
}

SpoolerState &Spooler() {
  static SpoolerState state{DefaultSpoolerConfig(), {}, {}, 1};
  return state;
}

SpoolerConfig DefaultSpoolerConfig() {
  SpoolerConfig config;
  config.ports = {u"LPT1:", u"COM1:", u"FILE:", u"NUL:"};
  config.forms = BuiltinForms();
  return config;
}

void ResetSpooler() { Spooler() = SpoolerState{DefaultSpoolerConfig(), {}, {}, 1}; }

size_t LivePrinterHandleCount() { return Spooler().handles.size(); }

PrinterHandle *FindHandle(HANDLE hPrinter) {
  auto &handles = Spooler().handles;
  auto it = handles.find(hPrinter);
  return it == handles.end() ? nullptr : &it->second;
}

Printer *FindPrinterByName(std::u16string_view name) {
  for (Printer &printer : Spooler().config.printers) {
    if (EqualsIgnoreCase(printer.name, name)) return &printer;
  }
  return nullptr;
}

Printer *FindPrinterById(DWORD id) {
  for (Printer &printer : Spooler().config.printers) {
    if (printer.id == id) return &printer;
  }
  return nullptr;
}

const PrinterDriver *FindDriver(const SpoolerConfig &config, std::u16string_view name,
                                std::u16string_view environment) {
  for (const PrinterDriver &driver : config.drivers) {
    if (EqualsIgnoreCase(driver.name, name) && EqualsIgnoreCase(driver.environment, environment)) return &driver;
  }
  return nullptr;
}

bool HasPort(const SpoolerConfig &config, std::u16string_view name) {
  for (const std::u16string &port : config.ports) {
    if (EqualsIgnoreCase(port, name)) return true;
  }
  return false;
}

Printer *PrinterOf(const PrinterHandle &handle) {
  return handle.isServer ? nullptr : FindPrinterById(handle.printerId);
}

Job *OpenJobOf(const PrinterHandle &handle) {
  if (handle.openJobId == 0) return nullptr;
  auto &jobs = Spooler().jobs;
  auto it = jobs.find(handle.openJobId);
  return it == jobs.end() ? nullptr : &it->second;
}

void EndOpenDocument(PrinterHandle &handle) {
  if (Job *job = OpenJobOf(handle)) {
    job->output.Close();
    job->finished = true;
  }
  handle.openJobId = 0;
  handle.pageOpen = false;
}

bool IsJobCancelled(HANDLE hPrinter) {
  const PrinterHandle *handle = FindHandle(hPrinter);
  if (handle == nullptr) return false;
  const Job *job = OpenJobOf(*handle);
  return job != nullptr && job->cancelled;
}

BOOL AddLocalPort(const char *portName) {
  if (portName == nullptr || *portName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SpoolerConfig &config = Spooler().config;
  std::u16string name = AnsiToWide(portName);
  if (HasPort(config, name)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  config.ports.push_back(std::move(name));
  return TRUE;
}

}  // namespace platform
