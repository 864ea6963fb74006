// Each orientation is a map from a pixel of the picture as seen to the
// stored pixel that shows there. The first four keep the size and are done
// in place; the others need a new buffer.
#include "orientation.h"

#include <algorithm>
#include <utility>

namespace kvt::image {

namespace {

void MirrorRows(RgbImage &image) {
  for (uint32_t y = 0; y < image.height; ++y) {
    uint8_t *row = image.Row(y);
    for (uint32_t left = 0, right = image.width - 1; left < right; ++left, --right) {
      std::swap_ranges(row + size_t{left} * 3, row + size_t{left} * 3 + 3, row + size_t{right} * 3);
    }
  }
}

void FlipRows(RgbImage &image) {
  for (uint32_t top = 0, bottom = image.height - 1; top < bottom; ++top, --bottom) {
    std::swap_ranges(image.Row(top), image.Row(top) + image.RowBytes(), image.Row(bottom));
  }
}

}  // namespace

RgbImage Oriented(RgbImage stored, int orientation) {
  if (stored.width == 0 || stored.height == 0) return stored;
  switch (orientation) {
    case 2:
      MirrorRows(stored);
      return stored;
    case 3:
      MirrorRows(stored);
      FlipRows(stored);
      return stored;
    case 4:
      FlipRows(stored);
      return stored;
    case 5:
    case 6:
    case 7:
    case 8:
      break;
    default:
      return stored;
  }
  const uint32_t w = stored.width, h = stored.height;
  RgbImage seen;
  seen.width = h;
  seen.height = w;
  seen.pixels.resize(stored.pixels.size());
  for (uint32_t y = 0; y < seen.height; ++y) {
    uint8_t *out = seen.Row(y);
    for (uint32_t x = 0; x < seen.width; ++x, out += 3) {
      uint32_t sx = 0, sy = 0;
      switch (orientation) {
        case 5:  // mirrored along the main diagonal
          sx = y, sy = x;
          break;
        case 6:  // to be turned a quarter clockwise
          sx = y, sy = h - 1 - x;
          break;
        case 7:  // mirrored along the other diagonal
          sx = w - 1 - y, sy = h - 1 - x;
          break;
        default:  // 8: to be turned a quarter anticlockwise
          sx = w - 1 - y, sy = x;
          break;
      }
      const uint8_t *in = stored.Row(sy) + size_t{sx} * 3;
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
  }
  return seen;
}

}  // namespace kvt::image

namespace kvt::image {

bool SwapsSides(int orientation) { return orientation >= 5 && orientation <= 8; }

OrientedRows::OrientedRows(uint32_t storedWidth, uint32_t storedHeight, int orientation, uint8_t *seen)
    : width_(storedWidth),
      height_(storedHeight),
      orientation_(orientation >= 1 && orientation <= 8 ? orientation : 1),
      seen_(seen) {}

uint8_t *OrientedRows::DirectRow(uint32_t y) const {
  const size_t rowBytes = size_t{width_} * 3;
  if (orientation_ == 1) return seen_ + y * rowBytes;
  if (orientation_ == 4) return seen_ + size_t{height_ - 1 - y} * rowBytes;
  return nullptr;
}

void OrientedRows::Put(uint32_t y, const uint8_t *row) const {
  const size_t rowBytes = size_t{width_} * 3;
  if (uint8_t *direct = DirectRow(y); direct != nullptr) {
    if (direct != row) std::copy(row, row + rowBytes, direct);
    return;
  }
  if (orientation_ == 2 || orientation_ == 3) {
    // Mirrored: the last stored pixel shows first.
    uint8_t *out = seen_ + (orientation_ == 2 ? size_t{y} : size_t{height_ - 1 - y}) * rowBytes;
    const uint8_t *in = row + rowBytes;
    for (uint32_t x = 0; x < width_; ++x, out += 3) {
      in -= 3;
      out[0] = in[0];
      out[1] = in[1];
      out[2] = in[2];
    }
    return;
  }
  // Turned: the stored row is a column of the picture as seen, `height_`
  // pixels wide; its pixels run down (5, 6) or up (7, 8) that column.
  const size_t seenRowBytes = size_t{height_} * 3;
  const uint32_t column = orientation_ == 6 || orientation_ == 7 ? height_ - 1 - y : y;
  const bool upwards = orientation_ == 7 || orientation_ == 8;
  uint8_t *out = seen_ + size_t{column} * 3 + (upwards ? size_t{width_ - 1} * seenRowBytes : 0);
  const ptrdiff_t step = upwards ? -static_cast<ptrdiff_t>(seenRowBytes) : static_cast<ptrdiff_t>(seenRowBytes);
  for (uint32_t x = 0; x < width_; ++x, out += step, row += 3) {
    out[0] = row[0];
    out[1] = row[1];
    out[2] = row[2];
  }
}

}  // namespace kvt::image
