// The surface, document, page and band hooks end to end: the stream of a
// banded page, band counts, aborts, failed writes at every call, a reset in
// the middle of a document, and the blt hooks' halftoning.
#include <algorithm>
#include <cstring>

#include "render_test_support.h"
#include "spool.h"

namespace render_test {
namespace {

using BandingTest = RenderTest;

LONG Height(const Geometry &g) { return g.rclPrintable.bottom - g.rclPrintable.top; }
LONG Width(const Geometry &g) { return g.rclPrintable.right - g.rclPrintable.left; }

AppSettings SettingsFor(const Geometry &g) {
  AppSettings settings = AppSettings().Form(g.formName).Border(g.dwBorder);
  if (g.landscape) settings.Landscape();
  return settings;
}

// The settings live until the end of the full expression that uses them.
const DEVMODEW *Dm(const AppSettings &settings) { return &settings.dm; }

std::vector<uint32_t> Codes(const std::vector<SpoolCommand> &commands) {
  std::vector<uint32_t> codes;
  for (const SpoolCommand &c : commands) codes.push_back(c.code);
  return codes;
}

// The codes of a banded page of `bands` image records.
std::vector<uint32_t> PageCodes(int bands) {
  std::vector<uint32_t> codes = {CMD_START_PAGE, CMD_PAGE_SETUP};
  codes.insert(codes.end(), bands, CMD_IMAGE_DATA);
  codes.push_back(CMD_END_PAGE);
  return codes;
}

TEST_F(BandingTest, BorderedPostCardPortraitStream) {
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[0])));
  ASSERT_NE(test.pso(), nullptr);
  EXPECT_EQ(test.pso()->sizlBitmap.cx, 1516);
  EXPECT_EQ(test.pso()->sizlBitmap.cy, 100);
  EXPECT_EQ(test.pso()->lDelta, 4548);
  StartJob();
  ASSERT_TRUE(DrvStartDoc(test.pso(), const_cast<LPWSTR>(L"card"), jobId_));
  ASSERT_TRUE(DrvStartPage(test.pso()));
  POINTL ptl = {5, 5};
  ASSERT_TRUE(DrvStartBanding(test.pso(), &ptl));
  std::vector<LONG> origins;
  while (ptl.y >= 0) {
    origins.push_back(ptl.y);
    test.PaintBand(ptl.y);
    ASSERT_TRUE(DrvNextBand(test.pso(), &ptl));
  }
  EXPECT_EQ(ptl.x, -1);
  ASSERT_EQ(origins.size(), 23u);
  for (size_t i = 0; i < origins.size(); i++) EXPECT_EQ(origins[i], static_cast<LONG>(100 * i));
  ASSERT_TRUE(DrvEndDoc(test.pso(), 0));
  std::vector<uint8_t> bytes = EndJob();

  const std::vector<uint8_t> head = {0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x80, 0x4B, 0x56, 0x72, 0x5A, 0, 0, 0,    0x82,
                                     0x4B, 0x56, 0x72, 0x5A, 0, 0, 0, 0x84, 0,    0,    0x05, 0xEC, 0, 0, 0x08, 0xE2};
  ASSERT_GT(bytes.size(), head.size());
  EXPECT_TRUE(std::equal(head.begin(), head.end(), bytes.begin()));
  std::vector<SpoolCommand> commands = ReadCommands(bytes);
  std::vector<uint32_t> expected = {CMD_START_DOC};
  for (uint32_t code : PageCodes(23)) expected.push_back(code);
  expected.push_back(CMD_END_DOC);
  ASSERT_EQ(Codes(commands), expected);
  const SpoolCommand &setup = commands[2];
  EXPECT_EQ(std::memcmp(setup.payload.data(), &test.pdev()->dm, SETTINGS_IMAGE_SIZE), 0);
  EXPECT_EQ(setup.payload[0], 'K');
  EXPECT_EQ(setup.payload[1], 0);
  const std::vector<uint8_t> signature(setup.payload.begin() + 220, setup.payload.begin() + 224);
  EXPECT_EQ(signature, std::vector<uint8_t>({0x34, 0x52, 0x56, 0x4B}));
  for (int band = 0; band < 23; band++) {
    const SpoolCommand &image = commands[3 + band];
    EXPECT_EQ(image.args[0], band < 22 ? 454800u : 336552u) << band;
  }
  const size_t lastImage = commands[25].offset;
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + lastImage + 8, bytes.begin() + lastImage + 12),
            std::vector<uint8_t>({0x00, 0x05, 0x22, 0xA8}));
  EXPECT_EQ(test.pdev()->cPages, 1);
  EXPECT_EQ(test.pdev()->flStatus, static_cast<FLONG>(PDEVF_PAGE_STARTED));
}

