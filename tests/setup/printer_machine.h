// Printers and drivers for the printer tests, made the same way on both
// machines: a driver whose files are staged in the printer driver folder
// first (Windows copies them from there), printers on the "FILE:" port.
// Everything a case makes is named "KVT Test ..." and removed before and
// after each case, since a Windows machine keeps its printers between runs.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

#include "setup_run_fixture.h"

namespace setup_test {

inline constexpr char kTestDriver[] = "KVT Test Driver";
inline constexpr char kOtherTestDriver[] = "KVT Test Other Driver";

// The driver of that name, with the stand-in configuration DLL.
bool AddTestDriver(const std::string &name);
// A printer on the "FILE:" port using `driver`; the handle AddPrinterA
// gives is closed again.
bool AddTestPrinter(const std::string &name, const std::string &driver);

struct LocalPrinter {
  std::string name;
  std::string driver;
};
// The local printers as EnumPrintersA lists them, in its order.
std::vector<LocalPrinter> LocalPrinters();
bool PrinterExists(const std::string &name);

// Deletes every printer named "KVT Test ..." and then both test drivers.
void RemoveTestPrinters();

class PrinterTest : public SetupRunTest {
 protected:
  void SetUp() override {
    SetupRunTest::SetUp();
    RemoveTestPrinters();
  }
  void TearDown() override {
    RemoveTestPrinters();
    SetupRunTest::TearDown();
  }

  // Cases that show the whole printer list in the log need a machine with
  // no printers but their own.
  bool MachineHasForeignPrinters() { return !LocalPrinters().empty(); }

  static std::string Err(DWORD code) {
    return "-->Error(" + std::to_string(code) + "):" + SystemMessage(code) + "\r\n";
  }
};

}  // namespace setup_test
