// Pictures read the way they look: every PNG colour layout with its true
// colours (16-bit samples scaled, not gamma-encoded; transparency over
// white), JPEG pictures turned by their EXIF orientation and converted
// from CMYK, at their full size and at the sizes libjpeg decodes them
// scaled, and damaged files of either kind refused with a reason.
#include <gtest/gtest.h>
#include <png.h>

// jpeglib.h needs size_t and FILE declared first.
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "jpeg_file.h"
#include "orientation.h"
#include "picture_decoder.h"
#include "picture_file.h"
#include "png_file.h"
#include "test_support.h"

namespace kvt::image {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WithExifOrientation;
using test::WriteBytes;

// A PNG as libpng's classic writer makes it, with no colour-space chunk.
struct RawPng {
  uint32_t width, height;
  int colourType, bitDepth;
  std::vector<uint8_t> rows;  // packed rows as the file stores them
  std::vector<png_color> palette;
  std::vector<uint8_t> paletteAlpha;
  bool interlaced = false;
};

void WriteRawPng(const std::string &path, const RawPng &p) {
  std::FILE *file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_init_io(png, file);
  png_set_IHDR(png, info, p.width, p.height, p.bitDepth, p.colourType,
               p.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (!p.palette.empty()) png_set_PLTE(png, info, p.palette.data(), static_cast<int>(p.palette.size()));
  if (!p.paletteAlpha.empty()) {
    png_set_tRNS(png, info, p.paletteAlpha.data(), static_cast<int>(p.paletteAlpha.size()), nullptr);
  }
  png_write_info(png, info);
  const size_t rowBytes = p.rows.size() / p.height;
  std::vector<png_bytep> rows(p.height);
  for (uint32_t y = 0; y < p.height; ++y) rows[y] = const_cast<uint8_t *>(p.rows.data()) + y * rowBytes;
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
}

struct PngCase {
  const char *name;
  RawPng png;
  std::vector<Rgb> want;  // row by row
};

TEST(PictureColours, EveryPngLayoutReadsAsItLooks) {
  const PngCase cases[] = {
      // 0x8080 of 0xFFFF is half way: 128, not 186 as if it were linear light.
      {"16-bit grey",
       {3, 1, PNG_COLOR_TYPE_GRAY, 16, {0x80, 0x80, 0, 0, 0xFF, 0xFF}, {}, {}, false},
       {{128, 128, 128}, {0, 0, 0}, {255, 255, 255}}},
      {"1-bit grey", {2, 1, PNG_COLOR_TYPE_GRAY, 1, {0x40}, {}, {}, false}, {{0, 0, 0}, {255, 255, 255}}},
      {"palette",
       {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {1, 0}, {{10, 20, 30}, {200, 100, 50}}, {}, false},
       {{200, 100, 50}, {10, 20, 30}}},
      {"palette with a clear entry",
       {2, 1, PNG_COLOR_TYPE_PALETTE, 8, {0, 1}, {{10, 20, 30}, {200, 100, 50}}, {255, 0}, false},
       {{10, 20, 30}, {255, 255, 255}}},
      // Half-transparent black over white paper: grey 127.
      {"grey with alpha",
       {2, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {0, 128, 50, 255}, {}, {}, false},
       {{127, 127, 127}, {50, 50, 50}}},
      {"16-bit RGBA",
       {1, 1, PNG_COLOR_TYPE_RGB_ALPHA, 16, {0xFF, 0xFF, 0, 0, 0, 0, 0x80, 0x80}, {}, {}, false},
       {{255, 127, 127}}},
      {"16-bit RGB",
       {1, 1, PNG_COLOR_TYPE_RGB, 16, {0x80, 0x80, 0x40, 0x40, 0xFF, 0xFF}, {}, {}, false},
       {{128, 64, 255}}},
      {"interlaced RGBA",
       {3,
        2,
        PNG_COLOR_TYPE_RGB_ALPHA,
        8,
        {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 255, 255, 0, 0, 0, 0, 9, 9, 9, 255, 0, 0, 0, 255},
        {},
        {},
        true},
       {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}, {9, 9, 9}, {0, 0, 0}}},
  };
  TempDir dir;
  for (const PngCase &c : cases) {
    SCOPED_TRACE(c.name);
    WriteRawPng(dir.File("case.png"), c.png);
    RgbImage got;
    std::string error;
    ASSERT_TRUE(LoadPicture(dir.File("case.png"), got, error)) << error;
    ASSERT_EQ(got.width, c.png.width);
    ASSERT_EQ(got.height, c.png.height);
    for (size_t i = 0; i < c.want.size(); ++i) {
      const Rgb pixel = got.At(static_cast<uint32_t>(i % got.width), static_cast<uint32_t>(i / got.width));
      EXPECT_EQ(pixel, c.want[i]) << "pixel " << i << ": " << int(pixel.r) << "," << int(pixel.g) << ","
                                  << int(pixel.b);
    }
  }
}

// A JPEG of 64 x 32 whose left half is red and right half blue, stored as
// CMYK (inverted, as Adobe's files store it) when `inks` is given.
std::vector<uint8_t> RedBlueJpeg(const TempDir &dir, J_COLOR_SPACE inks = JCS_UNKNOWN) {
  const std::string path = dir.File("made.jpg");
  std::FILE *file = std::fopen(path.c_str(), "wb");
  jpeg_compress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_compress(&info);
  jpeg_stdio_dest(&info, file);
  info.image_width = 64;
  info.image_height = 32;
  const bool cmyk = inks != JCS_UNKNOWN;
  info.input_components = cmyk ? 4 : 3;
  info.in_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&info);
  if (cmyk) jpeg_set_colorspace(&info, inks);
  jpeg_set_quality(&info, 95, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(64 * info.input_components);
  for (int x = 0; x < 64; ++x) {
    uint8_t *p = row.data() + x * info.input_components;
    const bool red = x < 32;
    // Inverted inks (255 is none) of red and blue read like their RGB
    // values, with no black.
    p[0] = red ? 255 : 0, p[1] = 0, p[2] = red ? 0 : 255;
    if (cmyk) p[3] = 255;
  }
  while (info.next_scanline < info.image_height) {
    JSAMPROW rowPointer = row.data();
    jpeg_write_scanlines(&info, &rowPointer, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  std::fclose(file);
  return ReadBytes(path);
}

bool Reddish(Rgb c) { return c.r > 200 && c.g < 60 && c.b < 60; }
bool Bluish(Rgb c) { return c.b > 200 && c.r < 60 && c.g < 60; }

TEST(PictureColours, JpegsAreTurnedByTheirExifOrientation) {
  // Where the red half of the stored picture shows once turned: as seen,
  // (width, height), and which quarter points are red.
  struct Case {
    uint16_t orientation;
    uint32_t width, height;
    bool redLeft, redTop;  // for 64 x 32 results: left half; 32 x 64: top half
  };
  const Case cases[] = {{1, 64, 32, true, false},  {2, 64, 32, false, false}, {3, 64, 32, false, false},
                        {4, 64, 32, true, false},  {5, 32, 64, false, true},  {6, 32, 64, false, true},
                        {7, 32, 64, false, false}, {8, 32, 64, false, false}, {9, 64, 32, true, false}};
  TempDir dir;
  const std::vector<uint8_t> plain = RedBlueJpeg(dir);
  for (const Case &c : cases) {
    for (bool bigEndian : {false, true}) {
      SCOPED_TRACE(testing::Message() << "orientation " << c.orientation << (bigEndian ? " MM" : " II"));
      WriteBytes(dir.File("turned.jpg"), WithExifOrientation(plain, c.orientation, bigEndian));
      RgbImage got;
      std::string error;
      ASSERT_TRUE(LoadPicture(dir.File("turned.jpg"), got, error)) << error;
      ASSERT_EQ(got.width, c.width);
      ASSERT_EQ(got.height, c.height);
      if (c.width == 64) {
        EXPECT_TRUE((c.redLeft ? Reddish : Bluish)(got.At(16, 16)));
        EXPECT_TRUE((c.redLeft ? Bluish : Reddish)(got.At(48, 16)));
      } else {
        EXPECT_TRUE((c.redTop ? Reddish : Bluish)(got.At(16, 16)));
        EXPECT_TRUE((c.redTop ? Bluish : Reddish)(got.At(16, 48)));
      }
    }
  }
}

TEST(PictureColours, CmykAndYcckJpegsAreConverted) {
  TempDir dir;
  for (J_COLOR_SPACE inks : {JCS_CMYK, JCS_YCCK}) {
    SCOPED_TRACE(inks == JCS_CMYK ? "CMYK" : "YCCK");
    WriteBytes(dir.File("inks.jpg"), RedBlueJpeg(dir, inks));
    RgbImage got;
    std::string error;
    ASSERT_TRUE(LoadPicture(dir.File("inks.jpg"), got, error)) << error;
    EXPECT_TRUE(Reddish(got.At(16, 16)));
    EXPECT_TRUE(Bluish(got.At(48, 16)));
  }
}

// A file damaged in a way its decoder only warns about is still refused:
// what it could not decode would print as grey.
TEST(PictureColours, DamagedFilesAreRefusedWithTheirCause) {
  TempDir dir;
  const std::vector<uint8_t> jpeg = RedBlueJpeg(dir);
  std::string error;
  WriteRawPng(dir.File("made.png"), {2, 2, PNG_COLOR_TYPE_RGB, 8, std::vector<uint8_t>(12, 77), {}, {}, false});
  const std::vector<uint8_t> png = ReadBytes(dir.File("made.png"));

  std::vector<uint8_t> extraneous = jpeg;
  extraneous.insert(extraneous.end() - 2, 16, 0x12);  // before EOI, more than the decoder reads ahead
  std::vector<uint8_t> badCrc = png;
  badCrc[png.size() - 12 - 1] ^= 0xFF;  // the last byte of IDAT's CRC
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *reason;  // or how it begins
  };
  const Case cases[] = {
      {"JPEG cut in its header", {jpeg.begin(), jpeg.begin() + 20}, "the file is cut short"},
      {"JPEG cut in its data", {jpeg.begin(), jpeg.begin() + jpeg.size() / 2}, "the file is cut short"},
      {"JPEG without its end", {jpeg.begin(), jpeg.end() - 2}, "the file is cut short"},
      {"JPEG with stray bytes", extraneous, "the file is damaged (Corrupt JPEG data: "},
      {"PNG cut in its header", {png.begin(), png.begin() + 20}, "the file is cut short"},
      {"PNG cut before its end", {png.begin(), png.end() - 12}, "the file is cut short"},
      {"PNG with a bad CRC", badCrc, "the file is damaged (IDAT: CRC error)"},
  };
  for (const Case &c : cases) {
    WriteBytes(dir.File("damaged"), c.bytes);
    RgbImage got;
    EXPECT_FALSE(LoadPicture(dir.File("damaged"), got, error)) << c.name;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.name << ": " << error;
    // Decoded at its smallest size, as for a page much smaller than the
    // picture, the damage is found all the same.
    error.clear();
    std::unique_ptr<PictureDecoder> decoder = OpenPicture(dir.File("damaged"), error);
    if (decoder != nullptr) {
      const PictureSize smallest = decoder->Sizes().front();
      std::vector<uint8_t> pixels(size_t{smallest.width} * smallest.height * 3);
      EXPECT_FALSE(decoder->Decode(smallest, {}, pixels.data(), {}, error)) << c.name;
    }
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.name << " at the smallest size: " << error;
  }
}

// A picture with detail everywhere, so that any pixel put in the wrong
// place shows.
RgbImage Textured(uint32_t width, uint32_t height) {
  RgbImage picture(width, height);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      picture.Set(x, y, {uint8_t(x * 255 / width), uint8_t(y * 255 / height), uint8_t((x * 37 + y * 91) % 256)});
    }
  }
  return picture;
}

