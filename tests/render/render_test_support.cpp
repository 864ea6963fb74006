// The machine, settings, PDEV and stream helpers shared by the render tests.
#include "render_test_support.h"

#include <winspool.h>

#include <cstring>
#include <span>
#include <utility>

#include "spool_reader.h"

namespace render_test {

std::u16string U16(const WCHAR *pwsz) {
  std::u16string text;
  for (; pwsz != nullptr && *pwsz != 0; pwsz++) text.push_back(static_cast<char16_t>(*pwsz));
  return text;
}

std::string Narrow(const std::u16string &text) {
  std::string narrow;
  for (char16_t ch : text) narrow.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
  return narrow;
}

AppSettings::AppSettings() {
  std::memset(this, 0, sizeof(*this));
  dm.dmSpecVersion = DM_SPECVERSION;
  dm.dmSize = sizeof(DEVMODEW);
  dm.dmDriverExtra = sizeof(PRIVDEVMODE);
  priv.dwSignature = PDEV_SIGNATURE;
  priv.sRed = priv.sGreen = priv.sBlue = 100;
  priv.dwBorder = 1;
}

AppSettings &AppSettings::Form(const std::u16string &name) {
  dm.dmFields |= DM_FORMNAME;
  std::memset(dm.dmFormName, 0, sizeof(dm.dmFormName));
  for (size_t i = 0; i < name.size() && i < CCHFORMNAME - 1; i++) dm.dmFormName[i] = static_cast<WCHAR>(name[i]);
  return *this;
}

AppSettings &AppSettings::Landscape() {
  dm.dmFields |= DM_ORIENTATION;
  dm.dmOrientation = DMORIENT_LANDSCAPE;
  return *this;
}

AppSettings &AppSettings::Border(DWORD dwBorder) {
  priv.dwBorder = dwBorder;
  return *this;
}

const Geometry kGeometries[10] = {
    {u"Post card", 1, false, 1612, 2418, {48, 72, 1564, 2346}, 95, 143},
    {u"Post card", 1, true, 2418, 1612, {72, 48, 2346, 1564}, 143, 95},
    {u"Post card", 0, false, 1663, 2465, {0, 0, 1664, 2466}, 104, 155},
    {u"Post card", 0, true, 2465, 1663, {0, 0, 2466, 1664}, 155, 104},
    {u"3.5x5 inch", 1, false, 1412, 2015, {40, 40, 1372, 1976}, 83, 122},
    {u"3.5x5 inch", 1, true, 2015, 1412, {40, 40, 1976, 1372}, 122, 83},
    {u"3.5x5 inch", 0, false, 1464, 2063, {0, 0, 1464, 2064}, 92, 130},
    {u"3.5x5 inch", 0, true, 2063, 1464, {0, 0, 2064, 1464}, 130, 92},
    {u"Small", 1, false, 1427, 1612, {214, 48, 1351, 1564}, 71, 95},
    {u"Small", 1, true, 1612, 1427, {48, 76, 1564, 1213}, 95, 71},
};

namespace {

// Collects each framed command with its arguments and payload bytes.
class CommandCollector final : public kvt::spool::SpoolVisitor {
 public:
  bool OnCommand(const kvt::spool::CommandRecord &record) override {
    SpoolCommand command;
    command.offset = static_cast<size_t>(record.offset);
    command.size = static_cast<size_t>(record.size);
    command.code = static_cast<uint32_t>(record.command);
    if (record.command == kvt::spool::Command::PageSetup) {
      command.args = {record.width, record.height};
      command.payload.assign(record.settingsBytes.begin(), record.settingsBytes.end());
    } else if (record.command == kvt::spool::Command::ImageData) {
      command.args = {record.byteCount};
    }
    commands.push_back(std::move(command));
    return true;
  }
  bool OnImageBytes(std::span<const uint8_t> bytes) override {
    commands.back().payload.insert(commands.back().payload.end(), bytes.begin(), bytes.end());
    return true;
  }

  std::vector<SpoolCommand> commands;
};

}  // namespace

std::vector<SpoolCommand> ReadCommands(const std::vector<uint8_t> &bytes) {
  kvt::spool::MemorySource source(bytes);
  CommandCollector collector;
  const kvt::spool::ReadResult result = kvt::spool::ReadSpool(source, collector, kvt::spool::Checks::Framing);
  if (result.error) ADD_FAILURE() << kvt::spool::FormatError(*result.error);
  return std::move(collector.commands);
}

void RenderTest::SetUp() {
  platform::ResetMachine();
  DRIVER_INFO_2A driver{};
  driver.cVersion = 3;
  driver.pName = const_cast<LPSTR>("KVT-RZ4");
  driver.pDriverPath = const_cast<LPSTR>("KVTRZ4PR.DLL");
  driver.pDataFile = const_cast<LPSTR>("KVTRZ4.GPD");
  driver.pConfigFile = const_cast<LPSTR>("KVTRZ4UI.DLL");
  ASSERT_TRUE(AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
  PRINTER_INFO_2A printer{};
  printer.pPrinterName = const_cast<LPSTR>("KVT-RZ4");
  printer.pPortName = const_cast<LPSTR>("LPT1:");
  printer.pDriverName = const_cast<LPSTR>("KVT-RZ4");
  hPrinter_ = AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&printer));
  ASSERT_NE(hPrinter_, nullptr);
  baseline_ = platform::Live();
}

