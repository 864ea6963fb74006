// The printer exports against failures that only the platform layer can
// stage: a stopped spooler, a printer that cannot be opened, enumeration
// buffers that cannot be had, and monitors with ports in use.
#include <platform/testing.h>

#include <string>

#include "printer_machine.h"

namespace setup_test {
namespace {

using PrinterFaults = PrinterTest;

TEST_F(PrinterFaults, StoppedSpoolerGivesMinusOneOrZeroAfterOneErrorLine) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  platform::SetSpoolerRunning(false);
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), -1);
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 0);
  EXPECT_EQ(KVT_DeletePrinterDriver(kTestDriver), 0);
  const std::string stopped = Err(RPC_S_SERVER_UNAVAILABLE);
  EXPECT_EQ(LinesOfRun(), "KVT_DeleteAllPrinter(KVT Test Driver)\r\n" + stopped +
                              "KVT_FindPrinter(KVT Test Driver)\r\n" + stopped +
                              "DeletePrinterDriver(KVT Test Driver)\r\n" + stopped);
  platform::SetSpoolerRunning(true);
  EXPECT_TRUE(PrinterExists("KVT Test A"));
}

TEST_F(PrinterFaults, UnopenablePrinterIsDeletedThroughTheNullHandleAndFails) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  platform::FailNthCall(platform::Fault::OpenPrinter, 1);
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 0);
  EXPECT_EQ(LinesOfRun(),
            "KVT_DeleteAllPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n"
            "DeletePrinter(KVT Test A)\r\n" +
                Err(ERROR_INVALID_HANDLE));
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_EQ(platform::Live().printerHandles, 0u);
}

// A printer that stays behind makes the whole deletion a failure, even when
// the last printer of the driver went without trouble.
TEST_F(PrinterFaults, EarlierFailureIsNotHiddenByALaterSuccess) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test B", kTestDriver));
  platform::FailNthCall(platform::Fault::OpenPrinter, 1);
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 0);
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_FALSE(PrinterExists("KVT Test B"));
  const std::string log = LinesOfRun();
  EXPECT_NE(log.find("DeletePrinter(KVT Test B)\r\n-->Success\r\n"), std::string::npos) << log;
}

TEST_F(PrinterFaults, FirstBufferMissingIsRetriedSilentlyWithTheSameSize) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  StartLoggingRun();
  platform::FailNthCall(platform::Fault::HeapAlloc, 1);
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 1);
  EXPECT_EQ(LinesOfRun(), "KVT_FindPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n");
}

TEST_F(PrinterFaults, SecondBufferMissingEndsWithOneErrorLineAndNoDeletion) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  const std::string padding(200, 'x');
  for (int i = 0; i < 40; ++i) {
    ASSERT_TRUE(AddTestPrinter("KVT Test " + std::to_string(i) + padding, kTestDriver));
  }
  StartLoggingRun();
  platform::FailNthCall(platform::Fault::HeapAlloc, 2);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 0);
  platform::FailNthCall(platform::Fault::HeapAlloc, 2);
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 0);
  const std::string noMemory = Err(ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(LinesOfRun(),
            "KVT_DeleteAllPrinter(KVT Test Driver)\r\n" + noMemory + "KVT_FindPrinter(KVT Test Driver)\r\n" + noMemory);
  EXPECT_EQ(LocalPrinters().size(), 40u);
}

TEST_F(PrinterFaults, MonitorWithAPortInUseStaysAndGoesWithItsPortsOnceFree) {
  WriteFileBytes("C:\\WINDOWS\\system32\\kvtmon.dll", "MZ");
  MONITOR_INFO_2A monitor = {const_cast<LPSTR>("KVT Test Monitor"), NULL, const_cast<LPSTR>("kvtmon.dll")};
  ASSERT_TRUE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&monitor)));
  ASSERT_TRUE(platform::AddMonitorPort("KVT Test Monitor", "KVTUSB001"));
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>("KVT Test A");
  info.pPortName = const_cast<LPSTR>("KVTUSB001");
  info.pDriverName = const_cast<LPSTR>(kTestDriver);
  HANDLE printer = AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info));
  ASSERT_NE(printer, nullptr);
  ClosePrinter(printer);

  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteMonitor("KVT Test Monitor"), 0);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 1);
  EXPECT_NE(KVT_DeleteMonitor("kvt test monitor"), 0);
  EXPECT_EQ(KVT_DeleteMonitor("KVT Test Monitor"), 0);
  EXPECT_EQ(LinesOfRun(), "DeleteMonitor(KVT Test Monitor)\r\n" + Err(ERROR_PRINT_MONITOR_IN_USE) +
                              "KVT_DeleteAllPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n"
                              "DeletePrinter(KVT Test A)\r\n-->Success\r\n"
                              "DeleteMonitor(kvt test monitor)\r\n-->Success\r\n"
                              "DeleteMonitor(KVT Test Monitor)\r\n" +
                              Err(ERROR_UNKNOWN_PRINT_MONITOR));
  EXPECT_FALSE(platform::AddMonitorPort("KVT Test Monitor", "KVTUSB002")) << "the monitor is gone";
  info.pPrinterName = const_cast<LPSTR>("KVT Test B");
  EXPECT_EQ(AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info)), nullptr) << "its port went with it";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
}

}  // namespace
}  // namespace setup_test
