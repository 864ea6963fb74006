// The eight orientations of the EXIF standard: how a camera's stored pixels
// must be turned or mirrored to show the picture the right way up.
#pragma once

#include "rgb_image.h"

namespace kvt::image {

// The picture as it is meant to be seen, for an EXIF orientation value
// (1 = as stored ... 8 = turned a quarter anticlockwise). Values outside
// 1..8 leave it as stored. Orientations 5 to 8 swap width and height.
RgbImage Oriented(RgbImage stored, int orientation);

}  // namespace kvt::image
