// The ranges are the driver's clamps; the sizes are the paper tables.
#include "printer_check.h"

#include "spool_format.h"
#include "utf.h"

namespace kvt::spool {

namespace {

constexpr uint32_t kOrientationField = 0x1;  // DM_ORIENTATION in dmFields
constexpr uint64_t kImageInRecord = 16;      // marker, code, width, height
constexpr uint64_t kWidthInRecord = 8;

struct Range {
  const char *name;
  size_t offset;
  int16_t SettingsImage::*field;
  int low, high;
};

constexpr Range kRanges[] = {
    {"dmOrientation", settings_offset::kOrientation, &SettingsImage::orientation, 1, 2},
    {"sRed", settings_offset::kRed, &SettingsImage::red, 80, 120},
    {"sGreen", settings_offset::kGreen, &SettingsImage::green, 80, 120},
    {"sBlue", settings_offset::kBlue, &SettingsImage::blue, 80, 120},
    {"sDensity", settings_offset::kDensity, &SettingsImage::density, -7, 7},
    {"sSharpness", settings_offset::kSharpness, &SettingsImage::sharpness, 0, 4},
};

std::string Describe(const paper::Sheet &sheet) {
  return std::string(paper::KindName(sheet.kind)) + (sheet.border ? " with border, " : " without border, ") +
         (sheet.landscape ? "landscape" : "portrait");
}

}  // namespace

const paper::Sheet &SheetOfSettings(const SettingsImage &s) {
  const paper::Kind kind = paper::KindOfFormName(text::Utf8ToUtf16(s.formName)).value_or(paper::Kind::Postcard);
  const bool landscape = (s.fields & kOrientationField) != 0 && s.orientation == 2;
  return paper::SheetFor(kind, s.border != 0, landscape);
}

std::optional<SpoolError> CheckPageSetup(const CommandRecord &record) {
  if (record.command != Command::PageSetup || record.settings == nullptr) return std::nullopt;
  const SettingsImage &s = *record.settings;
  for (const Range &range : kRanges) {
    const int value = s.*range.field;
    if (value < range.low || value > range.high) {
      return SpoolError{record.offset + kImageInRecord + range.offset,
                        std::string("settings image: ") + range.name + " is " + std::to_string(value) + ", outside " +
                            std::to_string(range.low) + ".." + std::to_string(range.high) +
                            ", which the driver never sends"};
    }
  }
  const paper::Sheet &sheet = SheetOfSettings(s);
  if (record.width != sheet.Width() || record.height != sheet.Height()) {
    return SpoolError{record.offset + kWidthInRecord,
                      "page of " + std::to_string(record.width) + " x " + std::to_string(record.height) +
                          " dots, but its settings select " + Describe(sheet) + ", which prints " +
                          std::to_string(sheet.Width()) + " x " + std::to_string(sheet.Height()) + " dots"};
  }
  return std::nullopt;
}

bool PrinterCheck::OnCommand(const CommandRecord &record) {
  fault_ = CheckPageSetup(record);
  return !fault_;
}

}  // namespace kvt::spool
