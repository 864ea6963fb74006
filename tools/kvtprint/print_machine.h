// The machine that kvtprint prints on: either a fresh built-in one, set up
// as the printer package's installer would leave it (driver, printer,
// localized spooler forms, tray data), or one loaded from a folder.
#pragma once

#include <winspool.h>

#include <scoped_handle.h>

#include <string>

#include "paper_catalog.h"

namespace kvt::print {

inline constexpr const char *kDefaultPrinterName = "KVT-RZ4";

struct BuiltInMachine {
  Language language = Language::English;
  PaperKind trayPaper = PaperKind::Postcard;  // what "TrayFormTable" reports
  std::string port = "LPT1:";
};

// Resets the machine and installs the driver "KVT-RZ4" and the printer
// "KVT-RZ4" on `port`, the three spooler forms under their names in the
// user's language, and the tray data values.
bool PrepareBuiltInMachine(const BuiltInMachine &machine, std::string &error);

// Resets the machine, loads the one saved in `dir` and sets the user
// language.
bool LoadSavedMachine(const std::string &dir, Language language, std::string &error);

// Opens a printer for printing.
kvt::ScopedPrinter OpenPrinterForJob(const std::string &name, std::string &error);

}  // namespace kvt::print
