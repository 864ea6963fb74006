// The spooler's model: the machine's configuration (drivers, port monitors
// and their ports, printers with their data values, forms) and its run-time
// objects (printer handles, jobs, whether the service runs). The Win32 functions of this module act on it; nothing
// outside platform/spooler/ sees these types.
#pragma once

#include <winspool.h>

#include "job_sink.h"

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The one environment of this machine: a 32-bit Windows NT.
inline constexpr char16_t kLocalEnvironment[] = u"Windows NT x86";
// The monitor that every machine starts with; it owns the default ports.
inline constexpr char16_t kLocalPortMonitor[] = u"Local Port";

struct PrinterDriver {
  std::u16string name;
  std::u16string environment;
  DWORD version = 0;
  std::u16string driverPath;
  std::u16string dataFile;
  std::u16string configFile;
  std::u16string helpFile;
  std::vector<std::u16string> dependentFiles;
  std::u16string monitorName;
  std::u16string defaultDataType;
};

struct PortMonitor {
  std::u16string name;
  std::u16string environment;
  std::u16string dllName;
};

// A port belongs to the monitor that added it.
struct Port {
  std::u16string name;
  std::u16string monitor;
};

struct DataValue {
  std::u16string name;
  DWORD type = REG_NONE;
  std::vector<uint8_t> bytes;
};

struct Printer {
  DWORD id = 0;  // stable for the printer's life; handles refer to it
  std::u16string name;
  std::u16string shareName;
  std::u16string portName;
  std::u16string driverName;
  std::u16string comment;
  std::u16string location;
  std::u16string printProcessor;
  std::u16string datatype;
  std::u16string parameters;
  DWORD attributes = 0;
  DWORD priority = 0;
  DWORD defaultPriority = 0;
  DWORD startTime = 0;
  DWORD untilTime = 0;
  std::vector<DataValue> data;  // in the order the values were first set
  // Deleted while handles were open: invisible to names and enumeration,
  // still reachable through those handles, removed when the last one closes.
  bool pendingDeletion = false;

  DataValue *FindValue(std::u16string_view valueName);
};

struct Form {
  std::u16string name;
  DWORD flags = FORM_USER;
  SIZEL size{};
  RECTL imageableArea{};
};

// What a saved machine holds of the spooler.
struct SpoolerConfig {
  std::vector<PrinterDriver> drivers;
  std::vector<PortMonitor> monitors;
  std::vector<Port> ports;
  std::vector<Printer> printers;
  std::vector<Form> forms;
  DWORD nextPrinterId = 1;
};

struct Job {
  DWORD id = 0;
  DWORD printerId = 0;
  std::u16string documentName;
  JobSink output;
  bool cancelled = false;
  bool finished = false;
  DWORD pagesStarted = 0;
};

struct PrinterHandle {
  bool isServer = false;
  DWORD printerId = 0;  // 0 for a server handle
  DWORD access = 0;
  DWORD openJobId = 0;  // 0: no document open
  bool pageOpen = false;
};

struct SpoolerState {
  SpoolerConfig config;
  std::map<HANDLE, PrinterHandle> handles;
  std::map<DWORD, Job> jobs;  // kept after they end, for JobSink
  DWORD nextJobId = 1;
  bool running = true;  // false: the service is stopped, every call fails
};

SpoolerState &Spooler();

// A fresh configuration: the default ports and the built-in forms.
SpoolerConfig DefaultSpoolerConfig();
std::vector<Form> BuiltinForms();

// True, with the last error set to RPC_S_SERVER_UNAVAILABLE, while the
// service is stopped. Every Win32 function of the module asks first.
bool SpoolerUnavailable();

// Lookups. Names compare without regard to case, as Windows does.
PrinterHandle *FindHandle(HANDLE hPrinter);
// A printer by name; printers pending deletion are not found.
Printer *FindPrinterByName(std::u16string_view name);
Printer *FindPrinterById(DWORD id);
const PrinterDriver *FindDriver(const SpoolerConfig &config, std::u16string_view name, std::u16string_view environment);
bool HasPort(const SpoolerConfig &config, std::u16string_view name);
const PortMonitor *FindMonitor(const SpoolerConfig &config, std::u16string_view name);
// Whether any printer, pending deletion or not, prints to a port of `monitor`.
bool MonitorInUse(const SpoolerConfig &config, std::u16string_view monitor);
// Environments a driver may be added for; the machine itself is NT x86.
bool IsKnownEnvironment(std::u16string_view environment);
// "" and null name the local machine's environment; other names are
// compared without regard to case.
std::u16string EnvironmentOf(const char *environment);

// The printer a handle refers to; null for a server handle or a printer that
// is gone.
Printer *PrinterOf(const PrinterHandle &handle);
// The job open on a handle, or null.
Job *OpenJobOf(const PrinterHandle &handle);

// Ends the document open on a handle, if any: closes its output.
void EndOpenDocument(PrinterHandle &handle);

}  // namespace platform
