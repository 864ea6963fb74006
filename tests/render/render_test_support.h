// Shared ground for the printer graphics library's tests: a fresh machine
// with one KVT-RZ4 printer, application settings to hand to DrvEnablePDEV,
// a PDEV that drives its hooks as GDI would, and the commands of the spool
// stream that the driver writes, as the project's spool reader sees them.
#pragma once

#include <gtest/gtest.h>
#include <platform/engine.h>
#include <platform/testing.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "hooks.h"
#include "pdev.h"

namespace render_test {

// WCHAR text as char16_t, for comparisons and readable failures.
std::u16string U16(const WCHAR *pwsz);
// Narrow text for failure messages.
std::string Narrow(const std::u16string &text);

// An application's settings: a 220-byte DEVMODEW and our private block.
struct AppSettings {
  DEVMODEW dm;
  PRIVDEVMODE priv;
  AppSettings();
  AppSettings &Form(const std::u16string &name);
  AppSettings &Landscape();
  AppSettings &Border(DWORD dwBorder);
};

// Paper kind, border and orientation: the ten geometries the driver knows.
struct Geometry {
  const char16_t *formName;
  DWORD dwBorder;
  bool landscape;
  LONG cxPaper, cyPaper;
  RECTL rclPrintable;
  ULONG ulHorzSize, ulVertSize;
};
extern const Geometry kGeometries[10];

// One command of the spool stream.
struct SpoolCommand {
  size_t offset = 0;  // where the command's marker starts in the stream
  size_t size = 0;    // its bytes, marker to end of payload
  uint32_t code = 0;
  std::vector<uint32_t> args;
  std::vector<uint8_t> payload;
};
// The commands of a stream as the spool reader frames them, whatever their
// order: the driver's streams of aborted or failed jobs are not whole jobs.
// A stream that does not frame fails the test.
std::vector<SpoolCommand> ReadCommands(const std::vector<uint8_t> &bytes);

// A fresh machine with the driver and one printer on "LPT1:". Every case
// starts from it and must leave no heap, block, palette or surface behind.
class RenderTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  void SetTrayKind(LONG kind);
  void SetPrinterValue(const char16_t *name, const void *data, DWORD cb);
  DWORD StartJob();
  std::vector<uint8_t> EndJob();

  HANDLE hPrinter_ = nullptr;
  DWORD jobId_ = 0;
  platform::LiveObjects baseline_{};
};

// A PDEV enabled on the test's printer, completed with an engine device and
// given its band surface, locked as GDI hands it to the hooks.
class TestPdev {
 public:
  TestPdev(HANDLE hPrinter, const DEVMODEW *pdm, bool withSurface = true);
  ~TestPdev();
  TestPdev(const TestPdev &) = delete;
  TestPdev &operator=(const TestPdev &) = delete;

  PDEV *pdev() const { return pdev_; }
  SURFOBJ *pso() const { return pso_; }
  const GDIINFO &gdi() const { return gdi_; }
  const DEVINFO &devinfo() const { return devinfo_; }
  // Fills each row of the band surface with bytes derived from the page row
  // `yBand + row`, padding included, so that the stream shows which row went
  // where and whether padding leaked.
  void PaintBand(LONG yBand) const;
  // Runs one page the way the engine does: start page, start banding, then
  // next band until the driver names no further band or a hook fails.
  // Returns the number of DrvNextBand calls that succeeded.
  int PrintBandedPage() const;
  // Forgets the PDEV without disabling it (it was disabled by the test).
  void Release() { pdev_ = nullptr; }

 private:
  std::unique_ptr<platform::EngineDevice> device_;
  PDEV *pdev_ = nullptr;
  HSURF hsurf_ = nullptr;
  SURFOBJ *pso_ = nullptr;
  GDIINFO gdi_{};
  DEVINFO devinfo_{};
};

// The byte a painted band carries for page row y, column byte i.
inline uint8_t PaintedByte(LONG y, size_t i) { return static_cast<uint8_t>(y * 7 + i % 251); }

}  // namespace render_test
