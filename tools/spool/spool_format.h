// The byte format of a KVT-RZ4 spool stream as the printer side sees it:
// big-endian command words behind a fixed marker, and the 256-byte settings
// image (a little-endian DEVMODEW plus the private block) inside each page
// setup. The reader decodes by these offsets alone and never shares a
// header with the driver that writes the stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kvt::spool {

inline constexpr uint32_t kMarker = 0x4B56725A;  // "KVrZ"

enum class Command : uint32_t {
  StartDoc = 0x80,
  EndDoc = 0x81,
  StartPage = 0x82,
  EndPage = 0x83,
  PageSetup = 0x84,
  ImageData = 0x85,
};

inline constexpr size_t kWordSize = 4;
inline constexpr size_t kSettingsImageSize = 256;
inline constexpr size_t kBytesPerPixel = 3;
// A page side beyond this is corrupt: no paper of this printer comes near,
// and it keeps width * 3 and width * height * 3 far from overflow.
inline constexpr uint32_t kMaxPageSide = 65535;

// Offsets inside the settings image.
namespace settings_offset {
inline constexpr size_t kDeviceName = 0;  // 32 UTF-16 units
inline constexpr size_t kSpecVersion = 64;
inline constexpr size_t kDriverVersion = 66;
inline constexpr size_t kSize = 68;
inline constexpr size_t kDriverExtra = 70;
inline constexpr size_t kFields = 72;
inline constexpr size_t kOrientation = 76;
inline constexpr size_t kPaperSize = 78;
inline constexpr size_t kCopies = 86;
inline constexpr size_t kPrintQuality = 90;
inline constexpr size_t kFormName = 102;  // 32 UTF-16 units
inline constexpr size_t kPrivate = 220;
inline constexpr size_t kSignature = kPrivate + 0;
inline constexpr size_t kRed = kPrivate + 10;
inline constexpr size_t kGreen = kPrivate + 12;
inline constexpr size_t kBlue = kPrivate + 14;
inline constexpr size_t kDensity = kPrivate + 16;
inline constexpr size_t kSharpness = kPrivate + 18;
inline constexpr size_t kBorder = kPrivate + 20;
}  // namespace settings_offset

inline constexpr size_t kNameUnits = 32;
inline constexpr uint16_t kPublicSize = 220;
inline constexpr uint16_t kPrivateSize = 36;
inline constexpr uint32_t kPrivateSignature = 0x4B565234;  // "4RVK" little-endian

// The upper-case name of a command code, or an empty view for an unknown one.
std::string_view CommandName(uint32_t code);

}  // namespace kvt::spool
