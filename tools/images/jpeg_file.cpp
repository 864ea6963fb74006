// libjpeg behind the image helpers. libjpeg reports errors through an exit
// hook that must not return; ours longjmps back into a small guarded
// function that holds no objects with destructors, so nothing is skipped.
#include "jpeg_file.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include "stdio_file.h"

namespace kvt::image {

namespace {

struct JpegError {
  jpeg_error_mgr manager;  // first member: libjpeg sees only this part
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void OnJpegError(j_common_ptr info) {
  auto *error = reinterpret_cast<JpegError *>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

// Warnings (a few corrupt bytes, for instance) are not worth a line.
void OnJpegMessage(j_common_ptr) {}

JpegError *InstallErrorHandler(JpegError &error) {
  jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.output_message = OnJpegMessage;
  error.message[0] = 0;
  return &error;
}

struct Decompressor {
  jpeg_decompress_struct info{};
  JpegError error{};
  bool created = false;
  ~Decompressor() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

struct Compressor {
  jpeg_compress_struct info{};
  JpegError error{};
  bool created = false;
  ~Compressor() {
    if (created) jpeg_destroy_compress(&info);
  }
};

bool GuardedReadHeader(Decompressor *d, std::FILE *file) {
  d->info.err = &InstallErrorHandler(d->error)->manager;
  if (setjmp(d->error.jump)) return false;
  jpeg_create_decompress(&d->info);
  d->created = true;
  jpeg_stdio_src(&d->info, file);
  jpeg_read_header(&d->info, TRUE);
  d->info.out_color_space = JCS_RGB;
  jpeg_calc_output_dimensions(&d->info);
  return true;
}

bool GuardedDecode(Decompressor *d, uint8_t *pixels, size_t rowBytes) {
  if (setjmp(d->error.jump)) return false;
  jpeg_start_decompress(&d->info);
  while (d->info.output_scanline < d->info.output_height) {
    JSAMPROW row = pixels + size_t{d->info.output_scanline} * rowBytes;
    jpeg_read_scanlines(&d->info, &row, 1);
  }
  jpeg_finish_decompress(&d->info);
  return true;
}

bool GuardedEncode(Compressor *c, std::FILE *file, const RgbImage *image, int quality) {
  c->info.err = &InstallErrorHandler(c->error)->manager;
  if (setjmp(c->error.jump)) return false;
  jpeg_create_compress(&c->info);
  c->created = true;
  jpeg_stdio_dest(&c->info, file);
  c->info.image_width = image->width;
  c->info.image_height = image->height;
  c->info.input_components = 3;
  c->info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&c->info);
  jpeg_set_quality(&c->info, quality, TRUE);
  jpeg_start_compress(&c->info, TRUE);
  while (c->info.next_scanline < c->info.image_height) {
    // libjpeg takes non-const rows but only reads them.
    JSAMPROW row = const_cast<uint8_t *>(image->Row(c->info.next_scanline));
    jpeg_write_scanlines(&c->info, &row, 1);
  }
  jpeg_finish_compress(&c->info);
  return true;
}

}  // namespace

bool ReadJpeg(std::FILE *file, RgbImage &out, std::string &error) {
  Decompressor d;
  if (!GuardedReadHeader(&d, file)) {
    error = d.error.message;
    return false;
  }
  const uint64_t width = d.info.output_width;
  const uint64_t height = d.info.output_height;
  if (width * height > kMaxPicturePixels) {
    error = "picture of " + std::to_string(width) + "x" + std::to_string(height) + " is too large";
    return false;
  }
  if (d.info.output_components != 3) {
    error = "unsupported JPEG colour layout";
    return false;
  }
  RgbImage result;
  result.width = static_cast<uint32_t>(width);
  result.height = static_cast<uint32_t>(height);
  result.pixels.resize(width * height * 3);
  if (!GuardedDecode(&d, result.pixels.data(), result.RowBytes())) {
    error = d.error.message;
    return false;
  }
  out = std::move(result);
  return true;
}

bool WriteJpeg(const std::string &path, const RgbImage &image, int quality, std::string &error) {
  UniqueFile file = OpenFile(path, "wb");
  if (!file) {
    error = std::string("cannot create ") + path + ": " + std::strerror(errno);
    return false;
  }
  Compressor c;
  if (!GuardedEncode(&c, file.get(), &image, quality)) {
    error = std::string("cannot write ") + path + ": " + c.error.message;
    return false;
  }
  if (!CloseWritten(file)) {
    error = std::string("cannot write ") + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace kvt::image
