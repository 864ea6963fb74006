// A print job run in this process on the built-in machine: band progress,
// and what a failing spooler write or band buffer, or a picture found
// damaged while its page is played, does to the job and to the file it was
// meant to replace.
#include <gtest/gtest.h>

#include <platform/testing.h>

#include <filesystem>

#include "decoded_job.h"
#include "job_file.h"
#include "jpeg_file.h"
#include "print_job.h"
#include "print_machine.h"
#include "test_support.h"

namespace kvt::print {
namespace {

class PrintJobInProcess : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(PrepareBuiltInMachine({}, error)) << error;
    printer_ = OpenPrinterForJob(kDefaultPrinterName, error);
    ASSERT_TRUE(printer_) << error;
    request_.outputPath = dir_.File("job.spl");
  }
  void TearDown() override {
    printer_.reset();
    platform::ResetMachine();
  }

  // Runs a job into a work file for `destination`, which holds "keep", as
  // kvtprint does; a failed job must leave that file and nothing else.
  JobOutcome RunIntoKeptFile(const std::string &destination) {
    test::WriteBytes(destination, {'k', 'e', 'e', 'p'});
    std::string error;
    std::optional<JobFile> output = JobFile::Create(destination, error);
    EXPECT_TRUE(output) << error;
    JobRequest request = request_;
    request.outputPath = output->WorkPath();
    request.outputName = destination;
    JobOutcome outcome = RunPrintJob(printer_.get(), request);
    if (outcome.ok) {
      EXPECT_TRUE(output->Commit(error)) << error;
    }
    return outcome;
  }

  void ExpectOnlyTheKeptFile(const std::string &destination) {
    EXPECT_EQ(test::ReadBytes(destination), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 1) << "no work file left";
  }

  test::TempDir dir_;
  kvt::ScopedPrinter printer_;
  JobRequest request_;
};

TEST_F(PrintJobInProcess, ReportsEveryBandInOrder) {
  std::vector<LONG> rowsDone;
  JobOutcome outcome = RunPrintJob(printer_.get(), request_, [&](int page, int pages, LONG done, LONG rows) {
    EXPECT_EQ(page, 1);
    EXPECT_EQ(pages, 1);
    EXPECT_EQ(rows, 2466);
    rowsDone.push_back(done);
  });
  ASSERT_TRUE(outcome.ok) << outcome.error;
  EXPECT_EQ(outcome.pages, 1);
  ASSERT_EQ(rowsDone.size(), 25u);  // 24 bands of 100 rows and one of 66
  EXPECT_EQ(rowsDone.front(), 100);
  EXPECT_EQ(rowsDone.back(), 2466);
  EXPECT_TRUE(std::is_sorted(rowsDone.begin(), rowsDone.end()));
}

TEST_F(PrintJobInProcess, FailedWriteOfABandFailsTheJobAndKeepsTheOldFile) {
  // Writes 1-2 START_DOC, 3-4 START_PAGE, 5-9 PAGE_SETUP, then four per band:
  // the 13th is the first band's pixels, the 21st the third band's.
  for (unsigned nth : {13u, 21u}) {
    SCOPED_TRACE(nth);
    platform::FailNthCall(platform::Fault::WritePrinter, nth);
    JobOutcome outcome = RunIntoKeptFile(request_.outputPath);
    EXPECT_FALSE(outcome.ok);
    EXPECT_EQ(outcome.pages, 0);
    EXPECT_EQ(outcome.error, "cannot write " + request_.outputPath + ": the device could not be written");
    ExpectOnlyTheKeptFile(request_.outputPath);
  }
}

TEST_F(PrintJobInProcess, FailedBandBufferFailsTheJob) {
  // Count the heap allocations of a good job, then fail the last one, which
  // is the staging buffer of the page's last band.
  ASSERT_TRUE(RunPrintJob(printer_.get(), request_).ok);
  std::string error;
  ASSERT_TRUE(PrepareBuiltInMachine({}, error));
  printer_ = OpenPrinterForJob(kDefaultPrinterName, error);
  ASSERT_TRUE(printer_);
  const unsigned before = platform::CallCount(platform::Fault::HeapAlloc);
  ASSERT_TRUE(RunPrintJob(printer_.get(), request_).ok);
  const unsigned perJob = platform::CallCount(platform::Fault::HeapAlloc) - before;
  ASSERT_GT(perJob, 25u) << "one staging buffer per band expected";
  platform::FailNthCall(platform::Fault::HeapAlloc, perJob);
  JobOutcome outcome = RunIntoKeptFile(request_.outputPath);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "printing page 1 failed: out of memory");
  ExpectOnlyTheKeptFile(request_.outputPath);
}

