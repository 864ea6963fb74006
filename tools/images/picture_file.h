// Loading a picture file of either supported kind, told apart by its first
// bytes rather than its name.
#pragma once

#include <string>

#include "rgb_image.h"

namespace kvt::image {

// Loads a PNG or JPEG file as it is meant to be seen (see ReadPng and
// ReadJpeg). On failure `error` is a short reason in the user's words, such
// as "it is not a PNG or JPEG picture" or "the file is cut short", without
// the path. Pictures of more than `maxPixels` pixels are refused.
bool LoadPicture(const std::string &path, RgbImage &out, std::string &error,
                 uint64_t maxPixels = kDefaultMaxPicturePixels);

}  // namespace kvt::image
