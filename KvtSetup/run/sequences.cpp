// The two ready-made sequences an installer can call with nothing but the
// folder of the package's files, each one setup run from its start banner
// to its finish banner: the install makes the package's INF known to
// Windows; the uninstall removes every trace of the package in a fixed
// order, every step taken whatever became of the ones before. And a
// message box that shows a number, for hosts that test their calls.
#include <windows.h>

#include <scoped_handle.h>

#include "KvtSetup.h"

namespace {

const CHAR kSection[] = "KVTSetup";
const CHAR kBaseName[] = "KVTSetup";
const DWORD kInstallTextSize = 4096;
const DWORD kUninstallTextSize = 8192;

kvt::ScopedLocalBlock<CHAR> TextBuffer(DWORD size) {
  return kvt::ScopedLocalBlock<CHAR>(static_cast<CHAR *>(LocalAlloc(LPTR, size)));
}

// Reads `key` of the sequences' section into `text` (logged as key=value).
LPCSTR Read(LPCSTR key, const kvt::ScopedLocalBlock<CHAR> &text, DWORD size) {
  KVT_GetKvtSetupIniString(kSection, key, text.get(), size);
  return text.get();
}

}  // namespace

INT WINAPI KVT_Install(HWND window, HINSTANCE instance, LPCSTR directory, INT show) {
  (void)window, (void)instance, (void)show;
  kvt::ScopedLocalBlock<CHAR> text = TextBuffer(kInstallTextSize);
  if (!text) {
    return 0;
  }
  KVT_SetupStart(directory, kBaseName, 0, "Install");
  const INT result = KVT_SetupCopyOemInf(Read("InfName", text, kInstallTextSize), NULL);
  text.reset();
  KVT_SetupFinish();
  return result;
}

INT WINAPI KVT_Uninstall(HWND window, HINSTANCE instance, LPCSTR directory, INT show) {
  (void)window, (void)instance, (void)show;
  kvt::ScopedLocalBlock<CHAR> text = TextBuffer(kUninstallTextSize);
  kvt::ScopedLocalBlock<CHAR> usb = TextBuffer(kUninstallTextSize);
  // Nothing was removed: the caller must not read the result as done.
  if (!text || !usb) {
    return 0;
  }
  KVT_SetupStart(directory, kBaseName, 0, "Uninstall");

  LPCSTR value = Read("DriverName", text, kUninstallTextSize);
  const INT spooler = KVT_DeleteAllPrinter(value);
  KVT_DeletePrinterDriver(value);
  value = Read("DriverName2", text, kUninstallTextSize);
  if (value[0] != '\0') {
    KVT_DeleteAllPrinter(value);
    KVT_DeletePrinterDriver(value);
  }
  KVT_DeleteMonitor(Read("MonitorName", text, kUninstallTextSize));
  value = Read("MonitorName2", text, kUninstallTextSize);
  if (value[0] != '\0') {
    KVT_DeleteMonitor(value);
  }
  KVT_DeleteICMProfile(Read("ICM", text, kUninstallTextSize));
  KVT_RegDeleteDeviceClasses(Read("USB", usb, kUninstallTextSize));
  KVT_RegDeleteOemxInf(Read("DriverName", text, kUninstallTextSize));
  value = Read("DriverName2", text, kUninstallTextSize);
  if (value[0] != '\0') {
    KVT_RegDeleteOemxInf(value);
  }
  KVT_DeleteDeviceList();
  // Windows finishes removing the devices in the background first.
  Sleep(1000);
  KVT_DeleteOemxInfList();
  KVT_DeleteRegList();
  const INT files = KVT_DeleteFileList();
  KVT_DeleteDirList();

  text.reset();
  usb.reset();
  KVT_SetupFinish();
  return spooler == -1 ? -1 : files;
}

INT WINAPI KVT_Dummy(INT value) {
  CHAR caption[16];
  wsprintfA(caption, "%d", value);
  MessageBoxA(NULL, "AAAA", caption, MB_OK);
  return value;
}
