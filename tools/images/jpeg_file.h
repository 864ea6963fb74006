// JPEG reading and writing with libjpeg. Pixels are taken as stored: an EXIF
// orientation tag is not applied.
#pragma once

#include <cstdio>
#include <string>

#include "rgb_image.h"

namespace kvt::image {

// Reads an open JPEG stream into 8-bit RGB (grey pictures are expanded).
bool ReadJpeg(std::FILE *file, RgbImage &out, std::string &error);

// Writes `image` as a baseline JPEG of the given quality (1..100).
bool WriteJpeg(const std::string &path, const RgbImage &image, int quality, std::string &error);

}  // namespace kvt::image
