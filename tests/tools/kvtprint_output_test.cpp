// What kvtprint does to the output path and what it tells the user: a job
// that fails leaves whatever stood at the output as it was (file, link or
// device) and no file of its own behind; a job that succeeds replaces a file
// keeping its mode, writes into a device or standard output; broken
// pictures and wrong command lines are refused in the user's words.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "decoded_job.h"
#include "png_file.h"
#include "test_support.h"

namespace kvt::test {
namespace {

namespace fs = std::filesystem;

class KvtprintOutput : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    image::RgbImage picture(40, 30, {200, 10, 10});
    good_ = dir_.File("good.png");
    ASSERT_TRUE(image::WritePng(good_, picture, error)) << error;
    std::vector<uint8_t> bytes = ReadBytes(good_);
    cut_ = dir_.File("cut.png");
    WriteBytes(cut_, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2));
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto &entry : fs::directory_iterator(dir_.Path())) names.insert(entry.path().filename().string());
    return names;
  }

  TempDir dir_;
  std::string good_, cut_;
};

std::string Text(const std::string &path) {
  std::vector<uint8_t> bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Whatever the output path is, a failed job leaves it, and the folder, as
// they were: the issue's `mknod fd c 1 7` case among them.
TEST_F(KvtprintOutput, AFailedJobLeavesTheOutputPathAsItWas) {
  const std::string file = dir_.File("old.kvt");
  WriteBytes(file, {'k', 'e', 'e', 'p'});
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  const std::string link = dir_.File("link.kvt");
  fs::create_symlink(file, link);
  const std::string device = dir_.File("fd");
  const bool haveDevice = mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 7)) == 0;
  const std::set<std::string> before = Names();
  std::vector<std::string> outputs = {file, link, dir_.File("new.kvt")};
  if (haveDevice) outputs.push_back(device);
  for (const std::string &output : outputs) {
    SCOPED_TRACE(output);
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, {good_, cut_, "-o", output});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "kvtprint: cannot read " + cut_ + ": the file is cut short\n");
    EXPECT_EQ(Names(), before) << "nothing made, nothing removed";
    EXPECT_EQ(Text(file), "keep");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640));
    EXPECT_TRUE(fs::is_symlink(link));
    if (haveDevice) {
      EXPECT_TRUE(fs::is_character_file(device));
    }
  }
  if (!haveDevice) GTEST_SKIP() << "device nodes cannot be made here; the other outputs were checked";
}

TEST_F(KvtprintOutput, ASucceededJobReplacesFilesAndWritesIntoDevicesAndStandardOutput) {
  const std::string file = dir_.File("old.kvt");
  WriteBytes(file, {'o', 'l', 'd'});
  ASSERT_EQ(chmod(file.c_str(), 0640), 0);
  const std::string link = dir_.File("link.kvt");
  const std::string target = dir_.File("target.kvt");
  fs::create_symlink(target, link);
  for (const std::string &output : {file, link}) {
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, {good_, "-o", output});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(DecodeJobFile(output).Valid()) << output;
  }
  EXPECT_EQ(fs::status(file).permissions(), fs::perms(0640)) << "the replaced file keeps its mode";
  EXPECT_TRUE(fs::is_symlink(link)) << "the link is followed, not replaced";
  EXPECT_EQ(Names(), (std::set<std::string>{"good.png", "cut.png", "old.kvt", "link.kvt", "target.kvt"}));

  ProgramRun toNull = RunProgram(KVTPRINT_PROGRAM, {good_, "-o", "/dev/null"});
  EXPECT_EQ(toNull.exitCode, 0) << toNull.err;
  EXPECT_TRUE(fs::is_character_file("/dev/null"));

  ProgramRun toStdout = RunProgram(KVTPRINT_PROGRAM, {good_, "-o", "-"});
  ASSERT_EQ(toStdout.exitCode, 0) << toStdout.err;
  DecodedJob job = DecodeJob(std::span(reinterpret_cast<const uint8_t *>(toStdout.out.data()), toStdout.out.size()));
  EXPECT_TRUE(job.Valid()) << job.ErrorText();
  EXPECT_EQ(job.pages.size(), 1u);

  if (fs::exists("/dev/full")) {
    ProgramRun full = RunProgram(KVTPRINT_PROGRAM, {good_, "-o", "/dev/full"});
    EXPECT_EQ(full.exitCode, 1);
    EXPECT_EQ(full.err, "kvtprint: cannot write /dev/full: the disk is full\n");
  }
}

