// The settings image: defaults, the merge of an application's DEVMODEW, the
// conversion between DEVMODE versions, and the printer data values.
#include <cstring>

#include "messages.h"
#include "paper.h"
#include "printer_data.h"
#include "render_test_support.h"
#include "settings.h"
#include "text.h"

namespace render_test {
namespace {

using SettingsTest = RenderTest;

struct Image {
  DEVMODEW dm;
  PRIVDEVMODE priv;
};

Image Defaults(HANDLE hPrinter) {
  Image image;
  std::memset(&image, 0xCD, sizeof(image));
  InitDefaultDevmode(&image.dm, L"KVT-RZ4", hPrinter);
  return image;
}

TEST_F(SettingsTest, DefaultsFillTheWholeImage) {
  Image image = Defaults(hPrinter_);
  const DEVMODEW &dm = image.dm;
  EXPECT_EQ(U16(dm.dmDeviceName), u"KVT-RZ4");
  EXPECT_EQ(dm.dmDeviceName[31], 0);
  const struct {
    size_t offset;
    long long value;
  } words[] = {{64, 0x401}, {66, 0x400}, {68, 220}, {70, 36}, {76, 1},   {78, 0}, {84, 100}, {86, 1},
               {88, 14},    {90, 403},   {92, 2},   {94, 1},  {96, 403}, {98, 1}, {100, 0},  {166, 403}};
  for (const auto &w : words) {
    WORD value = 0;
    std::memcpy(&value, reinterpret_cast<const BYTE *>(&dm) + w.offset, sizeof(value));
    EXPECT_EQ(value, w.value) << "offset " << w.offset;
  }
  EXPECT_EQ(dm.dmFields, 0x10303u);
  EXPECT_EQ(U16(dm.dmFormName), u"Post card");
  const DWORD tail[] = {24, 0, 0, 0, 0, 2, 3, 1, 1, 0, 0, 0, 0};  // dmBitsPerPel onwards
  EXPECT_EQ(std::memcmp(reinterpret_cast<const BYTE *>(&dm) + 168, tail, sizeof(tail)), 0);
  const BYTE privDefault[36] = {0x34, 0x52, 0x56, 0x4B, 0, 0, 0, 0, 0, 0, 100, 0, 100, 0, 100, 0};
  EXPECT_EQ(std::memcmp(&image.priv, privDefault, sizeof(privDefault)), 0);
}

TEST_F(SettingsTest, DefaultsNameTheTrayPaperAndCutLongDeviceNames) {
  SetTrayKind(2);
  Image image;
  InitDefaultDevmode(&image.dm, L"0123456789012345678901234567890123456789", hPrinter_);
  EXPECT_EQ(U16(image.dm.dmDeviceName), u"0123456789012345678901234567890");
  EXPECT_EQ(U16(image.dm.dmFormName), u"Small");
  InitDefaultDevmode(&image.dm, nullptr, nullptr);
  EXPECT_EQ(U16(image.dm.dmDeviceName), u"");
  EXPECT_EQ(U16(image.dm.dmFormName), u"Post card");
}

TEST_F(SettingsTest, MergeTakesOrientationCopiesAndQualityOnlyWithTheirFlags) {
  const struct {
    DWORD fields;
    short orientation, copies, quality;
    short wantOrientation, wantCopies;
    bool wantQualityFlag;
  } cases[] = {
      {DM_ORIENTATION, 2, 0, 0, 2, 1, false},   {DM_ORIENTATION, 3, 0, 0, 1, 1, false}, {0, 2, 5, 300, 1, 1, false},
      {DM_COPIES, 0, 5, 0, 1, 5, false},        {DM_COPIES, 0, -4, 0, 1, -4, false},  // taken unchecked
      {DM_PRINTQUALITY, 0, 0, 300, 1, 1, true},
  };
  for (const auto &c : cases) {
    Image image = Defaults(hPrinter_);
    AppSettings app;
    app.dm.dmFields = c.fields;
    app.dm.dmOrientation = c.orientation;
    app.dm.dmCopies = c.copies;
    app.dm.dmPrintQuality = c.quality;
    app.dm.dmScale = 50;
    app.dm.dmColor = 1;
    ASSERT_TRUE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
    EXPECT_EQ(image.dm.dmOrientation, c.wantOrientation) << c.fields;
    EXPECT_EQ(image.dm.dmCopies, c.wantCopies) << c.fields;
    EXPECT_EQ(image.dm.dmPrintQuality, 403);
    EXPECT_EQ((image.dm.dmFields & DM_PRINTQUALITY) != 0, c.wantQualityFlag);
    EXPECT_EQ(image.dm.dmScale, 100);  // never taken
    EXPECT_EQ(image.dm.dmColor, 2);
  }
}

TEST_F(SettingsTest, MergeAcceptsOnlyTheLocalizedFormNames) {
  SetTrayKind(2);
  const struct {
    const char16_t *name;
    DWORD fields;
    const char16_t *want;
  } cases[] = {
      {u"3.5x5 inch", DM_FORMNAME, u"3.5x5 inch"},
      {u"A4", DM_FORMNAME, u"Small"},
      {u"3.5X5 INCH", DM_FORMNAME, u"Small"},  // exact, case-sensitive
      {u"3.5x5 inch", 0, u"Small"},
  };
  for (const auto &c : cases) {
    Image image = Defaults(hPrinter_);
    AppSettings app;
    app.Form(c.name);
    app.dm.dmFields = c.fields;
    ASSERT_TRUE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
    EXPECT_EQ(U16(image.dm.dmFormName), c.want) << Narrow(c.name);
    EXPECT_EQ(image.dm.dmFields & (DM_FORMNAME | DM_PAPERSIZE | DM_PAPERWIDTH | DM_PAPERLENGTH),
              static_cast<DWORD>(DM_FORMNAME | DM_PAPERSIZE));
  }
  // A name that fills all 32 characters without a terminator is cut, not
  // read past its field.
  Image image = Defaults(hPrinter_);
  AppSettings app;
  app.dm.dmFields = DM_FORMNAME;
  for (WCHAR &ch : app.dm.dmFormName) ch = L'x';
  ASSERT_TRUE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
  EXPECT_EQ(U16(image.dm.dmFormName), u"Small");
}

TEST_F(SettingsTest, MergeClampsThePrivateBlockAndIgnoresForeignOnes) {
  Image image = Defaults(hPrinter_);
  AppSettings app;
  app.priv.sRed = 79;
  app.priv.sGreen = 120;
  app.priv.sBlue = 121;
  app.priv.sDensity = -8;
  app.priv.sSharpness = 5;
  app.priv.dwBorder = 7;
  app.priv.dwReserved0 = 0x11223344;
  app.priv.abReserved[11] = 0x99;
  ASSERT_TRUE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
  EXPECT_EQ(image.priv.sRed, 100);
  EXPECT_EQ(image.priv.sGreen, 120);
  EXPECT_EQ(image.priv.sBlue, 100);
  EXPECT_EQ(image.priv.sDensity, 0);
  EXPECT_EQ(image.priv.sSharpness, 0);
  EXPECT_EQ(image.priv.dwBorder, 7u);
  EXPECT_EQ(image.priv.dwReserved0, 0x11223344u);
  EXPECT_EQ(image.priv.abReserved[11], 0x99);

  Image fresh = Defaults(hPrinter_);
  const Image defaults = Defaults(hPrinter_);
  app.priv.dwSignature = 0x12345678;
  app.priv.sDensity = 3;
  ASSERT_TRUE(MergeDevmode(&fresh.dm, &app.dm, hPrinter_));
  EXPECT_EQ(std::memcmp(&fresh.priv, &defaults.priv, sizeof(PRIVDEVMODE)), 0);
}

TEST_F(SettingsTest, MergeReadsOlderAndShorterRecordsFromTheirOwnOffsets) {
  // A version 0x320 record (188 bytes) with its private block behind it.
  std::vector<BYTE> old(188 + 36, 0);
  auto *pdmOld = reinterpret_cast<DEVMODEW *>(old.data());
  pdmOld->dmSize = 188;
  pdmOld->dmDriverExtra = 36;
  PRIVDEVMODE priv{};
  priv.dwSignature = PDEV_SIGNATURE;
  priv.sRed = priv.sGreen = priv.sBlue = 90;
  priv.sSharpness = 3;
  std::memcpy(old.data() + 188, &priv, sizeof(priv));
  Image image = Defaults(hPrinter_);
  ASSERT_TRUE(MergeDevmode(&image.dm, pdmOld, hPrinter_));
  EXPECT_EQ(image.priv.sRed, 90);
  EXPECT_EQ(image.priv.sSharpness, 3);
  EXPECT_EQ(image.dm.dmSize, 220);

  // Only 20 private bytes: the rest of the block comes from the defaults.
  AppSettings app;
  app.dm.dmDriverExtra = 20;
  app.priv.sDensity = 5;  // offset 16: taken
  app.priv.dwBorder = 9;  // offset 20: beyond the caller's block
  image = Defaults(hPrinter_);
  ASSERT_TRUE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
  EXPECT_EQ(image.priv.sDensity, 5);
  EXPECT_EQ(image.priv.dwBorder, 0u);
}

TEST_F(SettingsTest, MergeRefusesUnknownRecordsAndSurvivesAllocationFailure) {
  Image image = Defaults(hPrinter_);
  Image before = image;
  AppSettings app;
  app.dm.dmSize = 200;
  app.dm.dmSpecVersion = 0;
  app.dm.dmFields = DM_ORIENTATION;
  app.dm.dmOrientation = 2;
  EXPECT_FALSE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
  EXPECT_EQ(std::memcmp(&image, &before, sizeof(image)), 0);
  app.dm.dmSize = 220;
  platform::FailNthCall(platform::Fault::GlobalAlloc, 1);
  EXPECT_FALSE(MergeDevmode(&image.dm, &app.dm, hPrinter_));
  EXPECT_EQ(std::memcmp(&image, &before, sizeof(image)), 0);
  EXPECT_TRUE(MergeDevmode(&image.dm, nullptr, hPrinter_));
}

TEST(ConvertDevmode, CopiesNoMoreThanTheOutputHoldsAndKeepsItsSizes) {
  EXPECT_EQ(SpecVersionOf(nullptr), 0);
  const struct {
    WORD size, stored, want;
  } versions[] = {{188, 0, 0x320}, {212, 0, 0x400}, {220, 0x999, 0x401}, {300, 0x500, 0x500}, {200, 0, 0}};
  DEVMODEW dm{};
  for (const auto &v : versions) {
    dm.dmSize = v.size;
    dm.dmSpecVersion = v.stored;
    EXPECT_EQ(SpecVersionOf(&dm), v.want) << v.size;
  }
  // A 300-byte input with 64 private bytes into a 212-byte output with 8.
  std::vector<BYTE> in(364, 0x11), out(212 + 8 + 16, 0xEE);
  auto *pdmIn = reinterpret_cast<DEVMODEW *>(in.data());
  auto *pdmOut = reinterpret_cast<DEVMODEW *>(out.data());
  pdmIn->dmSize = 300;
  pdmIn->dmDriverExtra = 64;
  pdmOut->dmSize = 212;
  pdmOut->dmDriverExtra = 8;
  pdmOut->dmDriverVersion = 0x77;
  EXPECT_EQ(ConvertDevmode(pdmIn, pdmOut), 212 + 8);
  EXPECT_EQ(pdmOut->dmSize, 212);
  EXPECT_EQ(pdmOut->dmDriverExtra, 8);
  EXPECT_EQ(pdmOut->dmDriverVersion, 0x77);
  EXPECT_EQ(pdmOut->dmSpecVersion, 0x400);
  EXPECT_EQ(out[219], 0x11);
  EXPECT_EQ(out[220], 0xEE);
  pdmIn->dmSize = 201;
  pdmIn->dmSpecVersion = 0;
  EXPECT_EQ(ConvertDevmode(pdmIn, pdmOut), -1);
  EXPECT_EQ(ConvertDevmode(pdmOut, nullptr), -1);
}

TEST_F(SettingsTest, TrayKindNeedsAFourByteTable) {
  EXPECT_EQ(GetTrayPaperKind(hPrinter_), 0);  // no values at all
  EXPECT_EQ(GetTrayPaperKind(nullptr), 0);
  SetTrayKind(1);
  EXPECT_EQ(GetTrayPaperKind(hPrinter_), 1);
  DWORD cb = 0;
  PVOID pBlob = ReadPrinterBlob(hPrinter_, &cb, 0);
  ASSERT_NE(pBlob, nullptr);
  EXPECT_EQ(cb, 4u);
  GlobalFree(pBlob);
  const LONG table[2] = {2, 2};
  for (DWORD size : {8u, 0u}) {
    SetPrinterValue(u"TrayFormSize", &size, sizeof(size));
    SetPrinterValue(u"TrayFormTable", table, sizeof(table));
    EXPECT_EQ(GetTrayPaperKind(hPrinter_), 0) << size;
  }
  // A size smaller than the stored table fails the read; the buffer is freed.
  DWORD size = 4;
  SetPrinterValue(u"TrayFormSize", &size, sizeof(size));
  EXPECT_EQ(ReadPrinterBlob(hPrinter_, nullptr, 0), nullptr);
  EXPECT_EQ(GetTrayPaperKind(hPrinter_), 0);
  SetTrayKind(7);
  EXPECT_EQ(U16(FormNameForKind(GetTrayPaperKind(hPrinter_))), u"Post card");
}

// The size value is only a claim: a data value shorter than it counts as
// missing (tray kind 0, the 8-byte default block), never as a buffer whose
// tail the spooler did not fill.
TEST_F(SettingsTest, DataShorterThanItsSizeValueCountsAsMissing) {
  const BYTE kDefaultBlock[8] = {0x00, 0x04, 0x08, 0x00, 0, 0, 0, 0};
  const BYTE stored[16] = {2, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9};
  struct Case {
    DWORD claimed, delivered;
    bool read;
  };
  for (const Case c :
       {Case{4, 2, false}, Case{4, 0, false}, Case{16, 15, false}, Case{4, 4, true}, Case{16, 16, true}}) {
    for (INT pair : {PRINTER_PAIR_TRAY_FORM, PRINTER_PAIR_PRINTER_DATA}) {
      const bool tray = pair == PRINTER_PAIR_TRAY_FORM;
      SetPrinterValue(tray ? u"TrayFormSize" : u"PrinterDataSize", &c.claimed, sizeof(c.claimed));
      SetPrinterValue(tray ? u"TrayFormTable" : u"PrinterData", stored, c.delivered);
      DWORD cb = 0;
      PVOID pBlob = ReadPrinterBlob(hPrinter_, &cb, pair);
      EXPECT_EQ(pBlob != nullptr, c.read) << c.claimed << "/" << c.delivered;
      if (pBlob != nullptr) {
        EXPECT_EQ(cb, c.claimed);
        GlobalFree(pBlob);
      }
    }
    EXPECT_EQ(GetTrayPaperKind(hPrinter_), c.read && c.claimed == 4 ? 2 : 0) << c.claimed << "/" << c.delivered;
    PVOID pBlock = GetPrinterDataBlock(hPrinter_);
    ASSERT_NE(pBlock, nullptr);
    if (c.read) {
      EXPECT_EQ(std::memcmp(pBlock, stored, c.claimed), 0);
    } else {
      EXPECT_EQ(std::memcmp(pBlock, kDefaultBlock, sizeof(kDefaultBlock)), 0);
    }
    GlobalFree(pBlock);
  }
}

TEST(BoundedText, AlwaysTerminatesAndPads) {
  WCHAR wide[6];
  std::memset(wide, 0xCD, sizeof(wide));
  CopyWideBounded(wide, L"abc", 0);
  EXPECT_EQ(static_cast<uint16_t>(wide[0]), 0xCDCD);
  CopyWideBounded(wide, L"abcdefgh", 5);
  EXPECT_EQ(U16(wide), u"abcd");
  EXPECT_EQ(static_cast<uint16_t>(wide[5]), 0xCDCD);
  CopyWideBounded(wide, L"a", 5);
  for (int i = 1; i < 5; i++) EXPECT_EQ(wide[i], 0);
  CopyWideBounded(wide, nullptr, 5);
  EXPECT_EQ(wide[0], 0);
  CHAR narrow[6];
  std::memset(narrow, 'Z', sizeof(narrow));
  CopyAnsiBounded(narrow, "abcdefgh", 5);
  EXPECT_STREQ(narrow, "abcd");
  EXPECT_EQ(narrow[5], 'Z');
  CHAR ansi[8];
  std::memset(ansi, 'Z', sizeof(ansi));
  WideToAnsi(ansi, L"Peque\u00F1o formato", 8);
  EXPECT_STREQ(ansi, "Peque\xF1o");
}

}  // namespace
}  // namespace render_test
