// kvtsetup_wine_machine: makes a fresh Wine prefix hold the sample machine's
// package as far as Wine allows, and checks the prefix after kvtsetup.exe
// has run on it. Every step that Wine cannot take as Windows would is
// named with its reason on a line starting "not prepared:" or "wine:".
//   kvtsetup_wine_machine prepare SAMPLE_DRIVE_C CONFIG_DLL MONITOR_DLL
//   kvtsetup_wine_machine check uninstalled|installed
// SAMPLE_DRIVE_C is the sample machine's drive_c as a Windows path. The
// registry keys come from the sample's registry.reg, imported before.
#include <windows.h>
#include <aclapi.h>
#include <icm.h>
#include <setupapi.h>
#include <winspool.h>

#include <scoped_handle.h>

#include "sample_contents.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kSetupFolder[] = "C:\\KVT Setup";
const char kVendorKey[] = "SOFTWARE\\KVT Photo";
const char kLockedKey[] = "SOFTWARE\\KVT Photo\\KVT-RZ4\\Calibration";
const char kMonitorsKey[] = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors";
const char kPrinterClassKey[] = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}";
const char kUsbPrintKey[] = "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const char kOurInterface[] = "##?#USB#Vid_FFF0&Pid_0104#KVT0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const char kTheirInterface[] = "##?#USB#Vid_FFF1&Pid_0300#LUM3001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
const char kConfigFile[] = "kvttestui.dll";
const char kDataFile[] = "kvttest.dat";
// Devices of a class of their own, so that no class installer of Wine's
// takes part in their removal.
const GUID kDeviceClass = {0x4b565434, 0x7a34, 0x4e52, {0x9a, 0x11, 0x52, 0x5a, 0x34, 0x53, 0x45, 0x54}};

int g_failures = 0;

void Report(bool done, const std::string &what) {
  if (!done) {
    ++g_failures;
    std::printf("FAILED: %s (system error %lu)\n", what.c_str(), GetLastError());
  } else {
    std::printf("ok: %s\n", what.c_str());
  }
}

void NotPrepared(const std::string &step, const std::string &reason) {
  std::printf("not prepared: %s: %s\n", step.c_str(), reason.c_str());
}

std::string Upper(std::string text) {
  for (char &ch : text) {
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
  }
  return text;
}

bool Exists(const std::string &path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool KeyExists(HKEY root, const std::string &path) {
  kvt::ScopedKey key;
  return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive()) == ERROR_SUCCESS;
}

// Files.

// Copies the tree below `from` into `to`, leaving out `skipped` (relative
// paths in capitals).
bool CopyTree(const std::string &from, const std::string &to, const std::vector<std::string> &skipped,
              const std::string &relative = "") {
  CreateDirectoryA(to.c_str(), NULL);
  WIN32_FIND_DATAA found;
  kvt::ScopedFind search(FindFirstFileA((from + "\\*").c_str(), &found));
  if (!search) return false;
  bool copied = true;
  do {
    const std::string name = found.cFileName;
    if (name == "." || name == "..") continue;
    const std::string inner = relative.empty() ? name : relative + "\\" + name;
    bool skip = false;
    for (const std::string &left : skipped) skip = skip || Upper(inner) == left;
    if (skip) continue;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      copied = CopyTree(from + "\\" + name, to + "\\" + name, skipped, inner) && copied;
    } else {
      copied = CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE) && copied;
    }
  } while (FindNextFileA(search.get(), &found));
  return copied;
}

