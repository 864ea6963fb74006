// libpng behind the image helpers, through its classic API, whose errors
// arrive by longjmp: every setjmp lives in a small function that holds no
// objects with destructors, so the jump never skips one.
//
// Reading keeps the samples as they are stored: a PNG without colour-space
// chunks is sRGB, and 16-bit samples are scaled to 8 bits, not taken as
// linear light. Palette, grey and low bit depths are expanded to RGB, and
// transparency is laid over white paper.
#include "png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <vector>

#include "stdio_file.h"

namespace kvt::image {

namespace {

struct PngErrorText {
  char message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
  auto *text = static_cast<PngErrorText *>(png_get_error_ptr(png));
  std::strncpy(text->message, message, sizeof text->message - 1);
  png_longjmp(png, 1);
}

// Warnings are about ancillary chunks (a damaged text or time chunk, say),
// which are dropped; the picture itself is whole.
void OnPngWarning(png_structp, png_const_charp) {}

// Rows between two reports of final rows.
constexpr png_uint_32 kRowsPerReport = 16;

// 403 dots per inch, as libpng wants it: dots per metre.
constexpr png_uint_32 kDotsPerMetre = 15866;

struct PngReader {
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorText errorText;
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int channels = 0;  // 3, or 4 with alpha, after the transformations
  bool interlaced = false;
  ~PngReader() {
    if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
  }
};

bool GuardedReadInfo(PngReader *r, std::FILE *file) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_init_io(r->png, file);
  png_read_info(r->png, r->info);
  r->width = png_get_image_width(r->png, r->info);
  r->height = png_get_image_height(r->png, r->info);
  const png_byte colour = png_get_color_type(r->png, r->info);
  const png_byte depth = png_get_bit_depth(r->png, r->info);
  if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(r->png);
  if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(r->png);
  if (png_get_valid(r->png, r->info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(r->png);
  if (depth == 16) png_set_scale_16(r->png);
  if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(r->png);
  r->interlaced = png_set_interlace_handling(r->png) > 1;
  png_read_update_info(r->png, r->info);
  r->channels = png_get_channels(r->png, r->info);
  return r->channels == 3 || r->channels == 4;
}

// Reads all rows; `rows` points at each row's place.
bool GuardedReadImage(PngReader *r, png_bytepp rows) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_read_image(r->png, rows);
  png_read_end(r->png, nullptr);
  return true;
}

// Reads the next row into `row`.
bool GuardedReadRow(PngReader *r, png_bytep row) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_read_row(r->png, row, nullptr);
  return true;
}

bool GuardedReadEnd(PngReader *r) {
  if (setjmp(png_jmpbuf(r->png))) return false;
  png_read_end(r->png, nullptr);
  return true;
}

// A pixel with alpha laid over white paper.
void OverWhite(const uint8_t *rgba, uint8_t *rgb, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, rgba += 4, rgb += 3) {
    const unsigned alpha = rgba[3];
    for (int c = 0; c < 3; ++c) rgb[c] = static_cast<uint8_t>((rgba[c] * alpha + 255 * (255 - alpha) + 127) / 255);
  }
}

// libpng's own words for a damaged file, as a reader of the file would say it.
std::string ReadFailure(const char *libpngMessage) {
  const std::string message = libpngMessage;
  if (message == "Read Error") return "the file is cut short";
  if (message.empty()) return "the file is damaged";
  return "the file is damaged (" + message + ")";
}

bool GuardedWriteHeader(png_structp png, png_infop info, std::FILE *file, uint32_t width, uint32_t height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_set_pHYs(png, info, kDotsPerMetre, kDotsPerMetre, PNG_RESOLUTION_METER);
  // Pages are large and flat; fast compression keeps kvtspool quick.
  png_set_compression_level(png, 3);
  png_write_info(png, info);
  return true;
}

bool GuardedWriteRows(png_structp png, const uint8_t *rows, size_t rowBytes, size_t count) {
  if (setjmp(png_jmpbuf(png))) return false;
  for (size_t i = 0; i < count; ++i) png_write_row(png, rows + i * rowBytes);
  return true;
}

bool GuardedWriteEnd(png_structp png, png_infop info) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_write_end(png, info);
  return true;
}

}  // namespace

namespace {

// A PNG with its header read; it has one size, its own.
class PngDecoder final : public PictureDecoder {
 public:
  bool Open(std::FILE *file, std::string &error, uint64_t maxPixels) {
    r_.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r_.errorText, OnPngError, OnPngWarning);
    if (r_.png) r_.info = png_create_info_struct(r_.png);
    if (!r_.png || !r_.info) {
      error = "out of memory";
      return false;
    }
    if (!GuardedReadInfo(&r_, file)) {
      error = r_.errorText.message[0] != 0 ? ReadFailure(r_.errorText.message) : "unsupported PNG colour layout";
      return false;
    }
    if (uint64_t{r_.width} * r_.height > maxPixels) {
      error = TooLarge(r_.width, r_.height, maxPixels);
      return false;
    }
    sizes_ = {{r_.width, r_.height}};
    return true;
  }

  const std::vector<PictureSize> &Sizes() const override { return sizes_; }

