// The exports of KvtSetup.dll for installer programs that load it: the setup
// run (start and finish), the log writer, the two readers of the setup INI
// file, the registry value, key deletion and key access operations, the
// removal of printers, printer drivers and port monitors, and the clean-up
// of devices, OEM INF copies and colour profiles.
// Every export except KVT_LogFileWrite is __stdcall and exported under its
// plain name; KVT_LogFileWrite takes a variable argument list and is
// therefore __cdecl. Texts are ANSI; results are 32-bit integers.
#pragma once

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

// Fixes the setup directory (null: the host program's folder), the INI and
// log paths (<directory>\<baseName>.ini/.log, KvtSetup.ini/.log for a null
// baseName) and the log level, and opens the log when "LogLevel" is not 0.
// Always returns 1. The thread's last-error code tells the host about the
// log: 0 when it was opened or not asked for, else why it could not be
// opened (the run then goes on without a log).
INT WINAPI KVT_SetupStart(LPCSTR directory, LPCSTR baseName, DWORD reserved, LPCSTR memo);

// Writes the finish banner and closes the log when one is open. Returns 0.
INT WINAPI KVT_SetupFinish(void);

// Formats one line (wsprintf conversions, at most 1,023 characters) and
// appends it with CR LF to the open log. Returns 0 when the line was
// written, 1 when no log is open or the write failed.
INT WINAPIV KVT_LogFileWrite(LPCSTR format, ...);

// Copies the value of `key` in `section` of the run's INI file into
// `buffer` (`size` bytes, terminator included; empty when missing), logs
// "key=value" and returns the number of characters stored.
INT WINAPI KVT_GetKvtSetupIniString(LPCSTR section, LPCSTR key, LPSTR buffer, DWORD size);

// Stores the integer value of `key` in `section` (0 when missing) in
// `*value` when `value` is not null, logs "key=number" and returns 1.
INT WINAPI KVT_GetKvtSetupIniInt(LPCSTR section, LPCSTR key, INT *value);

// The INI-driven lists of the run's KvtSetup.ini. Each works through its
// section's "Count" items in order, logging every key it reads and every
// action; a failed item never stops the list. Path values start with a
// folder letter (I: Windows\inf, S: Windows\System, W: Windows, and in the
// copy lists B: the setup directory); the relative path follows from the
// 8th character (the 9th for B).
// "DelReg": each key path to KVT_RegDeleteKey (unlocking allowed). Returns 1.
INT WINAPI KVT_DeleteRegList(void);
// "DelFile": deletes each file, read-only ones too. Returns 0 when a
// deletion was refused as access denied, else 1.
INT WINAPI KVT_DeleteFileList(void);
// "DelOemInfPNF": each DelInfSec/DelInfKey/DelInfDat triple to
// KVT_DeleteOemxInf. Returns the last one's result, 1 for an empty list.
INT WINAPI KVT_DeleteOemxInfList(void);
// "DelDir": deletes each directory's own entries, then the directory.
// Returns 1 when the last one was removed (or the list is empty), else 0.
INT WINAPI KVT_DeleteDirList(void);
// "CopyFile" (or "MoveFile" when `move` is not 0): copies each Sorc file
// onto its Dest, replacing it; moving deletes the source once copied.
// Returns 1.
INT WINAPI KVT_CopyFileList(INT move);
// "RemoveDevice": each HID to KVT_RemoveDevice. Returns the last one's
// result, 1 for an empty list.
INT WINAPI KVT_DeleteDeviceList(void);

// The ready-made sequences, each one setup run of its own on the setup
// directory `directory` (its KVTSetup.ini and KVTSetup.log); the other
// three arguments are not read.
// Copies the INF that "InfName" names from the setup directory into
// Windows' INF store. Returns KVT_SetupCopyOemInf's result (0 also when
// its buffer cannot be had).
INT WINAPI KVT_Install(HWND window, HINSTANCE instance, LPCSTR directory, INT show);
// Removes the package: printers and drivers ("DriverName",
// "DriverName2"), port monitors, the colour profile, the device interface
// and printer class keys, then the device, OEM INF, registry, file and
// directory lists, waiting one second after the devices. Every step runs
// whatever became of the ones before. Returns -1 when the print spooler
// was not running, else the file list's result (1, or 0 when a file could
// not be deleted for lack of access); 0 when its buffers cannot be had,
// nothing then being done.
INT WINAPI KVT_Uninstall(HWND window, HINSTANCE instance, LPCSTR directory, INT show);
// Shows a message box with the text "AAAA" and `value` as its caption, and
// returns `value` once it is closed. Starts no run and logs nothing.
INT WINAPI KVT_Dummy(INT value);

