// The printer exports against failures that only the platform layer can
// stage: a stopped spooler, a printer that cannot be opened, enumeration
// buffers that cannot be had, and a monitor whose port a printer uses.
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
  const std::string stopped = Err(RPC_S_SERVER_UNAVAILABLE);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_DeleteAllPrinter(KVT Test Driver)\r\n" + stopped +
                                          "KVT_FindPrinter(KVT Test Driver)\r\n" + stopped));
  platform::SetSpoolerRunning(true);
  EXPECT_TRUE(PrinterExists("KVT Test A"));
}

// The first printer cannot be opened: its deletion goes to the null handle
// and fails. The second is deleted, but the result still reports the
// printer left behind.
TEST_F(PrinterFaults, UnopenablePrinterFailsAndALaterSuccessDoesNotHideIt) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test B", kTestDriver));
  platform::FailNthCall(platform::Fault::OpenPrinter, 1);
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(),
                        "KVT_DeleteAllPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n"
                        "DeletePrinter(KVT Test A)\r\n" +
                            Err(ERROR_INVALID_HANDLE) +
                            "  001:KVT Test B(KVT Test Driver)\r\nDeletePrinter(KVT Test B)\r\n-->Success\r\n"));
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_FALSE(PrinterExists("KVT Test B"));
  EXPECT_EQ(platform::Live().printerHandles, 0u);
}

// Without a first buffer the enumeration is retried with 8,192 bytes, and
// silently; without the second, the error line is the only trace.
TEST_F(PrinterFaults, EnumerationBuffersThatCannotBeHad) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  StartLoggingRun();
  platform::FailNthCall(platform::Fault::HeapAlloc, 1);
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 1);
  for (int i = 0; i < 40; ++i)
    ASSERT_TRUE(AddTestPrinter("KVT Test " + std::string(200, 'x') + "0" + std::to_string(i), kTestDriver));
  platform::FailNthCall(platform::Fault::HeapAlloc, 2);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(),
                        "KVT_FindPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n"
                        "KVT_DeleteAllPrinter(KVT Test Driver)\r\n" +
                            Err(ERROR_NOT_ENOUGH_MEMORY)));
  EXPECT_EQ(LocalPrinters().size(), 41u);
}

TEST_F(PrinterFaults, MonitorWithAPortInUseStaysUntilThePrinterIsGone) {
  WriteFileBytes("C:\\WINDOWS\\system32\\kvtmon.dll", "MZ");
  MONITOR_INFO_2A monitor = {const_cast<LPSTR>("KVT Test Monitor"), NULL, const_cast<LPSTR>("kvtmon.dll")};
  ASSERT_TRUE(AddMonitorA(NULL, 2, reinterpret_cast<LPBYTE>(&monitor)));
  ASSERT_TRUE(platform::AddMonitorPort("KVT Test Monitor", "KVTUSB001"));
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  PRINTER_INFO_2A info = {};
  info.pPrinterName = const_cast<LPSTR>("KVT Test A");
  info.pPortName = const_cast<LPSTR>("KVTUSB001");
  info.pDriverName = const_cast<LPSTR>(kTestDriver);
  ASSERT_TRUE(ClosePrinter(AddPrinterA(NULL, 2, reinterpret_cast<LPBYTE>(&info))));
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteMonitor("KVT Test Monitor"), 0);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 1);
  EXPECT_NE(KVT_DeleteMonitor("KVT Test Monitor"), 0);
  EXPECT_TRUE(
      SameLines(LinesOfRun(), "DeleteMonitor(KVT Test Monitor)\r\n" + Err(ERROR_PRINT_MONITOR_IN_USE) +
                                  "KVT_DeleteAllPrinter(KVT Test Driver)\r\n  000:KVT Test A(KVT Test Driver)\r\n"
                                  "DeletePrinter(KVT Test A)\r\n-->Success\r\nDeleteMonitor(KVT Test Monitor)\r\n"
                                  "-->Success\r\n"));
}

}  // namespace
}  // namespace setup_test
