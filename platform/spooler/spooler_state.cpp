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
  static SpoolerState state = [] {
    SpoolerState fresh;
    fresh.config = DefaultSpoolerConfig();
    return fresh;
  }();
  return state;
}

SpoolerConfig DefaultSpoolerConfig() {
  SpoolerConfig config;
  config.monitors = {PortMonitor{kLocalPortMonitor, kLocalEnvironment, u"localspl.dll"}};
  for (const char16_t *port : {u"LPT1:", u"COM1:", u"FILE:", u"NUL:"}) {
    config.ports.push_back(Port{port, kLocalPortMonitor});
  }
  config.forms = BuiltinForms();
  return config;
}

void ResetSpooler() {
  SpoolerState fresh;
  fresh.config = DefaultSpoolerConfig();
  Spooler() = std::move(fresh);
}

bool SpoolerUnavailable() {
  if (Spooler().running) return false;
  SetLastError(RPC_S_SERVER_UNAVAILABLE);
  return true;
}

void SetSpoolerRunning(bool running) { Spooler().running = running; }

size_t LivePrinterHandleCount() { return Spooler().handles.size(); }

PrinterHandle *FindHandle(HANDLE hPrinter) {
  auto &handles = Spooler().handles;
  auto it = handles.find(hPrinter);
  return it == handles.end() ? nullptr : &it->second;
}

Printer *FindPrinterByName(std::u16string_view name) {
  for (Printer &printer : Spooler().config.printers) {
    if (!printer.pendingDeletion && EqualsIgnoreCase(printer.name, name)) return &printer;
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
  for (const Port &port : config.ports) {
    if (EqualsIgnoreCase(port.name, name)) return true;
  }
  return false;
}

const PortMonitor *FindMonitor(const SpoolerConfig &config, std::u16string_view name) {
  for (const PortMonitor &monitor : config.monitors) {
    if (EqualsIgnoreCase(monitor.name, name)) return &monitor;
  }
  return nullptr;
}

bool MonitorInUse(const SpoolerConfig &config, std::u16string_view monitor) {
  for (const Port &port : config.ports) {
    if (!EqualsIgnoreCase(port.monitor, monitor)) continue;
    for (const Printer &printer : config.printers) {
      if (EqualsIgnoreCase(printer.portName, port.name)) return true;
    }
  }
  return false;
}

bool IsKnownEnvironment(std::u16string_view environment) {
  return EqualsIgnoreCase(environment, kLocalEnvironment) || EqualsIgnoreCase(environment, u"Windows x64") ||
         EqualsIgnoreCase(environment, u"Windows 4.0");
}

std::u16string EnvironmentOf(const char *environment) {
  if (environment == nullptr || *environment == '\0') return kLocalEnvironment;
  return AnsiToWide(environment);
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

BOOL AddMonitorPort(const char *monitorName, const char *portName) {
  if (monitorName == nullptr || portName == nullptr || *portName == '\0') {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  SpoolerConfig &config = Spooler().config;
  const PortMonitor *monitor = FindMonitor(config, AnsiToWide(monitorName));
  if (monitor == nullptr) {
    SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
    return FALSE;
  }
  std::u16string name = AnsiToWide(portName);
  if (HasPort(config, name)) {
    SetLastError(ERROR_ALREADY_EXISTS);
    return FALSE;
  }
  config.ports.push_back(Port{std::move(name), monitor->name});
  return TRUE;
}

BOOL AddLocalPort(const char *portName) { return AddMonitorPort("Local Port", portName); }

}  // namespace platform
