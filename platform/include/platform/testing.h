// The platform layer's test interface: the machine that the Win32 calls act
// on, fault injection and live-object counts. Tests and tools use it; the
// two libraries never do. The machine is process-wide and, like the two
// libraries, used from one thread at a time (only the last error is kept
// per thread).
#pragma once

#include <windows.h>
#include <winspool.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// Calls that can be made to fail. An injected failure behaves as the real
// failure would: null or FALSE with the documented last-error code.
enum class Fault {
  HeapCreate,
  HeapAlloc,
  GlobalAlloc,
  LocalAlloc,
  EngCreatePalette,
  EngCreateBitmap,
  // Every registry call on a key: RegOpenKeyExA, RegCreateKeyExA,
  // RegEnumKeyExA, RegDeleteKeyA, RegQueryValueExA, RegSetValueExA,
  // RegDeleteValueA, and GetSecurityInfo/SetSecurityInfo on a key (not
  // RegCloseKey, which always closes). The failing call changes nothing and
  // returns ERROR_NOT_ENOUGH_MEMORY, as the registry does when it runs out.
  Registry,
  WritePrinter,
  // WritePrinter of n bytes that takes only the first n / 2 and reports
  // success with that count, as a device that accepts part of a write does.
  // Counted at the same point as WritePrinter.
  ShortWritePrinter,
  // OpenPrinterA/W of a printer by name (not of the server): the open fails
  // with ERROR_ACCESS_DENIED and the handle stays null, as for a printer
  // whose security keeps the caller out.
  OpenPrinter,
  // SetupDiGetClassDevsA: no set, INVALID_HANDLE_VALUE with
  // ERROR_NOT_ENOUGH_MEMORY.
  DeviceList,
  // SetupDiRemoveDevice, also as the default handler of DIF_REMOVE: the
  // device stays, FALSE with ERROR_ACCESS_DENIED, as for a caller who is
  // not an administrator.
  DeviceRemoval,
  // Each step of SaveMachine that writes to the host's disk: making a
  // missing parent folder and the new machine folder beside the old one,
  // each folder, file or link it puts in the new folder (a file written and
  // flushed), the flush of the new folder's folders and the swap. The
  // failing step fails as on a full disk (a file keeps half its bytes).
  MachineSave,
};

// Makes the nth call of `fault` from now fail once (1 = the next call).
// 0 cancels a pending injection.
void FailNthCall(Fault fault, unsigned nth);

// Calls of `fault`'s kind since the machine was reset, failed ones included.
// A call is counted when it gets past its argument and handle checks, at the
// point where the real resource would be taken.
unsigned CallCount(Fault fault);

// For the modules of the platform layer: counts one call of `fault` and
// returns true when that call is the one to fail. Each module calls it once
// per counted call, at the point described for CallCount.
bool ShouldFail(Fault fault);

// The language that GetUserDefaultLangID reports (English by default).
void SetUserDefaultLangID(LANGID langId);

// Objects alive on the machine, for leak checks.
struct LiveObjects {
  size_t heaps = 0;         // private heaps (the process heap is not counted)
  size_t globalBlocks = 0;  // GlobalAlloc and LocalAlloc blocks
  size_t palettes = 0;
  size_t surfaces = 0;
  size_t printerHandles = 0;
  size_t keyHandles = 0;  // open registry keys (predefined keys not counted)
  size_t deviceInfoSets = 0;
};
LiveObjects Live();

// Starts a fresh machine: the spooler running with its built-in forms, no
// printers or drivers, the "Local Port" monitor with the default ports,
// English user, the default identity, a registry with the predefined keys
// and a few standard keys, no pending faults, counters at zero. Every heap,
// memory block and handle of the previous machine is released and must not
// be used afterwards.
void ResetMachine();

// Module hooks. A module that keeps machine state outside the kernel and the
// spooler (the graphics engine) registers, from a static initializer in the
// same source file as that state, a reset function that ResetMachine calls
// (before the spooler and kernel are reset) and a counter that fills its
// fields of LiveObjects. Registering the same function twice has no effect.
using ResetHook = void (*)();
using LiveCounter = void (*)(LiveObjects &live);
void RegisterResetHook(ResetHook hook);
void RegisterLiveCounter(LiveCounter counter);

// Adds a port of the "Local Port" monitor. A port whose name is an absolute
// host path ("/tmp/out.prn") is a file: each job printed to it replaces the
// file's content. FALSE with ERROR_ALREADY_EXISTS for a duplicate name (ports
// are case-insensitive), ERROR_INVALID_PARAMETER for null or "".
BOOL AddLocalPort(const char *portName);
// Adds a port that belongs to the installed monitor `monitorName` (compared
// without regard to case); the same errors, and ERROR_UNKNOWN_PRINT_MONITOR
// for a monitor that is not installed.
BOOL AddMonitorPort(const char *monitorName, const char *portName);

