// make_sample_machine: builds the sample machine of samples/machine, a
// Windows with the sample KVT-RZ4 package installed and used next to the
// things of two other vendors, and saves it as readable files. Every step
// goes through the Windows calls that a setup program would make (and the
// setup library itself for the install and the setup's own run), on a
// machine whose clock stands still, so that the same package always gives
// the same files.
//   make_sample_machine PACKAGE_DIR MACHINE_DIR
#include <windows.h>
#include <icm.h>
#include <setupapi.h>
#include <winspool.h>

#include <platform/testing.h>
#include <scoped_handle.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "KvtSetup.h"
#include "sample_contents.h"

namespace {

const char kSetupFolder[] = "C:\\KVT Setup";
const char kLockedKeySecurity[] = "O:SYG:SYD:P(A;;KRWD;;;WD)";
const GUID kUsbClass = {0x36fc9e60, 0xc465, 0x11cf, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID kImageClass = {0x6bdd1fc6, 0x810f, 0x11d0, {0xbe, 0xc7, 0x08, 0x00, 0x2b, 0xe2, 0x09, 0x2f}};

// A step that fails stops the program before anything is saved.
void Check(bool done, const std::string &step) {
  if (!done) throw std::runtime_error(step + " failed (system error " + std::to_string(GetLastError()) + ")");
}

void CheckCode(LONG code, const std::string &step) {
  SetLastError(static_cast<DWORD>(code));
  Check(code == ERROR_SUCCESS, step);
}

std::string HostFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void MakeFolder(const std::string &path) { Check(CreateDirectoryA(path.c_str(), NULL), "making " + path); }

void WriteMachineFile(const std::string &path, const std::string &bytes, DWORD attributes = 0) {
  {
    const kvt::ScopedFile file(
        CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL));
    Check(static_cast<bool>(file), "creating " + path);
    DWORD written = 0;
    Check(WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, NULL) &&
              written == bytes.size(),
          "writing " + path);
  }
  if (attributes != 0) Check(SetFileAttributesA(path.c_str(), attributes), "marking " + path);
}

// The stand-in content of a file whose bytes do not matter here.
std::string StandIn(const std::string &what) { return "Sample stand-in for " + what + ".\r\n"; }

void SetClock(WORD hour, WORD minute, WORD second) {
  SYSTEMTIME time = {};
  time.wYear = 2004, time.wMonth = 3, time.wDay = 7;
  time.wHour = hour, time.wMinute = minute, time.wSecond = second;
  Check(platform::SetLocalTime(time), "setting the clock");
}

// Files.

void CopyPackage(const std::string &packageDir) {
  MakeFolder(kSetupFolder);
  for (const char *name : {"KvtSetup.ini", "kvtrz4.inf", "KVTRZ4.INI", "KVTRZ4 Glossy.icm"}) {
    WriteMachineFile(std::string(kSetupFolder) + "\\" + name, HostFile(packageDir + "/" + name));
  }
}

