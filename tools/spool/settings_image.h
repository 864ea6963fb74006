// Decoding of the 256-byte settings image that travels in every page setup:
// the fields through which a page's options reach the printer, read from
// their little-endian byte offsets.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace kvt::spool {

struct SettingsImage {
  std::string deviceName;  // UTF-8
  uint16_t specVersion = 0;
  uint16_t size = 0;
  uint16_t driverExtra = 0;
  uint32_t fields = 0;
  int16_t orientation = 0;
  int16_t paperSize = 0;
  int16_t copies = 0;
  int16_t printQuality = 0;
  std::string formName;  // UTF-8
  uint32_t signature = 0;
  int16_t red = 0;
  int16_t green = 0;
  int16_t blue = 0;
  int16_t density = 0;
  int16_t sharpness = 0;
  uint32_t border = 0;
};

// A field of the image that the printer cannot accept, by its offset inside
// the image.
struct SettingsFault {
  size_t offset = 0;
  std::string message;
};

// Decodes `image` (exactly 256 bytes). Fails on a public size other than
// 220, a private size other than 36, a private block without its signature
// or a name that is not terminated inside its 32 units.
struct SettingsDecode {
  SettingsImage settings;
  std::optional<SettingsFault> fault;
};
SettingsDecode DecodeSettingsImage(std::span<const uint8_t> image);

// "portrait", "landscape" or the number for anything else.
std::string OrientationName(int16_t orientation);

}  // namespace kvt::spool
