// Decodes the settings image field by field from its byte offsets.
#include "settings_image.h"

#include <array>

#include "byte_order.h"
#include "spool_format.h"
#include "utf.h"

namespace kvt::spool {

namespace {

// Reads a 32-unit name field; empty optional when no unit is zero.
std::optional<std::string> DecodeName(std::span<const uint8_t> image, size_t offset) {
  std::array<char16_t, kNameUnits> units{};
  bool terminated = false;
  for (size_t i = 0; i < kNameUnits; ++i) {
    units[i] = static_cast<char16_t>(LoadLE16(image, offset + 2 * i));
    terminated = terminated || units[i] == 0;
  }
  if (!terminated) return std::nullopt;
  return text::Utf16ToUtf8(units);
}

}  // namespace

SettingsDecode DecodeSettingsImage(std::span<const uint8_t> image) {
  namespace off = settings_offset;
  SettingsDecode result;
  if (image.size() != kSettingsImageSize) {
    result.fault = SettingsFault{0, "settings image is not 256 bytes"};
    return result;
  }
  SettingsImage &s = result.settings;
  s.specVersion = LoadLE16(image, off::kSpecVersion);
  s.size = LoadLE16(image, off::kSize);
  s.driverExtra = LoadLE16(image, off::kDriverExtra);
  s.fields = LoadLE32(image, off::kFields);
  s.orientation = LoadLE16Signed(image, off::kOrientation);
  s.paperSize = LoadLE16Signed(image, off::kPaperSize);
  s.copies = LoadLE16Signed(image, off::kCopies);
  s.printQuality = LoadLE16Signed(image, off::kPrintQuality);
  s.signature = LoadLE32(image, off::kSignature);
  s.red = LoadLE16Signed(image, off::kRed);
  s.green = LoadLE16Signed(image, off::kGreen);
  s.blue = LoadLE16Signed(image, off::kBlue);
  s.density = LoadLE16Signed(image, off::kDensity);
  s.sharpness = LoadLE16Signed(image, off::kSharpness);
  s.border = LoadLE32(image, off::kBorder);

  std::optional<std::string> device = DecodeName(image, off::kDeviceName);
  std::optional<std::string> form = DecodeName(image, off::kFormName);
  s.deviceName = device.value_or("");
  s.formName = form.value_or("");

  // The private block is found at dmSize; the printer only knows it at 220.
  if (s.size != kPublicSize) {
    result.fault = SettingsFault{off::kSize, "dmSize is " + std::to_string(s.size) + ", expected 220"};
  } else if (s.driverExtra != kPrivateSize) {
    result.fault =
        SettingsFault{off::kDriverExtra, "dmDriverExtra is " + std::to_string(s.driverExtra) + ", expected 36"};
  } else if (s.signature != kPrivateSignature) {
    result.fault = SettingsFault{off::kSignature, "private block signature is missing"};
  } else if (!device) {
    result.fault = SettingsFault{off::kDeviceName, "device name is not terminated within 32 characters"};
  } else if (!form) {
    result.fault = SettingsFault{off::kFormName, "form name is not terminated within 32 characters"};
  }
  return result;
}

std::string OrientationName(int16_t orientation) {
  if (orientation == 1) return "portrait";
  if (orientation == 2) return "landscape";
  return std::to_string(orientation);
}

}  // namespace kvt::spool