// Registry values of the key that `path` names ("HKEY_LOCAL_MACHINE\Key\...",
// one of five root names, then one separator byte). Each returns the
// registry's code (0 on success), never creates a key and logs nothing.
INT WINAPI KVT_RegSetValue(LPCSTR path, LPCSTR valueName, DWORD type, const BYTE *data, DWORD size);
INT WINAPI KVT_RegGetValue(LPCSTR path, LPCSTR valueName, DWORD *type, BYTE *data, DWORD *size);
INT WINAPI KVT_RegDeleteValue(LPCSTR path, LPCSTR valueName);

// Deletes the key that `path` names with its whole subtree, logging each
// step. When the key is locked and `noUnlock` is 0, opens its access to
// Everyone and tries once more (its former access is put back if that
// fails too). Returns 1 when the key is gone, else 0.
INT WINAPI KVT_RegDeleteKey(LPCSTR path, INT noUnlock);

// Gives Everyone full access, inherited by subkeys, to `key`\`keyPath`,
// creating the key when it does not exist. Always returns 1. A key path
// that is empty or holds only backslashes would name `key` itself: it is
// refused, changing nothing, with ERROR_INVALID_PARAMETER as last error.
INT WINAPI KVT_RegAllowAccessToEveryone(HKEY key, LPCSTR keyPath);

// Opens `key`\`keyPath` to Everyone and deletes its tree; the former access
// is put back when the key remains. Returns 1 when the deletion succeeded.
// A key path that names `key` itself is refused (logged, nothing touched).
INT WINAPI KVT_RegDeleteLockedKey(HKEY key, LPCSTR keyPath);

// The registry entries Windows setup leaves for installed printers.
// Deletes every device instance key of the printer setup class whose
// "DriverDesc" is `driverName` (letter case counting), logging the scan.
// Always returns 1.
INT WINAPI KVT_RegDeleteOemxInf(LPCSTR driverName);
// Deletes, each with its whole subtree, every device interface key of USB
// printing whose name holds `text` after its first character, logging each
// deletion. A null `text` deletes nothing. Always returns 0.
INT WINAPI KVT_RegDeleteDeviceClasses(LPCSTR text);
// Points the system's setup source path at `folder`, saving the earlier
// path beside it. 1 when done; 0 when a saved path is there already, or
// the earlier path could not be saved (nothing is then replaced).
INT WINAPI KVT_SetWin98SetupReg(LPCSTR folder);
// Puts the saved source path back and drops the saved copy, unless the
// source path is no longer `folder`. 1 when done, 0 when nothing was done
// (the saved copy stays when it could not be written back).
INT WINAPI KVT_ClearWin98SetupReg(LPCSTR folder);

// Local printers by the driver they use; driver names compare byte for
// byte, letter case included. Each returns 0 at once, logging nothing, for
// a null name.
// 1 when some local printer uses `driverName`, else 0 (also when the
// printers cannot be listed). Logs each printer examined up to the first
// match.
INT WINAPI KVT_FindPrinter(LPCSTR driverName);
// Deletes every local printer that uses `driverName`, logging each printer
// and each deletion. 1 when every such printer was deleted (or there was
// none), 0 when one of them could not be deleted or the printers could not
// be listed, -1 when the print spooler is not running.
INT WINAPI KVT_DeleteAllPrinter(LPCSTR driverName);

// Delete the printer driver or the port monitor of that name on the local
// machine and log the outcome. The spooler's result: nonzero when it was
// removed, 0 when not (a null name: 0, nothing logged).
INT WINAPI KVT_DeletePrinterDriver(LPCSTR driverName);
INT WINAPI KVT_DeleteMonitor(LPCSTR monitorName);
// Hands <sourceDirectory>\<infName> to SetupCopyOEMInfA (a null directory
// is the setup directory) and logs the call. Returns SetupAPI's result:
// nonzero when Windows stored the INF; 0 for a null name (nothing logged)
// and, with ERROR_FILENAME_EXCED_RANGE, for a path of 8,192 bytes or more.
INT WINAPI KVT_SetupCopyOemInf(LPCSTR infName, LPCSTR sourceDirectory);

// Deletes every oem*.inf of the Windows INF directory whose value of `key`
// in `section` is `value` (not empty, letter case counting), each with its
// .pnf companion; read-only files too. Logs each file examined and each
// deletion. Always returns 0, also for a null argument (nothing logged).
INT WINAPI KVT_DeleteOemxInf(LPCSTR section, LPCSTR key, LPCSTR value);

// Removes every device, of any class and present or not, one of whose
// hardware IDs equals `hardwareId` ignoring letter case, logging each
// removal. Returns 1 when the walk over the devices ended normally (also
// when a removal failed, or for a null `hardwareId`, which matches
// nothing), 0 when the device list could not be opened or the walk ended
// on an error.
INT WINAPI KVT_RemoveDevice(LPCSTR hardwareId);

// Uninstalls the colour profile and deletes its file (a bare file name is
// a profile of the colour folder) and logs the call. Returns the colour
// interface's result: nonzero when done; 0 for a null name (nothing logged).
INT WINAPI KVT_DeleteICMProfile(LPCSTR profileName);

#ifdef __cplusplus
}
#endif
