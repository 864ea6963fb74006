// The printer, driver and monitor exports on a real spooler: the exact log
// of listing and deleting printers, first-match and letter-case rules, the
// enumeration retry with a list larger than the first buffer, and the
// spooler's refusals passed through as results and error lines.
#include <cstdio>

#include "printer_machine.h"

namespace setup_test {
namespace {

using Printers = PrinterTest;

std::string PrinterLine(int index, const std::string &name, const std::string &driver) {
  char number[8];
  std::snprintf(number, sizeof(number), "%03d", index);
  return std::string("  ") + number + ":" + name + "(" + driver + ")\r\n";
}

TEST_F(Printers, NullArgumentsReturnZeroAndLogNothing) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  StartLoggingRun();
  EXPECT_EQ(KVT_FindPrinter(NULL), 0);
  EXPECT_EQ(KVT_DeleteAllPrinter(NULL), 0);
  EXPECT_EQ(KVT_DeletePrinterDriver(NULL), 0);
  EXPECT_EQ(KVT_DeleteMonitor(NULL), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), ""));
  EXPECT_TRUE(PrinterExists("KVT Test A"));
}

TEST_F(Printers, NoPrintersGiveOnlyTheEntryLines) {
  if (MachineHasForeignPrinters()) GTEST_SKIP() << "this machine has printers of its own";
  StartLoggingRun();
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 0);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 1);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_FindPrinter(KVT Test Driver)\r\nKVT_DeleteAllPrinter(KVT Test Driver)\r\n"));
}

TEST_F(Printers, EmptyDriverNameListsEveryPrinterAndMatchesNone) {
  if (MachineHasForeignPrinters()) GTEST_SKIP() << "this machine has printers of its own";
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test B", kTestDriver));
  StartLoggingRun();
  EXPECT_EQ(KVT_FindPrinter(""), 0);
  EXPECT_EQ(KVT_DeleteAllPrinter(""), 1);
  const std::string list = PrinterLine(0, "KVT Test A", kTestDriver) + PrinterLine(1, "KVT Test B", kTestDriver);
  EXPECT_TRUE(SameLines(LinesOfRun(), "KVT_FindPrinter()\r\n" + list + "KVT_DeleteAllPrinter()\r\n" + list));
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_TRUE(PrinterExists("KVT Test B"));
}

TEST_F(Printers, EveryPrinterOfTheDriverIsDeletedAndLoggedInOrder) {
  if (MachineHasForeignPrinters()) GTEST_SKIP() << "this machine has printers of its own";
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestDriver(kOtherTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kOtherTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test B", kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test C", kTestDriver));
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 1);
  EXPECT_TRUE(SameLines(LinesOfRun(),
                        "KVT_DeleteAllPrinter(KVT Test Driver)\r\n" + PrinterLine(0, "KVT Test A", kOtherTestDriver) +
                            PrinterLine(1, "KVT Test B", kTestDriver) + "DeletePrinter(KVT Test B)\r\n-->Success\r\n" +
                            PrinterLine(2, "KVT Test C", kTestDriver) + "DeletePrinter(KVT Test C)\r\n-->Success\r\n"));
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_FALSE(PrinterExists("KVT Test B"));
  EXPECT_FALSE(PrinterExists("KVT Test C"));
}

// The first printer of the driver ends the search; the printer's own name
// is never a match.
TEST_F(Printers, FindStopsAtTheFirstPrinterOfTheDriver) {
  if (MachineHasForeignPrinters()) GTEST_SKIP() << "this machine has printers of its own";
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test B", kTestDriver));
  StartLoggingRun();
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 1);
  EXPECT_EQ(KVT_FindPrinter("KVT Test A"), 0);
  const std::string a = PrinterLine(0, "KVT Test A", kTestDriver), b = PrinterLine(1, "KVT Test B", kTestDriver);
  EXPECT_TRUE(
      SameLines(LinesOfRun(), "KVT_FindPrinter(KVT Test Driver)\r\n" + a + "KVT_FindPrinter(KVT Test A)\r\n" + a + b));
}