TEST_F(BandingTest, RowsArePackedWithoutTheSurfacesPadding) {
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[8])));  // Small, 1137 dots wide
  ASSERT_EQ(test.pso()->lDelta, 3412);
  StartJob();
  ASSERT_TRUE(DrvStartDoc(test.pso(), nullptr, jobId_));
  EXPECT_EQ(test.PrintBandedPage(), 16);
  DrvEndDoc(test.pso(), 0);
  std::vector<SpoolCommand> commands = ReadCommands(EndJob());
  ASSERT_EQ(commands.size(), 1 + 2 + 16 + 1 + 1u);
  LONG y = 0;
  for (int band = 0; band < 16; band++) {
    const std::vector<uint8_t> &payload = commands[3 + band].payload;
    ASSERT_EQ(payload.size(), band < 15 ? 341100u : 16u * 3411);
    for (size_t row = 0; row < payload.size() / 3411; row++, y++) {
      for (size_t i = 0; i < 3411; i++) ASSERT_EQ(payload[row * 3411 + i], PaintedByte(y, i)) << y << "/" << i;
    }
  }
  EXPECT_EQ(y, 1516);
}

TEST_F(BandingTest, EveryGeometryEndsWithTheRemainingRows) {
  for (const Geometry &g : kGeometries) {
    TestPdev test(hPrinter_, Dm(SettingsFor(g)));
    StartJob();
    int bands = test.PrintBandedPage();
    std::vector<SpoolCommand> commands = ReadCommands(EndJob());
    int want = (Height(g) + 99) / 100;
    EXPECT_EQ(bands, want) << Narrow(g.formName);
    ASSERT_EQ(Codes(commands), PageCodes(want)) << Narrow(g.formName);
    EXPECT_EQ(commands[1].args,
              std::vector<uint32_t>({static_cast<uint32_t>(Width(g)), static_cast<uint32_t>(Height(g))}));
    LONG lastRows = Height(g) - 100 * (want - 1);
    EXPECT_EQ(commands[1 + want].payload.size(), static_cast<size_t>(lastRows * Width(g) * 3));
  }
  // A page of exactly 1600 rows: the sixteenth band is full and the last.
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[0])));
  test.pdev()->cySurface = 1600;
  StartJob();
  EXPECT_EQ(test.PrintBandedPage(), 16);
  std::vector<SpoolCommand> commands = ReadCommands(EndJob());
  ASSERT_EQ(Codes(commands), PageCodes(16));
  EXPECT_EQ(commands[17].args[0], 454800u);
}

TEST_F(BandingTest, NoBandIsInventedAfterTheLastOrWithoutAnOrigin) {
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[9])));
  StartJob();
  ASSERT_EQ(test.PrintBandedPage(), 12);
  unsigned writes = platform::CallCount(platform::Fault::WritePrinter);
  unsigned allocs = platform::CallCount(platform::Fault::HeapAlloc);
  POINTL ptl = {3, 3};
  SetLastError(0);
  EXPECT_FALSE(DrvNextBand(test.pso(), &ptl));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(ptl.x, -1);
  EXPECT_EQ(ptl.y, -1);
  EXPECT_FALSE(DrvStartBanding(test.pso(), nullptr));
  EXPECT_FALSE(DrvNextBand(test.pso(), nullptr));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter), writes);
  EXPECT_EQ(platform::CallCount(platform::Fault::HeapAlloc), allocs);
  EXPECT_FALSE(test.pdev()->flStatus & PDEVF_ABORTED);
  EndJob();
}

