// Feeds arbitrary bytes, as an application's DEVMODEW with its private
// block, through the settings merge and the DEVMODE conversion. The record
// is backed for every byte its own dmSize and dmDriverExtra claim, as a
// caller's record is; whatever the fields say, the driver's image must keep
// its shape and the accepted values their ranges, and no conversion may
// write beyond the record it fills.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "pdev.h"
#include "settings.h"

namespace {

struct Image {
  DEVMODEW dm;
  PRIVDEVMODE priv;
};

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

// The header fields every DEVMODEW has, up to dmDriverExtra.
constexpr size_t kHeaderBytes = offsetof(DEVMODEW, dmFields);

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::vector<uint8_t> record(size < kHeaderBytes ? kHeaderBytes : size, 0);
  if (size != 0) std::memcpy(record.data(), data, size);
  DEVMODEW header;
  std::memcpy(&header, record.data(), kHeaderBytes);
  size_t claimed = size_t{header.dmSize} + header.dmDriverExtra;
  if (record.size() < claimed) record.resize(claimed, 0);
  if (record.size() < sizeof(Image)) record.resize(sizeof(Image), 0);
  auto *pdmIn = reinterpret_cast<DEVMODEW *>(record.data());

  Image image;
  InitDefaultDevmode(&image.dm, L"fuzz", nullptr);
  Image before = image;
  if (MergeDevmode(&image.dm, pdmIn, nullptr)) {
    Require(image.dm.dmSize == sizeof(DEVMODEW) && image.dm.dmDriverExtra == sizeof(PRIVDEVMODE));
    Require(image.dm.dmSpecVersion == DM_SPECVERSION && image.dm.dmPrintQuality == 403);
    Require(image.dm.dmOrientation == DMORIENT_PORTRAIT || image.dm.dmOrientation == DMORIENT_LANDSCAPE);
    Require(image.dm.dmFormName[CCHFORMNAME - 1] == 0);
    Require(image.priv.dwSignature == PDEV_SIGNATURE);
    Require(image.priv.sRed >= 80 && image.priv.sRed <= 120);
    Require(image.priv.sGreen >= 80 && image.priv.sGreen <= 120);
    Require(image.priv.sBlue >= 80 && image.priv.sBlue <= 120);
    Require(image.priv.sDensity >= -7 && image.priv.sDensity <= 7);
    Require(image.priv.sSharpness >= 0 && image.priv.sSharpness <= 4);
  } else {
    Require(std::memcmp(&image, &before, sizeof(image)) == 0);
  }

  // Into a fixed image followed by a guard: the copy is bounded by the
  // output's own sizes, never by the input's.
  alignas(8) uint8_t out[sizeof(Image) + 32];
  std::memset(out, 0xA5, sizeof(out));
  InitDefaultDevmode(reinterpret_cast<DEVMODEW *>(out), nullptr, nullptr);
  LONG copied = ConvertDevmode(pdmIn, reinterpret_cast<DEVMODEW *>(out));
  Require(copied <= static_cast<LONG>(sizeof(Image)));
  for (size_t i = sizeof(Image); i < sizeof(out); i++) Require(out[i] == 0xA5);
  return 0;
}