void PrepareFiles(const std::string &sample, const std::string &monitorDll) {
  // The INF store and the colour folder are filled through their own calls,
  // the setup folder by the test itself, the monitors' DLLs are real ones.
  Report(CopyTree(sample + "\\WINDOWS", "C:\\windows",
                  {"INF", "SYSTEM32\\KVTUSBMON.DLL", "SYSTEM32\\KVTNETMON.DLL", "SYSTEM32\\SPOOL"}) &&
             CopyTree(sample + "\\Drivers", "C:\\Drivers", {}),
         "the package's and other vendors' files");
  // As the sample's file_attributes.json records them.
  Report(
      SetFileAttributesA("C:\\windows\\System\\KVTRZ4.HLP", FILE_ATTRIBUTE_READONLY) &&
          SetFileAttributesA("C:\\windows\\System\\KVTRZ4\\Thumbs.db", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM),
      "a read-only file, a hidden system file");
  for (const char *name : {"kvtusbmon.dll", "kvtnetmon.dll"}) {
    Report(CopyFileA(monitorDll.c_str(), (std::string("C:\\windows\\system32\\") + name).c_str(), FALSE),
           std::string("the port monitor DLL ") + name);
  }
  NotPrepared("the INF folder's kvtrz4.inf left by an earlier setup",
              "Wine stores the package's INF under that very name (not as oemN.inf), so the stored copy takes its "
              "place");
}

// Registry.

void PrepareLockedKey() {
  // Owner SYSTEM, and no one may delete it: everyone reads and may change
  // its access, as the sample's security descriptor has it. Wine gives an
  // owner DELETE whatever the DACL says, so the owner must be SYSTEM.
  kvt::ScopedKey key;
  bool locked = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kLockedKey, 0, READ_CONTROL | WRITE_DAC | WRITE_OWNER,
                              key.receive()) == ERROR_SUCCESS;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY, world = SECURITY_WORLD_SID_AUTHORITY;
  kvt::ScopedSid system, everyone;
  locked = locked &&
           AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0, system.receive()) &&
           AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, everyone.receive());
  std::vector<BYTE> acl(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + 64);
  auto *dacl = reinterpret_cast<PACL>(acl.data());
  locked = locked && InitializeAcl(dacl, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
           AddAccessAllowedAce(dacl, ACL_REVISION, KEY_READ | WRITE_DAC, everyone.get()) &&
           SetSecurityInfo(key.get(), SE_REGISTRY_KEY,
                           OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                           system.get(), NULL, dacl, NULL) == ERROR_SUCCESS;
  Report(locked, "the calibration key locked against deletion");
  key.reset();
  Report(RegDeleteKeyA(HKEY_LOCAL_MACHINE, kLockedKey) == ERROR_ACCESS_DENIED, "the locked key refuses a deletion");
}

void CheckImportedKeys() {
  const char *keys[] = {kVendorKey, kLockedKey, "SOFTWARE\\Lumen Office\\Office 300",
                        "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KVT-RZ4"};
  for (const char *key : keys) Report(KeyExists(HKEY_LOCAL_MACHINE, key), std::string("imported ") + key);
  Report(KeyExists(HKEY_CURRENT_USER, "Software\\KVT Photo\\KVT-RZ4\\Settings"), "imported the user's settings");
  Report(KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinterClassKey) + "\\0001") &&
             KeyExists(HKEY_LOCAL_MACHINE, std::string(kUsbPrintKey) + "\\" + kOurInterface + "\\#\\Device Parameters"),
         "imported the printer class and USB printing interface keys");
  NotPrepared("printer class and USB printing interface class keys as Windows makes them",
              "a fresh Wine prefix has neither class key; the import makes both");
}

// The spooler.

bool StageDriverFiles(const std::string &configDll) {
  char folder[MAX_PATH] = "";
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(folder), sizeof folder, &needed)) {
    return false;
  }
  const std::string dir = folder;
  const kvt::ScopedFile data(CreateFileA((dir + "\\" + kDataFile).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, NULL));
  return CopyFileA(configDll.c_str(), (dir + "\\" + kConfigFile).c_str(), FALSE) && static_cast<bool>(data);
}

void AddDriver(const sample::Driver &driver) {
  DRIVER_INFO_3A info = {};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>(driver.name);
  info.pDriverPath = const_cast<LPSTR>(kConfigFile);
  info.pDataFile = const_cast<LPSTR>(kDataFile);
  info.pConfigFile = const_cast<LPSTR>(kConfigFile);
  info.pDefaultDataType = const_cast<LPSTR>("RAW");
  Report(AddPrinterDriverA(NULL, 3, reinterpret_cast<LPBYTE>(&info)), std::string("the printer driver ") + driver.name);
}