void AddPackageFiles(const std::string &packageDir) {
  MakeFolder("C:\\WINDOWS\\System");
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4PR.DLL", StandIn("the KVT-RZ4 printer graphics library"));
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4UI.DLL", StandIn("the KVT-RZ4 printer settings library"));
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4.HLP", StandIn("the KVT-RZ4 help file"), FILE_ATTRIBUTE_READONLY);
  MakeFolder("C:\\WINDOWS\\System\\KVTRZ4");
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4\\Paper Table.dat", StandIn("the paper table of the KVT-RZ4"));
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4\\Studio Layouts.dat", StandIn("the studio print layouts"));
  WriteMachineFile("C:\\WINDOWS\\System\\KVTRZ4\\Thumbs.db", StandIn("the folder's picture cache"),
                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
  // A port monitor's library must lie in the system folder to be added.
  WriteMachineFile("C:\\WINDOWS\\system32\\kvtusbmon.dll", StandIn("the KVT USB port monitor"));
  WriteMachineFile("C:\\WINDOWS\\system32\\kvtnetmon.dll", StandIn("the KVT network port monitor"));
  // An earlier setup copied the INF into the INF folder under its own name.
  WriteMachineFile("C:\\WINDOWS\\Inf\\kvtrz4.inf", HostFile(packageDir + "/kvtrz4.inf"));
  WriteMachineFile("C:\\WINDOWS\\Inf\\kvtrz4.pnf", StandIn("the precompiled form of kvtrz4.inf"));
  // The settings of the version before, which the setup keeps aside.
  WriteMachineFile("C:\\WINDOWS\\KVTRZ4.INI", "; KVTRZ4.INI of the version before\r\n[Paper]\r\nKind=Small\r\n");
}

void AddOtherVendorsFiles() {
  WriteMachineFile("C:\\WINDOWS\\System\\LUM300.DLL", StandIn("the Lumen Office 300 printer driver"));
  WriteMachineFile("C:\\WINDOWS\\LUMEN.INI", "[Lumen Office 300]\r\nDuplex=1\r\n");
  MakeFolder("C:\\Drivers");
  MakeFolder("C:\\Drivers\\Lumen");
  WriteMachineFile("C:\\Drivers\\Lumen\\lum300.inf",
                   "; The Lumen Office 300 printer INF (sample).\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                   "Class=Printer\r\nProvider=\"Lumen Office\"\r\n");
  WriteMachineFile("C:\\Drivers\\Lumen\\Lumen Office Plain.icm", StandIn("the Lumen Office plain paper profile"));
  MakeFolder("C:\\Drivers\\Orbis");
  WriteMachineFile("C:\\Drivers\\Orbis\\orbis42.inf",
                   "; The Orbis 42 scanner INF (sample).\r\n[Version]\r\nSignature=\"$Windows NT$\"\r\n"
                   "Class=Image\r\nProvider=\"Orbis Imaging\"\r\n");
}

// The spooler.

void AddDriver(const sample::Driver &driver) {
  DRIVER_INFO_3A info = {};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>(driver.name);
  info.pDriverPath = const_cast<LPSTR>(driver.driverFile);
  info.pDataFile = const_cast<LPSTR>(driver.driverFile);
  info.pConfigFile = const_cast<LPSTR>(driver.configFile);
  info.pHelpFile = const_cast<LPSTR>(driver.helpFile);
  info.pDefaultDataType = const_cast<LPSTR>("RAW");
  Check(AddPrinterDriverA(NULL, 3, reinterpret_cast<LPBYTE>(&info)), std::string("adding the driver ") + driver.name);
}

void AddPortMonitor(const sample::Monitor &monitor) {
  MONITOR_INFO_2A info = {};
  info.pName = const_cast<LPSTR>(monitor.name);
  info.pDLLName = const_cast<LPSTR>(monitor.dll);
  Check(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&info)), std::string("adding the monitor ") + monitor.name);
  for (const char *port : monitor.ports) {
    if (port != nullptr) Check(platform::AddMonitorPort(monitor.name, port), std::string("adding the port ") + port);
  }
}

void SetTrayData(HANDLE printer) {
  // What the printer's settings program keeps: the size of the tray table
  // and the paper in the tray (0: post card).
  DWORD size = sizeof(DWORD), kind = 0;
  CheckCode(static_cast<LONG>(SetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormSize"), REG_DWORD,
                                              reinterpret_cast<LPBYTE>(&size), sizeof size)),
            "setting the tray size");
  CheckCode(static_cast<LONG>(SetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), REG_BINARY,
                                              reinterpret_cast<LPBYTE>(&kind), sizeof kind)),
            "setting the tray paper");
}

void AddLocalPrinter(const sample::Printer &printer) {
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>(printer.name);
  info.pPortName = const_cast<LPSTR>(printer.port);
  info.pDriverName = const_cast<LPSTR>(printer.driver);
  info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
  info.pDatatype = const_cast<LPSTR>("RAW");
  const kvt::ScopedPrinter added(AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info)));
  Check(static_cast<bool>(added), std::string("adding the printer ") + printer.name);
  if (printer.trayData) SetTrayData(added.get());
}

void AddSpooler() {
  for (const sample::Driver &driver : sample::kDrivers) AddDriver(driver);
  for (const sample::Monitor &monitor : sample::kMonitors) AddPortMonitor(monitor);
  for (const sample::Printer &printer : sample::kPrinters) AddLocalPrinter(printer);
}

