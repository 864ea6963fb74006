// kvtprint run as a program and its spool file read back by the
// independent spool reader: pictures and the test page land where they
// should, the options reach the settings image, and failures are reported
// with the right exit code and leave no output behind.
#include <gtest/gtest.h>

#include <platform/testing.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>

#include "decoded_job.h"
#include "jpeg_file.h"
#include "page_layout.h"
#include "picture_decoder.h"
#include "picture_file.h"
#include "png_file.h"
#include "print_machine.h"
#include "test_page.h"
#include "test_support.h"

namespace kvt::test {
namespace {

using image::Rgb;
using image::RgbImage;

constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
const Rgb kBarColours[8] = {{255, 0, 0},   {0, 255, 0},   {0, 0, 255},     {255, 255, 0},
                            {0, 255, 255}, {255, 0, 255}, {128, 128, 128}, {20, 20, 20}};

// Eight vertical bars of kBarColours.
RgbImage ColourBars(uint32_t width, uint32_t height) {
  RgbImage picture(width, height);
  for (uint32_t y = 0; y < height; ++y)
    for (uint32_t x = 0; x < width; ++x) picture.Set(x, y, kBarColours[x * 8 / width]);
  return picture;
}

// The mean colour of the (2r+1)^2 block around (x, y).
Rgb MeanAround(const RgbImage &page, uint32_t x, uint32_t y, uint32_t r = 4) {
  unsigned sum[3] = {0, 0, 0};
  unsigned n = 0;
  for (uint32_t yy = y - r; yy <= y + r; ++yy) {
    for (uint32_t xx = x - r; xx <= x + r; ++xx) {
      Rgb c = page.At(xx, yy);
      sum[0] += c.r, sum[1] += c.g, sum[2] += c.b, ++n;
    }
  }
  return {static_cast<uint8_t>(sum[0] / n), static_cast<uint8_t>(sum[1] / n), static_cast<uint8_t>(sum[2] / n)};
}

testing::AssertionResult Near(Rgb got, Rgb want, int tolerance) {
  if (std::abs(got.r - want.r) <= tolerance && std::abs(got.g - want.g) <= tolerance &&
      std::abs(got.b - want.b) <= tolerance) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << "got (" << int(got.r) << "," << int(got.g) << "," << int(got.b) << ") want ("
                                     << int(want.r) << "," << int(want.g) << "," << int(want.b) << ")";
}

class KvtprintProgram : public testing::Test {
 protected:
  // Runs kvtprint with `args` and -o; the job must succeed and be valid.
  DecodedJob Print(std::vector<std::string> args) {
    const std::string out = dir_.File("job.spl");
    args.insert(args.end(), {"-o", out});
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.err, "");  // no progress when stderr is not a terminal
    DecodedJob job = DecodeJobFile(out);
    EXPECT_TRUE(job.Valid()) << job.ErrorText();
    return job;
  }
  std::string SavePicture(const RgbImage &picture, const std::string &name) {
    std::string path = dir_.File(name), error;
    bool ok =
        name.ends_with(".jpg") ? image::WriteJpeg(path, picture, 95, error) : image::WritePng(path, picture, error);
    EXPECT_TRUE(ok) << error;
    return path;
  }
  TempDir dir_;
};

TEST_F(KvtprintProgram, ColourBarsFillABorderlessPostcard) {
  for (const char *name : {"bars.png", "bars.jpg"}) {
    SCOPED_TRACE(name);
    DecodedJob job = Print({SavePicture(ColourBars(800, 600), name)});
    ASSERT_EQ(job.pages.size(), 1u);
    const RgbImage &page = job.pages[0].pixels;
    // Wider than high: landscape, the borderless Post card's full area.
    ASSERT_EQ(page.width, 2466u);
    ASSERT_EQ(page.height, 1664u);
    EXPECT_EQ(job.pages[0].settings.orientation, 2);
    EXPECT_EQ(job.pages[0].settings.border, 0u);
    EXPECT_EQ(job.pages[0].recordRows.size(), 17u);
    const int tolerance = std::string(name).ends_with(".jpg") ? 10 : 2;
    for (uint32_t bar = 0; bar < 8; ++bar) {
      const uint32_t x = (2 * bar + 1) * page.width / 16;
      for (uint32_t y : {10u, page.height / 2, page.height - 10}) {
        EXPECT_TRUE(Near(MeanAround(page, x, y), kBarColours[bar], tolerance)) << "bar " << bar << " row " << y;
      }
    }
    // Fill leaves no white anywhere, corners included.
    EXPECT_TRUE(Near(page.At(0, 0), kBarColours[0], tolerance));
    EXPECT_TRUE(Near(page.At(page.width - 1, page.height - 1), kBarColours[7], tolerance));
  }
}

TEST_F(KvtprintProgram, FitLeavesWhiteBarsAroundAWidePicture) {
  DecodedJob job = Print({SavePicture(ColourBars(1000, 250), "wide.png"), "--fit", "--portrait"});
  ASSERT_EQ(job.pages.size(), 1u);
  const RgbImage &page = job.pages[0].pixels;
  ASSERT_EQ(page.width, 1664u);
  ASSERT_EQ(page.height, 2466u);
  // 1664 x 416 in the middle: rows 1025 to 1440.
  EXPECT_EQ(page.At(800, 1000), kWhite);
  EXPECT_EQ(page.At(800, 1460), kWhite);
  EXPECT_TRUE(Near(MeanAround(page, 104, 1233), kBarColours[0], 2));
  EXPECT_TRUE(Near(MeanAround(page, 1560, 1233), kBarColours[7], 2));
}

TEST_F(KvtprintProgram, EachPictureKeepsItsOwnOrientationUnlessOneIsForced) {
  const std::string wide = SavePicture(ColourBars(300, 200), "wide.png");
  const std::string tall = SavePicture(ColourBars(200, 300), "tall.png");
  DecodedJob own = Print({wide, tall, "--paper", "3.5x5", "--border"});
  ASSERT_EQ(own.pages.size(), 2u);
  EXPECT_EQ(own.pages[0].pixels.width, 1936u);
  EXPECT_EQ(own.pages[0].pixels.height, 1332u);
  EXPECT_EQ(own.pages[1].pixels.width, 1332u);
  EXPECT_EQ(own.pages[1].pixels.height, 1936u);
  EXPECT_EQ(own.pages[1].settings.orientation, 1);
  DecodedJob forced = Print({wide, tall, "--portrait"});
  ASSERT_EQ(forced.pages.size(), 2u);
  for (const DecodedPage &page : forced.pages) {
    EXPECT_EQ(page.pixels.width, 1664u);
    EXPECT_EQ(page.pixels.height, 2466u);
  }
}

struct PaperCase {
  std::vector<std::string> args;
  uint32_t width;
  uint32_t height;
};

TEST_F(KvtprintProgram, TestPageCornerMarksLandAtThePrintableCorners) {
  const PaperCase cases[] = {
      {{"--border"}, 1516, 2274},
      {{"--landscape"}, 2466, 1664},
      {{"--paper", "3.5x5", "--border", "--landscape"}, 1936, 1332},
      {{"--paper", "3.5x5"}, 1464, 2064},
      {{"--paper", "small"}, 1137, 1516},
      {{"--paper", "small", "--landscape"}, 1516, 1137},
  };
  for (const PaperCase &c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    DecodedJob job = Print(c.args);
    ASSERT_EQ(job.pages.size(), 1u);
    const RgbImage &page = job.pages[0].pixels;
    ASSERT_EQ(page.width, c.width);
    ASSERT_EQ(page.height, c.height);
    const print::CornerMarks marks =
        print::TestPageCornerMarks(static_cast<LONG>(c.width), static_cast<LONG>(c.height));
    const uint32_t arm = static_cast<uint32_t>(marks.arm);
    const uint32_t t = static_cast<uint32_t>(marks.thickness);
    const uint32_t right = c.width - 1, bottom = c.height - 1;
    // Each corner pixel, the far end of both arms, and white just past them.
    for (auto [x, y, dx, dy] : {std::tuple{0u, 0u, 1, 1}, std::tuple{right, 0u, -1, 1}, std::tuple{0u, bottom, 1, -1},
                                std::tuple{right, bottom, -1, -1}}) {
      auto at = [&](uint32_t ox, uint32_t oy) { return page.At(x + dx * int(ox), y + dy * int(oy)); };
      EXPECT_EQ(at(0, 0), kBlack) << x << "," << y;
      EXPECT_EQ(at(arm - 1, 0), kBlack) << x << "," << y;
      EXPECT_EQ(at(0, arm - 1), kBlack) << x << "," << y;
      EXPECT_EQ(at(t - 1, t - 1), kBlack) << x << "," << y;
      EXPECT_EQ(at(arm, 0), kWhite) << x << "," << y;
      EXPECT_EQ(at(0, arm), kWhite) << x << "," << y;
      EXPECT_EQ(at(t, t), kWhite) << x << "," << y;
    }
  }
}

TEST_F(KvtprintProgram, OptionsReachTheSettingsImage) {
  DecodedJob job = Print({"--paper", "small", "--border", "--copies", "3", "--red", "85", "--green", "110", "--blue",
                          "120", "--density", "-7", "--sharpness", "4", "--language", "de"});
  ASSERT_EQ(job.pages.size(), 1u);
  const spool::SettingsImage &s = job.pages[0].settings;
  EXPECT_EQ(s.deviceName, "KVT-RZ4");
  EXPECT_EQ(s.formName, "Kleinformat");
  EXPECT_EQ(s.orientation, 1);
  EXPECT_EQ(s.copies, 3);
  EXPECT_EQ(s.red, 85);
  EXPECT_EQ(s.green, 110);
  EXPECT_EQ(s.blue, 120);
  EXPECT_EQ(s.density, -7);
  EXPECT_EQ(s.sharpness, 4);
  EXPECT_NE(s.border, 0u);
  EXPECT_EQ(job.pages[0].pixels.width, 1137u);
  EXPECT_EQ(job.pages[0].pixels.height, 1516u);
}

TEST_F(KvtprintProgram, JapaneseFormNamesSelectThePaper) {
  DecodedJob job = Print({"--paper", "3.5x5", "--language", "ja"});
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_EQ(job.pages[0].settings.formName, "\xEF\xBC\xAC\xE3\x82\xB5\xE3\x82\xA4\xE3\x82\xBA");
  EXPECT_EQ(job.pages[0].pixels.width, 1464u);
  EXPECT_EQ(job.pages[0].pixels.height, 2064u);
}

TEST_F(KvtprintProgram, SavedMachineIsPrintedOn) {
  std::string error;
  ASSERT_TRUE(print::PrepareBuiltInMachine({print::Language::French, print::PaperKind::Small, "LPT1:"}, error))
      << error;
  ASSERT_TRUE(platform::SaveMachine(dir_.File("machine")));
  platform::ResetMachine();
  DecodedJob job = Print({"--machine", dir_.File("machine"), "--language", "fr", "--paper", "small"});
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_EQ(job.pages[0].settings.formName, "Petit");
  EXPECT_EQ(job.pages[0].pixels.width, 1137u);

  ProgramRun otherPrinter = RunProgram(
      KVTPRINT_PROGRAM, {"--machine", dir_.File("machine"), "--printer", "Absent", "-o", dir_.File("x.spl")});
  EXPECT_EQ(otherPrinter.exitCode, 1);
  EXPECT_NE(otherPrinter.err.find("kvtprint: cannot open the printer \"Absent\""), std::string::npos)
      << otherPrinter.err;
  ProgramRun noMachine = RunProgram(KVTPRINT_PROGRAM, {"--machine", dir_.File("nowhere"), "-o", dir_.File("x.spl")});
  EXPECT_EQ(noMachine.exitCode, 1);
  EXPECT_EQ(noMachine.err,
            "kvtprint: cannot load the machine in " + dir_.File("nowhere") + ": there is no such folder\n");
  std::ofstream(dir_.File("machine") + "/registry.reg", std::ios::binary | std::ios::trunc)
      << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE]\r\n";
  ProgramRun cutMachine = RunProgram(KVTPRINT_PROGRAM, {"--machine", dir_.File("machine"), "-o", dir_.File("x.spl")});
  EXPECT_EQ(cutMachine.exitCode, 1);
  EXPECT_EQ(cutMachine.err,
            "kvtprint: cannot load the machine in " + dir_.File("machine") + ": registry.reg is cut short at line 3\n");
}

