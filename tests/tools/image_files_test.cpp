// Picture files in and out: PNG and JPEG round trips, transparency and deep
// channels, and damaged or oversized files refused with a reason.
#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>

#include "jpeg_file.h"
#include "picture_file.h"
#include "png_file.h"
#include "test_support.h"

namespace kvt::image {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

RgbImage Bars(uint32_t width, uint32_t height) {
  RgbImage picture(width, height);
  const Rgb colours[] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {40, 40, 40}};
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) picture.Set(x, y, colours[x * 4 / width]);
  return picture;
}

bool Load(const std::string &path, RgbImage &out, std::string &error) { return LoadPicture(path, out, error); }

TEST(PictureFiles, PngRoundTripIsExact) {
  TempDir dir;
  RgbImage bars = Bars(37, 5);
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("bars.png"), bars, error)) << error;
  RgbImage back;
  ASSERT_TRUE(Load(dir.File("bars.png"), back, error)) << error;
  EXPECT_EQ(back.width, 37u);
  EXPECT_EQ(back.height, 5u);
  EXPECT_EQ(back.pixels, bars.pixels);
}

TEST(PictureFiles, JpegRoundTripIsClose) {
  TempDir dir;
  RgbImage bars = Bars(64, 16);
  std::string error;
  ASSERT_TRUE(WriteJpeg(dir.File("bars.jpg"), bars, 95, error)) << error;
  RgbImage back;
  ASSERT_TRUE(Load(dir.File("bars.jpg"), back, error)) << error;
  ASSERT_EQ(back.width, 64u);
  ASSERT_EQ(back.height, 16u);
  // Bar centres, away from the edges that JPEG blurs.
  for (uint32_t bar = 0; bar < 4; ++bar) {
    Rgb want = bars.At(bar * 16 + 8, 8);
    Rgb got = back.At(bar * 16 + 8, 8);
    EXPECT_NEAR(got.r, want.r, 8);
    EXPECT_NEAR(got.g, want.g, 8);
    EXPECT_NEAR(got.b, want.b, 8);
  }
}

TEST(PictureFiles, TransparencyIsComposedOntoWhitePaper) {
  TempDir dir;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_RGBA;
  const uint8_t rgba[] = {255, 0, 0, 0, 0, 0, 255, 255};  // clear red, opaque blue
  ASSERT_TRUE(png_image_write_to_file(&image, dir.File("alpha.png").c_str(), 0, rgba, 0, nullptr));
  RgbImage back;
  std::string error;
  ASSERT_TRUE(Load(dir.File("alpha.png"), back, error)) << error;
  EXPECT_EQ(back.At(0, 0), (Rgb{255, 255, 255}));
  EXPECT_EQ(back.At(1, 0), (Rgb{0, 0, 255}));
}

TEST(PictureFiles, SixteenBitChannelsAreReducedToEight) {
  TempDir dir;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = 2;
  image.height = 1;
  image.format = PNG_FORMAT_LINEAR_RGB;
  const uint16_t rgb[] = {65535, 0, 65535, 0, 65535, 0};
  ASSERT_TRUE(png_image_write_to_file(&image, dir.File("deep.png").c_str(), 0, rgb, 0, nullptr));
  RgbImage back;
  std::string error;
  ASSERT_TRUE(Load(dir.File("deep.png"), back, error)) << error;
  EXPECT_EQ(back.At(0, 0), (Rgb{255, 0, 255}));
  EXPECT_EQ(back.At(1, 0), (Rgb{0, 255, 0}));
}

TEST(PictureFiles, OtherFilesAreNotPictures) {
  TempDir dir;
  WriteBytes(dir.File("text.png"), {'h', 'e', 'l', 'l', 'o'});
  WriteBytes(dir.File("empty.jpg"), {});
  RgbImage out;
  std::string error;
  EXPECT_FALSE(Load(dir.File("text.png"), out, error));
  EXPECT_EQ(error, "it is not a PNG or JPEG picture");
  EXPECT_FALSE(Load(dir.File("empty.jpg"), out, error));
  EXPECT_EQ(error, "it is not a PNG or JPEG picture");
  EXPECT_FALSE(Load(dir.File("absent.png"), out, error));
  EXPECT_EQ(error, "the file does not exist");
  EXPECT_FALSE(Load(dir.Path().string(), out, error));
  EXPECT_EQ(error, "it is a folder");
}

