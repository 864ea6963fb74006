// The spooler's administration calls: EnumPrintersA's buffer protocol and
// packing, printer deletion with handles still open, driver and monitor
// deletion with their refusals, the stopped service, and monitors in a
// saved machine. Each case starts from a fresh machine; the last error is
// primed with 0xdeadbeef and buffers with a pattern.
#include <gtest/gtest.h>
#include <platform/testing.h>
#include <winspool.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kSentinelError = 0xdeadbeef;
constexpr BYTE kPattern = 0xCC;
const char kDriver[] = "KVT Test Driver";

LPSTR Text(const char *text) { return const_cast<LPSTR>(text); }

class SpoolerAdminTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }

  static BOOL AddDriver(const char *name = kDriver) {
    DRIVER_INFO_2A info{};
    info.cVersion = 3;
    info.pName = Text(name);
    info.pDriverPath = Text("KVTRZ4PR.dll");
    info.pDataFile = Text("KVTRZ4.gpd");
    info.pConfigFile = Text("KVTRZ4UI.dll");
    return AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }

  // A printer whose AddPrinterA handle is closed again.
  static void AddPrinter(const char *name, const char *port = "LPT1:", const char *driver = kDriver) {
    PRINTER_INFO_2A info{};
    info.pPrinterName = Text(name);
    info.pPortName = Text(port);
    info.pDriverName = Text(driver);
    info.pComment = Text("on the desk");
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
    ASSERT_NE(printer, nullptr) << name << " error " << GetLastError();
    ClosePrinter(printer);
  }

  static HANDLE Open(const char *name, DWORD access = PRINTER_ALL_ACCESS) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, access};
    HANDLE printer = nullptr;
    if (!OpenPrinterA(Text(name), &printer, &defaults)) return nullptr;
    return printer;
  }

  static std::vector<std::string> Names() {
    DWORD needed = 0, returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    std::vector<std::string> names;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &returned)) return names;
    for (DWORD i = 0; i < returned; ++i)
      names.push_back(reinterpret_cast<PRINTER_INFO_2A *>(buffer.data())[i].pPrinterName);
    return names;
  }

  static BOOL AddMonitor(const char *name, const char *dll) {
    MONITOR_INFO_2A info{Text(name), nullptr, Text(dll)};
    return AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
  }

  static void PutSystemFile(const char *name) {
    std::ofstream(platform::DriveCFolder() + "/WINDOWS/system32/" + name) << "MZ";
  }
};

// --- Enumeration -------------------------------------------------------------

TEST_F(SpoolerAdminTest, EnumPrintersRefusesAShortBufferWithTheExactSize) {
  ASSERT_TRUE(AddDriver());
  AddPrinter("First");
  AddPrinter("Second");
  DWORD needed = 0, returned = 0;
  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  // Two records plus ten strings each: name, share, port, driver, comment,
  // location, separator page, processor, datatype, parameters.
  const DWORD strings = (6 + 1 + 6 + 16 + 12 + 1 + 1 + 9 + 4 + 1) + (7 + 1 + 6 + 16 + 12 + 1 + 1 + 9 + 4 + 1);
  EXPECT_EQ(needed, 2 * sizeof(PRINTER_INFO_2A) + strings);

  std::vector<BYTE> buffer(needed + 16, kPattern);
  returned = 77;
  SetLastError(kSentinelError);
  EXPECT_FALSE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed - 1, &needed, &returned));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_EQ(returned, 0u);
  for (BYTE byte : buffer) ASSERT_EQ(byte, kPattern) << "a refused call writes nothing";

  // Records first, strings packed down from the end of the given size.
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(), needed + 8,
                            &needed, &returned));
  ASSERT_EQ(returned, 2u);
  const auto *records = reinterpret_cast<const PRINTER_INFO_2A *>(buffer.data());
  EXPECT_STREQ(records[0].pPrinterName, "First");
  EXPECT_STREQ(records[1].pPrinterName, "Second");
  EXPECT_STREQ(records[1].pDriverName, kDriver);
  EXPECT_STREQ(records[1].pPortName, "LPT1:");
  EXPECT_STREQ(records[1].pComment, "on the desk");
  EXPECT_EQ(records[1].pServerName, nullptr);
  EXPECT_EQ(records[1].pDevMode, nullptr);
  EXPECT_NE(records[1].Attributes & PRINTER_ATTRIBUTE_LOCAL, 0u);
  const BYTE *stringsStart = buffer.data() + 2 * sizeof(PRINTER_INFO_2A) + 8;
  for (const PRINTER_INFO_2A &record : {records[0], records[1]}) {
    for (const char *text :
         {record.pPrinterName, record.pShareName, record.pPortName, record.pDriverName, record.pComment,
          record.pLocation, record.pSepFile, record.pPrintProcessor, record.pDatatype, record.pParameters}) {
      ASSERT_NE(text, nullptr);
      const auto *at = reinterpret_cast<const BYTE *>(text);
      EXPECT_TRUE(at >= stringsStart && at + std::strlen(text) < buffer.data() + needed + 8);
    }
  }
  EXPECT_EQ(buffer[needed + 8], kPattern) << "nothing past the given size";
}

