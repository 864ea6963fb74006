// JPEG reading and writing with libjpeg.
#pragma once

#include <cstdio>
#include <string>

#include <memory>

#include "picture_decoder.h"
#include "rgb_image.h"

namespace kvt::image {

// Reads an open JPEG stream into 8-bit RGB the right way up: grey and CMYK
// pictures are converted, and the EXIF orientation is applied. A damaged or
// cut file, or one of more than `maxPixels` pixels (refused before they are
// allocated), fails with a reason in `error`.
bool ReadJpeg(std::FILE *file, RgbImage &out, std::string &error, uint64_t maxPixels = kDefaultMaxPicturePixels);

// Reads the header of an open JPEG stream, which must stay open while the
// decoder is used. Its sizes are those at which libjpeg decodes it scaled
// by 1/8 to 8/8 (but 7/8, slower than 8/8); the pixels are turned by the EXIF orientation and grey and
// CMYK pictures converted, as by ReadJpeg. Null with a reason in `error`.
std::unique_ptr<PictureDecoder> OpenJpeg(std::FILE *file, std::string &error,
                                         uint64_t maxPixels = kDefaultMaxPicturePixels);

// Writes `image` as a baseline JPEG of the given quality (1..100).
bool WriteJpeg(const std::string &path, const RgbImage &image, int quality, std::string &error);

}  // namespace kvt::image
