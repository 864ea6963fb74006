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

namespace kvt::image {

namespace {
constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<uint8_t, 3> kJpegSignature{0xFF, 0xD8, 0xFF};
}  // namespace

bool LoadPicture(const std::string &path, RgbImage &out, std::string &error) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) {
    error = std::strerror(errno);
    return false;
  }
  std::array<uint8_t, 8> head{};
  size_t got = std::fread(head.data(), 1, head.size(), file.get());
  if (got < head.size() && std::ferror(file.get())) {
    error = std::strerror(errno);
    return false;
  }
  std::rewind(file.get());
  if (got >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin())) {
    return ReadPng(file.get(), out, error);
  }
  if (got >= kJpegSignature.size() && std::equal(kJpegSignature.begin(), kJpegSignature.end(), head.begin())) {
    return ReadJpeg(file.get(), out, error);
  }
  error = "not a PNG or JPEG file";
  return false;
}

}  // namespace kvt::image
