// One print job as an application runs it: a device context on the
// printer with the application's settings, a document to the output file,
// and one page per picture (or the test page), each picture loaded just
// before its page and released after it.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "application_settings.h"
#include "page_layout.h"
#include "rgb_image.h"

namespace kvt::print {

struct JobRequest {
  PrintSettings settings;
  std::optional<Orientation> orientation;  // none: each picture's own
  Placement placement = Placement::Fill;
  std::vector<std::string> pictures;  // none: the test page
  std::string outputPath;             // host path; empty: the printer's port
  std::string outputName;             // how messages name the output; empty: outputPath
  std::string printerName = "KVT-RZ4";
  uint64_t maxPicturePixels = image::kDefaultMaxPicturePixels;
};

// Called after each band: page counts from 1; rows of the page done so far.
using JobProgress = std::function<void(int page, int pages, LONG rowsDone, LONG rows)>;

struct JobOutcome {
  bool ok = false;
  std::string error;  // one line, without the program name
  int pages = 0;
};

// Prints on the open printer `hPrinter`. On failure the output file holds
// whatever was written; removing it is the caller's business (see JobFile).
JobOutcome RunPrintJob(HANDLE hPrinter, const JobRequest &request, const JobProgress &progress = {});

}  // namespace kvt::print
