// Builds and loads machines through the spooler API and the platform
// layer's machine interface.
#include "print_machine.h"

#include <platform/testing.h>

#include <vector>

#include "system_text.h"
#include "utf.h"
#include "wide_buffer.h"

namespace kvt::print {

namespace {

// What went wrong in setting up the built-in printer, in words.
std::string SetupFailure(const std::string &step, DWORD code = GetLastError()) {
  return "cannot set up the built-in printer (" + step + "): " + text::ReasonOfWin32(code);
}

bool AddForms(HANDLE printer, Language language, std::string &error) {
  for (PaperKind kind : {PaperKind::Postcard, PaperKind::Photo3_5x5, PaperKind::Small}) {
    std::u16string name = FormName(kind, language);
    FormSize size = SpoolerFormSize(kind);
    FORM_INFO_1W form{};
    form.Flags = FORM_PRINTER;
    std::vector<WCHAR> wideName = WideBuffer(name);
    form.pName = wideName.data();
    form.Size = {size.paperWidth, size.paperHeight};
    form.ImageableArea = {0, 0, size.imageWidth, size.imageHeight};
    if (!AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&form))) {
      error = SetupFailure("the form \"" + text::Utf16ToUtf8(name) + "\"");
      return false;
    }
  }
  return true;
}

bool SetTrayData(HANDLE printer, PaperKind tray, std::string &error) {
  DWORD size = sizeof(DWORD);
  DWORD kind = static_cast<DWORD>(tray);
  std::vector<WCHAR> sizeName = WideBuffer(u"TrayFormSize");
  std::vector<WCHAR> tableName = WideBuffer(u"TrayFormTable");
  DWORD status = SetPrinterDataW(printer, sizeName.data(), REG_DWORD, reinterpret_cast<LPBYTE>(&size), sizeof size);
  if (status == ERROR_SUCCESS) {
    status = SetPrinterDataW(printer, tableName.data(), REG_BINARY, reinterpret_cast<LPBYTE>(&kind), sizeof kind);
  }
  if (status != ERROR_SUCCESS) {
    error = SetupFailure("the paper in the tray", status);
    return false;
  }
  return true;
}

}  // namespace

bool PrepareBuiltInMachine(const BuiltInMachine &machine, std::string &error) {
  platform::ResetMachine();
  platform::SetUserDefaultLangID(LanguageId(machine.language));

  std::string driverName = kDefaultPrinterName;
  std::string driverPath = "KVTRZ4PR.DLL";
  std::string dataFile = "KVTRZ4PR.DLL";
  std::string configFile = "KVTRZ4UI.DLL";
  DRIVER_INFO_2A driver{};
  driver.cVersion = 3;
  driver.pName = driverName.data();
  driver.pDriverPath = driverPath.data();
  driver.pDataFile = dataFile.data();
  driver.pConfigFile = configFile.data();
  if (!AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&driver))) {
    error = SetupFailure("the driver");
    return false;
  }

  std::string printerName = kDefaultPrinterName;
  std::string port = machine.port;
  PRINTER_INFO_2A info{};
  info.pPrinterName = printerName.data();
  info.pPortName = port.data();
  info.pDriverName = driverName.data();
  kvt::ScopedPrinter printer(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
  if (!printer) {
    error = SetupFailure("the printer");
    return false;
  }
  return AddForms(printer.get(), machine.language, error) && SetTrayData(printer.get(), machine.trayPaper, error);
}

bool LoadSavedMachine(const std::string &dir, Language language, std::string &error) {
  platform::ResetMachine();
  std::string reason;
  if (!platform::LoadMachine(dir, &reason)) {
    error = "cannot load the machine in " + dir + ": " + reason;
    return false;
  }
  platform::SetUserDefaultLangID(LanguageId(language));
  return true;
}

kvt::ScopedPrinter OpenPrinterForJob(const std::string &name, std::string &error) {
  std::vector<WCHAR> wide = WideBuffer(text::Utf8ToUtf16(name));
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ACCESS_USE};
  kvt::ScopedPrinter printer;
  if (!OpenPrinterW(wide.data(), printer.receive(), &defaults)) {
    error = "cannot open the printer \"" + name + "\": " + text::ReasonOfWin32(GetLastError());
  }
  return printer;
}

}  // namespace kvt::print
