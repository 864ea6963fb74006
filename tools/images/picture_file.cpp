// Sniffs the signature of a picture file and hands it to the PNG or JPEG
// reader.
#include "picture_file.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "jpeg_file.h"
#include "picture_decoder.h"
#include "png_file.h"
#include "stdio_file.h"
#include "system_text.h"

namespace kvt::image {

namespace {
constexpr std::array<uint8_t, 8> kPngSignature{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr std::array<uint8_t, 3> kJpegSignature{0xFF, 0xD8, 0xFF};
}  // namespace

std::string TooLarge(uint64_t width, uint64_t height, uint64_t maxPixels) {
  return "the picture is " + std::to_string(width) + " x " + std::to_string(height) +
         " pixels, more than the limit of " + std::to_string(maxPixels / 1'000'000) + " megapixels";
}

namespace {

// A decoder with the file it reads, which must outlive it.
class FileDecoder final : public PictureDecoder {
 public:
  FileDecoder(UniqueFile file, std::unique_ptr<PictureDecoder> decoder)
      : file_(std::move(file)), decoder_(std::move(decoder)) {}
  ~FileDecoder() override { decoder_.reset(); }
  const std::vector<PictureSize> &Sizes() const override { return decoder_->Sizes(); }
  bool Decode(PictureSize size, RowSpan needed, uint8_t *pixels, const RowsDone &rowsDone,
              std::string &error) override {
    return decoder_->Decode(size, needed, pixels, rowsDone, error);
  }

 private:
  UniqueFile file_;
  std::unique_ptr<PictureDecoder> decoder_;
};

}  // namespace

bool DecodeWhole(PictureDecoder &decoder, RgbImage &out, std::string &error) {
  const PictureSize size = decoder.FullSize();
  RgbImage result;
  result.width = size.width;
  result.height = size.height;
  result.pixels.resize(result.RowBytes() * size.height);
  if (!decoder.Decode(size, {}, result.pixels.data(), {}, error)) return false;
  out = std::move(result);
  return true;
}

std::unique_ptr<PictureDecoder> OpenPicture(const std::string &path, std::string &error, uint64_t maxPixels) {
  UniqueFile file = OpenFile(path, "rb");
  if (!file) {
    error = errno == ENOENT ? "the file does not exist" : text::ReasonOfErrno(errno);
    return nullptr;
  }
  std::array<uint8_t, 8> head{};
  size_t got = std::fread(head.data(), 1, head.size(), file.get());
  if (got < head.size() && std::ferror(file.get())) {
    error = text::ReasonOfErrno(errno);
    return nullptr;
  }
  std::rewind(file.get());
  std::unique_ptr<PictureDecoder> decoder;
  if (got >= kPngSignature.size() && std::equal(kPngSignature.begin(), kPngSignature.end(), head.begin())) {
    decoder = OpenPng(file.get(), error, maxPixels);
  } else if (got >= kJpegSignature.size() && std::equal(kJpegSignature.begin(), kJpegSignature.end(), head.begin())) {
    decoder = OpenJpeg(file.get(), error, maxPixels);
  } else {
    error = "it is not a PNG or JPEG picture";
  }
  if (decoder == nullptr) return nullptr;
  return std::make_unique<FileDecoder>(std::move(file), std::move(decoder));
}

bool LoadPicture(const std::string &path, RgbImage &out, std::string &error, uint64_t maxPixels) {
  std::unique_ptr<PictureDecoder> decoder = OpenPicture(path, error, maxPixels);
  return decoder != nullptr && DecodeWhole(*decoder, out, error);
}

}  // namespace kvt::image
