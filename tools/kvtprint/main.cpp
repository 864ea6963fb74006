// kvtprint: prints pictures (PNG or JPEG, one per page) or the built-in test
// page through the KVT-RZ4 driver on a printer of a machine, and writes the
// job's spool stream to a file. Exit status 0 when the job was printed, 1
// when it failed, 2 for a usage error.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "print_job.h"
#include "print_machine.h"

namespace {

using namespace kvt::print;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
  JobRequest request;
  std::string paper = "postcard";
  std::string language = "en";
  std::string machineDir;
  bool border = false;
  bool borderless = false;
  bool portrait = false;
  bool landscape = false;
  bool fit = false;
  bool fill = false;
};

void DefineOptions(CLI::App &app, Options &o) {
  PrintSettings &s = o.request.settings;
  app.add_option("PICTURE", o.request.pictures, "PNG or JPEG pictures, one per page (none: the test page)");
  app.add_option("-o,--output", o.request.outputPath, "file that receives the job's spool stream")->required();
  app.add_option("--paper", o.paper, "paper: postcard, 3.5x5 or small")
      ->check(CLI::IsMember({"postcard", "3.5x5", "small"}))
      ->capture_default_str();
  CLI::Option *border = app.add_flag("--border", o.border, "print with a white border");
  CLI::Option *borderless = app.add_flag("--borderless", o.borderless, "print to the paper's edges (default)");
  border->excludes(borderless);
  CLI::Option *portrait = app.add_flag("--portrait", o.portrait, "portrait pages");
  CLI::Option *landscape = app.add_flag("--landscape", o.landscape, "landscape pages (default: each picture's own)");
  portrait->excludes(landscape);
  CLI::Option *fit = app.add_flag("--fit", o.fit, "show the whole picture, with white bars");
  CLI::Option *fill = app.add_flag("--fill", o.fill, "cover the printable area, cropping the centre (default)");
  fit->excludes(fill);
  app.add_option("--copies", s.copies, "copies of each page")->check(CLI::Range(1, 999))->capture_default_str();
  app.add_option("--red", s.red, "red level")->check(CLI::Range(80, 120))->capture_default_str();
  app.add_option("--green", s.green, "green level")->check(CLI::Range(80, 120))->capture_default_str();
  app.add_option("--blue", s.blue, "blue level")->check(CLI::Range(80, 120))->capture_default_str();
  app.add_option("--density", s.density, "density")->check(CLI::Range(-7, 7))->capture_default_str();
  app.add_option("--sharpness", s.sharpness, "sharpness")->check(CLI::Range(0, 4))->capture_default_str();
  app.add_option("--language", o.language, "user language that names the forms: en, de, fr, es or ja")
      ->check(CLI::IsMember({"en", "de", "fr", "es", "ja"}))
      ->capture_default_str();
  app.add_option("--machine", o.machineDir, "print on the machine saved in DIR instead of a fresh one");
  app.add_option("--printer", o.request.printerName, "printer to print on")->capture_default_str();
}

void FinishOptions(Options &o) {
  o.request.settings.paper = *PaperKindFromName(o.paper);
  o.request.settings.language = *LanguageFromName(o.language);
  o.request.settings.border = o.border;
  if (o.portrait) o.request.orientation = Orientation::Portrait;
  if (o.landscape) o.request.orientation = Orientation::Landscape;
  o.request.placement = o.fit ? Placement::Fit : Placement::Fill;
}

// A progress line on the terminal, rewritten after each band.
void ShowProgress(int page, int pages, LONG rowsDone, LONG rows) {
  const long percent = rows > 0 ? 100L * rowsDone / rows : 100;
  std::fprintf(stderr, "\rkvtprint: page %d of %d: %3ld%%", page, pages, percent);
  if (rowsDone >= rows) std::fputc('\n', stderr);
  std::fflush(stderr);
}

int Run(const Options &o) {
  std::string error;
  bool ready = o.machineDir.empty()
                   ? PrepareBuiltInMachine({o.request.settings.language, o.request.settings.paper, "LPT1:"}, error)
                   : LoadSavedMachine(o.machineDir, o.request.settings.language, error);
  if (!ready) {
    std::cerr << "kvtprint: " << error << '\n';
    return kExitFailure;
  }
  UniquePrinter printer = OpenPrinterForJob(o.request.printerName, error);
  if (!printer) {
    std::cerr << "kvtprint: " << error << '\n';
    return kExitFailure;
  }
  JobProgress progress;
  if (isatty(STDERR_FILENO)) progress = ShowProgress;
  JobOutcome outcome = RunPrintJob(printer.Get(), o.request, progress);
  if (!outcome.ok) {
    std::cerr << "kvtprint: " << outcome.error << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"Prints pictures or a test page through the KVT-RZ4 driver into a spool file"};
  Options options;
  DefineOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError &e) {
    int code = app.exit(e);
    return code == 0 ? kExitOk : kExitUsage;
  }
  FinishOptions(options);
  return Run(options);
}