TEST_F(BandingTest, AnAbortEndsThePageButNotTheDocument) {
  // Checks: 1 at the start of the band, 2 before line 0, 3 before line 10.
  for (unsigned check : {1u, 2u, 3u, 11u + 3u}) {
    TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[0])));
    StartJob();
    ASSERT_TRUE(DrvStartDoc(test.pso(), nullptr, jobId_));
    platform::AbortAtCheck(check);
    int bands = test.PrintBandedPage();
    platform::AbortAtCheck(0);
    EXPECT_TRUE(test.pdev()->flStatus & PDEVF_ABORTED);
    POINTL ptl = {9, 9};
    EXPECT_FALSE(DrvStartPage(test.pso()));
    EXPECT_FALSE(DrvStartBanding(test.pso(), &ptl));
    EXPECT_FALSE(DrvNextBand(test.pso(), &ptl));
    EXPECT_FALSE(DrvSendPage(test.pso()));
    EXPECT_EQ(ptl.x, 9);
    EXPECT_TRUE(DrvEndDoc(test.pso(), 0));
    std::vector<uint32_t> expected = {CMD_START_DOC, CMD_START_PAGE, CMD_PAGE_SETUP};
    expected.insert(expected.end(), bands, CMD_IMAGE_DATA);
    expected.push_back(CMD_END_DOC);
    EXPECT_EQ(Codes(ReadCommands(EndJob())), expected) << "check " << check;
    EXPECT_EQ(bands, check > 11 ? 1 : 0);
  }
}

// Two pages; the nth WritePrinter of the job fails. Failures of the start
// and end commands are ignored, a failed page setup loses its page, and a
// failed image or end of page aborts all further page output.
// Every write of the job failing in turn, outright or by taking only half
// its bytes while reporting success: the stream keeps what was taken and
// goes on only where a lost command is tolerated.
TEST_F(BandingTest, AWriteFailureAtAnyCallOfATwoPageJob) {
  const AppSettings settings = SettingsFor(kGeometries[9]);
  platform::Fault kind = platform::Fault::WritePrinter;
  auto runJob = [&](unsigned failAt, FLONG *pflStatus) {
    TestPdev test(hPrinter_, &settings.dm);
    test.pdev()->cySurface = 250;  // three bands a page keep the job small
    StartJob();
    platform::FailNthCall(kind, failAt);
    DrvStartDoc(test.pso(), const_cast<LPWSTR>(L"two pages"), jobId_);
    test.PrintBandedPage();
    test.PrintBandedPage();
    EXPECT_TRUE(DrvEndDoc(test.pso(), 0));
    platform::FailNthCall(kind, 0);
    *pflStatus = test.pdev()->flStatus;
    return EndJob();
  };
  FLONG flStatus = 0;
  const std::vector<uint8_t> good = runJob(0, &flStatus);
  const std::vector<SpoolCommand> commands = ReadCommands(good);
  ASSERT_EQ(commands.size(), 1 + 2 * (3 + 3) + 1u);
  auto pageOf = [](size_t i) { return i == 0 ? -1 : static_cast<int>((i - 1) / 6); };
  std::vector<std::vector<size_t>> pieces;  // the write calls of each command
  for (const SpoolCommand &c : commands) {
    if (c.code == CMD_PAGE_SETUP)
      pieces.push_back({4, 4, 4, 4, 256});
    else if (c.code == CMD_IMAGE_DATA)
      pieces.push_back({4, 4, 4, c.args[0]});
    else
      pieces.push_back({4, 4});
  }
  for (platform::Fault each : {platform::Fault::WritePrinter, platform::Fault::ShortWritePrinter}) {
    kind = each;
    const bool shortWrite = kind == platform::Fault::ShortWritePrinter;
    unsigned call = 0;
    for (size_t failed = 0; failed < commands.size(); failed++) {
      for (size_t piece = 0; piece < pieces[failed].size(); piece++) {
        std::vector<uint8_t> bytes = runJob(++call, &flStatus);
        uint32_t code = commands[failed].code;
        bool aborts = code == CMD_IMAGE_DATA || code == CMD_END_PAGE;
        std::vector<uint8_t> expected;
        for (size_t i = 0; i < commands.size(); i++) {
          const SpoolCommand &c = commands[i];
          size_t size = c.size;
          bool samePage = pageOf(i) == pageOf(failed);
          if (i == failed) {
            size = 0;
            for (size_t p = 0; p < piece; p++) size += pieces[i][p];
            if (shortWrite) size += pieces[i][piece] / 2;
          } else if (i > failed && c.code != CMD_END_DOC && c.code != CMD_START_DOC &&
                     (aborts || (code == CMD_PAGE_SETUP && samePage && c.code != CMD_START_PAGE))) {
            size = 0;
          }
          expected.insert(expected.end(), good.begin() + c.offset, good.begin() + c.offset + size);
        }
        ASSERT_TRUE(bytes == expected) << "call " << call << ", command " << failed << (shortWrite ? ", short" : "");
        EXPECT_EQ((flStatus & PDEVF_ABORTED) != 0, aborts) << "call " << call << (shortWrite ? ", short" : "");
      }
    }
  }
}

