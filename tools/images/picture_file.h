// Loading a picture file of either supported kind, told apart by its first
// bytes rather than its name.
#pragma once

#include <string>

#include "rgb_image.h"

namespace kvt::image {

// Loads a PNG or JPEG file. On failure `error` is a short reason such as
// "not a PNG or JPEG file", without the path.
bool LoadPicture(const std::string &path, RgbImage &out, std::string &error);

}  // namespace kvt::image
