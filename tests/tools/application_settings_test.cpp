// The settings kvtprint hands to the driver, read back with the spool
// reader's own decoder: what an application writes must be what the
// printer side reads.
#include <gtest/gtest.h>

#include <cstring>

#include "application_settings.h"
#include "settings_image.h"

namespace kvt::print {
namespace {

spool::SettingsDecode Decode(const ApplicationDevmode &devmode) {
  uint8_t bytes[sizeof devmode];
  std::memcpy(bytes, &devmode, sizeof devmode);
  return spool::DecodeSettingsImage(bytes);
}

TEST(ApplicationDevmode, CarriesTheOptionsAtTheirOffsets) {
  PrintSettings s;
  s.paper = PaperKind::Small;
  s.border = true;
  s.copies = 3;
  s.red = 80;
  s.green = 120;
  s.blue = 95;
  s.density = -7;
  s.sharpness = 4;
  s.language = Language::German;
  spool::SettingsDecode d = Decode(MakeApplicationDevmode(s, Orientation::Landscape, u"KVT-RZ4"));
  ASSERT_FALSE(d.fault) << d.fault->message;
  EXPECT_EQ(d.settings.deviceName, "KVT-RZ4");
  EXPECT_EQ(d.settings.size, 220);
  EXPECT_EQ(d.settings.driverExtra, 36);
  EXPECT_EQ(d.settings.specVersion, 0x401);
  EXPECT_EQ(d.settings.fields, uint32_t{DM_ORIENTATION | DM_COPIES | DM_FORMNAME});
  EXPECT_EQ(d.settings.orientation, 2);
  EXPECT_EQ(d.settings.copies, 3);
  EXPECT_EQ(d.settings.formName, "Kleinformat");
  EXPECT_EQ(d.settings.red, 80);
  EXPECT_EQ(d.settings.green, 120);
  EXPECT_EQ(d.settings.blue, 95);
  EXPECT_EQ(d.settings.density, -7);
  EXPECT_EQ(d.settings.sharpness, 4);
  EXPECT_EQ(d.settings.border, 1u);
}

TEST(ApplicationDevmode, BorderlessPortraitDefaults) {
  spool::SettingsDecode d = Decode(MakeApplicationDevmode(PrintSettings{}, Orientation::Portrait, u"KVT-RZ4"));
  ASSERT_FALSE(d.fault);
  EXPECT_EQ(d.settings.orientation, 1);
  EXPECT_EQ(d.settings.formName, "Post card");
  EXPECT_EQ(d.settings.border, 0u);
  EXPECT_EQ(d.settings.red, 100);
}

TEST(ApplicationDevmode, LongDeviceNameIsCutAndTerminated) {
  std::u16string longName(40, u'P');
  spool::SettingsDecode d = Decode(MakeApplicationDevmode(PrintSettings{}, Orientation::Portrait, longName));
  ASSERT_FALSE(d.fault) << d.fault->message;
  EXPECT_EQ(d.settings.deviceName, std::string(31, 'P'));
}

TEST(PaperCatalog, FormNamesFollowTheLanguage) {
  EXPECT_EQ(FormName(PaperKind::Postcard, Language::French), u"Carte postale");
  EXPECT_EQ(FormName(PaperKind::Photo3_5x5, Language::Spanish), u"9 x 13 cm");
  EXPECT_EQ(FormName(PaperKind::Small, Language::Spanish), u"Peque\u00F1o");
  EXPECT_EQ(FormName(PaperKind::Photo3_5x5, Language::Japanese), u"\uFF2C\u30B5\u30A4\u30BA");
  EXPECT_EQ(FormName(PaperKind::Photo3_5x5, Language::English), u"3.5x5 inch");
  EXPECT_EQ(LanguageId(Language::Japanese) & 0x3F, 0x11);
  EXPECT_EQ(LanguageId(Language::German) & 0x3F, 0x07);
}

}  // namespace
}  // namespace kvt::print