TEST_F(KvtprintProgram, UnreadablePictureFailsAndLeavesNoOutput) {
  const std::string good = SavePicture(ColourBars(40, 30), "good.png");
  const std::string bad = dir_.File("photo.png");
  WriteBytes(bad, {'n', 'o', 't', ' ', 'a', ' ', 'p', 'n', 'g'});
  const std::string out = dir_.File("job.spl");
  for (auto pictures : {std::vector<std::string>{bad}, std::vector<std::string>{good, bad}}) {
    pictures.insert(pictures.end(), {"-o", out});
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, pictures);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "kvtprint: cannot read " + bad + ": it is not a PNG or JPEG picture\n");
    EXPECT_FALSE(std::filesystem::exists(out));
  }
  ProgramRun missing = RunProgram(KVTPRINT_PROGRAM, {dir_.File("absent.jpg"), "-o", out});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "kvtprint: cannot read " + dir_.File("absent.jpg") + ": the file does not exist\n");
}

// Peak signal-to-noise ratio of two pages, in decibels (infinite when
// they are the same).
double Psnr(const RgbImage &a, const RgbImage &b) {
  EXPECT_EQ(a.pixels.size(), b.pixels.size());
  double squares = 0;
  for (size_t i = 0; i < std::min(a.pixels.size(), b.pixels.size()); ++i) {
    const double d = double(a.pixels[i]) - double(b.pixels[i]);
    squares += d * d;
  }
  if (squares == 0) return std::numeric_limits<double>::infinity();
  return 10.0 * std::log10(255.0 * 255.0 / (squares / double(a.pixels.size())));
}

