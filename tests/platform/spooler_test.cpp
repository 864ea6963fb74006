// Conformance tests of the spooler subset: drivers, printers and their
// handles, per-printer data, forms, jobs and the saved machine. Each case
// starts from a fresh machine; the last error is primed with 0xdeadbeef and
// output buffers with a pattern, so that overruns and stale codes show.
#include <gtest/gtest.h>
#include <platform/spooler_internal.h>
#include <platform/testing.h>
#include <winspool.h>

#include "../../platform/kernel/text.h"

#include <unistd.h>

#include <array>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr unsigned char kPattern = 0xCC;
const char kDriverName[] = "KVT Test Driver";

std::string Utf8(const WCHAR *text) { return platform::ToUtf8(platform::WideText(text)); }

std::vector<uint8_t> ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Bytes(const char *text) { return std::vector<uint8_t>(text, text + std::strlen(text)); }

class SpoolerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ResetMachine();
    static int serial = 0;
    dir_ =
        fs::temp_directory_path() / ("kvt-spooler-test-" + std::to_string(::getpid()) + "-" + std::to_string(++serial));
    fs::create_directories(dir_);
  }

  void TearDown() override {
    platform::ResetMachine();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  static BOOL AddDriver(const char *name = kDriverName) {
    DRIVER_INFO_2A info{};
    info.cVersion = 3;
    info.pName = const_cast<LPSTR>(name);
    info.pDriverPath = const_cast<LPSTR>("KVTRZ4PR.dll");
    info.pDataFile = const_cast<LPSTR>("KVTRZ4.gpd");
    info.pConfigFile = const_cast<LPSTR>("KVTRZ4UI.dll");
    return AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }

  static HANDLE AddPrinter(const char *name, const char *port = "LPT1:", const char *driver = kDriverName) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<LPSTR>(name);
    info.pPortName = const_cast<LPSTR>(port);
    info.pDriverName = const_cast<LPSTR>(driver);
    info.pPrintProcessor = const_cast<LPSTR>("WinPrint");
    return AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }

  // A printer on `port` with an administrator handle that the test owns.
  HANDLE NewPrinter(const char *port = "LPT1:") {
    EXPECT_TRUE(AddDriver());
    HANDLE printer = AddPrinter("KVT-RZ4", port);
    EXPECT_NE(printer, nullptr);
    return printer;
  }

  static DWORD StartDoc(HANDLE printer, const WCHAR *outputFile = nullptr, const WCHAR *datatype = L"RAW") {
    DOC_INFO_1W info{};
    info.pDocName = const_cast<LPWSTR>(L"Test page");
    info.pOutputFile = const_cast<LPWSTR>(outputFile);
    info.pDatatype = const_cast<LPWSTR>(datatype);
    return StartDocPrinterW(printer, 1, reinterpret_cast<LPBYTE>(&info));
  }

  static BOOL Write(HANDLE printer, const char *text, DWORD *written = nullptr) {
    DWORD count = 0xdeadbeef;
    const BOOL ok = WritePrinter(printer, const_cast<char *>(text), static_cast<DWORD>(std::strlen(text)), &count);
    if (written != nullptr) *written = count;
    return ok;
  }

  static std::u16string PathText(const fs::path &path) { return platform::AnsiToWide(path.string().c_str()); }

  fs::path dir_;
};

// --- Drivers and printers ------------------------------------------------------

