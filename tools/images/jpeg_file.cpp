// libjpeg behind the image helpers. A picture is decoded at the size its
// reader asks for, libjpeg scaling it by n/8 while it decodes, and each row
// goes straight to its place in the picture as seen. libjpeg reports errors
// through an exit hook that must not return; ours longjmps back into a small
// guarded function that holds no objects with destructors, so nothing is
// skipped.
//
// A large picture in a file of its own is decoded in two parts side by
// side: the upper part on the caller's thread, the lower part on a second
// thread with a decompressor of its own that reads through the upper
// part's data without drawing it. Both give exactly the rows one pass
// would give.
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

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
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

// A reader of a picture's file for libjpeg, with a buffer of 64 KB: its
// Huffman decoder takes its fast path only while a few kilobytes of data lie
// in the buffer, which libjpeg's own 4 KB file reader leaves it most of the
// time. It reads the stream in order where the header was, or, for the
// lower part of a picture decoded in two parts, the file at offsets of its
// own, so that neither part moves the other's place in it.
struct FileSource {
  jpeg_source_mgr manager;  // first member: libjpeg sees only this part
  std::FILE *file = nullptr;
  int fd = -1;  // read at `offset` when not -1
  off_t offset = 0;
  bool started = false;
  JOCTET buffer[64 * 1024];
};

void SkipNothing(j_decompress_ptr) {}

size_t ReadChunk(FileSource *source) {
  if (source->fd == -1) return std::fread(source->buffer, 1, sizeof source->buffer, source->file);
  ssize_t got;
  do {
    got = pread(source->fd, source->buffer, sizeof source->buffer, source->offset);
  } while (got < 0 && errno == EINTR);
  if (got <= 0) return 0;
  source->offset += got;
  return static_cast<size_t>(got);
}

boolean FillFromFile(j_decompress_ptr info) {
  auto *source = reinterpret_cast<FileSource *>(info->src);
  size_t got = ReadChunk(source);
  if (got == 0) {
    if (!source->started) ERREXIT(info, JERR_INPUT_EMPTY);
    // As libjpeg's own file reader does at the end of the file: a warning
    // (an error here) and an end marker, so that nothing reads on.
    WARNMS(info, JWRN_JPEG_EOF);
    source->buffer[0] = 0xFF;
    source->buffer[1] = JPEG_EOI;
    got = 2;
  }
  source->started = true;
  source->manager.next_input_byte = source->buffer;
  source->manager.bytes_in_buffer = got;
  return TRUE;
}

void SkipInFile(j_decompress_ptr info, long count) {
  jpeg_source_mgr *source = info->src;
  while (count > 0) {
    if (static_cast<size_t>(count) <= source->bytes_in_buffer) {
      source->next_input_byte += count;
      source->bytes_in_buffer -= static_cast<size_t>(count);
      return;
    }
    count -= static_cast<long>(source->bytes_in_buffer);
    source->bytes_in_buffer = 0;
    (*source->fill_input_buffer)(info);
  }
}

// `source` reads `file` in order, or, with `positioned`, at offsets of its
// own from the file's start.
void ReadFrom(j_decompress_ptr info, FileSource *source, std::FILE *file, bool positioned) {
  source->manager = {};
  source->manager.init_source = SkipNothing;
  source->manager.fill_input_buffer = FillFromFile;
  source->manager.skip_input_data = SkipInFile;
  source->manager.resync_to_restart = jpeg_resync_to_restart;
  source->manager.term_source = SkipNothing;
  source->file = file;
  source->fd = positioned ? fileno(file) : -1;
  source->offset = 0;
  source->started = false;
  info->src = &source->manager;
}

