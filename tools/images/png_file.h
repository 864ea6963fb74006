// PNG reading and writing with libpng. Pages can be written row by row, so a
// whole page never has to be held in memory; they are marked 403 dpi.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>

#include "picture_decoder.h"
#include "rgb_image.h"

namespace kvt::image {

// Reads an open PNG stream into 8-bit RGB: palette and grey pictures are
// expanded, 16-bit samples scaled to 8 bits, transparency laid over white
// paper. A damaged or cut file, or one of more than `maxPixels` pixels
// (refused before they are allocated), fails with a reason in `error`.
bool ReadPng(std::FILE *file, RgbImage &out, std::string &error, uint64_t maxPixels = kDefaultMaxPicturePixels);

// Reads the header of an open PNG stream, which must stay open while the
// decoder is used; its one size is its own. Null with a reason in `error`.
std::unique_ptr<PictureDecoder> OpenPng(std::FILE *file, std::string &error,
                                        uint64_t maxPixels = kDefaultMaxPicturePixels);

bool WritePng(const std::string &path, const RgbImage &image, std::string &error);

class PngRowWriter {
 public:
  PngRowWriter();
  ~PngRowWriter();
  PngRowWriter(const PngRowWriter &) = delete;
  PngRowWriter &operator=(const PngRowWriter &) = delete;

  bool Open(const std::string &path, uint32_t width, uint32_t height, std::string &error);
  // Appends whole rows of width * 3 bytes.
  bool WriteRows(std::span<const uint8_t> rows, std::string &error);
  // Ends the image once all rows are written and closes the file.
  bool Finish(std::string &error);
  bool IsOpen() const;
  // Drops an unfinished image and closes its file as it is.
  void Abandon();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kvt::image