// Devices, the INF store and colour profiles.

void AddDevice(const sample::Device &added) {
  std::vector<BYTE> ids;
  for (const std::string id : added.hardwareIds) {
    ids.insert(ids.end(), id.begin(), id.end());
    ids.push_back(0);
  }
  ids.push_back(0);
  const GUID &deviceClass = added.imageClass ? kImageClass : kUsbClass;
  const kvt::ScopedDeviceInfoSet set(SetupDiCreateDeviceInfoList(&deviceClass, NULL));
  Check(static_cast<bool>(set), "making a device list");
  SP_DEVINFO_DATA device = {};
  device.cbSize = sizeof(device);
  Check(SetupDiCreateDeviceInfoA(set.get(), added.instanceId, &deviceClass, added.description, NULL, 0, &device) &&
            SetupDiSetDeviceRegistryPropertyA(set.get(), &device, SPDRP_HARDWAREID, ids.data(),
                                              static_cast<DWORD>(ids.size())) &&
            SetupDiRegisterDeviceInfo(set.get(), &device, 0, NULL, NULL, NULL),
        std::string("adding the device ") + added.instanceId);
}

void StoreInf(const char *path) {
  char stored[MAX_PATH] = "";
  Check(SetupCopyOEMInfA(path, NULL, SPOST_PATH, 0, stored, sizeof stored, NULL, NULL), std::string("storing ") + path);
}

// Registry.