// Stops or starts the print spooler service. While it is stopped every
// spooler function fails with RPC_S_SERVER_UNAVAILABLE, in the way each one
// reports failures (GetPrinterDataW and SetPrinterDataW return the code);
// the machine's printers, drivers, monitors and handles stay as they are.
// A reset starts it again.
void SetSpoolerRunning(bool running);

// The bytes written so far to job `jobId` when its output is kept in memory
// (a port that is neither "NUL:" nor a file path, and no output file). Empty
// for an unknown job or one whose bytes went to a file or were discarded.
// Finished and cancelled jobs stay readable until the machine is reset.
std::vector<uint8_t> JobOutput(DWORD jobId);

// Replaces the machine's form list with `count` forms, taken as they are
// (flags included, no validation, duplicates allowed), so that a test can
// set up any list a real spooler might report. Null/0 empties the list.
void SetFormList(const FORM_INFO_1W *forms, size_t count);

// Files. A fresh machine's C: is a new private temporary folder holding
// C:\WINDOWS, C:\WINDOWS\system32, C:\WINDOWS\Inf, C:\WINDOWS\Temp and
// C:\WINDOWS\system32\spool\drivers\color, removed again at the next reset
// or when the process ends; the current folder is C:\. Z: is the host's root.
// The host folder that is the machine's C: (made on first use).
std::string DriveCFolder();
// The host path of a Windows path on the machine's drives, looked up
// ignoring case; the last component need not exist. Nullopt when a folder
// on the way is missing or the path cannot be on the drives.
std::optional<std::string> HostPathOfWindowsPath(const std::string &windowsPath);
// Makes GetModuleFileNameA(NULL) report `windowsPath` ("" restores the real
// program's path, as does a reset).
void SetMainModulePath(const std::string &windowsPath);

// Marks the file at `windowsPath` as mapped by the process as a loaded
// module (a DLL in use), or no longer: DeleteFileA then fails with
// ERROR_ACCESS_DENIED, as Windows refuses to delete a mapped image. false
// for a file that does not exist. A reset forgets every mark.
bool MarkLoadedModule(const std::string &windowsPath, bool loaded);

// Makes GetWindowsDirectoryA report `windowsPath` ("" restores C:\WINDOWS,
// as does a reset); the folders of the machine stay where they are.
void SetWindowsDirectoryPath(const std::string &windowsPath);

// Saves the machine as the folder `dir`: the spooler's part (drivers, ports,
// printers with their data values, user forms) as `spooler.json`, C: as
// `drive_c` with the attributes its host files cannot keep (read-only,
// hidden, system: a copy or a version control system may drop them) by
// Windows path in `file_attributes.json`, and the registry
// (HKEY_LOCAL_MACHINE and HKEY_USERS) as
// `registry.reg`, REGEDIT4 text in code page 1252 with each key's security
// descriptor as SDDL on a comment line (";SDDL=...") right under its header
// and a closing comment line ("; end of registry") last, both of which
// regedit ignores.
// The save is whole or nothing: the new machine is written into a new
// folder beside `dir` (missing parent folders are made) and, once all of
// it is written and flushed, swapped in for `dir` in one rename. Anything
// else a machine folder holds is kept, by hard links. A save that fails
// leaves `dir` exactly as it was and removes what it made. It fails for a
// key deeper than 512 levels or with a name code page 1252 cannot spell, as
// a load would refuse it; for a `dir` that is a file, lies inside C:, or is
// a folder holding things but no `spooler.json` (no machine to replace);
// and when the disk is full: the old and the new machine are both on the
// disk until the swap.
// Saving a loaded machine into its own folder gives the new `drive_c` the
// same files as hard links (nothing is copied), so after the swap C: is the
// same folder path holding the same files: open files, searches and the
// current folder go on working, on the machine's files in the new folder.
bool SaveMachine(const std::string &dir);

// Replaces the machine with the one saved in the folder `dir`. Every file is
// read and checked before anything changes: a missing folder, a missing
// `spooler.json`, or any malformed, inconsistent or cut short file changes
// nothing and gives false, with `error` (when given) telling which file and
// what is wrong in plain words ("registry.reg is cut short at line 12").
// A `registry.reg` must end in its closing line and hold no key deeper than
// 512 levels and no line break in a name. Without a `registry.reg` the
// registry is a fresh machine's. A `file_attributes.json` may name only
// entries that `drive_c` holds; without one no entry has an attribute kept.
// On success open printer handles, jobs and keys are closed, and
// `<dir>/drive_c` becomes C: and is used in place (made, with the system
// folders, when missing); open files and searches are closed.
bool LoadMachine(const std::string &dir, std::string *error = nullptr);

