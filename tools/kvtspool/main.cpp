// kvtspool: the printer side of the job path. Reads a spool stream, checks
// it, lists its commands and decoded settings, and optionally saves each
// page as a PNG. Exit status 0 for a valid stream, 1 for an invalid stream
// or a failure, 2 for a usage error.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "byte_source.h"
#include "page_png_writer.h"
#include "spool_listing.h"
#include "spool_reader.h"
#include "visitor_chain.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int Run(const std::string &path, const std::string &pngDirectory, bool quiet) {
  using namespace kvt::spool;
  std::string error;
  std::unique_ptr<FileSource> source = FileSource::Open(path, error);
  if (!source) {
    std::cerr << "kvtspool: cannot read " << path << ": " << error << '\n';
    return kExitFailure;
  }
  std::optional<PagePngWriter> pages;
  if (!pngDirectory.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(pngDirectory, ec);
    if (ec) {
      std::cerr << "kvtspool: cannot create " << pngDirectory << ": " << ec.message() << '\n';
      return kExitFailure;
    }
    pages.emplace(pngDirectory);
  }
  SpoolListing listing(std::cout);
  SpoolVisitor ignore;
  VisitorChain chain{quiet ? &ignore : static_cast<SpoolVisitor *>(&listing),
                     pages ? static_cast<SpoolVisitor *>(&*pages) : &ignore};
  ReadResult result = ReadSpool(*source, chain);
  if (pages) pages->AbandonOpenPage();
  std::cout.flush();
  if (result.error) {
    std::cerr << "kvtspool: " << path << ": " << FormatError(*result.error) << '\n';
    return kExitFailure;
  }
  if (result.stoppedByVisitor) {
    std::cerr << "kvtspool: " << (pages ? pages->Error() : std::string("stopped")) << '\n';
    return kExitFailure;
  }
  if (!quiet) {
    std::cout << "valid stream: " << result.pages << (result.pages == 1 ? " page, " : " pages, ") << source->Size()
              << " bytes\n";
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"Checks a KVT-RZ4 spool stream, lists its commands and saves its pages"};
  std::string path;
  std::string pngDirectory;
  bool quiet = false;
  app.add_option("FILE", path, "spool stream to read")->required();
  app.add_option("--png", pngDirectory, "write each page as DIR/page-N.png");
  app.add_flag("-q,--quiet", quiet, "list nothing; only check");
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  return Run(path, pngDirectory, quiet);
}
