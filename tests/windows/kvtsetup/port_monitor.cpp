// A stand-in port monitor for preparing a Wine prefix: Wine's spooler adds
// a monitor only when its DLL, in the system folder, hands it a MONITOR2
// table. The ports it reports are the subkeys of "Ports" below the
// monitor's own registry key, which the preparing program makes. It prints
// nothing: no port of it is ever opened.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <scoped_handle.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The monitor's registry key, kept open past the call that hands it over.
kvt::ScopedKey g_root;

std::vector<std::wstring> PortNames() {
  std::vector<std::wstring> names;
  kvt::ScopedKey ports;
  if (RegOpenKeyExW(g_root.get(), L"Ports", 0, KEY_READ, ports.receive()) != ERROR_SUCCESS) return names;
  for (DWORD index = 0;; ++index) {
    WCHAR name[MAX_PATH];
    DWORD length = MAX_PATH;
    if (RegEnumKeyExW(ports.get(), index, name, &length, NULL, NULL, NULL, NULL) != ERROR_SUCCESS) break;
    names.emplace_back(name, length);
  }
  return names;
}

BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed, LPDWORD returned) {
  if (level != 1 && level != 2) {
    SetLastError(ERROR_INVALID_LEVEL);
    return FALSE;
  }
  const std::vector<std::wstring> names = PortNames();
  const DWORD record = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
  const wchar_t *monitorName = L"KVT test monitor";
  DWORD total = 0;
  for (const std::wstring &name : names) {
    total += record + static_cast<DWORD>((name.size() + 1) * sizeof(WCHAR));
    if (level == 2) total += 2 * static_cast<DWORD>((wcslen(monitorName) + 1) * sizeof(WCHAR));
  }
  *needed = total;
  *returned = 0;
  if (ports == NULL || size < total) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  // Records first, their texts after them.
  auto *text = reinterpret_cast<WCHAR *>(ports + record * names.size());
  auto put = [&text](const wchar_t *value) {
    WCHAR *start = text;
    std::memcpy(text, value, (wcslen(value) + 1) * sizeof(WCHAR));
    text += wcslen(value) + 1;
    return start;
  };
  for (size_t i = 0; i < names.size(); ++i) {
    if (level == 1) {
      reinterpret_cast<PORT_INFO_1W *>(ports)[i].pName = put(names[i].c_str());
    } else {
      PORT_INFO_2W &info = reinterpret_cast<PORT_INFO_2W *>(ports)[i];
      info.pPortName = put(names[i].c_str());
      info.pMonitorName = put(monitorName);
      info.pDescription = put(monitorName);
      info.fPortType = PORT_TYPE_WRITE;
      info.Reserved = 0;
    }
  }
  *returned = static_cast<DWORD>(names.size());
  return TRUE;
}

VOID WINAPI Shutdown(HANDLE) { g_root.reset(); }

}  // namespace

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
  static MONITOR2 table;
  table.cbSize = sizeof(table);
  table.pfnEnumPorts = EnumPorts;
  table.pfnShutdown = Shutdown;
  // Wine hands over the registry key itself and closes it afterwards.
  RegOpenKeyExW(reinterpret_cast<HKEY>(init->hckRegistryRoot), NULL, 0, KEY_READ, g_root.receive());
  *monitor = reinterpret_cast<HANDLE>(&table);
  return &table;
}
