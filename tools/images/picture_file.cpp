// Sniffs the signature of a picture file and hands it to the PNG or JPEG
// reader.
#include "picture_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "jpeg_file.h"
#include "png_file.h"
#include "stdio_file.h"
#include "system_text.h"

namespace kvt::image {

namespace {
constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<uint8_t, 3> kJpegSignature{0xFF, 0xD8, 0xFF};
}  // namespace

std::string TooLarge(uint64_t width, uint64_t height, uint64_t maxPixels) {
  return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, more than the limit of " + std::to_string(maxPixels / 1'000'000) + " megapixels";
}

bool LoadPicture(const std::string &path, RgbImage &out, std::string &error, uint64_t maxPixels) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) {
    error = errno == ENOENT ? "the file does not exist" : text::ReasonOfErrno(errno);
    return false;
  }
  std::array<uint8_t, 8> head{};
  size_t got = std::fread(head.data(), 1, head.size(), file.get());
  if (got < head.size() && std::ferror(file.get())) {
    error = text::ReasonOfErrno(errno);
    return false;
  }
  std::rewind(file.get());
  if (got >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin())) {
    return ReadPng(file.get(), out, error, maxPixels);
  }
  if (got >= kJpegSignature.size() && std::equal(kJpegSignature.begin(), kJpegSignature.end(), head.begin())) {
    return ReadJpeg(file.get(), out, error, maxPixels);
  }
  error = "it is not a PNG or JPEG picture";
  return false;
}

}  // namespace kvt::image
