// An 8-bit RGB picture held in memory, rows top to bottom without padding:
// the form in which the tools load, draw, compare and save pictures.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kvt::image {

struct Rgb {
  uint8_t r = 0;
  uint8_t g = 0;
  uint8_t b = 0;
  friend bool operator==(const Rgb &, const Rgb &) = default;
};

struct RgbImage {
  uint32_t width = 0;
  uint32_t height = 0;
  std::vector<uint8_t> pixels;  // width * height * 3 bytes

  RgbImage() = default;
  RgbImage(uint32_t w, uint32_t h, Rgb fill = {255, 255, 255}) : width(w), height(h) {
    pixels.resize(size_t{w} * h * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
      pixels[i] = fill.r;
      pixels[i + 1] = fill.g;
      pixels[i + 2] = fill.b;
    }
  }

  size_t RowBytes() const { return size_t{width} * 3; }
  uint8_t *Row(uint32_t y) { return pixels.data() + y * RowBytes(); }
  const uint8_t *Row(uint32_t y) const { return pixels.data() + y * RowBytes(); }

  Rgb At(uint32_t x, uint32_t y) const {
    const uint8_t *p = Row(y) + size_t{x} * 3;
    return {p[0], p[1], p[2]};
  }
  void Set(uint32_t x, uint32_t y, Rgb c) {
    uint8_t *p = Row(y) + size_t{x} * 3;
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
};

// Pictures larger than this are refused, unless the caller allows more,
// before their pixels are allocated.
inline constexpr uint64_t kDefaultMaxPicturePixels = 200'000'000;

// "the picture is 60000 x 60000 pixels, more than the limit of 200
// megapixels".
std::string TooLarge(uint64_t width, uint64_t height, uint64_t maxPixels);

}  // namespace kvt::image