TEST(PictureFiles, TruncatedFilesFailWithAReason) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("full.png"), Bars(300, 200), error));
  ASSERT_TRUE(WriteJpeg(dir.File("full.jpg"), Bars(300, 200), 90, error));
  for (const char *name : {"full.png", "full.jpg"}) {
    std::vector<uint8_t> bytes = ReadBytes(dir.File(name));
    for (size_t keep : {size_t{8}, size_t{20}, bytes.size() / 2}) {
      std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + keep);
      WriteBytes(dir.File("cut"), cut);
      RgbImage out;
      error.clear();
      // Cut anywhere, even in a JPEG's scan data that libjpeg would pad
      // with grey, the file is refused.
      EXPECT_FALSE(Load(dir.File("cut"), out, error)) << name << " cut at " << keep;
      EXPECT_EQ(error, "the file is cut short") << name << " cut at " << keep;
    }
  }
}

// Patches the IHDR size of a PNG and its CRC.
void SetPngSize(std::vector<uint8_t> &png, uint32_t width, uint32_t height) {
  const size_t ihdr = 8 + 4;  // after the signature and the chunk length
  for (int i = 0; i < 4; ++i) {
    png[ihdr + 4 + i] = static_cast<uint8_t>(width >> (24 - 8 * i));
    png[ihdr + 8 + i] = static_cast<uint8_t>(height >> (24 - 8 * i));
  }
  uLong crc = crc32(0, png.data() + ihdr, 4 + 13);
  for (int i = 0; i < 4; ++i) png[ihdr + 17 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
}

// Patches the frame size of a baseline JPEG.
void SetJpegSize(std::vector<uint8_t> &jpeg, uint16_t width, uint16_t height) {
  for (size_t i = 0; i + 8 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
      jpeg[i + 5] = static_cast<uint8_t>(height >> 8);
      jpeg[i + 6] = static_cast<uint8_t>(height);
      jpeg[i + 7] = static_cast<uint8_t>(width >> 8);
      jpeg[i + 8] = static_cast<uint8_t>(width);
      return;
    }
  }
  FAIL() << "no SOF0 marker";
}

TEST(PictureFiles, HugePicturesAreRefusedBeforeTheirPixels) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(WritePng(dir.File("small.png"), Bars(8, 8), error));
  ASSERT_TRUE(WriteJpeg(dir.File("small.jpg"), Bars(8, 8), 90, error));
  std::vector<uint8_t> png = ReadBytes(dir.File("small.png"));
  SetPngSize(png, 60000, 60000);
  WriteBytes(dir.File("huge.png"), png);
  std::vector<uint8_t> jpeg = ReadBytes(dir.File("small.jpg"));
  SetJpegSize(jpeg, 65000, 65000);
  WriteBytes(dir.File("huge.jpg"), jpeg);
  for (const char *name : {"huge.png", "huge.jpg"}) {
    RgbImage out;
    EXPECT_FALSE(Load(dir.File(name), out, error)) << name;
    EXPECT_NE(error.find("more than the limit of 200 megapixels"), std::string::npos) << name << ": " << error;
  }
}

TEST(PngRowWriter, RefusesRowsThatDoNotFit) {
  TempDir dir;
  PngRowWriter writer;
  std::string error;
  ASSERT_TRUE(writer.Open(dir.File("rows.png"), 2, 2, error)) << error;
  std::vector<uint8_t> row(6, 128);
  EXPECT_FALSE(writer.WriteRows(std::span(row.data(), 5), error));
  EXPECT_TRUE(writer.WriteRows(row, error)) << error;
  EXPECT_FALSE(writer.Finish(error));  // one row short
  EXPECT_FALSE(writer.IsOpen());
  EXPECT_FALSE(writer.Open(dir.File("missing/rows.png"), 2, 2, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace kvt::image