// A picture is decoded while its page is played, so a damage near its end
// is found after bands of the page have been sent: the job fails for that
// reason all the same, and the file it was to replace is kept. Likewise
// for a picture decoded scaled and for one turned by its EXIF orientation.
TEST_F(PrintJobInProcess, APictureFoundDamagedWhileItsPageIsPlayedFailsTheJob) {
  std::string error;
  test::TempDir pictures;  // apart from the output's folder, which must stay as it was
  const std::string plain = pictures.File("plain.jpg");
  ASSERT_TRUE(image::WriteJpeg(plain, test::PhotoLike(3000, 2000), 90, error)) << error;
  const std::vector<uint8_t> bytes = test::ReadBytes(plain);
  struct Case {
    const char *name;
    std::vector<uint8_t> bytes;
    const char *reason;
  };
  // A marker in the middle of the scan's data, where none can be.
  std::vector<uint8_t> corrupt = bytes;
  corrupt[bytes.size() * 9 / 10] = 0xFF;
  corrupt[bytes.size() * 9 / 10 + 1] = 0xD5;
  const Case cases[] = {
      {"cut near its end",
       {bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() * 9 / 10)},
       "the file is cut short"},
      {"damaged near its end", corrupt, "the file is damaged ("},
      {"cut and turned",
       test::WithExifOrientation({bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(bytes.size() * 9 / 10)}, 6),
       "the file is cut short"},
  };
  for (PaperKind paper : {PaperKind::Postcard, PaperKind::Small}) {  // decoded whole, and at 4/8
    for (const Case &c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << (paper == PaperKind::Small ? ", small" : ", post card"));
      const std::string picture = pictures.File("photo.jpg");
      test::WriteBytes(picture, c.bytes);
      request_.pictures = {picture};
      request_.settings.paper = paper;
      JobOutcome outcome = RunIntoKeptFile(request_.outputPath);
      EXPECT_FALSE(outcome.ok);
      EXPECT_EQ(outcome.pages, 0);
      EXPECT_EQ(outcome.error.rfind("cannot read " + picture + ": " + c.reason, 0), 0u) << outcome.error;
      ExpectOnlyTheKeptFile(request_.outputPath);
    }
  }
}

// A write that fails while the picture is still being decoded is the
// output's fault, not the picture's: the decoding is stopped, and the job
// ends at once with the output's error.
TEST_F(PrintJobInProcess, AFailedWriteWhileThePictureIsDecodedIsTheOutputsFault) {
  std::string error;
  test::TempDir pictures;
  const std::string picture = pictures.File("photo.jpg");
  ASSERT_TRUE(image::WriteJpeg(picture, test::PhotoLike(2466, 1664), 90, error)) << error;
  request_.pictures = {picture};
  platform::FailNthCall(platform::Fault::WritePrinter, 13);  // the first band's pixels
  JobOutcome outcome = RunIntoKeptFile(request_.outputPath);
  EXPECT_FALSE(outcome.ok);
  EXPECT_EQ(outcome.error, "cannot write " + request_.outputPath + ": the device could not be written");
  ExpectOnlyTheKeptFile(request_.outputPath);
}

TEST_F(PrintJobInProcess, PortOutputWithoutAFileIsKeptBySpooler) {
  request_.outputPath.clear();
  request_.settings.paper = PaperKind::Small;
  JobOutcome outcome = RunPrintJob(printer_.get(), request_);
  ASSERT_TRUE(outcome.ok) << outcome.error;
  // The built-in printer's port LPT1: keeps the job in memory.
  std::vector<uint8_t> bytes = platform::JobOutput(1);
  test::DecodedJob job = test::DecodeJob(bytes);
  ASSERT_TRUE(job.Valid()) << job.ErrorText();
  ASSERT_EQ(job.pages.size(), 1u);
  EXPECT_EQ(job.pages[0].pixels.width, 1137u);
}

}  // namespace
}  // namespace kvt::print
