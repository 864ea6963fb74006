// The eight orientations of the EXIF standard: how a camera's stored pixels
// must be turned or mirrored to show the picture the right way up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rgb_image.h"

namespace kvt::image {

// The picture as it is meant to be seen, for an EXIF orientation value
// (1 = as stored ... 8 = turned a quarter anticlockwise). Values outside
// 1..8 leave it as stored. Orientations 5 to 8 swap width and height.
RgbImage Oriented(RgbImage stored, int orientation);

// Whether an orientation swaps width and height (5 to 8).
bool SwapsSides(int orientation);

// Puts the rows of a stored picture, as a decoder delivers them, straight
// into their places in the picture as seen, so that no second picture
// buffer is needed to turn it.
class OrientedRows {
 public:
  // `seen` holds the turned picture: its width is storedHeight when the
  // orientation swaps sides, else storedWidth; 3 bytes a pixel, no padding.
  OrientedRows(uint32_t storedWidth, uint32_t storedHeight, int orientation, uint8_t *seen);

  // Puts stored row `y` (storedWidth RGB pixels) in its place.
  void Put(uint32_t y, const uint8_t *row) const;
  // Where stored row `y` lands whole, or null when its pixels are scattered
  // or mirrored: a decoder may then write it there directly.
  uint8_t *DirectRow(uint32_t y) const;
  // Whether stored rows 0..n-1 are rows 0..n-1 of the picture as seen, so
  // that the seen picture is final from the top down as rows arrive.
  bool TopDown() const { return orientation_ == 1 || orientation_ == 2; }
  uint32_t StoredWidth() const { return width_; }

 private:
  uint32_t width_;   // stored
  uint32_t height_;  // stored
  int orientation_;
  uint8_t *seen_;
};

}  // namespace kvt::image