// The surface's bytes, padding included.
std::vector<uint8_t> SurfaceBytes(SURFOBJ *pso) {
  const auto *bits = static_cast<const uint8_t *>(pso->pvScan0);
  return std::vector<uint8_t>(bits, bits + static_cast<size_t>(pso->lDelta) * pso->sizlBitmap.cy);
}

// The painted surface with its pixels made white: what a sent band leaves
// for the next one (the erase touches pixels, never the rows' padding).
std::vector<uint8_t> ErasedPixels(SURFOBJ *pso, std::vector<uint8_t> bytes) {
  const size_t pixelBytes = static_cast<size_t>(pso->sizlBitmap.cx) * 3;
  for (LONG y = 0; y < pso->sizlBitmap.cy; y++) {
    std::fill_n(bytes.begin() + static_cast<ptrdiff_t>(y) * pso->lDelta, pixelBytes, 0xFF);
  }
  return bytes;
}

// What a band hook leaves in the surface: after a band that was sent, white
// pixels everywhere, the lines below a short last band included; after a
// band that was not, the band exactly as it was drawn, whether the user
// cancelled at any of the band's checks or a write of its image or of the
// page's end failed, outright or short. DrvSendPage erases nothing.
TEST_F(BandingTest, ASentBandLeavesTheSurfaceWhiteAndALostOneLeavesItAsDrawn) {
  const AppSettings settings = SettingsFor(kGeometries[8]);  // 1137 wide: 3 bytes of padding a row
  auto newPage = [&](TestPdev &test) {
    test.pdev()->cySurface = 250;  // bands of 100, 100 and 50 rows
    StartJob();
    POINTL ptl{};
    EXPECT_TRUE(DrvStartDoc(test.pso(), nullptr, jobId_));
    EXPECT_TRUE(DrvStartPage(test.pso()));
    EXPECT_TRUE(DrvStartBanding(test.pso(), &ptl));
  };
  {
    TestPdev test(hPrinter_, &settings.dm);
    ASSERT_NE(test.pso()->lDelta, test.pso()->sizlBitmap.cx * 3);
    newPage(test);
    for (LONG top : {0, 100, 200}) {
      test.PaintBand(top);
      const std::vector<uint8_t> painted = SurfaceBytes(test.pso());
      POINTL ptl{};
      ASSERT_TRUE(DrvNextBand(test.pso(), &ptl)) << top;
      EXPECT_TRUE(SurfaceBytes(test.pso()) == ErasedPixels(test.pso(), painted)) << "after the band at " << top;
    }
    DrvEndDoc(test.pso(), 0);
    EndJob();
  }
  // Checks of the first band: 1 at its start, 2 before line 0, then one
  // before every tenth line.
  for (unsigned check : {1u, 2u, 3u, 6u, 11u}) {
    TestPdev test(hPrinter_, &settings.dm);
    newPage(test);
    test.PaintBand(0);
    const std::vector<uint8_t> painted = SurfaceBytes(test.pso());
    platform::AbortAtCheck(check);
    POINTL ptl{};
    EXPECT_FALSE(DrvNextBand(test.pso(), &ptl)) << "check " << check;
    platform::AbortAtCheck(0);
    EXPECT_TRUE(SurfaceBytes(test.pso()) == painted) << "cancelled at check " << check;
    DrvEndDoc(test.pso(), 0);
    EndJob();
  }
  // Writes of a band: marker, code, length, pixels; of the last band the
  // end of the page follows (marker, code).
  struct LostWrite {
    int band;
    unsigned write;
  };
  for (platform::Fault kind : {platform::Fault::WritePrinter, platform::Fault::ShortWritePrinter}) {
    for (LostWrite lost : {LostWrite{0, 1}, LostWrite{0, 4}, LostWrite{2, 4}, LostWrite{2, 5}, LostWrite{2, 6}}) {
      TestPdev test(hPrinter_, &settings.dm);
      newPage(test);
      POINTL ptl{};
      for (int band = 0; band < lost.band; band++) {
        test.PaintBand(ptl.y);
        ASSERT_TRUE(DrvNextBand(test.pso(), &ptl));
      }
      test.PaintBand(ptl.y);
      const std::vector<uint8_t> painted = SurfaceBytes(test.pso());
      platform::FailNthCall(kind, lost.write);
      EXPECT_FALSE(DrvNextBand(test.pso(), &ptl));
      platform::FailNthCall(kind, 0);
      EXPECT_TRUE(test.pdev()->flStatus & PDEVF_ABORTED);
      EXPECT_TRUE(SurfaceBytes(test.pso()) == painted) << "band " << lost.band << ", write " << lost.write;
      DrvEndDoc(test.pso(), 0);
      EndJob();
    }
  }
  {
    TestPdev test(hPrinter_, &settings.dm);
    StartJob();
    ASSERT_TRUE(DrvStartDoc(test.pso(), nullptr, jobId_));
    test.PaintBand(0);
    const std::vector<uint8_t> painted = SurfaceBytes(test.pso());
    ASSERT_TRUE(DrvSendPage(test.pso()));
    EXPECT_TRUE(SurfaceBytes(test.pso()) == painted);
    DrvEndDoc(test.pso(), 0);
    EndJob();
  }
}

