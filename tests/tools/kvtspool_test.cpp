// kvtspool run as a program: its listing, its page PNGs (named after the
// job, as printed areas or whole sheets), standard input, the checks of what
// the printer takes, and its exit codes and one-line errors for damaged
// streams and bad command lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "picture_file.h"
#include "spool_builder.h"
#include "test_support.h"

namespace kvt::test {
namespace {

size_t CountLines(const std::string &text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

class KvtspoolProgram : public testing::Test {
 protected:
  std::string WriteStream(const SpoolBuilder &b, size_t keep = SIZE_MAX) {
    std::vector<uint8_t> bytes = b.Bytes();
    bytes.resize(std::min(keep, bytes.size()));
    std::string path = dir_.File("job.spl");
    WriteBytes(path, bytes);
    return path;
  }
  // Small paper, portrait then landscape: the smallest pages the printer
  // takes.
  static SettingsValues Small(bool landscape = false) {
    SettingsValues values;
    values.formName = u"Small";
    values.orientation = landscape ? 2 : 1;
    values.border = 1;
    return values;
  }
  static SpoolBuilder TwoPages() {
    SpoolBuilder b;
    b.Command(0x80).Page(1137, 1516, 1000, Small()).Page(1516, 1137, 100, Small(true)).Command(0x81);
    return b;
  }
  TempDir dir_;
};

TEST_F(KvtspoolProgram, ListsEveryCommandAndTheSettings) {
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {WriteStream(TwoPages())});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // 22 commands (2 + 12 bands), three settings lines per page setup, one
  // summary line.
  EXPECT_EQ(CountLines(run.out), 22u + 6 + 1) << run.out;
  EXPECT_NE(run.out.find("         0  START_DOC"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("PAGE_SETUP  page 1, 1137 x 1516 dots"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("IMAGE_DATA  page 1, rows 1000..1515, 1760076 bytes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("settings: device \"KVT-RZ4\", orientation portrait, form \"Small\", copies 1"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("private: sRed 100, sGreen 100, sBlue 100, sDensity 0, sSharpness 0, dwBorder 1"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("meaning: Small with border, landscape, printed area 1516 x 1137 dots (95.5 x 71.7 mm at "
                         "403 dpi); colour levels red 100%, green 100%, blue 100%; density 0 (-7..7); sharpness 0 "
                         "(0..4); 1 copy"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("valid stream: 2 pages"), std::string::npos) << run.out;
}

// Pages are named after the job and marked 403 dpi; as sheets they are the
// whole paper, the printed area at its place and white around it.
TEST_F(KvtspoolProgram, WritesEachPageAsPngNamedAfterTheJob) {
  std::string pngDir = dir_.File("pages");
  const std::string stream = WriteStream(TwoPages());
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {stream, "--png", pngDir, "--quiet"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  ProgramRun sheets = RunProgram(KVTSPOOL_PROGRAM, {stream, "--png", dir_.File("sheets"), "--sheet", "-q"});
  ASSERT_EQ(sheets.exitCode, 0) << sheets.err;
  struct Case {
    uint32_t page, width, height, left, top;  // top-left of the printed area
  };
  for (bool sheet : {false, true}) {
    for (const Case &c : {Case{1, 1137, 1516, 214, 48}, Case{2, 1516, 1137, 48, 76}}) {
      SCOPED_TRACE(testing::Message() << "page " << c.page << (sheet ? " as a sheet" : ""));
      const std::string file = (sheet ? dir_.File("sheets") : pngDir) + "/job-page-" + std::to_string(c.page) + ".png";
      std::vector<uint8_t> bytes = ReadBytes(file);
      const uint8_t phys[] = {'p', 'H', 'Y', 's', 0, 0, 0x3D, 0xFA, 0, 0, 0x3D, 0xFA, 1};  // 15866 dots a metre
      EXPECT_NE(std::search(bytes.begin(), bytes.end(), std::begin(phys), std::end(phys)), bytes.end());
      image::RgbImage picture;
      std::string error;
      ASSERT_TRUE(image::LoadPicture(file, picture, error)) << error;
      const uint32_t left = sheet ? c.left : 0, top = sheet ? c.top : 0;
      ASSERT_EQ(picture.width, sheet ? (c.width == 1137 ? 1427u : 1612u) : c.width);
      ASSERT_EQ(picture.height, sheet ? (c.width == 1137 ? 1612u : 1427u) : c.height);
      for (auto [x, y] : {std::pair{0u, 0u}, std::pair{c.width - 1, 0u}, std::pair{7u, c.height - 1}}) {
        auto p = PatternPixel(x, y);
        EXPECT_EQ(picture.At(left + x, top + y), (image::Rgb{p[0], p[1], p[2]})) << x << "," << y;
      }
      if (sheet) {
        EXPECT_EQ(picture.At(left - 1, top), (image::Rgb{255, 255, 255}));
        EXPECT_EQ(picture.At(left, top + c.height), (image::Rgb{255, 255, 255}));
      }
    }
  }
}

// The format alone is not enough: values the driver clamps, and a page
// whose size is not the printable area its settings select, are refused at
// their offset.
TEST_F(KvtspoolProgram, SettingsThePrinterWouldRefuseMakeTheStreamInvalid) {
  struct Case {
    const char *name;
    SettingsValues values;
    uint32_t width, height;
    uint64_t offset;  // in the stream
    std::string message;
  };
  auto with = [](auto change) {
    SettingsValues values = Small();
    change(values);
    return values;
  };
  // START_DOC and START_PAGE, then the page setup's marker, code, width and
  // height.
  const uint64_t width = 16 + 8, image = 16 + 16;
  const Case cases[] = {
      {"red", with([](SettingsValues &v) { v.red = 79; }), 1137, 1516, image + 230, "sRed is 79, outside 80..120"},
      {"blue", with([](SettingsValues &v) { v.blue = 121; }), 1137, 1516, image + 234, "sBlue is 121, outside 80..120"},
      {"density", with([](SettingsValues &v) { v.density = -8; }), 1137, 1516, image + 236,
       "sDensity is -8, outside -7..7"},
      {"sharpness", with([](SettingsValues &v) { v.sharpness = 5; }), 1137, 1516, image + 238,
       "sSharpness is 5, outside 0..4"},
      {"orientation", with([](SettingsValues &v) { v.orientation = 3; }), 1137, 1516, image + 76,
       "dmOrientation is 3, outside 1..2"},
      {"paper", Small(), 1664, 2466, width,
       "page of 1664 x 2466 dots, but its settings select Small with border, portrait, which prints 1137 x 1516 dots"},
      {"border", with([](SettingsValues &v) { v.formName = u"Post card", v.border = 0; }), 1516, 2274, width,
       "page of 1516 x 2274 dots, but its settings select Post card without border, portrait"},
      {"orientation of the page", Small(true), 1137, 1516, width,
       "Small with border, landscape, which prints 1516 x 1137"},
  };
  for (const Case &c : cases) {
    SpoolBuilder b;
    b.Command(0x80).Command(0x82).PageSetup(c.width, c.height, c.values);
    const std::string path = WriteStream(b);
    ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {path, "-q"});
    EXPECT_EQ(run.exitCode, 1) << c.name;
    const std::string prefix = "kvtspool: " + path + ": invalid stream at offset " + std::to_string(c.offset);
    EXPECT_EQ(run.err.rfind(prefix, 0), 0u) << c.name << ": " << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << c.name << ": " << run.err;
  }
}

TEST_F(KvtspoolProgram, ReadsStandardInput) {
  const std::vector<uint8_t> bytes = TwoPages().Bytes();
  ProgramRun run =
      RunProgram(KVTSPOOL_PROGRAM, {"-", "--png", dir_.File("pages")}, std::string(bytes.begin(), bytes.end()));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("valid stream: 2 pages, " + std::to_string(bytes.size()) + " bytes"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("pages/stdin-page-2.png")));
  ProgramRun cut = RunProgram(KVTSPOOL_PROGRAM, {"-", "-q"}, std::string(bytes.begin(), bytes.begin() + 30));
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(cut.err.rfind("kvtspool: the standard input: invalid stream at offset 28", 0), 0u) << cut.err;
}

TEST_F(KvtspoolProgram, DamagedStreamFailsWithOneLineNamingTheOffset) {
  SpoolBuilder b;
  b.Command(0x80).Command(0x82).PageSetup(1137, 1516, Small()).Command(0x85).Word(7);
  std::string path = WriteStream(b);
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {path});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "kvtspool: " + path +
                         ": invalid stream at offset 296 (0x128): IMAGE_DATA length 7 is not a whole number of rows "
                         "of 3411 bytes\n");
}

TEST_F(KvtspoolProgram, TruncatedStreamKeepsFinishedPagesOnly) {
  SpoolBuilder b = TwoPages();
  std::string pngDir = dir_.File("pages");
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {WriteStream(b, b.Bytes().size() - 20), "--png", pngDir});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("past the end of the stream"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::exists(pngDir + "/job-page-1.png"));
  EXPECT_FALSE(std::filesystem::exists(pngDir + "/job-page-2.png"));
}

TEST_F(KvtspoolProgram, UnreadableInputIsAFailure) {
  ProgramRun missing = RunProgram(KVTSPOOL_PROGRAM, {dir_.File("absent.spl")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "kvtspool: cannot read " + dir_.File("absent.spl") + ": the file does not exist\n");
  ProgramRun folder = RunProgram(KVTSPOOL_PROGRAM, {dir_.Path().string()});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_EQ(folder.err, "kvtspool: cannot read " + dir_.Path().string() + ": it is a folder\n");
}

TEST_F(KvtspoolProgram, UsageErrorsExitWithTwoNamingTheProgram) {
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{}, {"a.spl", "--bogus"}, {"a.spl", "b.spl"}, {"a.spl", "--sheet"}}) {
    ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
    std::istringstream lines(run.err);
    for (std::string line; std::getline(lines, line);) EXPECT_EQ(line.rfind("kvtspool: ", 0), 0u) << line;
    EXPECT_FALSE(run.err.empty());
  }
  ProgramRun help = RunProgram(KVTSPOOL_PROGRAM, {"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
  EXPECT_EQ(RunProgram(KVTSPOOL_PROGRAM, {"--version"}).out.rfind("kvtspool ", 0), 0u);
}

}  // namespace
}  // namespace kvt::test