  // Every row is decoded: a PNG's rows are filtered one against the other.
  bool Decode(PictureSize size, RowSpan, uint8_t *pixels, const RowsDone &rowsDone, std::string &error) override {
    if (!(size == sizes_.front()) || decoded_) {
      error = "the picture cannot be decoded at that size";
      return false;
    }
    decoded_ = true;
    const size_t rowBytes = size_t{r_.width} * 3;
    auto rowAt = [&](png_uint_32 y) { return pixels + y * rowBytes; };
    bool ok = true;
    if (r_.channels == 3 && r_.interlaced) {
      std::vector<png_bytep> rows(r_.height);
      for (png_uint_32 y = 0; y < r_.height; ++y) rows[y] = rowAt(y);
      ok = GuardedReadImage(&r_, rows.data());
    } else if (r_.channels == 4 && r_.interlaced) {
      // Every pass revisits every row: the alpha must wait for the last one.
      std::vector<uint8_t> rgba(size_t{r_.width} * 4 * r_.height);
      std::vector<png_bytep> rows(r_.height);
      for (png_uint_32 y = 0; y < r_.height; ++y) rows[y] = rgba.data() + size_t{y} * r_.width * 4;
      ok = GuardedReadImage(&r_, rows.data());
      if (ok) OverWhite(rgba.data(), pixels, size_t{r_.width} * r_.height);
    } else {
      std::vector<uint8_t> rgba(r_.channels == 4 ? size_t{r_.width} * 4 : 0);
      for (png_uint_32 y = 0; ok && y < r_.height; ++y) {
        ok = GuardedReadRow(&r_, r_.channels == 4 ? rgba.data() : rowAt(y));
        if (ok && r_.channels == 4) OverWhite(rgba.data(), rowAt(y), r_.width);
        // The last rows are told only once the file's end has been checked.
        if (ok && rowsDone && (y + 1) % kRowsPerReport == 0 && y + 1 < r_.height && !rowsDone(y + 1)) {
          error = "stopped";
          return false;
        }
      }
      ok = ok && GuardedReadEnd(&r_);
    }
    if (!ok) {
      error = ReadFailure(r_.errorText.message);
      return false;
    }
    if (rowsDone && !rowsDone(r_.height)) {
      error = "stopped";
      return false;
    }
    return true;
  }

 private:
  PngReader r_;
  std::vector<PictureSize> sizes_;
  bool decoded_ = false;
};

}  // namespace

std::unique_ptr<PictureDecoder> OpenPng(std::FILE *file, std::string &error, uint64_t maxPixels) {
  auto decoder = std::make_unique<PngDecoder>();
  if (!decoder->Open(file, error, maxPixels)) return nullptr;
  return decoder;
}

bool ReadPng(std::FILE *file, RgbImage &out, std::string &error, uint64_t maxPixels) {
  std::unique_ptr<PictureDecoder> decoder = OpenPng(file, error, maxPixels);
  return decoder != nullptr && DecodeWhole(*decoder, out, error);
}

struct PngRowWriter::State {
  UniqueFile file;
  png_structp png = nullptr;
  png_infop info = nullptr;
  PngErrorText errorText;
  size_t rowBytes = 0;
  uint32_t rowsLeft = 0;

  ~State() {
    if (png) png_destroy_write_struct(&png, info ? &info : nullptr);
  }
};

PngRowWriter::PngRowWriter() = default;
PngRowWriter::~PngRowWriter() = default;

bool PngRowWriter::IsOpen() const { return state_ != nullptr; }

void PngRowWriter::Abandon() { state_.reset(); }

bool PngRowWriter::Open(const std::string &path, uint32_t width, uint32_t height, std::string &error) {
  state_.reset();
  auto state = std::make_unique<State>();
  state->file = OpenFile(path, "wb");
  if (!state->file) {
    error = std::string("cannot create ") + path + ": " + std::strerror(errno);
    return false;
  }
  state->png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state->errorText, OnPngError, OnPngWarning);
  if (state->png) state->info = png_create_info_struct(state->png);
  if (!state->png || !state->info) {
    error = "out of memory for the PNG writer";
    return false;
  }
  if (!GuardedWriteHeader(state->png, state->info, state->file.get(), width, height)) {
    error = std::string("cannot write ") + path + ": " + state->errorText.message;
    return false;
  }
  state->rowBytes = size_t{width} * 3;
  state->rowsLeft = height;
  state_ = std::move(state);
  return true;
}

bool PngRowWriter::WriteRows(std::span<const uint8_t> rows, std::string &error) {
  if (!state_ || rows.size() % state_->rowBytes != 0 || rows.size() / state_->rowBytes > state_->rowsLeft) {
    error = "rows do not fit the PNG being written";
    return false;
  }
  size_t count = rows.size() / state_->rowBytes;
  if (!GuardedWriteRows(state_->png, rows.data(), state_->rowBytes, count)) {
    error = std::string("PNG write failed: ") + state_->errorText.message;
    state_.reset();
    return false;
  }
  state_->rowsLeft -= static_cast<uint32_t>(count);
  return true;
}

bool PngRowWriter::Finish(std::string &error) {
  if (!state_ || state_->rowsLeft != 0) {
    error = "PNG ended before all its rows were written";
    state_.reset();
    return false;
  }
  bool ok = GuardedWriteEnd(state_->png, state_->info);
  if (!ok) error = std::string("PNG write failed: ") + state_->errorText.message;
  png_destroy_write_struct(&state_->png, &state_->info);
  if (!CloseWritten(state_->file) && ok) {
    error = std::string("PNG write failed: ") + std::strerror(errno);
    ok = false;
  }
  state_.reset();
  return ok;
}

bool WritePng(const std::string &path, const RgbImage &image, std::string &error) {
  PngRowWriter writer;
  return writer.Open(path, image.width, image.height, error) && writer.WriteRows(image.pixels, error) &&
         writer.Finish(error);
}

}  // namespace kvt::image