void RenderTest::TearDown() {
  platform::LiveObjects live = platform::Live();
  EXPECT_EQ(live.heaps, baseline_.heaps) << "private heaps leaked";
  EXPECT_EQ(live.globalBlocks, baseline_.globalBlocks) << "global blocks leaked";
  EXPECT_EQ(live.palettes, baseline_.palettes) << "palettes leaked";
  EXPECT_EQ(live.surfaces, baseline_.surfaces) << "surfaces leaked";
  if (jobId_ != 0) EndDocPrinter(hPrinter_);
  if (hPrinter_ != nullptr) ClosePrinter(hPrinter_);
}

void RenderTest::SetPrinterValue(const char16_t *name, const void *data, DWORD cb) {
  std::vector<WCHAR> wname(name, name + std::char_traits<char16_t>::length(name) + 1);
  ASSERT_EQ(SetPrinterDataW(hPrinter_, wname.data(), REG_BINARY, static_cast<LPBYTE>(const_cast<void *>(data)), cb),
            static_cast<DWORD>(ERROR_SUCCESS));
}

void RenderTest::SetTrayKind(LONG kind) {
  DWORD cb = sizeof(kind);
  SetPrinterValue(u"TrayFormSize", &cb, sizeof(cb));
  SetPrinterValue(u"TrayFormTable", &kind, sizeof(kind));
}

DWORD RenderTest::StartJob() {
  DOC_INFO_1W doc{};
  WCHAR name[] = L"render test";
  doc.pDocName = name;
  jobId_ = StartDocPrinterW(hPrinter_, 1, reinterpret_cast<LPBYTE>(&doc));
  EXPECT_NE(jobId_, 0u);
  return jobId_;
}

std::vector<uint8_t> RenderTest::EndJob() {
  EXPECT_TRUE(EndDocPrinter(hPrinter_));
  std::vector<uint8_t> bytes = platform::JobOutput(jobId_);
  jobId_ = 0;
  return bytes;
}

TestPdev::TestPdev(HANDLE hPrinter, const DEVMODEW *pdm, bool withSurface) {
  WCHAR deviceName[] = L"KVT-RZ4";
  pdev_ = reinterpret_cast<PDEV *>(DrvEnablePDEV(const_cast<DEVMODEW *>(pdm), nullptr, 0, nullptr, sizeof(gdi_),
                                                 reinterpret_cast<ULONG *>(&gdi_), sizeof(devinfo_), &devinfo_, nullptr,
                                                 deviceName, hPrinter));
  if (pdev_ == nullptr) {
    ADD_FAILURE() << "DrvEnablePDEV failed";
    return;
  }
  device_ = std::make_unique<platform::EngineDevice>(hPrinter);
  device_->SetPdev(reinterpret_cast<DHPDEV>(pdev_));
  DrvCompletePDEV(reinterpret_cast<DHPDEV>(pdev_), device_->Handle());
  if (!withSurface) return;
  hsurf_ = DrvEnableSurface(reinterpret_cast<DHPDEV>(pdev_));
  if (hsurf_ == nullptr) {
    ADD_FAILURE() << "DrvEnableSurface failed";
    return;
  }
  pso_ = EngLockSurface(hsurf_);
  if (pso_ == nullptr || pso_->dhpdev != reinterpret_cast<DHPDEV>(pdev_)) ADD_FAILURE() << "surface not associated";
}

TestPdev::~TestPdev() {
  if (pso_ != nullptr) EngUnlockSurface(pso_);
  if (pdev_ == nullptr) return;
  DrvDisableSurface(reinterpret_cast<DHPDEV>(pdev_));
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev_));
}

void TestPdev::PaintBand(LONG yBand) const {
  auto *row = static_cast<uint8_t *>(pso_->pvScan0);
  for (LONG y = 0; y < pso_->sizlBitmap.cy; y++, row += pso_->lDelta) {
    for (size_t i = 0; i < static_cast<size_t>(pso_->lDelta); i++) row[i] = PaintedByte(yBand + y, i);
  }
}

int TestPdev::PrintBandedPage() const {
  POINTL ptl{};
  if (!DrvStartPage(pso_) || !DrvStartBanding(pso_, &ptl)) return 0;
  int bands = 0;
  while (ptl.y >= 0) {
    PaintBand(ptl.y);
    if (!DrvNextBand(pso_, &ptl)) break;
    bands++;
  }
  return bands;
}

}  // namespace render_test