TEST_F(SpoolerTest, AddPrinterChecksNamePortAndDriver) {
  ASSERT_TRUE(AddDriver());
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinter("P", "LPT1:", "No such driver"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinter("P", "LPT9:"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
  for (const char *bad : {"", "a,b", "a\\b"}) {
    SetLastError(kSentinelError);
    EXPECT_EQ(AddPrinter(bad), nullptr) << bad;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  }
  HANDLE printer = AddPrinter("KVT-RZ4", "lpt1:");
  ASSERT_NE(printer, nullptr) << "ports are case-insensitive";
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinter("kvt-rz4"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
  EXPECT_EQ(platform::Live().printerHandles, 1u);
  EXPECT_TRUE(ClosePrinter(printer));
  EXPECT_EQ(platform::Live().printerHandles, 0u);

  PRINTER_INFO_2A info{};
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinterA(nullptr, 1, reinterpret_cast<LPBYTE>(&info)), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinterA(nullptr, 2, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(SpoolerTest, AddPrinterDriverChecksLevelEnvironmentAndFiles) {
  DRIVER_INFO_3A info{};
  info.pName = const_cast<LPSTR>("KVT Level 3");
  info.pDriverPath = const_cast<LPSTR>("KVTRZ4PR.dll");
  info.pDataFile = const_cast<LPSTR>("KVTRZ4.gpd");
  info.pConfigFile = const_cast<LPSTR>("KVTRZ4UI.dll");
  info.pDependentFiles = const_cast<LPSTR>("KVTRZ4.ini\0KVTRZ4.icm\0");
  EXPECT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info))) << "adding again upgrades";

  SetLastError(kSentinelError);
  EXPECT_FALSE(AddPrinterDriverA(nullptr, 4, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  info.pEnvironment = const_cast<LPSTR>("Windows 3.1");
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  info.pEnvironment = nullptr;
  info.pConfigFile = nullptr;
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddPrinterDriverA(const_cast<LPSTR>("\\\\elsewhere"), 2, reinterpret_cast<LPBYTE>(&info)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));

  // A driver for another environment does not serve this machine's printers.
  DRIVER_INFO_2A x64{};
  x64.pName = const_cast<LPSTR>("KVT x64 only");
  x64.pEnvironment = const_cast<LPSTR>("Windows x64");
  x64.pDriverPath = x64.pDataFile = x64.pConfigFile = const_cast<LPSTR>("x.dll");
  EXPECT_TRUE(AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&x64)));
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinter("P", "LPT1:", "KVT x64 only"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
  HANDLE printer = AddPrinter("P", "LPT1:", "kvt level 3");
  EXPECT_NE(printer, nullptr);
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, OpenPrinterFindsNamesWithoutRegardToCase) {
  ASSERT_TRUE(AddDriver());
  HANDLE added = AddPrinter("Caf\xE9 KVT");  // code page 1252
  ASSERT_NE(added, nullptr);
  HANDLE wide = nullptr;
  EXPECT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"CAF\u00C9 kvt"), &wide, nullptr));
  EXPECT_NE(wide, nullptr);
  EXPECT_NE(wide, added) << "every open gives a handle of its own";
  HANDLE ansi = nullptr;
  EXPECT_TRUE(OpenPrinterA(const_cast<LPSTR>("caf\xC9 KVT"), &ansi, nullptr));
  EXPECT_EQ(platform::Live().printerHandles, 3u);

  HANDLE missing = INVALID_HANDLE_VALUE;
  SetLastError(kSentinelError);
  EXPECT_FALSE(OpenPrinterW(const_cast<LPWSTR>(L"Cafe KVT"), &missing, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  EXPECT_EQ(missing, nullptr);
  SetLastError(kSentinelError);
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("Caf\xE9 KVT"), nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  for (HANDLE handle : {added, wide, ansi}) EXPECT_TRUE(ClosePrinter(handle));
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), added, INVALID_HANDLE_VALUE}) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(ClosePrinter(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_EQ(platform::Live().printerHandles, 0u);
}

TEST_F(SpoolerTest, ResetClosesHandlesOfThePreviousMachine) {
  HANDLE printer = NewPrinter();
  platform::ResetMachine();
  EXPECT_EQ(platform::Live().printerHandles, 0u);
  SetLastError(kSentinelError);
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  HANDLE reopened = nullptr;
  EXPECT_FALSE(OpenPrinterA(const_cast<LPSTR>("KVT-RZ4"), &reopened, nullptr)) << "no printers on a fresh machine";
}

// --- Printer data ---------------------------------------------------------------

TEST_F(SpoolerTest, PrinterDataFollowsTheRegistrySizeProtocol) {
  HANDLE printer = NewPrinter();
  const DWORD kind = 2;
  ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), REG_BINARY,
                            reinterpret_cast<LPBYTE>(const_cast<DWORD *>(&kind)), sizeof(kind)),
            static_cast<DWORD>(ERROR_SUCCESS));

  std::array<BYTE, 8> buffer;
  buffer.fill(kPattern);
  DWORD type = 0xdeadbeef;
  DWORD needed = 0xdeadbeef;
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), &type, buffer.data(), 3, &needed),
            static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(needed, 4u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  for (BYTE byte : buffer) EXPECT_EQ(byte, kPattern) << "a short buffer is left alone";

  needed = 0xdeadbeef;
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), nullptr, nullptr, 0, &needed),
            static_cast<DWORD>(ERROR_MORE_DATA));
  EXPECT_EQ(needed, 4u);

  needed = 0xdeadbeef;
  EXPECT_EQ(
      GetPrinterDataW(printer, const_cast<LPWSTR>(L"trayformtable"), nullptr, buffer.data(), buffer.size(), &needed),
      static_cast<DWORD>(ERROR_SUCCESS))
      << "value names are case-insensitive; the type is optional";
  EXPECT_EQ(needed, 4u);
  DWORD read = 0;
  std::memcpy(&read, buffer.data(), sizeof(read));
  EXPECT_EQ(read, kind);
  EXPECT_EQ(buffer[4], kPattern);

  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormSize"), &type, buffer.data(), 4, &needed),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), &type, buffer.data(), 4, nullptr),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, PrinterDataOverwriteAndEmptyValues) {
  HANDLE printer = NewPrinter();
  BYTE block[] = {0x00, 0x04, 0x08, 0x00, 1, 2, 3, 4};
  ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"PrinterData"), REG_BINARY, block, sizeof(block)), 0u);
  DWORD size = 0;
  ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"PRINTERDATA"), REG_DWORD, reinterpret_cast<LPBYTE>(&size),
                            sizeof(size)),
            0u);
  DWORD type = 0;
  DWORD needed = 0;
  std::array<BYTE, 16> buffer;
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"PrinterData"), &type, buffer.data(), buffer.size(), &needed),
            0u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << "overwriting replaces type and size";
  EXPECT_EQ(needed, 4u);

  ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"Empty"), REG_SZ, nullptr, 0), 0u);
  needed = 0xdeadbeef;
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"Empty"), &type, nullptr, 0, &needed), 0u);
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"Bad"), REG_BINARY, nullptr, 4),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, PrinterDataNeedsAPrinterHandleAndAdministratorToWrite) {
  HANDLE admin = NewPrinter();
  DWORD value = 4;
  HANDLE user = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("KVT-RZ4"), &user, nullptr));
  EXPECT_EQ(SetPrinterDataW(user, const_cast<LPWSTR>(L"TrayFormSize"), REG_DWORD, reinterpret_cast<LPBYTE>(&value),
                            sizeof(value)),
            static_cast<DWORD>(ERROR_ACCESS_DENIED))
      << "a default open grants PRINTER_ACCESS_USE only";
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE full = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("KVT-RZ4"), &full, &defaults));
  EXPECT_EQ(SetPrinterDataW(full, const_cast<LPWSTR>(L"TrayFormSize"), REG_DWORD, reinterpret_cast<LPBYTE>(&value),
                            sizeof(value)),
            0u);
  DWORD needed = 0;
  DWORD read = 0;
  EXPECT_EQ(GetPrinterDataW(user, const_cast<LPWSTR>(L"TrayFormSize"), nullptr, reinterpret_cast<LPBYTE>(&read),
                            sizeof(read), &needed),
            0u)
      << "any handle reads";
  EXPECT_EQ(read, 4u);

  HANDLE server = nullptr;
  ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
  EXPECT_EQ(GetPrinterDataW(server, const_cast<LPWSTR>(L"TrayFormSize"), nullptr, reinterpret_cast<LPBYTE>(&read),
                            sizeof(read), &needed),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  for (HANDLE handle : {admin, user, full, server}) ClosePrinter(handle);
  EXPECT_EQ(GetPrinterDataW(user, const_cast<LPWSTR>(L"TrayFormSize"), nullptr, reinterpret_cast<LPBYTE>(&read),
                            sizeof(read), &needed),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(GetPrinterDataW(nullptr, const_cast<LPWSTR>(L"TrayFormSize"), nullptr, reinterpret_cast<LPBYTE>(&read),
                            sizeof(read), &needed),
            static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

// --- Forms -------------------------------------------------------------------------

// Enumerates the forms into a fresh buffer; nothing may be written past
// what the spooler said it needs.
std::vector<FORM_INFO_1W> EnumForms(HANDLE handle, std::vector<BYTE> &buffer) {
  DWORD needed = 0;
  DWORD count = 0xdeadbeef;
  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumFormsW(handle, 1, nullptr, 0, &needed, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(count, 0u);
  buffer.assign(needed + 64, kPattern);
  EXPECT_TRUE(EnumFormsW(handle, 1, buffer.data(), needed, &needed, &count));
  for (size_t i = needed; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], kPattern) << "written past cbBuf at " << i;
  std::vector<FORM_INFO_1W> forms(count);
  if (count != 0) std::memcpy(forms.data(), buffer.data(), count * sizeof(FORM_INFO_1W));
  for (const FORM_INFO_1W &form : forms) {
    const auto *name = reinterpret_cast<const BYTE *>(form.pName);
    EXPECT_GE(name, buffer.data() + count * sizeof(FORM_INFO_1W)) << "names follow the records";
    EXPECT_LT(name, buffer.data() + needed) << "names lie inside the buffer";
  }
  return forms;
}

TEST_F(SpoolerTest, FreshMachineHoldsTheStandardFormsInWindowsOrder) {
  HANDLE server = nullptr;
  ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
  std::vector<BYTE> buffer;
  const std::vector<FORM_INFO_1W> forms = EnumForms(server, buffer);
  struct Expected {
    const char *name;
    LONG cx, cy;
  };
  const Expected expected[] = {
      {"Letter", 215900, 279400},    {"Letter Small", 215900, 279400}, {"Tabloid", 279400, 431800},
      {"Ledger", 431800, 279400},    {"Legal", 215900, 355600},        {"Statement", 139700, 215900},
      {"Executive", 184150, 266700}, {"A3", 297000, 420000},           {"A4", 210000, 297000},
      {"A4 Small", 210000, 297000},  {"A5", 148000, 210000},
  };
  ASSERT_EQ(forms.size(), std::size(expected));
  for (size_t i = 0; i < forms.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(Utf8(forms[i].pName), expected[i].name);
    EXPECT_EQ(forms[i].Flags, static_cast<DWORD>(FORM_BUILTIN));
    EXPECT_EQ(forms[i].Size.cx, expected[i].cx);
    EXPECT_EQ(forms[i].Size.cy, expected[i].cy);
    EXPECT_EQ(forms[i].ImageableArea.left, 0);
    EXPECT_EQ(forms[i].ImageableArea.top, 0);
    EXPECT_EQ(forms[i].ImageableArea.right, expected[i].cx);
    EXPECT_EQ(forms[i].ImageableArea.bottom, expected[i].cy);
  }
  ClosePrinter(server);
}

TEST_F(SpoolerTest, EnumFormsRefusesShortBuffersWithoutTouchingThem) {
  HANDLE printer = NewPrinter();
  DWORD needed = 0;
  DWORD count = 0;
  EnumFormsW(printer, 1, nullptr, 0, &needed, &count);
  ASSERT_GT(needed, 0u);
  std::vector<BYTE> buffer(needed, kPattern);
  DWORD neededAgain = 0;
  count = 0xdeadbeef;
  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumFormsW(printer, 1, buffer.data(), needed - 1, &neededAgain, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(neededAgain, needed);
  EXPECT_EQ(count, 0u);
  for (BYTE byte : buffer) ASSERT_EQ(byte, kPattern);

  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumFormsW(printer, 2, buffer.data(), needed, &neededAgain, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  ClosePrinter(printer);
  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumFormsW(printer, 1, buffer.data(), needed, &neededAgain, &count));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

FORM_INFO_1W MakeForm(const WCHAR *name, LONG cx, LONG cy, RECTL area) {
  FORM_INFO_1W form{};
  form.Flags = FORM_BUILTIN;  // the spooler must not take this
  form.pName = const_cast<LPWSTR>(name);
  form.Size = {cx, cy};
  form.ImageableArea = area;
  return form;
}

TEST_F(SpoolerTest, UserFormsAreAppendedAndDeletable) {
  HANDLE printer = NewPrinter();
  FORM_INFO_1W postcard = MakeForm(L"Post card", 101600, 152400, {0, 0, 95549, 143324});
  ASSERT_TRUE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&postcard)));
  std::vector<BYTE> buffer;
  std::vector<FORM_INFO_1W> forms = EnumForms(printer, buffer);
  ASSERT_EQ(forms.size(), 12u);
  EXPECT_EQ(Utf8(forms[11].pName), "Post card");
  EXPECT_EQ(forms[11].Flags, static_cast<DWORD>(FORM_USER));
  EXPECT_EQ(forms[11].ImageableArea.right, 95549);

  FORM_INFO_1W same = MakeForm(L"POST CARD", 1000, 1000, {0, 0, 1000, 1000});
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&same)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
  FORM_INFO_1W a4 = MakeForm(L"a4", 1000, 1000, {0, 0, 1000, 1000});
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&a4)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteFormW(printer, const_cast<LPWSTR>(L"Letter")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << "built-in forms stay";
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteFormW(printer, const_cast<LPWSTR>(L"Small")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_FORM_NAME));
  EXPECT_TRUE(DeleteFormW(printer, const_cast<LPWSTR>(L"post card")));
  EXPECT_EQ(EnumForms(printer, buffer).size(), 11u);
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, AddFormValidatesNameAndGeometry) {
  HANDLE server = nullptr;
  ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
  struct Case {
    FORM_INFO_1W form;
    DWORD error;
  } cases[] = {
      {MakeForm(L"", 1000, 1000, {0, 0, 1000, 1000}), ERROR_INVALID_FORM_NAME},
      {MakeForm(nullptr, 1000, 1000, {0, 0, 1000, 1000}), ERROR_INVALID_FORM_NAME},
      {MakeForm(L"0123456789012345678901234567890123", 1000, 1000, {0, 0, 1000, 1000}), ERROR_INVALID_FORM_NAME},
      {MakeForm(L"Flat", 1000, 0, {0, 0, 1000, 0}), ERROR_INVALID_FORM_SIZE},
      {MakeForm(L"Outside", 1000, 1000, {0, 0, 1001, 1000}), ERROR_INVALID_FORM_SIZE},
      {MakeForm(L"Inverted", 1000, 1000, {500, 0, 400, 1000}), ERROR_INVALID_FORM_SIZE},
  };
  for (Case &c : cases) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(AddFormW(server, 1, reinterpret_cast<LPBYTE>(&c.form)));
    EXPECT_EQ(GetLastError(), c.error);
  }
  FORM_INFO_1W ok = MakeForm(L"0123456789012345678901234567890", 1000, 1000, {10, 10, 990, 990});
  EXPECT_TRUE(AddFormW(server, 1, reinterpret_cast<LPBYTE>(&ok))) << "31 characters fit";
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddFormW(server, 2, reinterpret_cast<LPBYTE>(&ok)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddFormW(nullptr, 1, reinterpret_cast<LPBYTE>(&ok)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ClosePrinter(server);
}

TEST_F(SpoolerTest, FormListCanBeReplacedWholeForTests) {
  const FORM_INFO_1W list[] = {
      MakeForm(L"Post card", 101600, 152400, {0, 0, 95549, 143324}),
      MakeForm(L"Post card", 101600, 152400, {0, 0, 96000, 143324}),
  };
  platform::SetFormList(list, 2);
  HANDLE server = nullptr;
  ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
  std::vector<BYTE> buffer;
  std::vector<FORM_INFO_1W> forms = EnumForms(server, buffer);
  ASSERT_EQ(forms.size(), 2u) << "duplicates are kept as given";
  EXPECT_EQ(forms[1].ImageableArea.right, 96000);
  EXPECT_EQ(forms[0].Flags, static_cast<DWORD>(FORM_BUILTIN));

  platform::SetFormList(nullptr, 0);
  DWORD needed = 0xdeadbeef;
  DWORD count = 0xdeadbeef;
  EXPECT_TRUE(EnumFormsW(server, 1, nullptr, 0, &needed, &count)) << "an empty list fits any buffer";
  EXPECT_EQ(needed, 0u);
  EXPECT_EQ(count, 0u);
  ClosePrinter(server);
}

// --- Jobs ----------------------------------------------------------------------------

TEST_F(SpoolerTest, JobOnADevicePortIsKeptInMemory) {
  HANDLE printer = NewPrinter("LPT1:");
  const DWORD job = StartDoc(printer);
  ASSERT_NE(job, 0u);
  EXPECT_TRUE(StartPagePrinter(printer));
  DWORD written = 0;
  EXPECT_TRUE(Write(printer, "KVrZ", &written));
  EXPECT_EQ(written, 4u);
  EXPECT_TRUE(Write(printer, "", &written));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(Write(printer, "data"));
  EXPECT_TRUE(EndPagePrinter(printer));
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_EQ(platform::JobOutput(job), Bytes("KVrZdata"));

  const DWORD second = StartDoc(printer, nullptr, nullptr);
  EXPECT_GT(second, job) << "job ids grow; a null datatype means RAW";
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_TRUE(platform::JobOutput(second).empty());
  EXPECT_TRUE(platform::JobOutput(9999).empty());
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, PageAndWriteCallsNeedAnOpenDocument) {
  HANDLE printer = NewPrinter();
  DWORD written = 0xdeadbeef;
  SetLastError(kSentinelError);
  EXPECT_FALSE(WritePrinter(printer, const_cast<char *>("x"), 1, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
  SetLastError(kSentinelError);
  EXPECT_FALSE(StartPagePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
  SetLastError(kSentinelError);
  EXPECT_FALSE(EndPagePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
  SetLastError(kSentinelError);
  EXPECT_FALSE(EndDocPrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));

  ASSERT_NE(StartDoc(printer), 0u);
  SetLastError(kSentinelError);
  EXPECT_EQ(StartDoc(printer), 0u) << "one document at a time per handle";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_STATE));
  SetLastError(kSentinelError);
  EXPECT_FALSE(WritePrinter(printer, nullptr, 4, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(EndDocPrinter(printer));
  SetLastError(kSentinelError);
  EXPECT_FALSE(WritePrinter(printer, const_cast<char *>("x"), 1, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));

  SetLastError(kSentinelError);
  EXPECT_EQ(StartDoc(printer, nullptr, L"NT EMF 1.008"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATATYPE));
  DOC_INFO_1W info{};
  SetLastError(kSentinelError);
  EXPECT_EQ(StartDocPrinterW(printer, 2, reinterpret_cast<LPBYTE>(&info)), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));

  HANDLE server = nullptr;
  ASSERT_TRUE(OpenPrinterW(nullptr, &server, nullptr));
  SetLastError(kSentinelError);
  EXPECT_EQ(StartDoc(server), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  ClosePrinter(server);
  ClosePrinter(printer);
  SetLastError(kSentinelError);
  EXPECT_FALSE(WritePrinter(printer, const_cast<char *>("x"), 1, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerTest, FilePortReceivesEachJobWhole) {
  const fs::path target = dir_ / "port.prn";
  ASSERT_TRUE(platform::AddLocalPort(target.string().c_str()));
  SetLastError(kSentinelError);
  EXPECT_FALSE(platform::AddLocalPort(target.string().c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  HANDLE printer = NewPrinter(target.string().c_str());

  ASSERT_NE(StartDoc(printer), 0u);
  EXPECT_TRUE(Write(printer, "first job, longer"));
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_EQ(ReadFile(target), Bytes("first job, longer"));

  const DWORD job = StartDoc(printer);
  ASSERT_NE(job, 0u);
  EXPECT_TRUE(ReadFile(target).empty()) << "a new job replaces the file";
  EXPECT_TRUE(Write(printer, "second"));
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_EQ(ReadFile(target), Bytes("second"));
  EXPECT_TRUE(platform::JobOutput(job).empty());
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, LargeJobsGoStraightToTheFile) {
  const fs::path target = dir_ / "large.prn";
  HANDLE printer = NewPrinter();
  const std::u16string path = PathText(target);
  std::vector<WCHAR> pathText(path.size() + 1);
  platform::CopyWideText(path, pathText.data());
  ASSERT_NE(StartDoc(printer, pathText.data()), 0u);
  std::vector<char> chunk(1 << 20, 'k');
  for (int i = 0; i < 24; ++i) {
    DWORD written = 0;
    ASSERT_TRUE(WritePrinter(printer, chunk.data(), static_cast<DWORD>(chunk.size()), &written));
    ASSERT_EQ(written, chunk.size());
  }
  EXPECT_EQ(fs::file_size(target), 24u << 20) << "written through, before the document ends";
  EXPECT_TRUE(EndDocPrinter(printer));
  ClosePrinter(printer);
}

TEST_F(SpoolerTest, OutputFileOverridesThePortAndNulDiscards) {
  HANDLE printer = NewPrinter("NUL:");
  const DWORD discarded = StartDoc(printer);
  DWORD written = 0;
  EXPECT_TRUE(Write(printer, "gone", &written));
  EXPECT_EQ(written, 4u);
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_TRUE(platform::JobOutput(discarded).empty());

  const fs::path target = dir_ / "out.prn";
  const std::u16string path = PathText(target);
  std::vector<WCHAR> pathText(path.size() + 1);
  platform::CopyWideText(path, pathText.data());
  ASSERT_NE(StartDoc(printer, pathText.data()), 0u);
  EXPECT_TRUE(Write(printer, "kept"));
  EXPECT_TRUE(ClosePrinter(printer)) << "closing the handle ends the document";
  EXPECT_EQ(ReadFile(target), Bytes("kept"));

  printer = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("KVT-RZ4"), &printer, nullptr));
  SetLastError(kSentinelError);
  EXPECT_EQ(StartDoc(printer, L"/nonexistent-kvt-dir/out.prn"), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
  SetLastError(kSentinelError);
  EXPECT_FALSE(Write(printer, "x")) << "no document was opened";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
  ClosePrinter(printer);
}

size_t OpenFileDescriptors() {
  size_t count = 0;
  for ([[maybe_unused]] const auto &entry : fs::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

TEST_F(SpoolerTest, ResetClosesFilesLeftOpen) {
  const fs::path target = dir_ / "open.prn";
  ASSERT_TRUE(platform::AddLocalPort(target.string().c_str()));
  HANDLE printer = NewPrinter(target.string().c_str());
  const size_t before = OpenFileDescriptors();
  ASSERT_NE(StartDoc(printer), 0u);
  EXPECT_EQ(OpenFileDescriptors(), before + 1);
  EXPECT_TRUE(Write(printer, "left open"));
  platform::ResetMachine();
  EXPECT_EQ(OpenFileDescriptors(), before);
  EXPECT_EQ(ReadFile(target), Bytes("left open"));
}

TEST_F(SpoolerTest, CancelledJobRefusesFurtherWrites) {
  HANDLE printer = NewPrinter();
  EXPECT_FALSE(platform::IsJobCancelled(printer));
  const DWORD job = StartDoc(printer);
  ASSERT_NE(job, 0u);
  EXPECT_TRUE(Write(printer, "before"));
  EXPECT_FALSE(platform::IsJobCancelled(printer));

  HANDLE other = nullptr;
  ASSERT_TRUE(OpenPrinterA(const_cast<LPSTR>("KVT-RZ4"), &other, nullptr));
  SetLastError(kSentinelError);
  EXPECT_FALSE(SetJobW(other, job, 0, nullptr, JOB_CONTROL_PAUSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_TRUE(SetJobW(other, job, 0, nullptr, JOB_CONTROL_CANCEL)) << "any handle of the printer";
  EXPECT_TRUE(platform::IsJobCancelled(printer));
  EXPECT_FALSE(platform::IsJobCancelled(other)) << "no document is open on that handle";

  DWORD written = 0xdeadbeef;
  SetLastError(kSentinelError);
  EXPECT_FALSE(WritePrinter(printer, const_cast<char *>("after"), 5, &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_CANCELLED));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_FALSE(platform::IsJobCancelled(printer));
  EXPECT_EQ(platform::JobOutput(job), Bytes("before"));

  SetLastError(kSentinelError);
  EXPECT_FALSE(SetJobW(printer, job, 0, nullptr, JOB_CONTROL_CANCEL)) << "the job has ended";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  SetLastError(kSentinelError);
  EXPECT_FALSE(SetJobW(printer, 4711, 0, nullptr, JOB_CONTROL_DELETE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  const DWORD deleted = StartDoc(printer);
  EXPECT_TRUE(SetJobW(printer, deleted, 0, nullptr, JOB_CONTROL_DELETE));
  EXPECT_TRUE(platform::IsJobCancelled(printer));
  ClosePrinter(other);
  ClosePrinter(printer);
  EXPECT_FALSE(platform::IsJobCancelled(printer));
  EXPECT_FALSE(platform::IsJobCancelled(nullptr));
  SetLastError(kSentinelError);
  EXPECT_FALSE(SetJobW(printer, deleted, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerTest, InjectedWriteFailureWritesNothingOfThatCall) {
  HANDLE printer = NewPrinter();
  const DWORD job = StartDoc(printer);
  platform::FailNthCall(platform::Fault::WritePrinter, 2);
  EXPECT_TRUE(Write(printer, "one"));
  DWORD written = 0xdeadbeef;
  SetLastError(kSentinelError);
  EXPECT_FALSE(Write(printer, "two", &written));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WRITE_FAULT));
  EXPECT_EQ(written, 0u);
  EXPECT_TRUE(Write(printer, "three"));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter), 3u);
  EXPECT_TRUE(EndDocPrinter(printer));
  EXPECT_EQ(platform::JobOutput(job), Bytes("onethree"));
  ClosePrinter(printer);
}

// --- Saved machine ---------------------------------------------------------------

TEST_F(SpoolerTest, SavedMachineLoadsBackWhole) {
  DRIVER_INFO_3A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<LPSTR>(kDriverName);
  driver.pDriverPath = const_cast<LPSTR>("KVTRZ4PR.dll");
  driver.pDataFile = const_cast<LPSTR>("KVTRZ4.gpd");
  driver.pConfigFile = const_cast<LPSTR>("KVTRZ4UI.dll");
  driver.pDependentFiles = const_cast<LPSTR>("KVTRZ4.ini\0");
  ASSERT_TRUE(AddPrinterDriverA(nullptr, 3, reinterpret_cast<LPBYTE>(&driver)));
  const fs::path portFile = dir_ / "port.prn";
  ASSERT_TRUE(platform::AddLocalPort(portFile.string().c_str()));
  HANDLE printer = AddPrinter("Caf\xE9 RZ4", portFile.string().c_str());
  ASSERT_NE(printer, nullptr);
  const BYTE blob[] = {0x00, 0xFF, 0x10, 0x80};
  const DWORD kind = 1;
  ASSERT_EQ(
      SetPrinterDataW(printer, const_cast<LPWSTR>(L"PrinterData"), REG_BINARY, const_cast<BYTE *>(blob), sizeof(blob)),
      0u);
  ASSERT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"TrayFormTable"), REG_DWORD,
                            reinterpret_cast<LPBYTE>(const_cast<DWORD *>(&kind)), sizeof(kind)),
            0u);
  FORM_INFO_1W form = MakeForm(L"\uFF2C\u30B5\u30A4\u30BA", 88995, 127063, {0, 0, 83952, 122021});
  ASSERT_TRUE(AddFormW(printer, 1, reinterpret_cast<LPBYTE>(&form)));
  // A monitor with its port, and a printer pending deletion, which is not saved.
  std::ofstream(platform::DriveCFolder() + "/WINDOWS/system32/kvtmon.dll") << "MZ";
  MONITOR_INFO_2A monitor{const_cast<LPSTR>("KVT Monitor"), nullptr, const_cast<LPSTR>("kvtmon.dll")};
  ASSERT_TRUE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&monitor)));
  ASSERT_TRUE(platform::AddMonitorPort("KVT Monitor", "USB001"));
  HANDLE going = AddPrinter("Going", "USB001");
  ASSERT_TRUE(DeletePrinter(going));
  const fs::path saved = dir_ / "machine";
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  ASSERT_TRUE(fs::exists(saved / "spooler.json"));

  platform::ResetMachine();
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  HANDLE loaded = nullptr;
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  ASSERT_TRUE(OpenPrinterW(const_cast<LPWSTR>(L"caf\u00C9 rz4"), &loaded, &defaults));
  std::array<BYTE, 8> buffer;
  buffer.fill(kPattern);
  DWORD type = 0;
  DWORD needed = 0;
  EXPECT_EQ(GetPrinterDataW(loaded, const_cast<LPWSTR>(L"PrinterData"), &type, buffer.data(), buffer.size(), &needed),
            0u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(needed, sizeof(blob));
  EXPECT_EQ(std::memcmp(buffer.data(), blob, sizeof(blob)), 0);
  EXPECT_EQ(GetPrinterDataW(loaded, const_cast<LPWSTR>(L"TrayFormTable"), &type, buffer.data(), buffer.size(), &needed),
            0u);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));

  std::vector<BYTE> formBuffer;
  std::vector<FORM_INFO_1W> forms = EnumForms(loaded, formBuffer);
  ASSERT_EQ(forms.size(), 12u) << "built-in forms once, then the user's form";
  EXPECT_TRUE(platform::WideText(forms[11].pName) == u"\uFF2C\u30B5\u30A4\u30BA");
  EXPECT_EQ(forms[11].ImageableArea.bottom, 122021);

  // The port came back as a file port, and the driver as a usable driver.
  ASSERT_NE(StartDoc(loaded), 0u);
  EXPECT_TRUE(Write(loaded, "round trip"));
  EXPECT_TRUE(EndDocPrinter(loaded));
  EXPECT_EQ(ReadFile(portFile), Bytes("round trip"));
  HANDLE second = AddPrinter("Second", "LPT1:");
  EXPECT_NE(second, nullptr);
  ClosePrinter(second);
  ClosePrinter(loaded);
  SetLastError(kSentinelError);
  EXPECT_FALSE(platform::AddMonitorPort("kvt monitor", "usb001")) << "the monitor and its port came back";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("KVT Monitor"))) << "its printer did not";
}

// A file from before monitors were saved lists plain port names.
TEST_F(SpoolerTest, PortsOfAFileWithoutMonitorsBelongToLocalPort) {
  fs::create_directories(dir_ / "old");
  std::ofstream(dir_ / "old" / "spooler.json")
      << R"({"version": 1, "drivers": [], "ports": ["LPT1:", "USB009"], "printers": [], "forms": []})";
  ASSERT_TRUE(platform::LoadMachine((dir_ / "old").string()));
  EXPECT_FALSE(platform::AddLocalPort("usb009"));
  ASSERT_TRUE(DeleteMonitorA(nullptr, nullptr, const_cast<LPSTR>("Local Port")));
  ASSERT_TRUE(AddDriver());
  SetLastError(kSentinelError);
  EXPECT_EQ(AddPrinter("P", "USB009"), nullptr) << "the port went with its monitor";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
}

TEST_F(SpoolerTest, LoadingClosesOpenHandles) {
  HANDLE printer = NewPrinter();
  const fs::path saved = dir_ / "machine";
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  EXPECT_EQ(platform::Live().printerHandles, 0u);
  SetLastError(kSentinelError);
  EXPECT_FALSE(ClosePrinter(printer));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerTest, MalformedMachineFilesChangeNothing) {
  HANDLE printer = NewPrinter();
  const fs::path saved = dir_ / "machine";
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  std::ifstream in(saved / "spooler.json");
  const std::string good((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_NE(good.find("\"LPT1:\""), std::string::npos);

  auto replaced = [&](const std::string &from, const std::string &to) {
    std::string text = good;
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
  };
  const std::string broken[] = {
      good.substr(0, good.size() / 2),                                   // cut short
      "[]",                                                              // not an object
      replaced("\"version\": 1", "\"version\": 2"),                      // unknown version
      replaced("\"name\": \"LPT1:\"", "\"name\": \"LPT9:\""),            // printer on a missing port
      replaced("\"monitor\": \"Local Port\"", "\"monitor\": \"Gone\""),  // port of a missing monitor
      replaced(
          "\"monitors\": [",
          "\"monitors\": [{\"name\": \"local port\", \"environment\": \"x\", \"dll\": \"y\"}, "),  // duplicate monitor
      replaced("\"name\": \"KVT Test Driver\"", "\"name\": \"Other\""),  // printer with a missing driver
      replaced("\"ports\": [", "\"ports\": [\"LPT1:\", "),               // duplicate port
      replaced("\"attributes\": 64", "\"attributes\": -1"),              // not a DWORD
      replaced("\"attributes\": 64", "\"attributes\": \"64\""),          // not a number
      replaced("\"forms\": []",
               "\"forms\": [{\"name\": \"A4\", \"width\": 1, \"height\": 1, \"left\": 0, "
               "\"top\": 0, \"right\": 1, \"bottom\": 1}]"),  // clashes with a built-in form
      replaced("\"data\": []", "\"data\": [{\"name\": \"x\", \"type\": 3, \"hex\": \"abc\"}]"),  // odd hex
      replaced("\"data\": []", "\"data\": [{\"name\": \"x\", \"type\": 3, \"hex\": \"zz\"}]"),   // not hex
  };
  for (const std::string &text : broken) {
    std::ofstream(saved / "spooler.json", std::ios::trunc) << text;
    EXPECT_FALSE(platform::LoadMachine(saved.string())) << text;
    EXPECT_EQ(platform::Live().printerHandles, 1u) << "nothing was replaced";
  }
  EXPECT_FALSE(platform::LoadMachine((dir_ / "missing").string()));

  std::ofstream(saved / "spooler.json", std::ios::trunc) << good;
  EXPECT_TRUE(platform::LoadMachine(saved.string())) << "the unchanged file still loads";
  SetLastError(kSentinelError);
  EXPECT_FALSE(ClosePrinter(printer));
}

}  // namespace