TEST_F(BandingTest, AResetPdevContinuesTheOpenDocument) {
  auto first = std::make_unique<TestPdev>(hPrinter_, Dm(SettingsFor(kGeometries[0])));
  StartJob();
  ASSERT_TRUE(DrvStartDoc(first->pso(), const_cast<LPWSTR>(L"first"), jobId_));
  ASSERT_EQ(first->PrintBandedPage(), 23);
  TestPdev second(hPrinter_, Dm(SettingsFor(kGeometries[1])));
  ASSERT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(first->pdev()), reinterpret_cast<DHPDEV>(second.pdev())));
  first.reset();
  ASSERT_TRUE(DrvStartDoc(second.pso(), const_cast<LPWSTR>(L"second"), jobId_));
  EXPECT_EQ(second.pdev()->cPages, 1);
  EXPECT_EQ(second.pdev()->pwszDocName, nullptr);
  EXPECT_EQ(second.PrintBandedPage(), 16);
  EXPECT_EQ(second.pdev()->cPages, 2);
  ASSERT_TRUE(DrvEndDoc(second.pso(), 0));
  EXPECT_EQ(second.pdev()->flStatus & (PDEVF_DOC_STARTED | PDEVF_RESET_IN_DOC), 0u);
  std::vector<SpoolCommand> commands = ReadCommands(EndJob());
  std::vector<uint32_t> expected = {CMD_START_DOC};
  for (uint32_t code : PageCodes(23)) expected.push_back(code);
  expected.push_back(CMD_START_DOC);
  for (uint32_t code : PageCodes(16)) expected.push_back(code);
  expected.push_back(CMD_END_DOC);
  ASSERT_EQ(Codes(commands), expected);
  EXPECT_EQ(commands[29].args, std::vector<uint32_t>({2274, 1516}));
}

