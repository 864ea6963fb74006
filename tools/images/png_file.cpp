// libpng behind the image helpers. Reading uses libpng's simplified API; the
// row writer uses the classic API, whose errors arrive by longjmp: every
// setjmp lives in a small function that holds no objects with destructors,
// so the jump never skips one.
#include "png_file.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include "stdio_file.h"

namespace kvt::image {

namespace {

struct ImageReadGuard {
  png_image *image;
  ~ImageReadGuard() { png_image_free(image); }
};

struct PngErrorText {
  char message[256] = {};
};

void OnPngError(png_structp png, png_const_charp message) {
  auto *text = static_cast<PngErrorText *>(png_get_error_ptr(png));
  std::strncpy(text->message, message, sizeof text->message - 1);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

bool GuardedWriteHeader(png_structp png, png_infop info, std::FILE *file, uint32_t width, uint32_t height) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
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

bool ReadPng(std::FILE *file, RgbImage &out, std::string &error) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  ImageReadGuard guard{&image};
  if (!png_image_begin_read_from_stdio(&image, file)) {
    error = image.message;
    return false;
  }
  if (uint64_t{image.width} * image.height > kMaxPicturePixels) {
    error = "picture of " + std::to_string(image.width) + "x" + std::to_string(image.height) + " is too large";
    return false;
  }
  image.format = PNG_FORMAT_RGB;
  RgbImage result;
  result.width = image.width;
  result.height = image.height;
  result.pixels.resize(PNG_IMAGE_SIZE(image));
  png_color white{255, 255, 255};
  if (!png_image_finish_read(&image, &white, result.pixels.data(), 0, nullptr)) {
    error = image.message;
    return false;
  }
  out = std::move(result);
  return true;
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
