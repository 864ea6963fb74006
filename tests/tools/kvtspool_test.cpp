// kvtspool run as a program: its listing, its page PNGs, and its exit codes
// and one-line errors for damaged streams and bad command lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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
  static SpoolBuilder TwoPages() {
    SpoolBuilder b;
    b.Command(0x80).Page(5, 4, 3).Page(3, 2, 100).Command(0x81);
    return b;
  }
  TempDir dir_;
};

TEST_F(KvtspoolProgram, ListsEveryCommandAndTheSettings) {
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {WriteStream(TwoPages())});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
  // 11 commands, two settings lines per page setup, one summary line.
  EXPECT_EQ(CountLines(run.out), 11u + 4 + 1) << run.out;
  EXPECT_NE(run.out.find("         0  START_DOC"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("PAGE_SETUP  page 1, 5 x 4 dots"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("IMAGE_DATA  page 1, rows 3..3, 15 bytes"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("settings: device \"KVT-RZ4\", orientation portrait, form \"Post card\", copies 1"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("private: sRed 100, sGreen 100, sBlue 100, sDensity 0, sSharpness 0, dwBorder 0"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("valid stream: 2 pages"), std::string::npos) << run.out;
}

TEST_F(KvtspoolProgram, WritesEachPageAsPng) {
  std::string pngDir = dir_.File("pages");
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {WriteStream(TwoPages()), "--png", pngDir, "--quiet"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  for (auto [page, width, height] : {std::tuple{1, 5u, 4u}, std::tuple{2, 3u, 2u}}) {
    image::RgbImage picture;
    std::string error;
    ASSERT_TRUE(image::LoadPicture(pngDir + "/page-" + std::to_string(page) + ".png", picture, error)) << error;
    ASSERT_EQ(picture.width, width);
    ASSERT_EQ(picture.height, height);
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        auto p = PatternPixel(x, y);
        EXPECT_EQ(picture.At(x, y), (image::Rgb{p[0], p[1], p[2]}));
      }
    }
  }
}

TEST_F(KvtspoolProgram, DamagedStreamFailsWithOneLineNamingTheOffset) {
  SpoolBuilder b;
  b.Command(0x80).Command(0x82).PageSetup(2, 3).Command(0x85).Word(7);
  std::string path = WriteStream(b);
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {path});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "kvtspool: " + path +
                         ": offset 296 (0x128): IMAGE_DATA length 7 is not a whole number of rows of 6 bytes\n");
}

TEST_F(KvtspoolProgram, TruncatedStreamKeepsFinishedPagesOnly) {
  SpoolBuilder b = TwoPages();
  std::string pngDir = dir_.File("pages");
  ProgramRun run = RunProgram(KVTSPOOL_PROGRAM, {WriteStream(b, b.Bytes().size() - 20), "--png", pngDir});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_NE(run.err.find("past the end of the stream"), std::string::npos) << run.err;
  EXPECT_TRUE(std::filesystem::exists(pngDir + "/page-1.png"));
  EXPECT_FALSE(std::filesystem::exists(pngDir + "/page-2.png"));
}

TEST_F(KvtspoolProgram, UnreadableInputIsAFailure) {
  ProgramRun missing = RunProgram(KVTSPOOL_PROGRAM, {dir_.File("absent.spl")});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "kvtspool: cannot read " + dir_.File("absent.spl") + ": No such file or directory\n");
  ProgramRun folder = RunProgram(KVTSPOOL_PROGRAM, {dir_.Path().string()});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_NE(folder.err.find("not a regular file"), std::string::npos) << folder.err;
}

TEST_F(KvtspoolProgram, UsageErrorsExitWithTwo) {
  EXPECT_EQ(RunProgram(KVTSPOOL_PROGRAM, {}).exitCode, 2);
  EXPECT_EQ(RunProgram(KVTSPOOL_PROGRAM, {"a.spl", "--bogus"}).exitCode, 2);
  EXPECT_EQ(RunProgram(KVTSPOOL_PROGRAM, {"a.spl", "b.spl"}).exitCode, 2);
  EXPECT_EQ(RunProgram(KVTSPOOL_PROGRAM, {"--help"}).exitCode, 0);
}

}  // namespace
}  // namespace kvt::test
