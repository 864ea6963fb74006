// JPEG reading and writing with libjpeg.
#pragma once

#include <cstdio>
#include <string>

#include "rgb_image.h"

namespace kvt::image {

// Reads an open JPEG stream into 8-bit RGB the right way up: grey and CMYK
// pictures are converted, and the EXIF orientation is applied. A damaged or
// cut file, or one of more than `maxPixels` pixels (refused before they are
// allocated), fails with a reason in `error`.
bool ReadJpeg(std::FILE *file, RgbImage &out, std::string &error, uint64_t maxPixels = kDefaultMaxPicturePixels);

// Writes `image` as a baseline JPEG of the given quality (1..100).
bool WriteJpeg(const std::string &path, const RgbImage &image, int quality, std::string &error);

}  // namespace kvt::image
