// What the sample machine holds in its spooler and device list, of the
// KVT-RZ4 package and of the two other vendors beside it. The program that
// makes the sample machine and the one that prepares a Wine prefix with the
// sample both build from these tables, so that both machines hold the same.
#pragma once

namespace sample {

struct Driver {
  const char *name;
  const char *driverFile;
  const char *configFile;
  const char *helpFile;
};

struct Monitor {
  const char *name;
  const char *dll;       // in the system folder
  const char *ports[2];  // null where there is none
};

struct Printer {
  const char *name;
  const char *driver;
  const char *port;
  bool trayData;  // holds what the printer's settings program keeps
};

struct Device {
  const char *instanceId;
  const char *rootName;  // where only generated root IDs can be made
  bool imageClass;       // else a USB device
  const char *description;
  const char *hardwareIds[2];
};

inline constexpr Driver kDrivers[] = {
    {"KVT-RZ4", "KVTRZ4PR.DLL", "KVTRZ4UI.DLL", "KVTRZ4.HLP"},
    {"KVT-RZ4 Studio", "KVTRZ4PR.DLL", "KVTRZ4UI.DLL", "KVTRZ4.HLP"},
    {"Lumen Office 300 PCL", "LUM300.DLL", "LUM300.DLL", ""},
};

inline constexpr Monitor kMonitors[] = {
    {"KVT USB Port Monitor", "kvtusbmon.dll", {"KVTUSB001", "KVTUSB002"}},
    {"KVT Network Port Monitor", "kvtnetmon.dll", {"KVTNET_192.0.2.40", nullptr}},
};

inline constexpr Printer kPrinters[] = {
    {"KVT-RZ4", "KVT-RZ4", "KVTUSB001", true},
    {"KVT-RZ4 (Copy 2)", "KVT-RZ4", "KVTUSB002", true},
    {"KVT-RZ4 Studio", "KVT-RZ4 Studio", "KVTNET_192.0.2.40", true},
    {"Lumen Office 300", "Lumen Office 300 PCL", "LPT1:", false},
};

inline constexpr Device kDevices[] = {
    {"USB\\VID_FFF1&PID_0300\\LUM3001",
     "LUMEN300",
     false,
     "Lumen Office 300",
     {"USB\\Vid_FFF1&Pid_0300&Rev_0200", "USB\\Vid_FFF1&Pid_0300"}},
    {"USB\\VID_FFF0&PID_0104\\KVT0001",
     "KVTRZ4",
     false,
     "KVT-RZ4 Photo Printer",
     {"USB\\Vid_FFF0&Pid_0104&Rev_0100", "USB\\Vid_FFF0&Pid_0104"}},
    {"USB\\VID_FFF2&PID_0042\\ORB0042",
     "ORBIS42",
     true,
     "Orbis 42 Scanner",
     {"USB\\Vid_FFF2&Pid_0042&Rev_0001", "USB\\Vid_FFF2&Pid_0042"}},
};

// The INFs the INF store holds, in the order they were stored; the
// package's own is stored by its install, between the other two.
inline constexpr const char *kOtherVendorsInfs[] = {"C:\\Drivers\\Lumen\\lum300.inf",
                                                    "C:\\Drivers\\Orbis\\orbis42.inf"};
inline constexpr const char *kPackageInf = "C:\\KVT Setup\\kvtrz4.inf";

// The installed colour profiles' files, in the order they were installed.
inline constexpr const char *kProfiles[] = {"C:\\Drivers\\Lumen\\Lumen Office Plain.icm",
                                            "C:\\KVT Setup\\KVTRZ4 Glossy.icm"};

}  // namespace sample
