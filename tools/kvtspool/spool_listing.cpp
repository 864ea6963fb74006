// Formats each command record as one line, and the settings image as three:
// the raw fields, then what they mean for the print.
#include "spool_listing.h"

#include <array>
#include <cstdio>

#include "printer_check.h"

namespace kvt::spool {

namespace {

// "    offset  NAME", the name padded to the longest one when arguments
// follow it.
std::string Column(uint64_t offset, std::string_view name, bool argumentsFollow) {
  std::array<char, 48> text{};
  std::snprintf(text.data(), text.size(), argumentsFollow ? "%10llu  %-10.*s  " : "%10llu  %.*s",
                static_cast<unsigned long long>(offset), static_cast<int>(name.size()), name.data());
  return text.data();
}

void PrintSettings(std::ostream &out, const SettingsImage &s) {
  constexpr const char *kIndent = "            ";
  out << kIndent << "settings: device \"" << s.deviceName << "\", orientation " << OrientationName(s.orientation)
      << ", form \"" << s.formName << "\", copies " << s.copies << ", paper size " << s.paperSize << '\n';
  out << kIndent << "private: sRed " << s.red << ", sGreen " << s.green << ", sBlue " << s.blue << ", sDensity "
      << s.density << ", sSharpness " << s.sharpness << ", dwBorder " << s.border << '\n';
  const paper::Sheet &sheet = SheetOfSettings(s);
  constexpr double kDotsPerMm = 403 / 25.4;
  std::array<char, 64> size{};
  std::snprintf(size.data(), size.size(), "%.1f x %.1f mm", sheet.Width() / kDotsPerMm, sheet.Height() / kDotsPerMm);
  out << kIndent << "meaning: " << paper::KindName(sheet.kind) << (sheet.border ? " with" : " without") << " border, "
      << (sheet.landscape ? "landscape" : "portrait") << ", printed area " << sheet.Width() << " x " << sheet.Height()
      << " dots (" << size.data() << " at 403 dpi); colour levels red " << s.red << "%, green " << s.green << "%, blue "
      << s.blue << "%; density " << s.density << " (-7..7); sharpness " << s.sharpness << " (0..4); " << s.copies
      << (s.copies == 1 ? " copy" : " copies") << '\n';
}

}  // namespace

bool SpoolListing::OnCommand(const CommandRecord &record) {
  std::string_view name = CommandName(static_cast<uint32_t>(record.command));
  switch (record.command) {
    case Command::StartDoc:
    case Command::EndDoc:
      out_ << Column(record.offset, name, false);
      break;
    case Command::StartPage:
    case Command::EndPage:
      out_ << Column(record.offset, name, true) << "page " << record.page;
      break;
    case Command::PageSetup:
      out_ << Column(record.offset, name, true) << "page " << record.page << ", " << record.width << " x "
           << record.height << " dots";
      break;
    case Command::ImageData:
      out_ << Column(record.offset, name, true) << "page " << record.page << ", rows " << record.firstRow << ".."
           << record.firstRow + record.rowCount - 1 << ", " << record.byteCount << " bytes";
      break;
  }
  out_ << '\n';
  if (record.command == Command::PageSetup && record.settings) PrintSettings(out_, *record.settings);
  return true;
}

}  // namespace kvt::spool
