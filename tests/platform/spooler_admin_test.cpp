// The spooler's administration calls: EnumPrintersA's size protocol and
// packing, a printer deleted while handles are open, the refusals of driver
// and monitor deletion, and the stopped service. Each case starts from a
// fresh machine with the last error primed with 0xdeadbeef.
#include <gtest/gtest.h>
#include <platform/testing.h>
#include <winspool.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr DWORD kUnset = 0xdeadbeef;
constexpr BYTE kPattern = 0xCC;
const char kDriver[] = "KVT Test Driver";

LPSTR Text(const char *text) { return const_cast<LPSTR>(text); }

class SpoolerAdminTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    DRIVER_INFO_2A info{3, Text(kDriver), nullptr, Text("KVTRZ4PR.dll"), Text("KVTRZ4.gpd"), Text("KVTRZ4UI.dll")};
    ASSERT_TRUE(AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    std::ofstream(platform::DriveCFolder() + "/WINDOWS/system32/kvtmon.dll") << "MZ";
    SetLastError(kUnset);
  }
  void TearDown() override { platform::ResetMachine(); }

  static void AddPrinter(const char *name, const char *port = "LPT1:") {
    PRINTER_INFO_2A info{};
    info.pPrinterName = Text(name);
    info.pPortName = Text(port);
    info.pDriverName = Text(kDriver);
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(printer, nullptr) << name << " error " << GetLastError();
    ClosePrinter(printer);
  }
  static HANDLE Open(const char *name, DWORD access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    OpenPrinterA(Text(name), &printer, &defaults);
    return printer;
  }
  static DWORD Needed(DWORD level = 2) {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, level, nullptr, 0, &needed, &returned);
    return needed;
  }
  static void ExpectError(BOOL result, DWORD error, const char *what) {
    EXPECT_FALSE(result) << what;
    EXPECT_EQ(GetLastError(), error) << what;
    SetLastError(kUnset);
  }
};

TEST_F(SpoolerAdminTest, EnumPrintersSizeProtocolAndPacking) {
  AddPrinter("First");
  AddPrinter("Second");
  // Ten strings a record: name, share, port, driver, comment, location,
  // separator page, print processor, datatype, parameters.
  const DWORD strings = (6 + 1 + 6 + 16 + 1 + 1 + 1 + 9 + 4 + 1) + (7 + 1 + 6 + 16 + 1 + 1 + 1 + 9 + 4 + 1);
  const DWORD needed = Needed();
  EXPECT_EQ(needed, 2 * sizeof(PRINTER_INFO_2A) + strings);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  std::vector<BYTE> buffer(needed + 16, kPattern);
  DWORD reported = 0, returned = 77;
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed - 1, &reported, &returned));
  EXPECT_EQ(returned, 0u);
  EXPECT_EQ(std::vector<BYTE>(buffer.size(), kPattern), buffer) << "a refused call writes nothing";

  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(), needed + 8,
                            &reported, &returned));
  ASSERT_EQ(returned, 2u);
  const auto *records = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
  EXPECT_STREQ(records[1].pPrinterName, "Second");
  EXPECT_STREQ(records[1].pDriverName, kDriver);
  EXPECT_EQ(records[1].pServerName, nullptr);
  // Strings end exactly at the size given, right after the records' room.
  EXPECT_EQ(reinterpret_cast<const BYTE *>(records[0].pPrinterName), buffer.data() + needed + 8 - 6);
  EXPECT_EQ(buffer[needed + 8], kPattern);
}