TEST_F(SpoolerAdminTest, EnumPrintersLevelsFlagsAndArguments) {
  ASSERT_TRUE(AddDriver());
  AddPrinter("Solo");
  std::vector<BYTE> buffer(1024, kPattern);
  DWORD needed = 0, returned = 0;
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 1, buffer.data(), buffer.size(), &needed, &returned));
  ASSERT_EQ(returned, 1u);
  const auto *one = reinterpret_cast<const PRINTER_INFO_1A *>(buffer.data());
  EXPECT_STREQ(one->pName, "Solo");
  EXPECT_STREQ(one->pDescription, "Solo,KVT Test Driver,");
  ASSERT_TRUE(EnumPrintersA(PRINTER_ENUM_LOCAL, Text(""), 4, buffer.data(), buffer.size(), &needed, &returned));
  EXPECT_EQ(needed, sizeof(PRINTER_INFO_4A) + 5);
  EXPECT_STREQ(reinterpret_cast<const PRINTER_INFO_4A *>(buffer.data())->pPrinterName, "Solo");

  EXPECT_TRUE(EnumPrintersA(PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(), buffer.size(), &needed, &returned));
  EXPECT_EQ(returned, 0u) << "no connections to other machines";
  ASSERT_TRUE(
      EnumPrintersA(PRINTER_ENUM_LOCAL, Text("\\\\elsewhere"), 2, buffer.data(), buffer.size(), &needed, &returned));
  EXPECT_EQ(returned, 1u) << "without PRINTER_ENUM_NAME the name is ignored";
  struct Refusal {
    DWORD flags;
    DWORD level;
    LPSTR name;
    LPDWORD needed;
    DWORD error;
  } refusals[] = {{PRINTER_ENUM_LOCAL, 3, nullptr, &needed, ERROR_INVALID_LEVEL},
                  {PRINTER_ENUM_NAME, 2, Text("\\\\elsewhere"), &needed, ERROR_INVALID_NAME},
                  {PRINTER_ENUM_LOCAL, 2, nullptr, nullptr, RPC_X_NULL_REF_POINTER}};
  for (const Refusal &refusal : refusals) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(EnumPrintersA(refusal.flags, refusal.name, refusal.level, buffer.data(), buffer.size(), refusal.needed,
                               &returned));
    EXPECT_EQ(GetLastError(), refusal.error) << refusal.level;
  }
}

// --- Printer deletion ------------------------------------------------------------