TEST_F(BandingTest, PagesAndDocumentsKeepTheirCounts) {
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[8])));
  StartJob();
  ASSERT_TRUE(DrvStartDoc(test.pso(), const_cast<LPWSTR>(L"name"), jobId_));
  EXPECT_EQ(U16(test.pdev()->pwszDocName), u"name");
  ASSERT_TRUE(DrvStartPage(test.pso()));
  test.PaintBand(0);
  ASSERT_TRUE(DrvStartPage(test.pso()));  // no second erase, no second count
  EXPECT_EQ(static_cast<uint8_t *>(test.pso()->pvScan0)[5], PaintedByte(0, 5));
  EXPECT_EQ(test.pdev()->cPages, 1);
  // The non-banded finish: the surface as one record, then the end of page.
  ASSERT_TRUE(DrvSendPage(test.pso()));
  EXPECT_EQ(test.pdev()->cPages, 2);
  EXPECT_FALSE(test.pdev()->flStatus & PDEVF_PAGE_STARTED);
  ASSERT_TRUE(DrvStartDoc(test.pso(), nullptr, jobId_));
  EXPECT_EQ(test.pdev()->pwszDocName, nullptr);
  EXPECT_EQ(test.pdev()->cPages, 0);
  std::vector<SpoolCommand> commands = ReadCommands(EndJob());
  ASSERT_EQ(Codes(commands), std::vector<uint32_t>({CMD_START_DOC, CMD_IMAGE_DATA, CMD_END_PAGE, CMD_START_DOC}));
  EXPECT_EQ(commands[1].payload.size(), 341100u);
  EXPECT_EQ(commands[1].payload[3411], PaintedByte(1, 0));
}