// A JPEG much larger than its page is decoded scaled by libjpeg, which
// changes the page's pixels a little: they must stay within 40 dB of the
// page printed from the whole decoded picture, as kvtprint printed every
// JPEG before. That page is printed here from a PNG of the JPEG's full
// decode, which kvtprint cannot scale. Scales 4/8 (libjpeg's fast half
// size), 5/8 and 6/8, fill and fit, with and without border, and a picture
// turned by its EXIF orientation.
TEST_F(KvtprintProgram, ScaledDecodingStaysWithinFortyDecibelsOfTheWholePicture) {
  struct Case {
    uint32_t width, height;
    uint16_t orientation;
    std::vector<std::string> options;
    LONG pageWidth, pageHeight;  // the printable area the options select
  };
  const Case cases[] = {
      {3200, 2400, 1, {"--paper", "small"}, 1516, 1137},
      {2400, 1800, 1, {"--paper", "small", "--fit"}, 1516, 1137},
      {3000, 2200, 6, {"--paper", "3.5x5", "--border"}, 1332, 1936},
      {4000, 2700, 1, {"--paper", "postcard"}, 2466, 1664},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << ", orientation " << c.orientation);
    std::string error;
    const std::string plain = dir_.File("plain.jpg");
    ASSERT_TRUE(image::WriteJpeg(plain, PhotoLike(c.width, c.height), 90, error)) << error;
    const std::string photo = dir_.File("photo.jpg");
    WriteBytes(photo, WithExifOrientation(ReadBytes(plain), c.orientation));
    // The case must really be decoded scaled.
    std::unique_ptr<image::PictureDecoder> decoder = image::OpenPicture(photo, error);
    ASSERT_NE(decoder, nullptr) << error;
    const print::Placement placement = std::find(c.options.begin(), c.options.end(), "--fit") != c.options.end()
                                           ? print::Placement::Fit
                                           : print::Placement::Fill;
    const image::PictureSize decoded = print::SizeToDecode(decoder->Sizes(), c.pageWidth, c.pageHeight, placement);
    EXPECT_NE(decoded, decoder->FullSize());
    // The whole picture, decoded as kvtprint decoded every JPEG before.
    RgbImage whole;
    ASSERT_TRUE(image::LoadPicture(photo, whole, error)) << error;
    const std::string wholePng = SavePicture(whole, "whole.png");
    std::vector<std::string> scaledArgs = {photo}, wholeArgs = {wholePng};
    scaledArgs.insert(scaledArgs.end(), c.options.begin(), c.options.end());
    wholeArgs.insert(wholeArgs.end(), c.options.begin(), c.options.end());
    DecodedJob scaled = Print(scaledArgs);
    DecodedJob reference = Print(wholeArgs);
    ASSERT_EQ(scaled.pages.size(), 1u);
    ASSERT_EQ(reference.pages.size(), 1u);
    ASSERT_EQ(scaled.pages[0].pixels.width, uint32_t(c.pageWidth));
    ASSERT_EQ(reference.pages[0].pixels.width, uint32_t(c.pageWidth));
    const double psnr = Psnr(scaled.pages[0].pixels, reference.pages[0].pixels);
    EXPECT_GE(psnr, 40.0);
    RecordProperty("psnr_" + std::to_string(c.width) + "x" + std::to_string(c.height), std::to_string(psnr));
  }
}