TEST_F(SpoolerAdminTest, DeletedPrinterLivesOnThroughOpenHandlesOnly) {
  ASSERT_TRUE(AddDriver());
  AddPrinter("Going");
  HANDLE job = Open("Going", PRINTER_ACCESS_USE);
  HANDLE admin = Open("Going");
  ASSERT_TRUE(job && admin);
  DOC_INFO_1W doc{const_cast<LPWSTR>(L"doc"), nullptr, const_cast<LPWSTR>(L"RAW")};
  const DWORD jobId = StartDocPrinterW(job, 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(jobId, 0u);

  SetLastError(kSentinelError);
  EXPECT_FALSE(DeletePrinter(job)) << "a handle for printing may not delete";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  ASSERT_TRUE(DeletePrinter(admin));
  EXPECT_TRUE(Names().empty()) << "gone from the list at once";
  SetLastError(kSentinelError);
  EXPECT_EQ(Open("Going"), nullptr) << "and from opening by name";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PRINTER_NAME));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, Text(kDriver))) << "its driver is still in use";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_DRIVER_IN_USE));

  DWORD written = 0;
  EXPECT_TRUE(WritePrinter(job, const_cast<char *>("late"), 4, &written)) << "an open job keeps printing";
  EXPECT_TRUE(EndDocPrinter(job));
  EXPECT_EQ(platform::JobOutput(jobId).size(), 4u);
  EXPECT_TRUE(ClosePrinter(admin));
  AddPrinter("Going");  // the name is free while the old printer waits
  EXPECT_TRUE(ClosePrinter(job));
  EXPECT_EQ(Names(), std::vector<std::string>{"Going"});
  HANDLE fresh = Open("Going");
  ASSERT_NE(fresh, nullptr);
  DWORD type = 0, size = 0;
  EXPECT_EQ(GetPrinterDataW(fresh, const_cast<LPWSTR>(L"x"), &type, nullptr, 0, &size),
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  ClosePrinter(fresh);

  SetLastError(kSentinelError);
  EXPECT_FALSE(DeletePrinter(nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeletePrinter(job)) << "a closed handle";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(SpoolerAdminTest, PrinterPendingDeletionIsNotSaved) {
  ASSERT_TRUE(AddDriver());
  AddPrinter("Kept");
  AddPrinter("Going");
  HANDLE going = Open("Going");
  ASSERT_TRUE(DeletePrinter(going));
  const fs::path saved = fs::temp_directory_path() / ("kvt-spooler-admin-" + std::to_string(::getpid()));
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  EXPECT_EQ(Names(), std::vector<std::string>{"Kept"});
  std::error_code ignored;
  fs::remove_all(saved, ignored);
}

// --- Drivers ----------------------------------------------------------------

TEST_F(SpoolerAdminTest, DriverDeletionRefusals) {
  ASSERT_TRUE(AddDriver());
  struct Refusal {
    LPSTR server;
    LPSTR environment;
    LPSTR name;
    DWORD error;
  } refusals[] = {{nullptr, nullptr, Text(""), ERROR_UNKNOWN_PRINTER_DRIVER},
                  {nullptr, nullptr, Text("KVT Other"), ERROR_UNKNOWN_PRINTER_DRIVER},
                  {nullptr, nullptr, nullptr, RPC_X_NULL_REF_POINTER},
                  {nullptr, Text("Windows x64"), Text(kDriver), ERROR_UNKNOWN_PRINTER_DRIVER},
                  {nullptr, Text("Windows 3.1"), Text(kDriver), ERROR_INVALID_ENVIRONMENT},
                  {Text("\\\\elsewhere"), nullptr, Text(kDriver), ERROR_INVALID_NAME}};
  for (const Refusal &refusal : refusals) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeletePrinterDriverA(refusal.server, refusal.environment, refusal.name));
    EXPECT_EQ(GetLastError(), refusal.error) << (refusal.name ? refusal.name : "(null)");
  }
  EXPECT_TRUE(DeletePrinterDriverA(nullptr, Text("windows nt x86"), Text("kvt test DRIVER")));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeletePrinterDriverA(nullptr, nullptr, Text(kDriver))) << "deleted once only";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINTER_DRIVER));
}

// --- Monitors ------------------------------------------------------------------

TEST_F(SpoolerAdminTest, AddMonitorNeedsItsDllAndAFreeName) {
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddMonitor("KVT Monitor", "kvtmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MOD_NOT_FOUND));
  PutSystemFile("kvtmon.dll");
  EXPECT_TRUE(AddMonitor("KVT Monitor", "kvtmon.dll"));
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddMonitor("kvt monitor", "kvtmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_ALREADY_INSTALLED));
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddMonitor("", "kvtmon.dll"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  MONITOR_INFO_2A other{Text("Other"), Text("Windows x64"), Text("kvtmon.dll")};
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddMonitorA(nullptr, 2, reinterpret_cast<LPBYTE>(&other)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ENVIRONMENT));
  SetLastError(kSentinelError);
  EXPECT_FALSE(AddMonitorA(nullptr, 1, reinterpret_cast<LPBYTE>(&other)));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_LEVEL));
}