// Decoded at any size (libjpeg scaling by n/8 while it decodes), a picture
// is turned exactly as the plain file decoded at that size and then turned
// by Oriented(): every orientation, every size. Rows are told top first as
// they become final where the orientation keeps the stored rows in order
// (1 and 2); otherwise once, when all are there.
TEST(PictureColours, JpegsDecodedAtAnySizeAreTurnedAsAWholePicture) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteJpeg(dir.File("plain.jpg"), Textured(61, 37), 90, error)) << error;
  const std::vector<uint8_t> plain = ReadBytes(dir.File("plain.jpg"));
  std::unique_ptr<PictureDecoder> stored = OpenPicture(dir.File("plain.jpg"), error);
  ASSERT_NE(stored, nullptr) << error;
  std::vector<PictureSize> storedSizes = stored->Sizes();
  // libjpeg's sizes, rounded up, for n/8 but 7/8, which is slower than 8/8.
  const std::vector<uint32_t> eighths = {1, 2, 3, 4, 5, 6, 8};
  ASSERT_EQ(storedSizes.size(), eighths.size());
  for (size_t i = 0; i < eighths.size(); ++i) {
    const uint32_t n = eighths[i];
    EXPECT_EQ(storedSizes[i], (PictureSize{(61 * n + 7) / 8, (37 * n + 7) / 8})) << n << "/8";
  }
  for (int orientation = 1; orientation <= 8; ++orientation) {
    WriteBytes(dir.File("turned.jpg"), WithExifOrientation(plain, static_cast<uint16_t>(orientation), orientation % 2));
    for (size_t i = 0; i < storedSizes.size(); ++i) {
      SCOPED_TRACE(testing::Message() << "orientation " << orientation << ", size " << i);
      std::unique_ptr<PictureDecoder> asStored = OpenPicture(dir.File("plain.jpg"), error);
      std::unique_ptr<PictureDecoder> turned = OpenPicture(dir.File("turned.jpg"), error);
      ASSERT_NE(asStored, nullptr) << error;
      ASSERT_NE(turned, nullptr) << error;
      RgbImage want;
      want.width = storedSizes[i].width;
      want.height = storedSizes[i].height;
      want.pixels.resize(want.RowBytes() * want.height);
      ASSERT_TRUE(asStored->Decode(storedSizes[i], {}, want.pixels.data(), {}, error)) << error;
      want = Oriented(std::move(want), orientation);
      const PictureSize size = turned->Sizes()[i];
      ASSERT_EQ(size, (PictureSize{want.width, want.height}));
      std::vector<uint8_t> got(size_t{size.width} * size.height * 3, 0x5A);
      std::vector<uint32_t> told;
      ASSERT_TRUE(turned->Decode(
          size, {}, got.data(),
          [&](uint32_t rows) {
            told.push_back(rows);
            return true;
          },
          error))
          << error;
      EXPECT_TRUE(got == want.pixels);
      ASSERT_FALSE(told.empty());
      EXPECT_EQ(told.back(), size.height);
      EXPECT_TRUE(std::is_sorted(told.begin(), told.end()));
      if (orientation > 2) {
        EXPECT_EQ(told.size(), 1u);
      }
    }
  }
}

