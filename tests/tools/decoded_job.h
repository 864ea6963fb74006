// A whole job decoded into memory by the spool reader: the commands in
// order and each page's settings and pixels. Tests compare against it.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "rgb_image.h"
#include "spool_reader.h"

namespace kvt::test {

struct DecodedPage {
  spool::SettingsImage settings;
  image::RgbImage pixels;
  std::vector<uint32_t> recordRows;  // rows per IMAGE_DATA record
};

struct DecodedJob {
  std::vector<spool::Command> commands;
  std::vector<DecodedPage> pages;
  spool::ReadResult result;

  bool Valid() const { return !result.error && !result.stoppedByVisitor; }
  // The reader's error, formatted, or "" for a valid stream.
  std::string ErrorText() const;
};

DecodedJob DecodeJob(std::span<const uint8_t> stream);
DecodedJob DecodeJobFile(const std::string &path);

}  // namespace kvt::test