TEST_F(SpoolerAdminTest, DeleteMonitorRefusalsAndItsPortsGoWithIt) {
  PutSystemFile("kvtmon.dll");
  ASSERT_TRUE(AddMonitor("KVT Monitor", "kvtmon.dll"));
  ASSERT_TRUE(platform::AddMonitorPort("KVT Monitor", "USB001"));
  ASSERT_TRUE(AddDriver());
  AddPrinter("On USB", "USB001");
  for (LPSTR name : {static_cast<LPSTR>(nullptr), Text("")}) {
    SetLastError(kSentinelError);
    EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, name));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("Nobody")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("KVT Monitor")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));

  HANDLE printer = Open("On USB");
  ASSERT_TRUE(DeletePrinter(printer));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("KVT Monitor"))) << "a printer pending deletion still uses it";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE));
  ClosePrinter(printer);
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, Text("KVT Monitor")));
  SetLastError(kSentinelError);
  EXPECT_FALSE(platform::AddMonitorPort("KVT Monitor", "USB002"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  EXPECT_TRUE(platform::AddLocalPort("USB001")) << "the monitor's port went with it";
}

// --- The stopped service ---------------------------------------------------------

TEST_F(SpoolerAdminTest, StoppedSpoolerFailsEveryCallUntilStartedOrReset) {
  ASSERT_TRUE(AddDriver());
  AddPrinter("Solo");
  HANDLE printer = Open("Solo");
  ASSERT_NE(printer, nullptr);
  platform::SetSpoolerRunning(false);
  auto expectStopped = [](BOOL result, const char *call) {
    EXPECT_FALSE(result) << call;
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE)) << call;
    SetLastError(kSentinelError);
  };
  SetLastError(kSentinelError);
  DWORD needed = 0, returned = 0;
  BYTE buffer[64];
  expectStopped(EnumPrintersA(PRINTER_ENUM_LOCAL, nullptr, 2, buffer, sizeof(buffer), &needed, &returned),
                "EnumPrintersA");
  HANDLE other = nullptr;
  expectStopped(OpenPrinterA(Text("Solo"), &other, nullptr), "OpenPrinterA");
  expectStopped(DeletePrinter(printer), "DeletePrinter");
  expectStopped(ClosePrinter(printer), "ClosePrinter");
  expectStopped(DeletePrinterDriverA(nullptr, nullptr, Text(kDriver)), "DeletePrinterDriverA");
  expectStopped(DeleteMonitorA(nullptr, nullptr, Text("Local Port")), "DeleteMonitorA");
  expectStopped(AddDriver("Another"), "AddPrinterDriverA");
  expectStopped(EnumFormsW(printer, 1, buffer, sizeof(buffer), &needed, &returned), "EnumFormsW");
  expectStopped(StartDocPrinterW(printer, 1, nullptr) != 0, "StartDocPrinterW");
  DWORD type = 0;
  EXPECT_EQ(GetPrinterDataW(printer, const_cast<LPWSTR>(L"x"), &type, buffer, sizeof(buffer), &needed),
            static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_EQ(SetPrinterDataW(printer, const_cast<LPWSTR>(L"x"), REG_BINARY, buffer, 1),
            static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));

  platform::SetSpoolerRunning(true);
  EXPECT_EQ(Names(), std::vector<std::string>{"Solo"}) << "nothing changed while stopped";
  EXPECT_TRUE(ClosePrinter(printer)) << "the handle survived";
  platform::SetSpoolerRunning(false);
  platform::ResetMachine();
  EXPECT_TRUE(AddDriver()) << "a reset starts the service";
}

// --- Saved machine ---------------------------------------------------------------

TEST_F(SpoolerAdminTest, MonitorsAndTheirPortsAreSavedAndOldFilesStillLoad) {
  PutSystemFile("kvtmon.dll");
  ASSERT_TRUE(AddMonitor("KVT Monitor", "kvtmon.dll"));
  ASSERT_TRUE(platform::AddMonitorPort("KVT Monitor", "USB001"));
  ASSERT_TRUE(AddDriver());
  AddPrinter("On USB", "USB001");
  const fs::path saved = fs::temp_directory_path() / ("kvt-spooler-monitors-" + std::to_string(::getpid()));
  ASSERT_TRUE(platform::SaveMachine(saved.string()));
  platform::ResetMachine();
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  SetLastError(kSentinelError);
  EXPECT_FALSE(DeleteMonitorA(nullptr, nullptr, Text("kvt monitor")));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINT_MONITOR_IN_USE)) << "monitor, port and printer came back";

  // A file written before monitors were saved: plain port names.
  std::ofstream(saved / "spooler.json", std::ios::trunc)
      << R"({"version": 1, "drivers": [], "ports": ["LPT1:", "USB009"], "printers": [], "forms": []})";
  ASSERT_TRUE(platform::LoadMachine(saved.string()));
  SetLastError(kSentinelError);
  EXPECT_FALSE(platform::AddLocalPort("usb009"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
  EXPECT_TRUE(DeleteMonitorA(nullptr, nullptr, Text("Local Port"))) << "its ports belong to Local Port";
  SetLastError(kSentinelError);
  EXPECT_FALSE(platform::AddLocalPort("USB010")) << "no Local Port monitor any more";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PRINT_MONITOR));
  std::error_code ignored;
  fs::remove_all(saved, ignored);
}

}  // namespace
