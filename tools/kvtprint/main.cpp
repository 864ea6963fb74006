// kvtprint: prints pictures (PNG or JPEG, one per page) or the built-in test
// page through the KVT-RZ4 driver on a printer of a machine, and writes the
// job's spool stream to a file or standard output. Exit status 0 when the
// job was printed, 1 when it failed, 2 for a usage error. A job that fails
// leaves the output path as it was.
#include <CLI/CLI.hpp>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "job_file.h"
#include "print_job.h"
#include "print_machine.h"

namespace {

using namespace kvt::print;

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

struct Options {
  JobRequest request;
  std::string output;
  PaperKind paper = PaperKind::Postcard;
  uint64_t maxMegapixels = kvt::image::kDefaultMaxPicturePixels / 1'000'000;
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
  app.add_option("-o,--output", o.output, "file that receives the job's spool stream; - for standard output")
      ->required();
  app.add_option_function<std::string>(
      "--paper",
      [&o](const std::string &name) {
        std::optional<PaperKind> kind = PaperKindFromName(name);
        if (!kind)
          throw CLI::ValidationError("--paper", "unknown paper \"" + name + "\"; use postcard, 3.5x5 or small");
        o.paper = *kind;
      },
      "paper: postcard, 3.5x5 or small, or a form name such as \"Post card\" (letter case does not matter); "
      "default postcard");
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
  app.add_option("--max-megapixels", o.maxMegapixels, "largest picture to accept, in millions of pixels")
      ->check(CLI::Range(uint64_t{1}, uint64_t{4000}))
      ->capture_default_str();
  app.set_version_flag("--version", std::string("kvtprint ") + KVT_VERSION);
  app.footer(
      "Exit status:\n"
      "  0  the job was printed and written to the output\n"
      "  1  the job failed; the output was left as it was\n"
      "  2  the command line is wrong");
}

// What the options mean together; false with a message when they cannot.
bool FinishOptions(Options &o, std::string &error) {
  if (o.paper == PaperKind::Small && o.borderless) {
    error = "Small paper has no borderless form; leave out --borderless";
    return false;
  }
  o.request.settings.paper = o.paper;
  o.request.settings.language = *LanguageFromName(o.language);
  o.request.settings.border = o.border;
  if (o.portrait) o.request.orientation = Orientation::Portrait;
  if (o.landscape) o.request.orientation = Orientation::Landscape;
  o.request.placement = o.fit ? Placement::Fit : Placement::Fill;
  o.request.maxPicturePixels = o.maxMegapixels * 1'000'000;
  return true;
}

// A progress line on the terminal, rewritten after each band.
void ShowProgress(int page, int pages, LONG rowsDone, LONG rows) {
  const long percent = rows > 0 ? 100L * rowsDone / rows : 100;
  std::fprintf(stderr, "\rkvtprint: page %d of %d: %3ld%%", page, pages, percent);
  if (rowsDone >= rows) std::fputc('\n', stderr);
  std::fflush(stderr);
}

int Fail(const std::string &error) {
  std::cerr << "kvtprint: " << error << '\n';
  return kExitFailure;
}

int Run(Options &o) {
  std::string error;
  std::optional<JobFile> output = JobFile::Create(o.output, error);
  if (!output) return Fail(error);
  o.request.outputPath = output->WorkPath();
  o.request.outputName = o.output == "-" ? "the standard output" : o.output;
  bool ready = o.machineDir.empty()
                   ? PrepareBuiltInMachine({o.request.settings.language, o.request.settings.paper, "LPT1:"}, error)
                   : LoadSavedMachine(o.machineDir, o.request.settings.language, error);
  if (!ready) return Fail(error);
  kvt::ScopedPrinter printer = OpenPrinterForJob(o.request.printerName, error);
  if (!printer) return Fail(error);
  const bool terminal = isatty(STDERR_FILENO);
  JobProgress progress = [&](int page, int pages, LONG rowsDone, LONG rows) {
    output->StartWriteback();
    if (terminal) ShowProgress(page, pages, rowsDone, rows);
  };
  JobOutcome outcome = RunPrintJob(printer.get(), o.request, progress);
  if (!outcome.ok) return Fail(outcome.error);
  if (!output->Commit(error)) return Fail(error);
  return kExitOk;
}

}  // namespace

int main(int argc, char **argv) {
  CLI::App app{"Prints pictures or a test page through the KVT-RZ4 driver into a spool file"};
  Options options;
  DefineOptions(app, options);
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp &e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion &e) {
    return app.exit(e);
  } catch (const CLI::ParseError &e) {
    std::cerr << "kvtprint: " << e.what() << "\nkvtprint: kvtprint --help lists the options\n";
    return kExitUsage;
  }
  std::string error;
  if (!FinishOptions(options, error)) {
    std::cerr << "kvtprint: " << error << '\n';
    return kExitUsage;
  }
  return Run(options);
}
