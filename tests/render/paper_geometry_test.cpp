// Paper geometry of every paper, border and orientation as GDI sees it, and
// the localized paper names that select the paper.
#include "messages.h"
#include "paper.h"
#include "render_test_support.h"
#include "text.h"

namespace render_test {
namespace {

class PaperGeometryTest : public RenderTest, public ::testing::WithParamInterface<Geometry> {};

TEST_P(PaperGeometryTest, ReachesGdiInfoAndTheCurrentForm) {
  const Geometry &g = GetParam();
  AppSettings settings = AppSettings().Form(g.formName).Border(g.dwBorder);
  if (g.landscape) settings.Landscape();
  TestPdev test(hPrinter_, &settings.dm, false);
  ASSERT_NE(test.pdev(), nullptr);
  const CURRENTFORM &form = test.pdev()->form;
  EXPECT_EQ(form.cxPaper, g.cxPaper);
  EXPECT_EQ(form.cyPaper, g.cyPaper);
  EXPECT_EQ(form.rclPrintable.left, g.rclPrintable.left);
  EXPECT_EQ(form.rclPrintable.top, g.rclPrintable.top);
  EXPECT_EQ(form.rclPrintable.right, g.rclPrintable.right);
  EXPECT_EQ(form.rclPrintable.bottom, g.rclPrintable.bottom);
  EXPECT_EQ(form.bLandscape, g.landscape ? 1 : 0);
  const GDIINFO &gdi = test.gdi();
  EXPECT_EQ(gdi.ulHorzRes, static_cast<ULONG>(g.rclPrintable.right - g.rclPrintable.left));
  EXPECT_EQ(gdi.ulVertRes, static_cast<ULONG>(g.rclPrintable.bottom - g.rclPrintable.top));
  EXPECT_EQ(gdi.ptlPhysOffset.x, g.rclPrintable.left);
  EXPECT_EQ(gdi.ptlPhysOffset.y, g.rclPrintable.top);
  EXPECT_EQ(gdi.szlPhysSize.cx, g.cxPaper);
  EXPECT_EQ(gdi.szlPhysSize.cy, g.cyPaper);
  EXPECT_EQ(gdi.ulHorzSize, g.ulHorzSize);
  EXPECT_EQ(gdi.ulVertSize, g.ulVertSize);
}

INSTANTIATE_TEST_SUITE_P(AllPapers, PaperGeometryTest, ::testing::ValuesIn(kGeometries));

using PaperNamesTest = RenderTest;

TEST_F(PaperNamesTest, LanguageFollowsTheLowSixBitsOfTheUserLanguage) {
  const struct {
    LANGID lang;
    const char16_t *postcard, *small, *l;
  } cases[] = {
      {0x0409, u"Post card", u"Small", u"3.5x5 inch"},
      {0x0407, u"Postkartenformat", u"Kleinformat", u"3,5x5 Zoll"},
      {0x0047, u"Postkartenformat", u"Kleinformat", u"3,5x5 Zoll"},  // not German, low bits 7
      {0x040C, u"Carte postale", u"Petit", u"3.5x5 pouces"},
      {0x0C0A, u"Tarjeta postal", u"Peque\u00F1o", u"9 x 13 cm"},
      {0x0411, u"\u30DD\u30B9\u30C8\u30AB\u30FC\u30C9\u30B5\u30A4\u30BA", u"\u30B9\u30E2\u30FC\u30EB\u30B5\u30A4\u30BA",
       u"\uFF2C\u30B5\u30A4\u30BA"},
      {0x0049, u"Post card", u"Small", u"3.5x5 inch"},
  };
  for (const auto &c : cases) {
    platform::SetUserDefaultLangID(c.lang);
    EXPECT_EQ(U16(FormNameForKind(PAPER_KIND_POSTCARD)), c.postcard) << std::hex << c.lang;
    EXPECT_EQ(U16(FormNameForKind(PAPER_KIND_SMALL)), c.small) << std::hex << c.lang;
    EXPECT_EQ(U16(FormNameForKind(PAPER_KIND_3_5X5)), c.l) << std::hex << c.lang;
    EXPECT_EQ(U16(FormNameForKind(3)), c.postcard);
    EXPECT_EQ(U16(FormNameForKind(-1)), c.postcard);
  }
  EXPECT_EQ(U16(LocalizedString(-1)), u"");
  EXPECT_EQ(U16(LocalizedString(105)), u"");
  EXPECT_EQ(U16(LocalizedString(104)), u"");
}

TEST_F(PaperNamesTest, GermanSmallPaperSitsAtTheRightMarginsDistance) {
  platform::SetUserDefaultLangID(0x0407);
  TestPdev test(hPrinter_, &AppSettings().Form(u"Kleinformat").dm, false);
  const RECTL &rcl = test.pdev()->form.rclPrintable;
  EXPECT_EQ(rcl.left, 214);
  EXPECT_EQ(rcl.top, 48);
  EXPECT_EQ(rcl.right, 1351);
  EXPECT_EQ(rcl.bottom, 1564);
  // No spooler form carries the name: the current form is the tray paper's.
  EXPECT_EQ(U16(test.pdev()->form.wszFormName), u"Postkartenformat");
  EXPECT_STREQ(test.pdev()->form.szFormName, "Postkartenformat");
}

TEST_F(PaperNamesTest, AnUnknownFormNameGivesPostCardGeometry) {
  SetTrayKind(1);
  TestPdev test(hPrinter_, nullptr, false);
  PDEV *pdev = test.pdev();
  CopyWideBounded(pdev->dm.dmFormName, L"A4", CCHFORMNAME);
  pdev->dmPrivate.dwBorder = 1;
  EXPECT_TRUE(ComputePaperGeometry(pdev));
  EXPECT_EQ(pdev->form.rclPrintable.right, 1564);
  EXPECT_EQ(pdev->form.cyPaper, 2418);
  EXPECT_EQ(U16(pdev->form.wszFormName), u"3.5x5 inch");
  EXPECT_STREQ(pdev->form.szFormName, "3.5x5 inch");
}

using PaperTableTest = RenderTest;

// The table answers the questions the settings, the forms and the geometry
// ask: which paper a name stands for and which record a paper prints with.
TEST_F(PaperTableTest, EachKindHasItsNameAndARecordPerBorder) {
  for (LANGID lang : {0x0409, 0x0407, 0x0411}) {
    platform::SetUserDefaultLangID(lang);
    for (LONG kind : {PAPER_KIND_POSTCARD, PAPER_KIND_3_5X5, PAPER_KIND_SMALL}) {
      EXPECT_EQ(PaperKindOfFormName(FormNameForKind(kind)), kind) << std::hex << lang;
      for (BOOL bBorder : {TRUE, FALSE}) {
        const PAPER_RECORD *pPaper = PaperRecordFor(kind, bBorder);
        ASSERT_NE(pPaper, nullptr);
        EXPECT_EQ(pPaper->lKind, kind);
        EXPECT_EQ(pPaper->bBorder, kind == PAPER_KIND_SMALL ? TRUE : bBorder) << "Small has no borderless record";
      }
    }
  }
  platform::SetUserDefaultLangID(0x0409);
  EXPECT_EQ(PaperKindOfFormName(L"A4"), PAPER_KIND_NONE);
  EXPECT_EQ(PaperKindOfFormName(L"post card"), PAPER_KIND_NONE) << "names compare exactly";
  EXPECT_EQ(PaperKindOfFormName(L"Postkartenformat"), PAPER_KIND_NONE) << "only the user's language counts";
  EXPECT_EQ(PaperRecordFor(7, FALSE), PaperRecordFor(PAPER_KIND_POSTCARD, FALSE));

  // Turning the page swaps the axes of the record's own rectangle; only a
  // portrait Small page moves its image to the right margin's distance.
  for (LONG kind : {PAPER_KIND_POSTCARD, PAPER_KIND_3_5X5, PAPER_KIND_SMALL}) {
    const PAPER_RECORD *pPaper = PaperRecordFor(kind, TRUE);
    const RECTL own = PaperImageRect(pPaper), turned = PrintableRect(pPaper, TRUE);
    EXPECT_EQ(std::vector<LONG>({turned.left, turned.top, turned.right, turned.bottom}),
              std::vector<LONG>({own.top, own.left, own.bottom, own.right}));
    const RECTL upright = PrintableRect(pPaper, FALSE);
    EXPECT_EQ(upright.left, kind == PAPER_KIND_SMALL ? pPaper->xRightMargin : own.left);
    EXPECT_EQ(upright.right - upright.left, pPaper->cxImage);
  }
}

}  // namespace
}  // namespace render_test