// The pages of a job share one picture memory, larger pictures after
// smaller ones and the other way round: each page is exactly the page that
// its picture prints alone.
TEST_F(KvtprintProgram, EveryPageOfAJobIsThePageItsPictureMakesAlone) {
  std::string error;
  const std::vector<std::string> pictures = {
      SavePicture(PhotoLike(3000, 2000), "large.jpg"), SavePicture(ColourBars(300, 200), "small.png"),
      SavePicture(PhotoLike(1200, 1700), "tall.jpg"), SavePicture(PhotoLike(3400, 2600), "larger.jpg")};
  DecodedJob job = Print(pictures);
  ASSERT_EQ(job.pages.size(), pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    DecodedJob alone = Print({pictures[i]});
    ASSERT_EQ(alone.pages.size(), 1u);
    EXPECT_TRUE(job.pages[i].pixels.pixels == alone.pages[0].pixels.pixels) << pictures[i];
  }
}

TEST_F(KvtprintProgram, UsageErrorsExitWithTwo) {
  const std::string out = dir_.File("job.spl");
  const std::vector<std::vector<std::string>> bad = {
      {},                                        // no output file
      {"-o", out, "--red", "79"},                // below 80
      {"-o", out, "--blue", "121"},              // above 120
      {"-o", out, "--density", "8"},             // above 7
      {"-o", out, "--sharpness", "-1"},          // below 0
      {"-o", out, "--copies", "0"},              // no copies
      {"-o", out, "--paper", "a4"},              // unknown paper
      {"-o", out, "--language", "it"},           // unknown language
      {"-o", out, "--border", "--borderless"},   // contradictory
      {"-o", out, "--portrait", "--landscape"},  // contradictory
      {"-o", out, "--fit", "--fill"},            // contradictory
  };
  for (const auto &args : bad) {
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args) << run.err;
  }
  EXPECT_FALSE(std::filesystem::exists(out));
  EXPECT_EQ(RunProgram(KVTPRINT_PROGRAM, {"--help"}).exitCode, 0);
}

}  // namespace
}  // namespace kvt::test
