// The settings' form against the spooler's form list: known forms, form
// numbers, case-folded matching, and what a mismatch does to the PDEV.
#include <winspool.h>

#include <cstring>

#include "forms.h"
#include "render_test_support.h"

namespace render_test {
namespace {

FORM_INFO_1W Form(const WCHAR *name, LONG right, LONG bottom, LONG left = 0) {
  FORM_INFO_1W form{};
  form.pName = const_cast<LPWSTR>(name);
  form.Size = {101600, 152400};
  form.ImageableArea = {left, 0, right, bottom};
  return form;
}

class FormsTest : public RenderTest {
 protected:
  DEVMODEW Settings(const WCHAR *name) {
    DEVMODEW dm;
    std::memset(&dm, 0, sizeof(dm));
    dm.dmFields = DM_FORMNAME;
    dm.dmPaperSize = 1;
    CopyFormName(dm.dmFormName, name);
    return dm;
  }
  static void CopyFormName(WCHAR *dst, const WCHAR *src) {
    std::memset(dst, 0, CCHFORMNAME * sizeof(WCHAR));
    for (int i = 0; src[i] != 0 && i < CCHFORMNAME - 1; i++) dst[i] = src[i];
  }
};

TEST_F(FormsTest, KnownFormsNeedTheNameAndTheBorderedImageArea) {
  CURRENTFORM out{};
  const FORM_INFO_1W small = Form(L"Small", 71999, 95000), l = Form(L"3.5x5 inch", 83952, 122021);
  EXPECT_TRUE(IsKnownForm(&small, &out));
  EXPECT_EQ(U16(out.wszFormName), u"Small");
  EXPECT_EQ(out.rclPrintable.left, 76);  // the record's own margins, not the Small exception
  EXPECT_EQ(out.rclPrintable.right, 76 + 1137);
  EXPECT_EQ(out.cxPaper, 1427);
  const FORM_INFO_1W rejected[] = {Form(L"Post card", 96000, 143324), Form(L"Post card", 95549, 143324, 1),
                                   Form(L"post card", 95549, 143324), Form(L"A4", 95549, 143324),
                                   Form(nullptr, 95549, 143324)};
  for (const FORM_INFO_1W &form : rejected) EXPECT_FALSE(IsKnownForm(&form, nullptr)) << U16(form.pName).size();
  EXPECT_TRUE(IsKnownForm(&l, nullptr));
}

TEST_F(FormsTest, TheFirstKnownFormOfTheNameGivesTheNumber) {
  const FORM_INFO_1W list[] = {Form(L"Letter", 215900, 279400), Form(L"Post card", 96000, 143324),
                               Form(L"Post card", 95549, 143324), Form(L"Post card", 95000, 143000)};
  platform::SetFormList(list, 4);
  EXPECT_EQ(FindFormIndex(hPrinter_, L"Post card"), 3);
  EXPECT_EQ(FindFormIndex(hPrinter_, L"Letter"), -1);  // not one of ours
  platform::SetFormList(list, 2);
  EXPECT_EQ(FindFormIndex(hPrinter_, L"Post card"), -1);
  platform::FailNthCall(platform::Fault::GlobalAlloc, 1);
  platform::SetFormList(list, 4);
  EXPECT_EQ(FindFormIndex(hPrinter_, L"Post card"), -1);
}

TEST_F(FormsTest, MatchFoldsOnlyAsciiLettersAndTakesTheSpoolersName) {
  FORM_INFO_1W list[] = {Form(L"A4", 210000, 297000), Form(L"3.5X5 INCH", 83952, 122021),
                         Form(L"3.5x5 inch", 83952, 122021), Form(L"PEQUE\u00D1O", 71662, 95549)};
  list[1].Size = {88995, 127063};
  platform::SetFormList(list, 4);
  DEVMODEW dm = Settings(L"3.5x5 inch");
  FORMCOPY copy;
  EXPECT_EQ(MatchDevmodeForm(hPrinter_, &dm, &copy), FORM_MATCHED);
  EXPECT_EQ(U16(dm.dmFormName), u"3.5X5 INCH");
  EXPECT_EQ(U16(copy.fi.pName), u"3.5X5 INCH");
  EXPECT_EQ(copy.fi.pName, copy.wszName);
  EXPECT_EQ(dm.dmPaperWidth, 889);
  EXPECT_EQ(dm.dmPaperLength, 1270);
  EXPECT_EQ(dm.dmPaperSize, -1);  // the exact name is not a known form
  dm = Settings(L"Peque\u00F1o");
  EXPECT_EQ(MatchDevmodeForm(hPrinter_, &dm, &copy), FORM_NOT_MATCHED);
  EXPECT_EQ(dm.dmPaperSize, 1);
  dm.dmFields = 0;
  dm.dmPaperSize = 1;
  CopyFormName(dm.dmFormName, L"A4");
  EXPECT_EQ(MatchDevmodeForm(hPrinter_, &dm, &copy), FORM_NOT_MATCHED);
  EXPECT_EQ(dm.dmPaperSize, 1);
  platform::SetFormList(nullptr, 0);
  EXPECT_EQ(MatchDevmodeForm(hPrinter_, &dm, &copy), FORM_NOT_MATCHED);
}

// The machine's own forms come first; the printer package adds its papers.
TEST_F(FormsTest, AnAddedPostCardFormBecomesThePaperSize) {
  DWORD cbNeeded = 0, cBuiltIn = 0;
  EnumFormsW(hPrinter_, 1, nullptr, 0, &cbNeeded, &cBuiltIn);
  std::vector<BYTE> buffer(cbNeeded);
  ASSERT_TRUE(EnumFormsW(hPrinter_, 1, buffer.data(), cbNeeded, &cbNeeded, &cBuiltIn));
  ASSERT_GT(cBuiltIn, 0u);
  for (LONG width : {95549, 96000}) {
    DeleteFormW(hPrinter_, const_cast<LPWSTR>(L"Post card"));
    FORM_INFO_1W form = Form(L"Post card", width, 143324);
    ASSERT_TRUE(AddFormW(hPrinter_, 1, reinterpret_cast<LPBYTE>(&form)));
    DEVMODEW dm = Settings(L"Post card");
    dm.dmFields |= DM_PAPERWIDTH | DM_PAPERLENGTH;
    FORMCOPY copy;
    EXPECT_EQ(MatchDevmodeForm(hPrinter_, &dm, &copy), FORM_MATCHED);
    EXPECT_EQ(dm.dmPaperWidth, 1016);
    EXPECT_EQ(dm.dmPaperLength, 1524);
    EXPECT_EQ(dm.dmPaperSize, width == 95549 ? static_cast<short>(cBuiltIn + 1) : -1);
    EXPECT_EQ(dm.dmFields, static_cast<DWORD>(DM_FORMNAME | DM_PAPERSIZE));
    UpdatePaperSize(hPrinter_, &dm);  // confirms the number; a -1 is no number and becomes 0
    EXPECT_EQ(dm.dmPaperSize, width == 95549 ? static_cast<short>(cBuiltIn + 1) : 0);
    dm.dmPaperSize = 0;
    UpdatePaperSize(hPrinter_, &dm);
    EXPECT_EQ(dm.dmPaperSize, 0);
  }
}

TEST_F(FormsTest, ACaseVariantSpoolerFormFallsBackToPostCardAndTrayNames) {
  SetTrayKind(2);
  FORM_INFO_1W form = Form(L"3.5X5 inch", 83952, 122021);
  ASSERT_TRUE(AddFormW(hPrinter_, 1, reinterpret_cast<LPBYTE>(&form)));
  TestPdev test(hPrinter_, &AppSettings().Form(u"3.5x5 inch").dm, false);
  PDEV *pdev = test.pdev();
  EXPECT_EQ(U16(pdev->dm.dmFormName), u"3.5X5 inch");
  EXPECT_EQ(pdev->form.rclPrintable.right, 48 + 1516);  // Post card with border
  EXPECT_EQ(U16(pdev->form.wszFormName), u"Small");
  EXPECT_STREQ(pdev->form.szFormName, "Small");
}

TEST_F(FormsTest, AKnownSpoolerFormNamesTheCurrentForm) {
  FORM_INFO_1W form = Form(L"Post card", 95549, 143324);
  ASSERT_TRUE(AddFormW(hPrinter_, 1, reinterpret_cast<LPBYTE>(&form)));
  TestPdev test(hPrinter_, &AppSettings().Form(u"Post card").Landscape().dm, false);
  PDEV *pdev = test.pdev();
  EXPECT_EQ(U16(pdev->form.wszFormName), u"Post card");
  EXPECT_EQ(pdev->form.bLandscape, 1);  // the geometry is recomputed after the match
  EXPECT_EQ(pdev->form.rclPrintable.left, 72);
}

}  // namespace
}  // namespace render_test