void AddPortMonitor(const sample::Monitor &monitor) {
  MONITOR_INFO_2A info = {};
  info.pName = const_cast<LPSTR>(monitor.name);
  info.pEnvironment = const_cast<LPSTR>("Windows NT x86");
  info.pDLLName = const_cast<LPSTR>(monitor.dll);
  Report(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&info)), std::string("the port monitor ") + monitor.name);
  for (const char *port : monitor.ports) {
    if (port == nullptr) continue;
    kvt::ScopedKey key;
    const std::string path = std::string(kMonitorsKey) + "\\" + monitor.name + "\\Ports\\" + port;
    Report(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, NULL, 0, KEY_WRITE, NULL, key.receive(), NULL) ==
               ERROR_SUCCESS,
           std::string("the port ") + port);
  }
}

void AddLocalPrinter(const sample::Printer &printer) {
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>(printer.name);
  info.pPortName = const_cast<LPSTR>(printer.port);
  info.pDriverName = const_cast<LPSTR>(printer.driver);
  info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
  info.pDatatype = const_cast<LPSTR>("RAW");
  const kvt::ScopedPrinter added(AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info)));
  Report(static_cast<bool>(added), std::string("the printer ") + printer.name + " on " + printer.port);
}

void PrepareSpooler(const std::string &configDll) {
  Report(StageDriverFiles(configDll), "the driver files in the printer driver folder");
  NotPrepared("the drivers' own files KVTRZ4PR.DLL and KVTRZ4UI.DLL",
              "Wine's AddPrinter loads the driver's configuration DLL and calls it; the test configuration DLL stands "
              "in for all three drivers");
  for (const sample::Driver &driver : sample::kDrivers) AddDriver(driver);
  for (const sample::Monitor &monitor : sample::kMonitors) AddPortMonitor(monitor);
  for (const sample::Printer &printer : sample::kPrinters) AddLocalPrinter(printer);
  NotPrepared("the printers' tray data", "nothing in the uninstall reads it");
}

// Devices, the INF store and colour profiles.

void AddDevice(const sample::Device &added) {
  std::vector<BYTE> ids;
  for (const std::string id : added.hardwareIds) {
    ids.insert(ids.end(), id.begin(), id.end());
    ids.push_back(0);
  }
  ids.push_back(0);
  const kvt::ScopedDeviceInfoSet set(SetupDiCreateDeviceInfoList(&kDeviceClass, NULL));
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  Report(set &&
             SetupDiCreateDeviceInfoA(set.get(), added.rootName, &kDeviceClass, added.description, NULL,
                                      DICD_GENERATE_ID, &device) &&
             SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, ids.data(),
                                               static_cast<DWORD>(ids.size())) &&
             SetupDiRegisterDeviceInfo(set.get(), &device, 0, NULL, NULL, NULL),
         std::string("the device ") + added.description + " (" + added.hardwareIds[0] + ")");
}

std::vector<std::string> DeviceHardwareIds() {
  std::vector<std::string> found;
  const kvt::ScopedDeviceInfoSet set(SetupDiGetClassDevsA(&kDeviceClass, NULL, NULL, 0));
  if (!set) return found;
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  for (DWORD index = 0; SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    char ids[1024] = "";
    if (SetupDiGetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, NULL, reinterpret_cast<PBYTE>(ids),
                                          sizeof ids - 2, NULL)) {
      found.push_back(ids);
    }
  }
  return found;
}

void StoreInf(const char *inf) {
  char stored[MAX_PATH] = "";
  Report(SetupCopyOEMInfA(inf, NULL, SPOST_PATH, 0, stored, sizeof stored, NULL, NULL),
         std::string("the INF ") + inf + " stored as " + stored);
}