// The file decoded by libjpeg alone, in one pass, at scale/8.
std::vector<uint8_t> DecodedInOnePass(const std::string &path, unsigned scale) {
  std::FILE *file = std::fopen(path.c_str(), "rb");
  jpeg_decompress_struct info{};
  jpeg_error_mgr errors{};
  info.err = jpeg_std_error(&errors);
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  info.out_color_space = JCS_RGB;
  info.scale_num = scale;
  info.scale_denom = 8;
  jpeg_start_decompress(&info);
  std::vector<uint8_t> pixels(size_t{info.output_width} * info.output_height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = pixels.data() + size_t{info.output_scanline} * info.output_width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return pixels;
}

// A large picture is decoded in two parts side by side; what it gives, and
// when it tells rows final, are what one pass gives: every row told is
// final when told, at every size large enough to be split, upright, upside
// down or turned, whichever rows are needed. A cut or damage in either part
// fails the decoding, even where no row is needed, and a stop asked for
// ends both parts.
TEST(PictureColours, LargeJpegsDecodedInTwoPartsGiveWhatOnePassGives) {
  TempDir dir;
  std::string error;
  const uint32_t width = 2560, height = 2048;
  ASSERT_TRUE(WriteJpeg(dir.File("large.jpg"), Textured(width, height), 90, error)) << error;
  const std::vector<uint8_t> plain = ReadBytes(dir.File("large.jpg"));
  WriteBytes(dir.File("upside-down.jpg"), WithExifOrientation(plain, 3, false));
  WriteBytes(dir.File("turned.jpg"), WithExifOrientation(plain, 6, false));
  const struct {
    const char *name;
    int orientation;
  } files[] = {{"large.jpg", 1}, {"upside-down.jpg", 3}, {"turned.jpg", 6}};
  // The rows needed, in tenths of the height as seen: all, a fill's cut at
  // both ends, the lower third, none.
  const struct { uint32_t top, bottom; } spans[] = {{0, 10}, {1, 9}, {7, 10}, {5, 5}};
  for (const unsigned scale : {5u, 8u}) {
    const std::vector<uint8_t> onePass = DecodedInOnePass(dir.File("large.jpg"), scale);
    const PictureSize stored{width * scale / 8, height * scale / 8};
    for (const auto &file : files) {
      const bool turned = file.orientation == 6;
      const PictureSize size = turned ? PictureSize{stored.height, stored.width} : stored;
      RgbImage whole(stored.width, stored.height);
      whole.pixels = onePass;
      const RgbImage want = Oriented(std::move(whole), file.orientation);
      const size_t rowBytes = size_t{size.width} * 3;
      for (const auto &tenths : spans) {
        if (scale == 8 && tenths.bottom - tenths.top != 10) continue;
        const RowSpan needed{size.height * tenths.top / 10, size.height * tenths.bottom / 10};
        SCOPED_TRACE(testing::Message() << file.name << " at " << scale << "/8, rows " << needed.top << ".."
                                        << needed.bottom);
        std::unique_ptr<PictureDecoder> decoder = OpenPicture(dir.File(file.name), error);
        ASSERT_NE(decoder, nullptr) << error;
        std::vector<uint8_t> got(want.pixels.size(), 0x5A);
        auto neededRows = [&](uint32_t from, uint32_t to) {
          from = std::clamp(from, needed.top, needed.bottom);
          to = std::clamp(to, needed.top, needed.bottom);
          return std::equal(got.begin() + from * rowBytes, got.begin() + to * rowBytes,
                            want.pixels.begin() + from * rowBytes);
        };
        uint32_t told = 0;
        ASSERT_TRUE(decoder->Decode(
            size, needed, got.data(),
            [&](uint32_t rows) {
              EXPECT_GT(rows, told);
              EXPECT_TRUE(neededRows(told, rows)) << "rows " << told << ".." << rows << " told before they were final";
              told = rows;
              return true;
            },
            error))
            << error;
        EXPECT_EQ(told, size.height);
        EXPECT_TRUE(neededRows(0, size.height));
      }
    }
  }

  std::vector<uint8_t> strayInUpper = plain;
  strayInUpper.insert(strayInUpper.begin() + plain.size() / 4, 64, 0x12);
  const std::vector<uint8_t> cutLow(plain.begin(), plain.begin() + plain.size() * 9 / 10);
  const RowSpan all, upperHalf{0, height / 2}, lowerHalf{height / 2, height};
  const struct {
    const char *name;
    std::vector<uint8_t> bytes;
    RowSpan needed;
    const char *reason;  // or how it begins
  } damaged[] = {
      {"cut in the upper part", {plain.begin(), plain.begin() + plain.size() / 4}, all, "the file is cut short"},
      {"cut in the lower part", cutLow, all, "the file is cut short"},
      {"cut below the rows needed", cutLow, upperHalf, "the file is cut short"},
      {"without its end", {plain.begin(), plain.end() - 2}, upperHalf, "the file is cut short"},
      {"stray bytes in the upper part", strayInUpper, all, "the file is damaged (Corrupt JPEG data: "},
      {"stray bytes above the rows needed", strayInUpper, lowerHalf, "the file is damaged (Corrupt JPEG data: "},
  };
  for (const auto &c : damaged) {
    WriteBytes(dir.File("damaged.jpg"), c.bytes);
    std::unique_ptr<PictureDecoder> decoder = OpenPicture(dir.File("damaged.jpg"), error);
    ASSERT_NE(decoder, nullptr) << c.name << ": " << error;
    std::vector<uint8_t> pixels(size_t{width} * height * 3);
    EXPECT_FALSE(decoder->Decode(decoder->FullSize(), c.needed, pixels.data(), {}, error)) << c.name;
    EXPECT_EQ(error.rfind(c.reason, 0), 0u) << c.name << ": " << error;
  }

  std::unique_ptr<PictureDecoder> decoder = OpenPicture(dir.File("large.jpg"), error);
  ASSERT_NE(decoder, nullptr) << error;
  std::vector<uint8_t> pixels(size_t{width} * height * 3);
  int calls = 0;
  EXPECT_FALSE(decoder->Decode(
      decoder->FullSize(), {}, pixels.data(),
      [&](uint32_t) {
        ++calls;
        return false;
      },
      error));
  EXPECT_EQ(error, "stopped");
  EXPECT_EQ(calls, 1) << "neither part tells rows after a stop";
}

TEST(PictureColours, ADecodingIsDoneOnceAtAnOfferedSizeAndCanBeStopped) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WriteJpeg(dir.File("tall.jpg"), Textured(40, 300), 90, error)) << error;
  ASSERT_TRUE(WritePng(dir.File("tall.png"), Textured(40, 300), error)) << error;
  for (const char *name : {"tall.jpg", "tall.png"}) {
    SCOPED_TRACE(name);
    std::unique_ptr<PictureDecoder> decoder = OpenPicture(dir.File(name), error);
    ASSERT_NE(decoder, nullptr) << error;
    EXPECT_EQ(decoder->FullSize(), (PictureSize{40, 300}));
    std::vector<uint8_t> pixels(40 * 300 * 3);
    EXPECT_FALSE(decoder->Decode({41, 300}, {}, pixels.data(), {}, error)) << "not a size it offers";
    // Stopped after the first rows it tells: it says so and tells no more.
    int calls = 0;
    EXPECT_FALSE(decoder->Decode(
        decoder->FullSize(), {}, pixels.data(),
        [&](uint32_t rows) {
          ++calls;
          EXPECT_LT(rows, 300u);
          return false;
        },
        error));
    EXPECT_EQ(error, "stopped");
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(decoder->Decode(decoder->FullSize(), {}, pixels.data(), {}, error)) << "a decoder decodes once";
  }
}

}  // namespace
}  // namespace kvt::image
