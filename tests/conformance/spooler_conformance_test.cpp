// The spooler's refusals as Windows gives them, for calls that need no
// printer of their own: null handles, unknown names, bad levels and the
// size protocol of an enumeration. The same cases run against the platform
// layer on Linux and against the system under Wine.
#include <windows.h>
#include <winspool.h>

#ifndef _WIN32
#include <platform/testing.h>
#endif

#include <gtest/gtest.h>

#include <vector>

namespace {

constexpr DWORD kUnset = 0xdeadbeef;
constexpr BYTE kPattern = 0xA5;

LPSTR Text(const char *text) { return const_cast<LPSTR>(text); }

class SpoolerConformance : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    underWine_ = ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    platform::ResetMachine();
#endif
    SetLastError(kUnset);
  }

  bool underWine_ = false;
};

TEST_F(SpoolerConformance, NullPrinterHandlesAreInvalid) {
  EXPECT_FALSE(DeletePrinter(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kUnset);
  EXPECT_FALSE(ClosePrinter(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerConformance, UnknownPrinterCannotBeOpened) {
  HANDLE printer = reinterpret_cast<HANDLE>(1);
  PRINTER_DEFAULTSA defaults = {nullptr, nullptr, PRINTER_ALL_ACCESS};
  EXPECT_FALSE(OpenPrinterA(Text("KVT No Such Printer"), &printer, &defaults));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_EQ(printer, nullptr);
}

TEST_F(SpoolerConformance, MonitorDeletionNeedsANameThatIsInstalled) {
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kUnset);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kUnset);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("KVT No Such Monitor")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
}

TEST_F(SpoolerConformance, UnknownDriverIsNotDeleted) {
  if (underWine_) GTEST_SKIP() << "Wine fails without setting a last error";
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, Text("KVT No Such Driver")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
}

TEST_F(SpoolerConformance, EnumerationSizeProtocol) {
  DWORD needed = kUnset, returned = kUnset;
  const BOOL fitted = EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
  if (fitted) {
    EXPECT_EQ(needed, 0u) << "only an empty list fits no buffer";
  } else {
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_GE(needed, sizeof(PRINTER_INFO_2A));
  }
  EXPECT_EQ(returned, 0u);

  std::vector<BYTE> buffer(needed + 64, kPattern);
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned));
  EXPECT_EQ(buffer[needed], kPattern) << "nothing written past the given size";
  SetLastError(kUnset);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 3, buffer.data(), buffer.size(), &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolerConformance, EnumerationWithoutASizeOutputIsRefused) {
  if (underWine_) GTEST_SKIP() << "Wine's EnumPrintersA reads through the null size pointer and crashes";
  BYTE buffer[64];
  DWORD returned = kUnset;
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, sizeof(buffer), nullptr, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_X_NULL_REF_POINTER));
}

}  // namespace