TEST_F(KvtprintOutput, BadPicturesAndPathsAreRefusedInTheUsersWords) {
  WriteBytes(dir_.File("notes.txt"), {'h', 'i'});
  image::RgbImage wide(1001, 1000);
  std::string error;
  ASSERT_TRUE(image::WritePng(dir_.File("big.png"), wide, error)) << error;
  struct Case {
    std::vector<std::string> args;
    std::string message;
  };
  const Case cases[] = {
      {{cut_}, "cannot read " + cut_ + ": the file is cut short"},
      {{dir_.File("notes.txt")}, "cannot read " + dir_.File("notes.txt") + ": it is not a PNG or JPEG picture"},
      {{dir_.File("absent.jpg")}, "cannot read " + dir_.File("absent.jpg") + ": the file does not exist"},
      {{dir_.File("big.png"), "--max-megapixels", "1"},
       "cannot read " + dir_.File("big.png") +
           ": the picture is 1001 x 1000 pixels, more than the limit of 1 megapixels"},
      {{"-o", dir_.File("nowhere/job.kvt")},
       "cannot write " + dir_.File("nowhere/job.kvt") + ": the folder does not exist"},
      {{"-o", dir_.Path().string()}, "cannot write " + dir_.Path().string() + ": it is a folder"},
  };
  for (const Case &c : cases) {
    std::vector<std::string> args = c.args;
    if (std::find(args.begin(), args.end(), "-o") == args.end()) args.insert(args.end(), {"-o", dir_.File("job.kvt")});
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, args);
    EXPECT_EQ(run.exitCode, 1) << c.message;
    EXPECT_EQ(run.err, "kvtprint: " + c.message + "\n");
  }
  EXPECT_FALSE(fs::exists(dir_.File("job.kvt")));
  ProgramRun raised = RunProgram(KVTPRINT_PROGRAM, {dir_.File("big.png"), "-o", dir_.File("job.kvt")});
  EXPECT_EQ(raised.exitCode, 0) << "1001 x 1000 is within the default limit: " << raised.err;
}

TEST_F(KvtprintOutput, CommandLineMessagesNameTheProgram) {
  const std::string out = dir_.File("job.kvt");
  const std::vector<std::vector<std::string>> usage = {
      {},
      {"-o", out, "--red", "79"},
      {"-o", out, "--paper", "a4"},
      {"-o", out, "--paper", "small", "--borderless"},
      {"-o", out, "--border", "--borderless"},
      {"-o", out, "--max-megapixels", "0"},
  };
  for (const auto &args : usage) {
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, args);
    EXPECT_EQ(run.exitCode, 2) << testing::PrintToString(args);
    std::istringstream lines(run.err);
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
      EXPECT_EQ(line.rfind("kvtprint: ", 0), 0u) << line;
      ++count;
    }
    EXPECT_GT(count, 0) << testing::PrintToString(args);
  }
  EXPECT_EQ(RunProgram(KVTPRINT_PROGRAM, {"-o", out, "--paper", "small", "--borderless"}).err,
            "kvtprint: Small paper has no borderless form; leave out --borderless\n");
  EXPECT_FALSE(fs::exists(out));
  ProgramRun version = RunProgram(KVTPRINT_PROGRAM, {"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.rfind("kvtprint ", 0), 0u) << version.out;
  ProgramRun help = RunProgram(KVTPRINT_PROGRAM, {"--help"});
  EXPECT_NE(help.out.find("Exit status:\n  0  "), std::string::npos) << help.out;
}

// Paper names as the user may type them, or as kvtspool prints them.
TEST_F(KvtprintOutput, PaperNamesIgnoreLetterCaseAndTakeFormNames) {
  const std::pair<const char *, uint32_t> names[] = {
      {"POSTCARD", 1664}, {"post card", 1664}, {"3.5X5 Inch", 1464}, {"9 x 13 cm", 1464}, {"kleinformat", 1137},
  };
  for (const auto &[name, width] : names) {
    const std::string out = dir_.File("job.kvt");
    ProgramRun run = RunProgram(KVTPRINT_PROGRAM, {"--paper", name, "-o", out});
    ASSERT_EQ(run.exitCode, 0) << name << ": " << run.err;
    DecodedJob job = DecodeJobFile(out);
    ASSERT_EQ(job.pages.size(), 1u) << name;
    EXPECT_EQ(job.pages[0].pixels.width, width) << name;
  }
}

}  // namespace
}  // namespace kvt::test
