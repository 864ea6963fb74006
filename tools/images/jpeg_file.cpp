// libjpeg behind the image helpers. A picture is decoded at the size its
// reader asks for, libjpeg scaling it by n/8 while it decodes, and each row
// goes straight to its place in the picture as seen. libjpeg reports errors
// through an exit hook that must not return; ours longjmps back into a small
// guarded function that holds no objects with destructors, so nothing is
// skipped.
//
// A decoder warning (a cut file, damaged data) is an error here: libjpeg
// would fill what it could not decode with grey and carry on, and that grey
// would be printed as if it were the picture.
#include "jpeg_file.h"

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jerror.h>
#include <jpeglib.h>
#include <libexif/exif-data.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include <vector>

#include "orientation.h"
#include "picture_decoder.h"
#include "stdio_file.h"

namespace kvt::image {

namespace {

struct JpegError {
  jpeg_error_mgr manager;  // first member: libjpeg sees only this part
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool warningsFail = false;
};

void OnJpegError(j_common_ptr info) {
  auto *error = reinterpret_cast<JpegError *>(info->err);
  (*info->err->format_message)(info, error->message);
  std::longjmp(error->jump, 1);
}

// Level -1 is a warning; the others are trace messages, never shown.
void OnJpegMessage(j_common_ptr info, int level) {
  auto *error = reinterpret_cast<JpegError *>(info->err);
  if (level < 0 && error->warningsFail) OnJpegError(info);
}

JpegError *InstallErrorHandler(JpegError &error, bool warningsFail) {
  jpeg_std_error(&error.manager);
  error.manager.error_exit = OnJpegError;
  error.manager.emit_message = OnJpegMessage;
  error.message[0] = 0;
  error.warningsFail = warningsFail;
  return &error;
}

// libjpeg's own words for a damaged file, as a reader of the file would say
// it.
std::string ReadFailure(const j_decompress_ptr info, const JpegError &error) {
  if (info->err->msg_code == JWRN_JPEG_EOF) return "the file is cut short";
  if (info->err->msg_code == JERR_NO_SOI) return "it is not a JPEG picture";
  return std::string("the file is damaged (") + error.message + ")";
}

constexpr unsigned kExifMarker = JPEG_APP0 + 1;
// libjpeg scales while decoding by scale/8.
constexpr unsigned kScaleDenominator = 8;
// libjpeg decodes at 7/8 more slowly than at full size (its 7- and 14-point
// transforms have no vector code), and 7/8 changes a picture the most
// where the engine then shrinks it only a little: it is not offered.
constexpr unsigned kSlowerThanWhole = 7;
constexpr size_t kExifHeader = 6;  // "Exif\0\0"

// The EXIF orientation (1..8) in the markers libjpeg kept, or 1.
int ExifOrientation(const jpeg_decompress_struct &info) {
  for (jpeg_saved_marker_ptr marker = info.marker_list; marker != nullptr; marker = marker->next) {
    if (marker->marker != kExifMarker || marker->data_length < kExifHeader ||
        std::memcmp(marker->data, "Exif\0\0", kExifHeader) != 0) {
      continue;
    }
    ExifData *data = exif_data_new_from_data(marker->data, marker->data_length);
    if (data == nullptr) return 1;
    int orientation = 1;
    ExifEntry *entry = exif_content_get_entry(data->ifd[EXIF_IFD_0], EXIF_TAG_ORIENTATION);
    if (entry != nullptr && entry->format == EXIF_FORMAT_SHORT && entry->components >= 1 && entry->size >= 2) {
      orientation = exif_get_short(entry->data, exif_data_get_byte_order(data));
    }
    exif_data_unref(data);
    return orientation;
  }
  return 1;
}

// CMYK samples to RGB. Adobe's files store the inks inverted (255 = no ink).
void CmykToRgb(const uint8_t *cmyk, uint8_t *rgb, size_t pixels, bool inverted) {
  for (size_t i = 0; i < pixels; ++i, cmyk += 4, rgb += 3) {
    const unsigned k = inverted ? cmyk[3] : 255u - cmyk[3];
    for (int c = 0; c < 3; ++c) {
      const unsigned ink = inverted ? cmyk[c] : 255u - cmyk[c];
      rgb[c] = static_cast<uint8_t>((ink * k + 127) / 255);
    }
  }
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
  d->info.err = &InstallErrorHandler(d->error, true)->manager;
  if (setjmp(d->error.jump)) return false;
  jpeg_create_decompress(&d->info);
  d->created = true;
  jpeg_stdio_src(&d->info, file);
  jpeg_save_markers(&d->info, kExifMarker, 0xFFFF);
  jpeg_read_header(&d->info, TRUE);
  const bool inks = d->info.jpeg_color_space == JCS_CMYK || d->info.jpeg_color_space == JCS_YCCK;
  d->info.out_color_space = inks ? JCS_CMYK : JCS_RGB;
  jpeg_calc_output_dimensions(&d->info);
  return true;
}

// The stored size of the decoded picture at scale/8, as libjpeg works it out.
bool GuardedScaledSize(Decompressor *d, unsigned scale, JDIMENSION *width, JDIMENSION *height) {
  if (setjmp(d->error.jump)) return false;
  d->info.scale_num = scale;
  d->info.scale_denom = kScaleDenominator;
  jpeg_calc_output_dimensions(&d->info);
  *width = d->info.output_width;
  *height = d->info.output_height;
  return true;
}

// Where decoded rows go. Rows that land whole in the picture as seen are
// decoded there directly; the others pass through `row` (width * 3 bytes).
// CMYK rows pass through `cmykRow` (width * 4 bytes) on the way.
struct DecodeTarget {
  const OrientedRows *rows;
  uint8_t *row;
  uint8_t *cmykRow;
  const RowsDone *rowsDone;
  uint32_t seenHeight;
  bool stopped;
};

// Rows between two reports of final rows: small against a band of the
// page, large against the cost of a report.
constexpr uint32_t kRowsPerReport = 16;

bool GuardedDecode(Decompressor *d, DecodeTarget *t) {
  if (setjmp(d->error.jump)) return false;
  jpeg_start_decompress(&d->info);
  const bool topDown = t->rows->TopDown();
  while (d->info.output_scanline < d->info.output_height) {
    const JDIMENSION y = d->info.output_scanline;
    uint8_t *direct = t->rows->DirectRow(y);
    uint8_t *rgb = direct != nullptr ? direct : t->row;
    JSAMPROW row = t->cmykRow != nullptr ? t->cmykRow : rgb;
    jpeg_read_scanlines(&d->info, &row, 1);
    if (t->cmykRow != nullptr) CmykToRgb(t->cmykRow, rgb, d->info.output_width, d->info.saw_Adobe_marker);
    if (direct == nullptr) t->rows->Put(y, rgb);
    const uint32_t done = d->info.output_scanline;
    // Rows that arrive from the bottom up or turned are final only at the end.
    if (topDown && *t->rowsDone && (done % kRowsPerReport == 0 || done == t->seenHeight) && !(*t->rowsDone)(done)) {
      t->stopped = true;
      jpeg_abort_decompress(&d->info);
      return false;
    }
  }
  jpeg_finish_decompress(&d->info);
  return true;
}

bool GuardedEncode(Compressor *c, std::FILE *file, const RgbImage *image, int quality) {
  c->info.err = &InstallErrorHandler(c->error, false)->manager;
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

// A JPEG with its header read. Its sizes are those of libjpeg's scaled
// decoding, scale/8 for scale 1..8 but 7; where two scales give the same
// size, the larger one is kept, which for a tiny picture is the full
// decoding.
class JpegDecoder final : public PictureDecoder {
 public:
  bool Open(std::FILE *file, std::string &error, uint64_t maxPixels) {
    if (!GuardedReadHeader(&d_, file)) {
      error = ReadFailure(&d_.info, d_.error);
      return false;
    }
    // The saved markers go with the decoder's image memory when it finishes.
    orientation_ = ExifOrientation(d_.info);
    const uint64_t width = d_.info.output_width;
    const uint64_t height = d_.info.output_height;
    if (width * height > maxPixels) {
      error = TooLarge(width, height, maxPixels);
      return false;
    }
    inks_ = d_.info.out_color_space == JCS_CMYK;
    if (d_.info.output_components != (inks_ ? 4 : 3)) {
      error = "its colour layout is not supported";
      return false;
    }
    for (unsigned scale = 1; scale <= kScaleDenominator; ++scale) {
      if (scale == kSlowerThanWhole) continue;
      JDIMENSION w = 0, h = 0;
      if (!GuardedScaledSize(&d_, scale, &w, &h)) {
        error = ReadFailure(&d_.info, d_.error);
        return false;
      }
      const PictureSize seen = SwapsSides(orientation_) ? PictureSize{h, w} : PictureSize{w, h};
      if (!sizes_.empty() && sizes_.back() == seen) {
        scales_.back() = scale;
      } else {
        sizes_.push_back(seen);
        scales_.push_back(scale);
      }
    }
    return true;
  }

  const std::vector<PictureSize> &Sizes() const override { return sizes_; }

  bool Decode(PictureSize size, uint8_t *pixels, const RowsDone &rowsDone, std::string &error) override {
    size_t index = 0;
    while (index < sizes_.size() && !(sizes_[index] == size)) ++index;
    if (index == sizes_.size() || decoded_) {
      error = "the picture cannot be decoded at that size";
      return false;
    }
    decoded_ = true;
    d_.info.scale_num = scales_[index];
    d_.info.scale_denom = kScaleDenominator;
    const uint32_t storedWidth = SwapsSides(orientation_) ? size.height : size.width;
    const uint32_t storedHeight = SwapsSides(orientation_) ? size.width : size.height;
    const OrientedRows rows(storedWidth, storedHeight, orientation_, pixels);
    std::vector<uint8_t> row(size_t{storedWidth} * 3);
    std::vector<uint8_t> cmykRow(inks_ ? size_t{storedWidth} * 4 : 0);
    DecodeTarget target{&rows, row.data(), inks_ ? cmykRow.data() : nullptr, &rowsDone, size.height, false};
    if (!GuardedDecode(&d_, &target)) {
      error = target.stopped ? "stopped" : ReadFailure(&d_.info, d_.error);
      return false;
    }
    if (d_.info.output_width != storedWidth || d_.info.output_height != storedHeight) {
      error = "the picture cannot be decoded at that size";
      return false;
    }
    if (!rows.TopDown() && rowsDone && !rowsDone(size.height)) {
      error = "stopped";
      return false;
    }
    return true;
  }

 private:
  Decompressor d_;
  int orientation_ = 1;
  bool inks_ = false;
  bool decoded_ = false;
  std::vector<PictureSize> sizes_;
  std::vector<unsigned> scales_;
};

}  // namespace

std::unique_ptr<PictureDecoder> OpenJpeg(std::FILE *file, std::string &error, uint64_t maxPixels) {
  auto decoder = std::make_unique<JpegDecoder>();
  if (!decoder->Open(file, error, maxPixels)) return nullptr;
  return decoder;
}

bool ReadJpeg(std::FILE *file, RgbImage &out, std::string &error, uint64_t maxPixels) {
  std::unique_ptr<PictureDecoder> decoder = OpenJpeg(file, error, maxPixels);
  return decoder != nullptr && DecodeWhole(*decoder, out, error);
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
