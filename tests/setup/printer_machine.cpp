// Machine preparation for the printer tests. On Windows the driver's files
// are copied into the printer driver folder before the driver is added;
// over platform/ the spooler keeps only their names. The only file of the
// printer tests that knows which of the two it runs on.
#include "printer_machine.h"

#include <scoped_handle.h>

namespace setup_test {

namespace {

const char kConfigFile[] = "kvttestui.dll";
const char kDataFile[] = "kvttest.dat";
const char kOwnPrefix[] = "KVT Test ";

#ifdef _WIN32
// The stand-in configuration DLL as a Windows path of the build tree.
std::string BuiltConfigDll() {
  std::string path = "Z:" KVT_TEST_PRINTER_CONFIG_DLL;
  for (char &ch : path) {
    if (ch == '/') ch = '\\';
  }
  return path;
}

bool StageDriverFiles() {
  char folder[MAX_PATH] = {};
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(NULL, NULL, 1, reinterpret_cast<LPBYTE>(folder), sizeof(folder), &needed)) {
    return false;
  }
  const std::string dir = folder;
  if (!CopyFileA(BuiltConfigDll().c_str(), (dir + "\\" + kConfigFile).c_str(), FALSE)) return false;
  const kvt::ScopedFile data(CreateFileA((dir + "\\" + kDataFile).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                         FILE_ATTRIBUTE_NORMAL, NULL));
  return static_cast<bool>(data);
}
#else
bool StageDriverFiles() { return true; }
#endif

}  // namespace

bool AddTestDriver(const std::string &name) {
  if (!StageDriverFiles()) return false;
  DRIVER_INFO_3A info = {};
  info.cVersion = 3;
  info.pName = const_cast<LPSTR>(name.c_str());
  info.pDriverPath = const_cast<LPSTR>(kConfigFile);
  info.pDataFile = const_cast<LPSTR>(kDataFile);
  info.pConfigFile = const_cast<LPSTR>(kConfigFile);
  info.pDefaultDataType = const_cast<LPSTR>("RAW");
  return AddPrinterDriverA(NULL, 3, reinterpret_cast<LPBYTE>(&info)) != FALSE;
}

bool AddTestPrinter(const std::string &name, const std::string &driver) {
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>(name.c_str());
  info.pPortName = const_cast<LPSTR>("FILE:");
  info.pDriverName = const_cast<LPSTR>(driver.c_str());
  info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
  info.pDatatype = const_cast<LPSTR>("RAW");
  const kvt::ScopedPrinter printer(AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info)));
  return static_cast<bool>(printer);
}

std::vector<LocalPrinter> LocalPrinters() {
  std::vector<LocalPrinter> printers;
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned);
  if (needed == 0) return printers;
  std::vector<BYTE> buffer(needed);
  if (!EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, buffer.data(), needed, &needed, &returned)) return printers;
  const auto *records = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
  for (DWORD i = 0; i < returned; ++i) printers.push_back({records[i].pPrinterName, records[i].pDriverName});
  return printers;
}

bool PrinterExists(const std::string &name) {
  for (const LocalPrinter &printer : LocalPrinters()) {
    if (printer.name == name) return true;
  }
  return false;
}

void RemoveTestPrinters() {
  for (const LocalPrinter &printer : LocalPrinters()) {
    if (printer.name.rfind(kOwnPrefix, 0) != 0) continue;
    kvt::ScopedPrinter handle;
    PRINTER_DEFAULTSA defaults = {NULL, NULL, PRINTER_ALL_ACCESS};
    if (OpenPrinterA(const_cast<LPSTR>(printer.name.c_str()), handle.receive(), &defaults)) DeletePrinter(handle.get());
  }
  // Always by their own names: never "" or null, which Wine takes for every driver.
  DeletePrinterDriverA(NULL, NULL, const_cast<LPSTR>(kTestDriver));
  DeletePrinterDriverA(NULL, NULL, const_cast<LPSTR>(kOtherTestDriver));
}

}  // namespace setup_test