void PrepareDevicesInfsAndProfiles() {
  NotPrepared("device instance IDs such as USB\\VID_FFF0&PID_0104\\KVT0001 and the devices' classes",
              "the devices are made with generated root IDs in a test class of their own, so that no class "
              "installer of Wine's takes part; their hardware IDs are the sample's");
  for (const sample::Device &device : sample::kDevices) AddDevice(device);
  StoreInf(sample::kOtherVendorsInfs[0]);
  StoreInf(sample::kPackageInf);
  StoreInf(sample::kOtherVendorsInfs[1]);
  NotPrepared("OEM INF copies named oemN.inf", "Wine's SetupCopyOEMInf keeps the INF's own name");
  for (const char *profile : sample::kProfiles) {
    Report(InstallColorProfileA(NULL, profile), std::string("the colour profile ") + profile);
  }
}

int Prepare(const std::string &sample, const std::string &configDll, const std::string &monitorDll) {
  PrepareFiles(sample, monitorDll);
  CheckImportedKeys();
  PrepareLockedKey();
  PrepareSpooler(configDll);
  PrepareDevicesInfsAndProfiles();
  NotPrepared("a stopped print service", "Wine's spooler runs inside each program, so it cannot be stopped");
  return g_failures == 0 ? 0 : 1;
}

// Checks.

std::vector<std::string> Printers() {
  std::vector<std::string> names;
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed + 1);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &returned)) return names;
  const auto *info = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) names.push_back(info[i].pPrinterName);
  return names;
}

std::vector<std::string> Drivers() {
  std::vector<std::string> names;
  DWORD needed = 0, returned = 0;
  EnumPrinterDriversA(NULL, NULL, 1, NULL, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed + 1);
  if (!EnumPrinterDriversA(NULL, NULL, 1, buffer.data(), needed, &needed, &returned)) return names;
  const auto *info = reinterpret_cast<const DRIVER_INFO_1A *>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) names.push_back(info[i].pName);
  return names;
}

std::vector<std::string> Monitors() {
  std::vector<std::string> names;
  DWORD needed = 0, returned = 0;
  EnumMonitorsA(NULL, 1, NULL, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed + 1);
  if (!EnumMonitorsA(NULL, 1, buffer.data(), needed, &needed, &returned)) return names;
  const auto *info = reinterpret_cast<const MONITOR_INFO_1A *>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) names.push_back(info[i].pName);
  return names;
}

bool Holds(const std::vector<std::string> &list, const std::string &name) {
  for (const std::string &item : list) {
    if (item == name) return true;
  }
  return false;
}

bool HoldsText(const std::vector<std::string> &list, const std::string &text) {
  for (const std::string &item : list) {
    if (item.find(text) != std::string::npos) return true;
  }
  return false;
}