TEST_F(SpoolerAdminTest, DeletedPrinterLivesOnThroughOpenHandlesOnly) {
  AddPrinter("Going");
  HANDLE job = Open("Going", PRINTER_ACCESS_USE), admin = Open("Going");
  DOC_INFO_1W doc{const_cast<LPWSTR>(L"doc"), nullptr, nullptr};
  const DWORD jobId = StartDocPrinterW(job, 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(jobId, 0u);
  ExpectError(DeletePrinter(job), ERROR_ACCESS_DENIED, "a handle for printing may not delete");
  ASSERT_TRUE(DeletePrinter(admin));
  EXPECT_EQ(Needed(), 0u) << "gone from the list at once";
  EXPECT_EQ(Open("Going"), nullptr) << "and from opening by name";
  ExpectError(DeletePrinterDriverA(nullptr, nullptr, Text(kDriver)), ERROR_PRINTER_DRIVER_IN_USE, "still used");
  DWORD written = 0;
  EXPECT_TRUE(WritePrinter(job, Text("late"), 4, &written)) << "an open job keeps printing";
  EXPECT_TRUE(ClosePrinter(admin));
  AddPrinter("Going");  // the name is free while the old printer waits
  EXPECT_TRUE(ClosePrinter(job));
  EXPECT_EQ(platform::JobOutput(jobId).size(), 4u);
  EXPECT_EQ(platform::Live().printerHandles, 0u);
  ExpectError(DeletePrinter(nullptr), ERROR_INVALID_HANDLE, "null handle");
  HANDLE fresh = Open("Going");
  ASSERT_TRUE(DeletePrinter(fresh) && ClosePrinter(fresh));
  EXPECT_TRUE(DeletePrinterDriverA(nullptr, Text("windows nt x86"), Text("kvt test DRIVER"))) << "now unused";
}

TEST_F(SpoolerAdminTest, DriverAndMonitorRefusals) {
  ExpectError(DeletePrinterDriverA(nullptr, nullptr, Text("")), ERROR_UNKNOWN_PRINTER_DRIVER, "empty driver");
  ExpectError(DeletePrinterDriverA(nullptr, nullptr, nullptr), RPC_X_NULL_REF_POINTER, "null driver");
  ExpectError(DeletePrinterDriverA(nullptr, Text("Windows x64"), Text(kDriver)), ERROR_UNKNOWN_PRINTER_DRIVER,
              "other environment");

  MONITOR_INFO_2A monitor{Text("KVT Monitor"), nullptr, Text("missing.dll")};
  ExpectError(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)), ERROR_MOD_NOT_FOUND, "no DLL");
  monitor.pDLLName = Text("kvtmon.dll");
  ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)));
  monitor.pName = Text("kvt MONITOR");
  ExpectError(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)), ERROR_PRINT_MONITOR_ALREADY_INSTALLED,
              "duplicate");
  ASSERT_TRUE(platform::AddMonitorPort("KVT Monitor", "USB001"));
  AddPrinter("On USB", "USB001");
  ExpectError(DeleteMonitorA(nullptr, nullptr, nullptr), ERROR_INVALID_PARAMETER, "null monitor");
  ExpectError(DeleteMonitorA(nullptr, nullptr, Text("Nobody")), ERROR_UNKNOWN_PRINT_MONITOR, "unknown");
  ExpectError(DeleteMonitorA(nullptr, nullptr, Text("KVT Monitor")), ERROR_PRINT_MONITOR_IN_USE, "in use");
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, Text("Local Port"))) << "no printer on its ports";
  ExpectError(platform::AddLocalPort("LPT7:"), ERROR_UNKNOWN_PRINT_MONITOR, "Local Port is gone");
}

TEST_F(SpoolerAdminTest, StoppedSpoolerFailsEveryKindOfCallUntilStarted) {
  AddPrinter("Solo");
  HANDLE printer = Open("Solo");
  platform::SetSpoolerRunning(false);
  BYTE buffer[64];
  DWORD needed = 0, returned = 0;
  const DWORD stopped = RPC_S_SERVER_UNAVAILABLE;
  ExpectError(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, 64, &needed, &returned), stopped, "enumerate");
  ExpectError(Open("Solo") != nullptr, stopped, "open");
  ExpectError(DeletePrinter(printer), stopped, "delete");
  ExpectError(ClosePrinter(printer), stopped, "close");
  ExpectError(StartDocPrinterW(printer, 1, nullptr) != 0, stopped, "document");
  EXPECT_EQ(GetPrinterDataW(printer, nullptr, nullptr, buffer, 64, &needed), stopped) << "returned, not set";
  platform::SetSpoolerRunning(true);
  EXPECT_TRUE(ClosePrinter(printer)) << "the handle outlived the stop";
  EXPECT_EQ(Needed(), sizeof(PRINTER_INFO_2A) + 5 + 1 + 6 + 16 + 1 + 1 + 1 + 9 + 4 + 1);
  platform::SetSpoolerRunning(false);
  platform::ResetMachine();
  SetLastError(kUnset);
  EXPECT_EQ(Needed(), 0u) << "a reset starts the service";
  EXPECT_EQ(GetLastError(), kUnset);
}

}  // namespace