TEST_F(BandingTest, FailedBuffersAndSurfacesAreReportedWithoutAborting) {
  TestPdev test(hPrinter_, Dm(SettingsFor(kGeometries[0])));
  StartJob();
  unsigned writes = platform::CallCount(platform::Fault::WritePrinter);
  platform::FailNthCall(platform::Fault::HeapAlloc, 1);
  EXPECT_FALSE(DrvStartDoc(test.pso(), const_cast<LPWSTR>(L"doc"), jobId_));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter), writes);
  POINTL ptl{};
  ASSERT_TRUE(DrvStartBanding(test.pso(), &ptl));
  platform::FailNthCall(platform::Fault::HeapAlloc, 1);
  SetLastError(0);
  EXPECT_FALSE(DrvNextBand(test.pso(), &ptl));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(ptl.y, -1);
  platform::FailNthCall(platform::Fault::HeapAlloc, 1);
  EXPECT_FALSE(DrvSendPage(test.pso()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(test.pdev()->flStatus & PDEVF_ABORTED);
  platform::FailNthCall(platform::Fault::WritePrinter, 4);  // the page's pixels
  EXPECT_FALSE(DrvSendPage(test.pso()));
  EXPECT_TRUE(test.pdev()->flStatus & PDEVF_ABORTED);
  EndJob();

  TestPdev bare(hPrinter_, nullptr, false);
  platform::FailNthCall(platform::Fault::EngCreateBitmap, 1);
  EXPECT_EQ(DrvEnableSurface(reinterpret_cast<DHPDEV>(bare.pdev())), nullptr);
  EXPECT_EQ(bare.pdev()->hsurf, nullptr);
  // A second enable that fails keeps the first surface, alive and in use.
  HSURF hsurf = DrvEnableSurface(reinterpret_cast<DHPDEV>(bare.pdev()));
  ASSERT_NE(hsurf, nullptr);
  const size_t surfaces = platform::Live().surfaces;
  platform::FailNthCall(platform::Fault::EngCreateBitmap, 1);
  EXPECT_EQ(DrvEnableSurface(reinterpret_cast<DHPDEV>(bare.pdev())), nullptr);
  EXPECT_EQ(bare.pdev()->hsurf, hsurf);
  EXPECT_EQ(platform::Live().surfaces, surfaces);
  SURFOBJ *pso = EngLockSurface(hsurf);
  EXPECT_NE(pso, nullptr);
  if (pso != nullptr) EngUnlockSurface(pso);
  DrvDisableSurface(reinterpret_cast<DHPDEV>(bare.pdev()));
}

TEST_F(BandingTest, BltHooksAlwaysHalftone) {
  // Four alternating black and white pixels shrunk to two: the nearest
  // pixel would be black or white, halftoning averages them to grey.
  HSURF hsurfSrc = reinterpret_cast<HSURF>(EngCreateBitmap({4, 1}, 12, BMF_24BPP, BMF_TOPDOWN, nullptr));
  HSURF hsurfDst = reinterpret_cast<HSURF>(EngCreateBitmap({2, 1}, 8, BMF_24BPP, BMF_TOPDOWN, nullptr));
  SURFOBJ *src = EngLockSurface(hsurfSrc);
  SURFOBJ *dst = EngLockSurface(hsurfDst);
  ASSERT_TRUE(src != nullptr && dst != nullptr);
  std::memset(src->pvScan0, 0, 12);
  std::memset(static_cast<uint8_t *>(src->pvScan0) + 3, 0xFF, 3);
  std::memset(static_cast<uint8_t *>(src->pvScan0) + 9, 0xFF, 3);
  RECTL rclSrc = {0, 0, 4, 1}, rclDst = {0, 0, 2, 1};
  auto grey = [&] {
    uint8_t value = static_cast<uint8_t *>(dst->pvScan0)[0];
    std::memset(dst->pvScan0, 0x33, 6);
    return value > 0x40 && value < 0xC0;
  };
  EXPECT_TRUE(
      EngStretchBlt(dst, src, nullptr, nullptr, nullptr, nullptr, nullptr, &rclDst, &rclSrc, nullptr, COLORONCOLOR));
  EXPECT_FALSE(grey()) << "the engine must tell the modes apart";
  EXPECT_TRUE(
      DrvStretchBlt(dst, src, nullptr, nullptr, nullptr, nullptr, nullptr, &rclDst, &rclSrc, nullptr, COLORONCOLOR));
  EXPECT_TRUE(grey());
  EXPECT_TRUE(DrvStretchBltROP(dst, src, nullptr, nullptr, nullptr, nullptr, nullptr, &rclDst, &rclSrc, nullptr,
                               BLACKONWHITE, nullptr, 0xCCCC));
  EXPECT_TRUE(grey());
  POINTFIX corners[3] = {{0, 0}, {2 * 16, 0}, {0, 16}};
  EXPECT_TRUE(
      DrvPlgBlt(dst, src, nullptr, nullptr, nullptr, nullptr, nullptr, corners, &rclSrc, nullptr, COLORONCOLOR));
  EXPECT_TRUE(grey());
  EngUnlockSurface(src);
  EngUnlockSurface(dst);
  EngDeleteSurface(hsurfSrc);
  EngDeleteSurface(hsurfDst);
}

// The engine's band player drives the hooks: a red square drawn at page
// position (10, 150) arrives in the second band's rows, red first.
TEST_F(BandingTest, TheBandPlayerPrintsThroughTheHooks) {
  AppSettings settings = SettingsFor(kGeometries[0]);
  std::vector<uint8_t> bytes;
  {
    platform::PrinterDC dc(DrvEnableDriver, hPrinter_, u"KVT-RZ4", &settings.dm, DrvDisableDriver);
    ASSERT_TRUE(dc.Valid()) << dc.Failure();
    ASSERT_TRUE(dc.StartDoc(u"player"));
    platform::PageDrawing page;
    page.FillRect({10, 150, 20, 160}, 0xFF, 0x00, 0x00);
    ASSERT_TRUE(dc.PlayPage(page)) << dc.Failure();
    ASSERT_TRUE(dc.EndDoc());
    bytes = platform::JobOutput(dc.JobId());
  }
  std::vector<SpoolCommand> commands = ReadCommands(bytes);
  ASSERT_GE(commands.size(), 5u);
  EXPECT_EQ(commands.back().code, static_cast<uint32_t>(CMD_END_DOC));
  const std::vector<uint8_t> &band = commands[4].payload;  // rows 100 to 199
  ASSERT_EQ(band.size(), 454800u);
  auto pixel = [&](LONG x, LONG y) {
    return std::vector<uint8_t>(&band[(y * 1516 + x) * 3], &band[(y * 1516 + x) * 3 + 3]);
  };
  EXPECT_EQ(pixel(10, 50), std::vector<uint8_t>({0xFF, 0x00, 0x00}));
  EXPECT_EQ(pixel(19, 59), std::vector<uint8_t>({0xFF, 0x00, 0x00}));
  EXPECT_EQ(pixel(20, 50), std::vector<uint8_t>({0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(pixel(10, 49), std::vector<uint8_t>({0xFF, 0xFF, 0xFF}));
}

}  // namespace
}  // namespace render_test
