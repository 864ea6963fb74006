// Feeds arbitrary bytes to the PNG and JPEG readers, told apart by their
// signature as kvtprint tells them. A picture read must be whole: its size
// within the limit and its pixels exactly width * height * 3 bytes; a
// refused one must say why. The limit is small so that a forged header
// cannot make the fuzzer allocate gigabytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "jpeg_file.h"
#include "png_file.h"

namespace {

void Require(bool condition) {
  if (!condition) __builtin_trap();
}

constexpr uint64_t kMaxPixels = uint64_t{1} << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  std::FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "rb");
  if (file == nullptr) return 0;
  kvt::image::RgbImage picture;
  std::string error;
  const bool png = size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0;
  const bool read = png ? kvt::image::ReadPng(file, picture, error, kMaxPixels)
                        : kvt::image::ReadJpeg(file, picture, error, kMaxPixels);
  std::fclose(file);
  if (read) {
    Require(uint64_t{picture.width} * picture.height <= kMaxPixels);
    Require(picture.pixels.size() == size_t{picture.width} * picture.height * 3);
  } else {
    Require(!error.empty());
  }
  return 0;
}