void SetValue(HKEY root, const std::string &path, const char *name, DWORD type, const std::string &data) {
  kvt::ScopedKey key;
  CheckCode(RegCreateKeyExA(root, path.c_str(), 0, NULL, 0, KEY_ALL_ACCESS, NULL, key.receive(), NULL),
            "making the key " + path);
  std::vector<BYTE> bytes(data.begin(), data.end());
  if (type == REG_SZ) bytes.push_back(0);
  CheckCode(RegSetValueExA(key.get(), name, 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
            "setting " + path + "\\" + name);
}

void SetText(HKEY root, const std::string &path, const char *name, const std::string &text) {
  SetValue(root, path, name, REG_SZ, text);
}

void SetNumber(HKEY root, const std::string &path, const char *name, DWORD number) {
  SetValue(root, path, name, REG_DWORD, std::string(reinterpret_cast<const char *>(&number), sizeof number));
}

void AddRegistry() {
  const std::string vendor = "SOFTWARE\\KVT Photo";
  SetText(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4", "InstallFolder", kSetupFolder);
  SetText(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4", "Version", "1.0.0");
  SetNumber(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4\\Calibration", "Gamma", 220);
  SetText(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4\\Calibration", "Profile", "KVTRZ4 Glossy.icm");
  // Written by the printer's service as SYSTEM and closed to deletion.
  Check(platform::SetKeySecurity(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4\\Calibration", kLockedKeySecurity),
        "locking the calibration key");
  SetText(HKEY_LOCAL_MACHINE, vendor + "\\KVT-RZ4 Studio", "Layouts", "C:\\WINDOWS\\System\\KVTRZ4");
  SetText(HKEY_CURRENT_USER, "Software\\KVT Photo\\KVT-RZ4\\Settings", "LastPaper", "Post card");
  SetNumber(HKEY_CURRENT_USER, "Software\\KVT Photo\\KVT-RZ4\\Settings", "Copies", 2);
  const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  SetText(HKEY_LOCAL_MACHINE, uninstall + "\\KVT-RZ4", "DisplayName", "KVT-RZ4 printer driver");
  SetText(HKEY_LOCAL_MACHINE, uninstall + "\\KVT-RZ4", "UninstallString",
          "\"C:\\KVT Setup\\kvtsetup.exe\" uninstall \"C:\\KVT Setup\"");

  const std::string printerClass = "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E979-E325-11CE-BFC1-08002BE10318}";
  SetText(HKEY_LOCAL_MACHINE, printerClass, "Class", "Printer");
  // One key per installed printer device, holding no subkeys, as Windows
  // setup leaves them.
  const struct {
    const char *key, *description, *inf, *provider;
  } instances[] = {{"0000", "Lumen Office 300 PCL", "oem0.inf", "Lumen Office"},
                   {"0001", "KVT-RZ4", "oem1.inf", "KVT Photo"},
                   {"0002", "KVT-RZ4 Studio", "oem1.inf", "KVT Photo"}};
  for (const auto &instance : instances) {
    const std::string key = printerClass + "\\" + instance.key;
    SetText(HKEY_LOCAL_MACHINE, key, "DriverDesc", instance.description);
    SetText(HKEY_LOCAL_MACHINE, key, "InfPath", instance.inf);
    SetText(HKEY_LOCAL_MACHINE, key, "ProviderName", instance.provider);
  }

  const std::string usbPrint =
      "SYSTEM\\CurrentControlSet\\Control\\DeviceClasses\\{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  const std::string ours = usbPrint + "\\##?#USB#Vid_FFF0&Pid_0104#KVT0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  SetText(HKEY_LOCAL_MACHINE, ours, "DeviceInstance", "USB\\VID_FFF0&PID_0104\\KVT0001");
  SetText(HKEY_LOCAL_MACHINE, ours + "\\#", "SymbolicLink",
          "\\\\?\\USB#Vid_FFF0&Pid_0104#KVT0001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}");
  SetNumber(HKEY_LOCAL_MACHINE, ours + "\\#\\Device Parameters", "Port Number", 1);
  SetNumber(HKEY_LOCAL_MACHINE, ours + "\\#\\Control", "Linked", 1);
  const std::string theirs = usbPrint + "\\##?#USB#Vid_FFF1&Pid_0300#LUM3001#{28d78fad-5a12-11d1-ae5b-0000f803a8c2}";
  SetText(HKEY_LOCAL_MACHINE, theirs, "DeviceInstance", "USB\\VID_FFF1&PID_0300\\LUM3001");
  SetNumber(HKEY_LOCAL_MACHINE, theirs + "\\#\\Device Parameters", "Port Number", 2);

  SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Lumen Office\\Office 300", "Driver", "Lumen Office 300 PCL");
  SetText(HKEY_CURRENT_USER, "Software\\Lumen Office", "Duplex", "on");
  SetText(HKEY_LOCAL_MACHINE, uninstall + "\\Lumen Office 300", "DisplayName", "Lumen Office 300");
  SetText(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orbis Imaging\\Orbis 42", "Resolution", "1200");
}

// The package's own setup, through the setup library: the install, then a
// run that copies its settings and points the setup source path at it.
void RunPackageSetup() {
  SetClock(14, 5, 9);
  Check(KVT_Install(NULL, NULL, kSetupFolder, 0) != 0, "the install of the package");
  SetClock(14, 5, 12);
  KVT_SetupStart(kSetupFolder, NULL, 0, "Setup");
  KVT_CopyFileList(1);
  KVT_CopyFileList(0);
  const bool pointed = KVT_SetWin98SetupReg(kSetupFolder) == 1;
  KVT_SetupFinish();
  Check(pointed, "pointing the setup source path at the setup folder");
}

void BuildMachine(const std::string &packageDir) {
  platform::ResetMachine();
  SetClock(14, 0, 0);
  CopyPackage(packageDir);
  AddPackageFiles(packageDir);
  AddOtherVendorsFiles();
  AddSpooler();
  for (const sample::Device &device : sample::kDevices) AddDevice(device);
  StoreInf(sample::kOtherVendorsInfs[0]);
  RunPackageSetup();
  StoreInf(sample::kOtherVendorsInfs[1]);
  for (const char *profile : sample::kProfiles) {
    Check(InstallColorProfileA(NULL, profile), std::string("installing the profile ") + profile);
  }
  AddRegistry();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_sample_machine PACKAGE_DIR MACHINE_DIR\n");
    return 2;
  }
  try {
    BuildMachine(argv[1]);
  } catch (const std::exception &failure) {
    std::fprintf(stderr, "make_sample_machine: %s; nothing was saved\n", failure.what());
    return 1;
  }
  if (!platform::SaveMachine(argv[2])) {
    std::fprintf(stderr, "make_sample_machine: cannot save the machine into %s\n", argv[2]);
    return 1;
  }
  return 0;
}
