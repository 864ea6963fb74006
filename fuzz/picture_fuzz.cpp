// Feeds arbitrary bytes to the PNG and JPEG readers, told apart by their
// signature as kvtprint tells them. A picture read must be whole: its size
// within the limit and its pixels exactly width * height * 3 bytes; a
// refused one must say why. Each input is also decoded at its smallest
// size, as a picture much larger than its page is, and only in its middle
// rows, as a fill crops it. The limit is small so that a forged header
// cannot make the fuzzer allocate gigabytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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
  if (read) {
    Require(uint64_t{picture.width} * picture.height <= kMaxPixels);
    Require(picture.pixels.size() == size_t{picture.width} * picture.height * 3);
  } else {
    Require(!error.empty());
  }
  // The same bytes decoded at the smallest size offered and in its middle
  // rows, as a page much smaller than the picture and of another shape asks
  // for: the rows told must stay in order and within the picture, and the
  // pixels within their memory.
  std::rewind(file);
  std::string openError;
  std::unique_ptr<kvt::image::PictureDecoder> decoder =
      png ? kvt::image::OpenPng(file, openError, kMaxPixels) : kvt::image::OpenJpeg(file, openError, kMaxPixels);
  if (decoder != nullptr) {
    const kvt::image::PictureSize smallest = decoder->Sizes().front();
    Require(smallest.width <= decoder->FullSize().width && smallest.height <= decoder->FullSize().height);
    std::vector<uint8_t> pixels(size_t{smallest.width} * smallest.height * 3);
    uint32_t told = 0;
    const kvt::image::RowSpan middle{smallest.height / 4, smallest.height - smallest.height / 4};
    const bool decoded = decoder->Decode(
        smallest, middle, pixels.data(),
        [&](uint32_t rows) {
          Require(rows >= told && rows <= smallest.height);
          told = rows;
          return true;
        },
        openError);
    Require(decoded ? told == smallest.height : !openError.empty());
  } else {
    Require(!openError.empty());
  }
  std::fclose(file);
  return 0;
}
