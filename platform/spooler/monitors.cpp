// Port monitors. A machine starts with "Local Port", which owns the default
// ports. AddMonitorA (level 2) installs a monitor whose DLL lies in the
// system folder; it owns no port until one is added for it. DeleteMonitorA
// removes a monitor with its ports, unless a printer prints to one of them.
#include <winspool.h>

#include "../kernel/text.h"
#include "spooler_state.h"

#include <algorithm>

namespace platform {
namespace {

bool IsLocalServer(const char *serverName) { return serverName == nullptr || *serverName == '\0'; }

bool IsEmpty(const char *text) { return text == nullptr || *text == '\0'; }

bool SystemFolderHolds(const char *dllName) {
  const std::string path = std::string("C:\\WINDOWS\\system32\\") + dllName;
  const DWORD savedError = GetLastError();
  const DWORD attributes = GetFileAttributesA(path.c_str());
  SetLastError(savedError);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace
}  // namespace platform

using namespace platform;

extern "C" BOOL WINAPI AddMonitorA(LPSTR pName, DWORD Level, LPBYTE pMonitors) {
  if (SpoolerUnavailable()) return FALSE;
  if (!IsLocalServer(pName)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (Level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const auto *info = reinterpret_cast<const MONITOR_INFO_2A *>(pMonitors);
  if (info == nullptr || IsEmpty(info->pName) || IsEmpty(info->pDLLName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  const std::u16string environment = EnvironmentOf(info->pEnvironment);
  if (!EqualsIgnoreCase(environment, kLocalEnvironment)) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  SpoolerConfig &config = Spooler().config;
  std::u16string name = AnsiToWide(info->pName);
  if (FindMonitor(config, name) != nullptr) {
    SetLastError(ERROR_PRINT_MONITOR_ALREADY_INSTALLED);
    return FALSE;
  }
  if (!SystemFolderHolds(info->pDLLName)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return FALSE;
  }
  config.monitors.push_back(PortMonitor{std::move(name), kLocalEnvironment, AnsiToWide(info->pDLLName)});
  return TRUE;
}

extern "C" BOOL WINAPI DeleteMonitorA(LPSTR pName, LPSTR pEnvironment, LPSTR pMonitorName) {
  if (SpoolerUnavailable()) return FALSE;
  if (!IsLocalServer(pName)) {
    SetLastError(ERROR_INVALID_NAME);
    return FALSE;
  }
  if (IsEmpty(pMonitorName)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (!EqualsIgnoreCase(EnvironmentOf(pEnvironment), kLocalEnvironment)) {
    SetLastError(ERROR_INVALID_ENVIRONMENT);
    return FALSE;
  }
  SpoolerConfig &config = Spooler().config;
  const PortMonitor *monitor = FindMonitor(config, AnsiToWide(pMonitorName));
  if (monitor == nullptr) {
    SetLastError(ERROR_UNKNOWN_PRINT_MONITOR);
    return FALSE;
  }
  const std::u16string name = monitor->name;
  if (MonitorInUse(config, name)) {
    SetLastError(ERROR_PRINT_MONITOR_IN_USE);
    return FALSE;
  }
  std::erase_if(config.ports, [&name](const Port &port) { return EqualsIgnoreCase(port.monitor, name); });
  std::erase_if(config.monitors, [&name](const PortMonitor &item) { return EqualsIgnoreCase(item.name, name); });
  return TRUE;
}