int CheckUninstalled() {
  const std::vector<std::string> printers = Printers(), drivers = Drivers(), monitors = Monitors();
  for (const char *name : {"KVT-RZ4", "KVT-RZ4 (Copy 2)", "KVT-RZ4 Studio"}) {
    Report(!Holds(printers, name), std::string("the printer ") + name + " is gone");
  }
  Report(Holds(printers, "Lumen Office 300"), "the other vendor's printer stays");
  Report(!Holds(drivers, "KVT-RZ4") && !Holds(drivers, "KVT-RZ4 Studio"), "both drivers are gone");
  Report(Holds(drivers, "Lumen Office 300 PCL"), "the other vendor's driver stays");
  Report(!Holds(monitors, "KVT USB Port Monitor") && !Holds(monitors, "KVT Network Port Monitor"),
         "both port monitors are gone");
  const std::vector<std::string> devices = DeviceHardwareIds();
  Report(!HoldsText(devices, "Vid_FFF0"), "the printer's device is gone");
  Report(HoldsText(devices, "Vid_FFF1"), "the other vendor's device stays");

  Report(!KeyExists(HKEY_LOCAL_MACHINE, kVendorKey), "the vendor key is gone, its locked key with it");
  Report(!KeyExists(HKEY_CURRENT_USER, "Software\\KVT Photo"), "the user's settings are gone");
  Report(!KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\KVT-RZ4"),
         "the uninstall entry is gone");
  Report(!KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinterClassKey) + "\\0001") &&
             !KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinterClassKey) + "\\0002"),
         "the printer class keys of both drivers are gone");
  Report(KeyExists(HKEY_LOCAL_MACHINE, std::string(kPrinterClassKey) + "\\0000"),
         "the other vendor's printer class key stays");
  Report(!KeyExists(HKEY_LOCAL_MACHINE, std::string(kUsbPrintKey) + "\\" + kOurInterface),
         "the printer's USB printing interface key is gone with its subtree");
  Report(KeyExists(HKEY_LOCAL_MACHINE, std::string(kUsbPrintKey) + "\\" + kTheirInterface),
         "the other vendor's interface key stays");
  Report(KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumen Office\\Office 300") &&
             KeyExists(HKEY_CURRENT_USER, "Software\\Lumen Office") &&
             KeyExists(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orbis Imaging\\Orbis 42"),
         "the other vendors' keys stay");

  for (const char *file :
       {"C:\\windows\\System\\KVTRZ4PR.DLL", "C:\\windows\\System\\KVTRZ4UI.DLL", "C:\\windows\\System\\KVTRZ4.HLP",
        "C:\\windows\\System\\KVTRZ4", "C:\\windows\\system32\\kvtusbmon.dll", "C:\\windows\\system32\\kvtnetmon.dll",
        "C:\\windows\\KVTRZ4.INI", "C:\\windows\\KVTRZ4.OLD", "C:\\windows\\inf\\kvtrz4.inf",
        "C:\\windows\\inf\\kvtrz4.pnf"}) {
    Report(!Exists(file), std::string(file) + " is gone");
  }
  for (const char *file : {"C:\\windows\\System\\LUM300.DLL", "C:\\windows\\LUMEN.INI", "C:\\windows\\inf\\lum300.inf",
                           "C:\\windows\\inf\\orbis42.inf", "C:\\KVT Setup\\KvtSetup.ini"}) {
    Report(Exists(file), std::string(file) + " stays");
  }
  const std::string color = "C:\\windows\\system32\\spool\\drivers\\color\\";
  Report(Exists(color + "Lumen Office Plain.icm"), "the other vendor's colour profile stays");
  if (Exists(color + "KVTRZ4 Glossy.icm")) {
    // Run from the setup folder, the bare name found the package's own copy
    // there, which Wine uninstalled and deleted in its stead.
    Report(!Exists("C:\\KVT Setup\\KVTRZ4 Glossy.icm"), "Wine took the setup folder's copy for the profile");
    std::printf(
        "wine: the colour profile KVTRZ4 Glossy.icm stays installed, and the setup folder's copy of it is deleted "
        "instead: Wine's UninstallColorProfile looks for a bare name in the current folder, not in the colour "
        "folder\n");
  } else {
    Report(Exists("C:\\KVT Setup\\KVTRZ4 Glossy.icm"), "the colour profile is gone, the setup folder's copy stays");
  }
  return g_failures == 0 ? 0 : 1;
}

int CheckInstalled() {
  Report(Exists("C:\\windows\\inf\\kvtrz4.inf") && Exists("C:\\windows\\inf\\kvtrz4.pnf"),
         "the package's INF is stored again, with its precompiled file");
  return g_failures == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char **argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "prepare" && argc == 5) return Prepare(argv[2], argv[3], argv[4]);
  if (command == "check" && argc == 3 && std::string(argv[2]) == "uninstalled") return CheckUninstalled();
  if (command == "check" && argc == 3 && std::string(argv[2]) == "installed") return CheckInstalled();
  std::fprintf(stderr,
               "usage: kvtsetup_wine_machine prepare SAMPLE_DRIVE_C CONFIG_DLL MONITOR_DLL\n"
               "       kvtsetup_wine_machine check uninstalled|installed\n");
  return 2;
}
