// Creating, completing, resetting and destroying a PDEV; the capability
// records it hands to GDI; and the signature check on every entry point.
#include <cstring>

#include "render_test_support.h"

namespace render_test {
namespace {

using PdevTest = RenderTest;

DHPDEV Enable(HANDLE hPrinter, const DEVMODEW *pdm, ULONG cjCaps, void *pCaps, ULONG cjDevInfo, DEVINFO *pdi,
              ULONG cPat = 0, HSURF *phsurf = nullptr) {
  WCHAR deviceName[] = L"KVT-RZ4";
  return DrvEnablePDEV(const_cast<DEVMODEW *>(pdm), nullptr, cPat, phsurf, cjCaps, static_cast<ULONG *>(pCaps),
                       cjDevInfo, pdi, nullptr, deviceName, hPrinter);
}

TEST_F(PdevTest, NullSettingsGiveTheDefaultsAndTheDefaultPrinterData) {
  GDIINFO gdi{};
  DEVINFO devinfo{};
  HSURF patterns[6];
  std::memset(patterns, 0x5A, sizeof(patterns));
  auto *pdev =
      reinterpret_cast<PDEV *>(Enable(hPrinter_, nullptr, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo, 4, patterns));
  ASSERT_NE(pdev, nullptr);
  EXPECT_TRUE(IsValidPdev(pdev));
  EXPECT_EQ(pdev->hPrinter, hPrinter_);
  EXPECT_EQ(pdev->flStatus, 0u);
  EXPECT_EQ(pdev->lCopies, 1);
  EXPECT_EQ(U16(pdev->dm.dmFormName), u"Post card");
  EXPECT_EQ(pdev->dmPrivate.dwBorder, 0u);  // borderless Post card by default
  EXPECT_EQ(gdi.ulHorzRes, 1664u);
  const BYTE defaultData[8] = {0x00, 0x04, 0x08, 0x00, 0, 0, 0, 0};
  EXPECT_EQ(std::memcmp(pdev->pPrinterData, defaultData, 8), 0);
  EXPECT_NE(pdev->hpal, nullptr);
  EXPECT_EQ(devinfo.hpalDefault, pdev->hpal);
  for (int i = 0; i < 4; i++) EXPECT_EQ(patterns[i], nullptr);
  EXPECT_NE(patterns[4], nullptr);  // only cPat handles are the driver's to clear
  DrvDisablePDEV(reinterpret_cast<DHPDEV>(pdev));
}

TEST_F(PdevTest, KeepsThePrintersOwnDataBlock) {
  const BYTE block[5] = {1, 2, 3, 4, 5};
  DWORD cb = sizeof(block);
  SetPrinterValue(u"PrinterDataSize", &cb, sizeof(cb));
  SetPrinterValue(u"PrinterData", block, sizeof(block));
  TestPdev test(hPrinter_, nullptr, false);
  ASSERT_NE(test.pdev(), nullptr);
  EXPECT_EQ(std::memcmp(test.pdev()->pPrinterData, block, sizeof(block)), 0);
}

// The values derived from the settings rather than fixed in the records.
TEST_F(PdevTest, CapabilityRecordsFollowThePrintQuality) {
  TestPdev test(hPrinter_, &AppSettings().Form(u"Post card").Border(1).dm, false);
  EXPECT_EQ(test.gdi().denStyleStep, 16);
  EXPECT_EQ(test.gdi().ulAspectXY, 569u);
  const DEVINFO &di = test.devinfo();
  EXPECT_EQ(di.lfDefaultFont.lfHeight, -56);
  EXPECT_EQ(di.lfDefaultFont.lfPitchAndFamily, 0x31);
  EXPECT_EQ(U16(di.lfDefaultFont.lfFaceName), u"Courier");
  EXPECT_EQ(di.lfAnsiVarFont.lfPitchAndFamily, 0x22);
  EXPECT_EQ(U16(di.lfAnsiVarFont.lfFaceName), u"Helvetica");
  EXPECT_EQ(std::memcmp(&di.lfAnsiFixFont, &di.lfDefaultFont, sizeof(LOGFONTW)), 0);
}

TEST_F(PdevTest, CapabilityBuffersGetExactlyTheirOwnLength) {
  // Larger than the record: zero behind it. Smaller: the record's first
  // bytes and nothing beyond the caller's length.
  std::vector<BYTE> big(sizeof(GDIINFO) + 32, 0xCD), small(sizeof(GDIINFO), 0xCD);
  std::vector<BYTE> smallDev(sizeof(DEVINFO), 0xCD);
  DEVINFO devinfo{};
  DHPDEV dhpdev = Enable(hPrinter_, nullptr, static_cast<ULONG>(big.size()), big.data(), sizeof(devinfo), &devinfo);
  ASSERT_NE(dhpdev, nullptr);
  for (size_t i = sizeof(GDIINFO); i < big.size(); i++) ASSERT_EQ(big[i], 0) << i;
  DrvDisablePDEV(dhpdev);
  dhpdev = Enable(hPrinter_, nullptr, 12, small.data(), 8, reinterpret_cast<DEVINFO *>(smallDev.data()));
  ASSERT_NE(dhpdev, nullptr);
  ULONG words[3];
  std::memcpy(words, small.data(), 12);
  EXPECT_EQ(words[0], 0x400u);
  EXPECT_EQ(words[2], 104u);  // ulHorzSize
  EXPECT_EQ(small[12], 0xCD);
  EXPECT_EQ(smallDev[8], 0xCD);
  DrvDisablePDEV(dhpdev);
}

TEST_F(PdevTest, EveryFailedAllocationYieldsNullOrAWholePdevAndLeaksNothing) {
  const platform::Fault faults[] = {platform::Fault::HeapCreate, platform::Fault::HeapAlloc,
                                    platform::Fault::GlobalAlloc, platform::Fault::EngCreatePalette};
  AppSettings settings = AppSettings().Form(u"Small");
  for (platform::Fault fault : faults) {
    unsigned before = platform::CallCount(fault);
    GDIINFO gdi{};
    DEVINFO devinfo{};
    DHPDEV dhpdev = Enable(hPrinter_, &settings.dm, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo);
    ASSERT_NE(dhpdev, nullptr);
    DrvDisablePDEV(dhpdev);
    unsigned calls = platform::CallCount(fault) - before;
    ASSERT_GT(calls, 0u);
    for (unsigned nth = 1; nth <= calls; nth++) {
      platform::FailNthCall(fault, nth);
      dhpdev = Enable(hPrinter_, &settings.dm, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo);
      platform::FailNthCall(fault, 0);
      if (dhpdev != nullptr) {
        EXPECT_TRUE(IsValidPdev(reinterpret_cast<PDEV *>(dhpdev)));
        DrvDisablePDEV(dhpdev);
      }
      platform::LiveObjects live = platform::Live();
      EXPECT_EQ(live.heaps, baseline_.heaps) << static_cast<int>(fault) << " #" << nth;
      EXPECT_EQ(live.globalBlocks, baseline_.globalBlocks) << static_cast<int>(fault) << " #" << nth;
      EXPECT_EQ(live.palettes, baseline_.palettes) << static_cast<int>(fault) << " #" << nth;
    }
  }
  // The heap, the PDEV, the default printer data (the first block taken) and
  // the palette are essential.
  const struct {
    platform::Fault fault;
    unsigned nth;
  } essential[] = {{platform::Fault::HeapCreate, 1},
                   {platform::Fault::HeapAlloc, 1},
                   {platform::Fault::GlobalAlloc, 1},
                   {platform::Fault::EngCreatePalette, 1}};
  for (const auto &e : essential) {
    platform::FailNthCall(e.fault, e.nth);
    GDIINFO gdi{};
    DEVINFO devinfo{};
    EXPECT_EQ(Enable(hPrinter_, nullptr, sizeof(gdi), &gdi, sizeof(devinfo), &devinfo), nullptr)
        << static_cast<int>(e.fault);
    platform::FailNthCall(e.fault, 0);
  }
}

TEST_F(PdevTest, ResetCarriesOnlyTheOpenDocument) {
  TestPdev oldPdev(hPrinter_, nullptr, false), newPdev(hPrinter_, nullptr, false), other(hPrinter_, nullptr, false);
  PDEV *o = oldPdev.pdev();
  o->flStatus = PDEVF_DOC_STARTED | PDEVF_ABORTED | PDEVF_PAGE_STARTED;
  o->cPages = 3;
  o->yNextBand = 500;
  EXPECT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(o), reinterpret_cast<DHPDEV>(newPdev.pdev())));
  EXPECT_EQ(newPdev.pdev()->flStatus, PDEVF_DOC_STARTED | PDEVF_RESET_IN_DOC);
  EXPECT_EQ(newPdev.pdev()->cPages, 3);
  EXPECT_EQ(newPdev.pdev()->yNextBand, 0);
  o->flStatus = 0;
  EXPECT_TRUE(DrvResetPDEV(reinterpret_cast<DHPDEV>(o), reinterpret_cast<DHPDEV>(other.pdev())));
  EXPECT_EQ(other.pdev()->flStatus, 0u);
  EXPECT_EQ(other.pdev()->cPages, 0);
}