TEST_F(Printers, DriverNamesDifferingInLetterCaseDoNotMatch) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  EXPECT_EQ(KVT_FindPrinter("KVT TEST DRIVER"), 0);
  EXPECT_EQ(KVT_FindPrinter("KVT Test Driver "), 0) << "nothing is trimmed";
  EXPECT_EQ(KVT_DeleteAllPrinter("kvt test driver"), 1);
  EXPECT_TRUE(PrinterExists("KVT Test A"));
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 1);
}

// Long names make the list outgrow the first 8,192-byte buffer; the retry
// with the reported size is silent and sees every printer.
TEST_F(Printers, ListLargerThanTheFirstBufferIsReadWhole) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestDriver(kOtherTestDriver));
  const std::string padding(150, 'x');
  const int count = 40;
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) {
    char number[8];
    std::snprintf(number, sizeof(number), "%02d ", i);
    names.push_back(std::string("KVT Test ") + number + padding);
    ASSERT_TRUE(AddTestPrinter(names.back(), i + 1 == count ? kOtherTestDriver : kTestDriver)) << i;
  }
  DWORD needed = 0, returned = 0;
  EnumPrintersA(PRINTER_ENUM_LOCAL, NULL, 2, NULL, 0, &needed, &returned);
  ASSERT_GT(needed, 8192u) << "the list must not fit the first buffer";

  StartLoggingRun();
  EXPECT_EQ(KVT_FindPrinter(kOtherTestDriver), 1);
  EXPECT_EQ(KVT_DeleteAllPrinter(kTestDriver), 1);
  const std::string log = LinesOfRun();
  EXPECT_EQ(log.find("-->Error"), std::string::npos) << log;
  for (const std::string &name : names) EXPECT_NE(log.find(name), std::string::npos) << name;
  for (int i = 0; i + 1 < count; ++i) EXPECT_FALSE(PrinterExists(names[i])) << i;
  EXPECT_TRUE(PrinterExists(names.back()));
}

TEST_F(Printers, UnusedDriverIsDeleted) {
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  StartLoggingRun();
  EXPECT_NE(KVT_DeletePrinterDriver(kTestDriver), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeletePrinterDriver(KVT Test Driver)\r\n-->Success\r\n"));
}

TEST_F(Printers, DriverInUseStaysInstalled) {
  if (UnderWine()) GTEST_SKIP() << "Wine deletes a driver that a printer still uses (Windows: 3001)";
  ASSERT_TRUE(AddTestDriver(kTestDriver));
  ASSERT_TRUE(AddTestPrinter("KVT Test A", kTestDriver));
  StartLoggingRun();
  EXPECT_EQ(KVT_DeletePrinterDriver(kTestDriver), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeletePrinterDriver(KVT Test Driver)\r\n" + Err(ERROR_PRINTER_DRIVER_IN_USE)));
  EXPECT_EQ(KVT_FindPrinter(kTestDriver), 1);
}

TEST_F(Printers, UnknownOrEmptyDriverNameIsRefused) {
  if (UnderWine()) GTEST_SKIP() << "Wine fails without a last error for an unknown driver, and takes \"\" for all";
  StartLoggingRun();
  EXPECT_EQ(KVT_DeletePrinterDriver(kTestDriver), 0);
  EXPECT_EQ(KVT_DeletePrinterDriver(""), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeletePrinterDriver(KVT Test Driver)\r\n" + Err(ERROR_UNKNOWN_PRINTER_DRIVER) +
                                          "DeletePrinterDriver()\r\n" + Err(ERROR_UNKNOWN_PRINTER_DRIVER)));
}

TEST_F(Printers, UnknownOrEmptyMonitorNameIsRefused) {
  StartLoggingRun();
  EXPECT_EQ(KVT_DeleteMonitor("KVT Test Monitor"), 0);
  EXPECT_EQ(KVT_DeleteMonitor(""), 0);
  EXPECT_TRUE(SameLines(LinesOfRun(), "DeleteMonitor(KVT Test Monitor)\r\n" + Err(ERROR_UNKNOWN_PRINT_MONITOR) +
                                          "DeleteMonitor()\r\n" + Err(ERROR_INVALID_PARAMETER)));
}

}  // namespace
}  // namespace setup_test
