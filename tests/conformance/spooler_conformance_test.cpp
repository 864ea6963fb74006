// The spooler's refusals as Windows gives them, for calls that need no
// printer of their own. The same cases run against the platform layer on
// Linux and against the system under Wine.
#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include "conformance_fixture.h"

namespace {

constexpr DWORD kUnset = 0xdeadbeef;

LPSTR Text(const char *text) { return const_cast<LPSTR>(text); }

class SpoolerConformance : public ConformanceTest {
 protected:
  static void ExpectError(BOOL result, DWORD error, const char *what) {
    EXPECT_FALSE(result) << what;
    EXPECT_EQ(GetLastError(), error) << what;
    SetLastError(kUnset);
  }
};

TEST_F(SpoolerConformance, HandlesAndNamesThatAreNotThere) {
  SetLastError(kUnset);
  ExpectError(DeletePrinter(nullptr), ERROR_INVALID_HANDLE, "DeletePrinter(NULL)");
  ExpectError(ClosePrinter(nullptr), ERROR_INVALID_HANDLE, "ClosePrinter(NULL)");
  HANDLE printer = reinterpret_cast<HANDLE>(1);
  ExpectError(OpenPrinterA(Text("KVT No Such Printer"), &printer, nullptr), ERROR_INVALID_PRINTER_NAME, "open");
  EXPECT_EQ(printer, nullptr);
  ExpectError(DeleteMonitorA(nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER, "null monitor");
  ExpectError(DeleteMonitorA(nullptr, nullptr, Text("")), ERROR_INVALID_PARAMETER, "empty monitor");
  ExpectError(DeleteMonitorA(nullptr, nullptr, Text("KVT No Such Monitor")), ERROR_UNKNOWN_PRINT_MONITOR, "monitor");
  DWORD needed = 0, returned = 0;
  ExpectError(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, nullptr, 0, &needed, &returned), ERROR_INVALID_LEVEL,
              "level 3");
}

TEST_F(SpoolerConformance, UnknownDriverIsNotDeleted) {
  if (underWine_) GTEST_SKIP() << "Wine fails without setting a last error";
  SetLastError(kUnset);
  ExpectError(DeletePrinterDriverA(nullptr, nullptr, Text("KVT No Such Driver")), ERROR_UNKNOWN_PRINTER_DRIVER, "");
}

TEST_F(SpoolerConformance, EnumerationWithoutASizeOutputIsRefused) {
  if (underWine_) GTEST_SKIP() << "Wine's EnumPrintersA writes through the null size pointer and crashes";
  BYTE buffer[64];
  DWORD returned = 0;
  SetLastError(kUnset);
  ExpectError(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, sizeof(buffer), nullptr, &returned),
              RPC_X_NULL_REF_POINTER, "null size");
}

}  // namespace
