// A picture file opened for decoding: its header is read, so its size is
// known before any pixel is decoded, and the pixels can then be decoded at
// one of the sizes the format offers (a JPEG at 1/8 to 8/8 of its size)
// into memory the caller provides. Rows can be told as they become final,
// so that a caller may use the top of the picture while the rest is still
// being decoded on another thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "rgb_image.h"

namespace kvt::image {

struct PictureSize {
  uint32_t width = 0;
  uint32_t height = 0;
  friend bool operator==(const PictureSize &, const PictureSize &) = default;
};

// Rows top .. bottom-1 of a picture as it is meant to be seen; the default
// is every row.
struct RowSpan {
  uint32_t top = 0;
  uint32_t bottom = UINT32_MAX;
};

// Told, with n, that the first n rows of the picture are final; false asks
// the decoder to stop.
using RowsDone = std::function<bool(uint32_t rows)>;

class PictureDecoder {
 public:
  virtual ~PictureDecoder() = default;

  // The sizes, as the picture is meant to be seen (turned by its EXIF
  // orientation), at which it can be decoded: smallest first, the full size
  // last.
  virtual const std::vector<PictureSize> &Sizes() const = 0;
  PictureSize FullSize() const { return Sizes().back(); }

  // Decodes the picture at `size`, one of Sizes(), into `pixels`: width * 3
  // bytes a row, top row first, as it is meant to be seen. Once only. Only
  // the `needed` rows must be written: a decoder may pass over the others
  // (which count as final from the start), but reads the whole file all
  // the same, so that a damaged or cut file fails with a reason in `error`
  // wherever the damage lies. So does a decoding that `rowsDone` stopped
  // ("stopped").
  virtual bool Decode(PictureSize size, RowSpan needed, uint8_t *pixels, const RowsDone &rowsDone,
                      std::string &error) = 0;
};

// Decodes the whole picture at its full size into `out`.
bool DecodeWhole(PictureDecoder &decoder, RgbImage &out, std::string &error);

// Opens a PNG or JPEG file, told apart by its first bytes, and reads its
// header. Null with a short reason in `error` (see LoadPicture) when the
// file cannot be read, is of another kind or damaged in its header, or has
// more than `maxPixels` pixels at its full size.
std::unique_ptr<PictureDecoder> OpenPicture(const std::string &path, std::string &error,
                                            uint64_t maxPixels = kDefaultMaxPicturePixels);

}  // namespace kvt::image