// Signature damage at either end, or no PDEV at all, on every entry point.
TEST_F(PdevTest, EveryEntryPointRefusesAnInvalidPdev) {
  TestPdev good(hPrinter_, nullptr);
  ASSERT_NE(good.pso(), nullptr);
  PDEV bad[2];
  std::memcpy(&bad[0], good.pdev(), sizeof(PDEV));
  std::memcpy(&bad[1], good.pdev(), sizeof(PDEV));
  bad[0].dwSignature ^= 1;
  bad[1].dwSignatureEnd ^= 1;
  DHPDEV candidates[] = {reinterpret_cast<DHPDEV>(&bad[0]), reinterpret_cast<DHPDEV>(&bad[1]), nullptr};
  DHPDEV goodHandle = reinterpret_cast<DHPDEV>(good.pdev());
  unsigned writesBefore = platform::CallCount(platform::Fault::WritePrinter);
  for (DHPDEV dhpdev : candidates) {
    SURFOBJ so = *good.pso();
    so.dhpdev = dhpdev;
    POINTL ptl = {7, 7};
    auto expectRefused = [](BOOL result, const char *what) {
      EXPECT_FALSE(result) << what;
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER)) << what;
      SetLastError(0);
    };
    SetLastError(0);
    DrvCompletePDEV(dhpdev, nullptr);
    expectRefused(FALSE, "DrvCompletePDEV");
    expectRefused(DrvResetPDEV(dhpdev, goodHandle), "DrvResetPDEV old");
    expectRefused(DrvResetPDEV(goodHandle, dhpdev), "DrvResetPDEV new");
    DrvDisablePDEV(dhpdev);
    expectRefused(FALSE, "DrvDisablePDEV");
    expectRefused(DrvEnableSurface(dhpdev) != nullptr, "DrvEnableSurface");
    DrvDisableSurface(dhpdev);
    EXPECT_EQ(GetLastError(), 0u) << "DrvDisableSurface is silent";
    expectRefused(DrvStartDoc(&so, nullptr, 1), "DrvStartDoc");
    expectRefused(DrvEndDoc(&so, 0), "DrvEndDoc");
    expectRefused(DrvStartPage(&so), "DrvStartPage");
    expectRefused(DrvSendPage(&so), "DrvSendPage");
    expectRefused(DrvStartBanding(&so, &ptl), "DrvStartBanding");
    expectRefused(DrvNextBand(&so, &ptl), "DrvNextBand");
    EXPECT_EQ(ptl.x, 7);
  }
  SetLastError(0);
  EXPECT_FALSE(DrvStartDoc(nullptr, nullptr, 1));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(platform::CallCount(platform::Fault::WritePrinter), writesBefore);
  EXPECT_NE(good.pdev()->hsurf, nullptr);  // the damaged copies touched nothing of the real PDEV
}

}  // namespace
}  // namespace render_test
