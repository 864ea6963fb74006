// kvtspool: the printer side of the job path. Reads a spool stream (a file,
// or standard input for "-"), checks its format and that the printer would
// take it, lists its commands and settings, and optionally saves each page
// as a PNG. Exit status 0 for a valid stream, 1 for an invalid stream or a
// failure, 2 for a usage error.
#include <CLI/CLI.hpp>

#include <filesystem>
#include <iostream>
#include <optional>
#include <string>

#include "byte_source.h"
#include "page_png_writer.h"
#include "printer_check.h"
#include "spool_listing.h"
#include "spool_reader.h"
#include "system_text.h"
#include "visitor_chain.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

constexpr char kStandardInput[] = "-";

struct Options {
  std::string path;
  std::string pngDirectory;
  bool sheet = false;
  bool quiet = false;
};

int Fail(const std::string &message) {
  std::cerr << "kvtspool: " << message << '\n';
  return kExitFailure;
}

int Run(const Options &o) {
  using namespace kvt::spool;
  const bool fromStdin = o.path == kStandardInput;
  const std::string shown = fromStdin ? "the standard input" : o.path;
  std::string error;
  std::unique_ptr<FileSource> source =
      fromStdin ? FileSource::OpenStandardInput(error) : FileSource::Open(o.path, error);
  if (!source) return Fail("cannot read " + shown + ": " + error);
  std::optional<PagePngWriter> pages;
  if (!o.pngDirectory.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(o.pngDirectory, ec);
    if (ec) return Fail("cannot make the folder " + o.pngDirectory + ": " + kvt::text::ReasonOfErrno(ec.value()));
    const std::string jobName = fromStdin ? "stdin" : std::filesystem::path(o.path).stem().string();
    pages.emplace(o.pngDirectory, jobName, o.sheet ? PagePngWriter::Extent::Sheet : PagePngWriter::Extent::PrintedArea);
  }
  PrinterCheck check;
  SpoolListing listing(std::cout);
  SpoolVisitor ignore;
  VisitorChain chain{&check, o.quiet ? &ignore : static_cast<SpoolVisitor *>(&listing),
                     pages ? static_cast<SpoolVisitor *>(&*pages) : &ignore};
  ReadResult result = ReadSpool(*source, chain);
  if (pages) pages->AbandonOpenPage();
  std::cout.flush();
  if (result.error) return Fail(shown + ": invalid stream at " + FormatError(*result.error));
  if (check.Fault()) return Fail(shown + ": invalid stream at " + FormatError(*check.Fault()));
  if (result.stoppedByVisitor) return Fail(pages ? pages->Error() : std::string("stopped"));
  if (!o.quiet) {
    std::cout << "valid stream: " << result.pages << (result.pages == 1 ? " page, " : " pages, ") << source->Size()
              << " bytes\n";
  }
  if (pages && result.pages > 0 && !o.quiet) {
    std::cout << "pages: " << pages->PagePath(1).string();
    if (result.pages > 1) std::cout << " .. " << pages->PagePath(result.pages).filename().string();
    std::cout << '\n';
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"Checks a KVT-RZ4 spool stream as the printer would take it, lists its commands and saves its pages"};
  Options o;
  app.add_option("FILE", o.path, "spool stream to read; - for standard input")->required();
  app.add_option("--png", o.pngDirectory, "write each page as DIR/<job>-page-N.png, 403 dpi");
  app.add_flag("--sheet", o.sheet, "with --png: draw the whole sheet, the white border around the printed area");
  app.add_flag("-q,--quiet", o.quiet, "list nothing; only check");
  app.set_version_flag("--version", std::string("kvtspool ") + KVT_VERSION);
  app.footer(
      "Exit status:\n"
      "  0  the stream is valid (and its pages were written)\n"
      "  1  the stream is invalid, or it or its pages could not be read or written\n"
      "  2  the command line is wrong");
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    std::cerr << "kvtspool: " << e.what() << "\nkvtspool: kvtspool --help lists the options\n";
    return kExitUsage;
  }
  if (o.sheet && o.pngDirectory.empty()) {
    std::cerr << "kvtspool: --sheet draws the pages that --png writes; give --png DIR too\n";
    return kExitUsage;
  }
  return Run(o);
}