// Reads the header from `file` through `source`: in order, or, when
// `positioned`, from the file's start at offsets of its own.
bool GuardedReadHeader(Decompressor *d, std::FILE *file, FileSource *source, bool positioned) {
  d->info.err = &InstallErrorHandler(d->error, true)->manager;
  if (setjmp(d->error.jump)) return false;
  jpeg_create_decompress(&d->info);
  d->created = true;
  ReadFrom(&d->info, source, file, positioned);
  if (!positioned) jpeg_save_markers(&d->info, kExifMarker, 0xFFFF);
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

// The lower part's decompressor decodes as the upper part's does.
bool GuardedScale(Decompressor *d, J_COLOR_SPACE colours, unsigned scale) {
  if (setjmp(d->error.jump)) return false;
  d->info.out_color_space = colours;
  d->info.scale_num = scale;
  d->info.scale_denom = kScaleDenominator;
  jpeg_calc_output_dimensions(&d->info);
  return true;
}

// How far the decoding of a picture has come, when its upper and lower
// parts are decoded side by side: the rows final from the top are told as
// the upper part arrives and, once it is whole, as the lower part does. A
// stop asked for by the caller or a failure of either part stops both.
// Rows that a part passes over without drawing are final from the start.
class RowsProgress {
 public:
  // `middle` is the lower part's first stored row, or `height` when the
  // upper part is the only one.
  RowsProgress(const RowsDone *rowsDone, bool topDown, uint32_t middle, uint32_t height)
      : rowsDone_(rowsDone), topDown_(topDown), middle_(middle), height_(height) {}

  // Part 0 (above `middle`) or 1 (from `middle` down) has made the stored
  // rows above `upTo` final: false when the decoding is to stop.
  bool Decoded(int part, uint32_t upTo) {
    if (halt_.load(std::memory_order_relaxed)) return false;
    if (!topDown_ || !*rowsDone_) return true;
    if (upTo % kRowsPerReport != 0 && upTo != middle_ && upTo != height_) return true;
    std::lock_guard<std::mutex> lock(mutex_);
    // The other part may have been told to stop while this one waited.
    if (halt_.load(std::memory_order_relaxed)) return false;
    done_[part] = upTo;
    const uint32_t final = done_[0] < middle_ ? done_[0] : std::max(done_[0], done_[1]);
    if (final > told_) {
      told_ = final;
      if (!(*rowsDone_)(final)) {
        stopped_ = true;
        Halt();
        return false;
      }
    }
    return true;
  }
  void Halt() { halt_.store(true, std::memory_order_relaxed); }
  bool Stopped() const { return stopped_; }

 private:
  // Rows between two reports of final rows: small against a band of the
  // page, large against the cost of a report.
  static constexpr uint32_t kRowsPerReport = 16;

  const RowsDone *rowsDone_;
  bool topDown_;
  uint32_t middle_;
  uint32_t height_;
  std::mutex mutex_;
  uint32_t done_[2] = {0, 0};
  uint32_t told_ = 0;
  bool stopped_ = false;
  std::atomic<bool> halt_{false};
};

// Where decoded rows go: stored rows [first, end) of the picture. Rows
// that land whole in the picture as seen are decoded there directly; the
// others pass through `row` (width * 3 bytes). CMYK rows pass through
// `cmykRow` (width * 4 bytes) on the way. The part that `finishes` reads
// the file on to its end after its rows.
struct DecodeTarget {
  const OrientedRows *rows;
  uint8_t *row;
  uint8_t *cmykRow;
  uint32_t first;
  uint32_t end;
  bool finishes;
  int part;
  RowsProgress *progress;
  bool halted;
};

bool GuardedDecode(Decompressor *d, DecodeTarget *t) {
  if (setjmp(d->error.jump)) return false;
  jpeg_start_decompress(&d->info);
  // Rows above `first` are decoded from the file but not drawn (libjpeg
  // reads their data without its transforms): the lower part reads the same
  // data, and so meets the same damage, as the upper part.
  if (t->first > 0 && jpeg_skip_scanlines(&d->info, t->first) != t->first) ERREXIT(&d->info, JERR_BAD_STATE);
  // A stop asked for, or the other part's failure, ends this part.
  auto halt = [d, t] {
    t->halted = true;
    jpeg_abort_decompress(&d->info);
    return false;
  };
  while (d->info.output_scanline < t->end) {
    const JDIMENSION y = d->info.output_scanline;
    uint8_t *direct = t->rows->DirectRow(y);
    uint8_t *rgb = direct != nullptr ? direct : t->row;
    JSAMPROW row = t->cmykRow != nullptr ? t->cmykRow : rgb;
    jpeg_read_scanlines(&d->info, &row, 1);
    if (t->cmykRow != nullptr) CmykToRgb(t->cmykRow, rgb, d->info.output_width, d->info.saw_Adobe_marker);
    if (direct == nullptr) t->rows->Put(y, rgb);
    if (!t->progress->Decoded(t->part, d->info.output_scanline)) return halt();
  }
  // The upper part ends before the file does; the part that finishes reads
  // it to its end marker, so a cut or damaged end is met there. Rows below
  // `end` are passed over but the last, which is decoded: libjpeg takes a
  // skip to the very end for the end of the file, and reads no more.
  if (!t->finishes) {
    jpeg_abort_decompress(&d->info);
    return true;
  }
  const JDIMENSION last = d->info.output_height - 1;
  if (d->info.output_scanline < last) {
    const JDIMENSION passed = last - d->info.output_scanline;
    if (jpeg_skip_scanlines(&d->info, passed) != passed) ERREXIT(&d->info, JERR_BAD_STATE);
  }
  if (d->info.output_scanline < d->info.output_height) {
    JSAMPROW spare = t->cmykRow != nullptr ? t->cmykRow : t->row;
    jpeg_read_scanlines(&d->info, &spare, 1);
  }
  if (!t->progress->Decoded(t->part, d->info.output_height)) return halt();
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
    file_ = file;
    if (!GuardedReadHeader(&d_, file, source_.get(), false)) {
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

  bool Decode(PictureSize size, RowSpan needed, uint8_t *pixels, const RowsDone &rowsDone,
              std::string &error) override {
    size_t index = 0;
    while (index < sizes_.size() && !(sizes_[index] == size)) ++index;
    if (index == sizes_.size() || decoded_) {
      error = "the picture cannot be decoded at that size";
      return false;
    }
    decoded_ = true;
    const unsigned scale = scales_[index];
    const uint32_t storedWidth = SwapsSides(orientation_) ? size.height : size.width;
    const uint32_t storedHeight = SwapsSides(orientation_) ? size.width : size.height;
    const OrientedRows rows(storedWidth, storedHeight, orientation_, pixels);
    const StoredRows drawn = StoredRowsOf(needed, size.height, storedHeight);
    const uint32_t middle = SplitsAt(storedWidth, drawn);
    const bool split = middle < drawn.end;
    RowsProgress progress(&rowsDone, rows.TopDown(), split ? middle : storedHeight, storedHeight);
    Part upper(rows, inks_, drawn.first, middle, !split, 0, &progress);
    Part lower(rows, inks_, middle, drawn.end, true, 1, &progress);
    d_.info.scale_num = scale;
    d_.info.scale_denom = kScaleDenominator;
    if (!split) {
      upper.Decode(&d_);
    } else {
      // The lower part on a thread of its own, the upper part on this one,
      // where the caller waits for the top rows first.
      std::thread helper;
      try {
        helper = std::thread([&] { lower.DecodeFrom(file_, d_.info.out_color_space, scale); });
      } catch (const std::system_error &) {
      }
      upper.Decode(&d_);
      if (helper.joinable()) {
        helper.join();
      } else if (upper.ok) {
        lower.DecodeFrom(file_, d_.info.out_color_space, scale);
      }
    }
    if (!upper.ok || !lower.ok) {
      error = progress.Stopped() ? "stopped" : !upper.error.empty() ? upper.error : lower.error;
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
  // One part of the picture's stored rows, decoded by one decompressor,
  // with its own row buffers.
  struct Part {
    Part(const OrientedRows &rows, bool inks, uint32_t first, uint32_t end, bool finishes, int part,
         RowsProgress *progress)
        : row(size_t{rows.StoredWidth()} * 3),
          cmykRow(inks ? size_t{rows.StoredWidth()} * 4 : 0),
          target{&rows, row.data(), inks ? cmykRow.data() : nullptr, first, end, finishes, part, progress, false},
          ok(part != 0 && first == end) {}  // a lower part without rows is not run
    // `target` points into the row buffers.
    Part(const Part &) = delete;
    Part &operator=(const Part &) = delete;

    void Decode(Decompressor *d) {
      ok = GuardedDecode(d, &target);
      if (!ok && !target.halted) {
        error = ReadFailure(&d->info, d->error);
        target.progress->Halt();  // the other part need not go on
      }
    }
    // With a decompressor of its own, reading the file at its own offsets.
    void DecodeFrom(std::FILE *file, J_COLOR_SPACE colours, unsigned scale) {
      Decompressor d;
      auto source = std::make_unique<FileSource>();
      if (!GuardedReadHeader(&d, file, source.get(), true) || !GuardedScale(&d, colours, scale)) {
        error = ReadFailure(&d.info, d.error);
        target.progress->Halt();
        return;
      }
      Decode(&d);
    }

    std::vector<uint8_t> row;
    std::vector<uint8_t> cmykRow;
    DecodeTarget target;
    bool ok;
    std::string error;
  };

  // The stored rows [first, end) that hold the needed rows as seen: the
  // same rows, or the same turned upside down, unless the picture is turned
  // a quarter (its rows as seen are stored columns). No rows at all when
  // none are needed.
  struct StoredRows {
    uint32_t first;
    uint32_t end;
  };
  StoredRows StoredRowsOf(RowSpan needed, uint32_t seenHeight, uint32_t storedHeight) const {
    const uint32_t top = std::min(needed.top, seenHeight);
    const uint32_t bottom = std::min(needed.bottom, seenHeight);
    if (top >= bottom) return {0, 0};
    switch (orientation_) {
      case 1:
      case 2:
        return {top, bottom};
      case 3:
      case 4:
        return {storedHeight - bottom, storedHeight - top};
      default:
        return {0, storedHeight};
    }
  }

  // The first stored row of the lower part, or `drawn.end` when the rows
  // are decoded in one part on this thread: too few to gain from a second
  // thread, a progressive JPEG (each part would decode the whole file's
  // coefficients first), or one not in a file of its own that can be read
  // at two places. The parts are of equal height: the lower part also
  // reads through the upper part's data, but the upper part's thread shares
  // the machine with the engine, which draws its rows as they come.
  uint32_t SplitsAt(uint32_t width, StoredRows drawn) {
    const uint32_t rows = drawn.end - drawn.first;
    if (uint64_t{width} * rows < kSplitPixels || jpeg_has_multiple_scans(&d_.info)) return drawn.end;
    struct stat status {};
    if (fstat(fileno(file_), &status) != 0 || !S_ISREG(status.st_mode)) return drawn.end;
    return drawn.first + static_cast<uint32_t>(uint64_t{rows} * kUpperShare / 100);
  }

  // Pictures from about two megapixels up, decoded in two parts, arrive
  // sooner: below that a thread costs more than it brings.
  static constexpr uint64_t kSplitPixels = 2'000'000;
  static constexpr uint32_t kUpperShare = 50;

  std::FILE *file_ = nullptr;
  std::unique_ptr<FileSource> source_ = std::make_unique<FileSource>();  // outlives `d_`
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
