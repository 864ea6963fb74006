// Collects the reader's events into a DecodedJob. Page pixels grow with the
// rows actually read, never with a length taken from the stream.
#include "decoded_job.h"

#include <memory>

namespace kvt::test {

namespace {

class Collector final : public spool::SpoolVisitor {
 public:
  explicit Collector(DecodedJob &job) : job_(job) {}

  bool OnCommand(const spool::CommandRecord &record) override {
    job_.commands.push_back(record.command);
    if (record.command == spool::Command::PageSetup) {
      DecodedPage page;
      page.settings = *record.settings;
      page.pixels.width = record.width;
      page.pixels.height = record.height;
      job_.pages.push_back(std::move(page));
    } else if (record.command == spool::Command::ImageData) {
      job_.pages.back().recordRows.push_back(record.rowCount);
    }
    return true;
  }

  bool OnRows(uint32_t, uint32_t, std::span<const uint8_t> rgb) override {
    auto &pixels = job_.pages.back().pixels.pixels;
    pixels.insert(pixels.end(), rgb.begin(), rgb.end());
    return true;
  }

 private:
  DecodedJob &job_;
};

}  // namespace

std::string DecodedJob::ErrorText() const {
  if (result.error) return spool::FormatError(*result.error);
  return result.stoppedByVisitor ? "stopped" : "";
}

DecodedJob DecodeJob(std::span<const uint8_t> stream) {
  DecodedJob job;
  spool::MemorySource source(stream);
  Collector collector(job);
  job.result = spool::ReadSpool(source, collector);
  return job;
}

DecodedJob DecodeJobFile(const std::string &path) {
  DecodedJob job;
  std::string error;
  std::unique_ptr<spool::FileSource> source = spool::FileSource::Open(path, error);
  if (!source) {
    job.result.error = spool::SpoolError{0, "cannot open " + path + ": " + error};
    return job;
  }
  Collector collector(job);
  job.result = spool::ReadSpool(*source, collector);
  return job;
}

}  // namespace kvt::test
