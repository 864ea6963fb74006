// A stand-in printer configuration DLL for tests under Wine, whose AddPrinter
// loads the driver's configuration file and calls these two entry points.
// They offer no property sheets and no capabilities.
#include <windows.h>

extern "C" LONG WINAPI DrvDocumentPropertySheets(void * /*propertySheetInfo*/, LPARAM /*param*/) { return -1; }

extern "C" DWORD WINAPI DrvDeviceCapabilities(HANDLE /*printer*/, LPWSTR /*deviceName*/, WORD /*capability*/,
                                              void * /*output*/, void * /*devMode*/) {
  return 0;
}