// The machine as a user would look it over, area by area, in UTF-8 texts:
// what a tool compares before and after something ran on the machine. Every
// list is in a fixed order (the machine's own order where it has one), so
// that two descriptions of the same machine are equal.
struct MachineDescription {
  struct Printer {
    std::string name;
    std::string driver;
    std::string port;
  };
  struct Driver {
    std::string name;
    std::string environment;
  };
  struct Monitor {
    std::string name;
    std::string dll;
  };
  struct Port {
    std::string name;
    std::string monitor;
  };
  struct Device {
    std::string instanceId;
    std::string description;
    std::vector<std::string> hardwareIds;
  };
  // A stored INF of the INF store (C:\WINDOWS\Inf\oemN.inf), its
  // precompiled companion ("" when there is none) and the provider its
  // [Version] section names.
  struct OemInf {
    std::string path;
    std::string pnfPath;
    std::string provider;
  };
  struct RegistryValue {
    std::string name;  // "" for the default value
    DWORD type = REG_NONE;
    std::vector<uint8_t> data;
  };
  // "HKEY_LOCAL_MACHINE\SOFTWARE\..." or "HKEY_USERS\...". `deletable`
  // tells whether the process identity may delete the key: false for a
  // key locked against it.
  struct RegistryKey {
    std::string path;
    std::vector<RegistryValue> values;
    bool deletable = true;
  };
  // An entry of drive C: under its Windows path ("C:\WINDOWS\win.ini"), with
  // its read-only, hidden and system attributes; a file also with its size
  // and a digest of its content.
  struct FileEntry {
    std::string path;
    bool folder = false;
    DWORD attributes = 0;
    uint64_t size = 0;
    uint64_t digest = 0;
  };

  std::vector<Printer> printers;
  std::vector<Driver> drivers;
  std::vector<Monitor> monitors;
  std::vector<Port> ports;
  std::vector<Device> devices;
  std::vector<OemInf> oemInfs;
  std::vector<std::string> colorProfiles;  // installed profiles' file names
  std::vector<RegistryKey> registryKeys;   // parents before their subkeys
  std::vector<FileEntry> files;            // folders before what they hold
};
MachineDescription DescribeMachine();

// Devices and colour profiles. A fresh machine has no devices and no
// installed profiles; tests make devices with the SetupAPI calls
// (SetupDiCreateDeviceInfoList, SetupDiCreateDeviceInfoA,
// SetupDiSetDeviceRegistryPropertyA, SetupDiRegisterDeviceInfo) and install
// profiles with InstallColorProfileA. SaveMachine writes the registered
// devices (instance ID, class and properties as hex bytes) to
// `<dir>/devices.json` and the installed profiles to
// `<dir>/color_profiles.json`; LoadMachine reads both before it changes
// anything, a missing file meaning none, a malformed one failing the load.
// The INF store's oemN.inf/.pnf files and the profile files are on C:.

// The clock, sleeping and message boxes (kernel module). The clock follows
// the host until SetLocalTime stops it at `localTime` (wDayOfWeek is
// ignored and recomputed); from then on it moves only by Sleep. A stopped
// clock is the machine's time in UTC, so GetSystemTime reports the same.
// false, and no change, for a date or time that does not exist. Sleep
// never blocks: it records its duration and moves the clock on by it.
bool SetLocalTime(const SYSTEMTIME &localTime);
// The durations passed to Sleep since the machine was reset, in order.
std::vector<DWORD> Sleeps();

// One MessageBoxA call: its text and caption (null gives "" and "Error"),
// its style bits and the answer it returned.
struct MessageBoxRecord {
  std::string text;
  std::string caption;
  UINT type = 0;
  int answer = 0;
};
// The boxes shown since the machine was reset, in order. Each is also
// written to stderr as one line.
std::vector<MessageBoxRecord> MessageBoxes();
// The answer every later box returns (IDOK, IDYES, ...); 0, the default
// after a reset, answers each box with its default button.
void SetMessageBoxAnswer(int answer);

// The process identity that registry access checks use: a user SID and the
// groups the process is a member of, as SID texts ("S-1-5-32-544"). A fresh
// machine's user is an administrator, member of Administrators (S-1-5-32-544)
// and Everyone (S-1-1-0); as on Windows, keys it creates are owned by
// Administrators, or by the user when it is not a member.
struct Identity {
  std::string user;
  std::vector<std::string> groups;
};
Identity ProcessIdentity();
// false, and no change, when a SID text is malformed. HKEY_CURRENT_USER
// follows the user: it is HKEY_USERS\<user SID>, made when missing.
bool SetProcessIdentity(const Identity &identity);

// A registry key's security descriptor as SDDL text (owner, group and DACL,
// e.g. "O:BAG:SYD:P(A;CI;KA;;;WD)"), read and written past every access
// check, so that a test can build or inspect locked keys. `path` is below
// `root`, a predefined key. Reading gives nullopt for a missing key; writing
// gives false for a missing key or malformed text, and leaves subkeys as they
// are (no inheritance is applied).
std::optional<std::string> KeySecurity(HKEY root, const std::string &path);
bool SetKeySecurity(HKEY root, const std::string &path, const std::string &sddl);

}  // namespace platform
