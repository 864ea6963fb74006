// Drives the graphics engine's PrinterDC through a document. The device
// context is created for the first page's orientation and reset (as GDI's
// ResetDC does) whenever a later page needs the other one.
#include "print_job.h"

#include <platform/engine.h>

#include <filesystem>
#include <memory>

#include "hooks.h"
#include "picture_file.h"
#include "system_text.h"
#include "test_page.h"
#include "utf.h"

namespace kvt::print {

namespace {

constexpr char16_t kTestPageTitle[] = u"KVT-RZ4 test page";

struct PageContent {
  std::shared_ptr<const platform::Picture> picture;  // null: the test page
  Orientation orientation = Orientation::Portrait;
};

class Job {
 public:
  Job(HANDLE hPrinter, const JobRequest &request, const JobProgress &progress)
      : hPrinter_(hPrinter), request_(request), progress_(progress) {}

  JobOutcome Run() {
    const int pages = request_.pictures.empty() ? 1 : static_cast<int>(request_.pictures.size());
    for (int page = 1; page <= pages && outcome_.error.empty(); ++page) PrintPage(page, pages);
    if (dc_ && dc_->DocOpen()) {
      SetLastError(ERROR_SUCCESS);
      if (!dc_->EndDoc(!outcome_.error.empty()) && outcome_.error.empty()) FailWriting("ending the job");
    }
    dc_.reset();
    outcome_.ok = outcome_.error.empty();
    return outcome_;
  }

 private:
  void Fail(std::string error) {
    if (outcome_.error.empty()) outcome_.error = std::move(error);
  }

  // A step of the job failed; the thread's last error says why. Errors of
  // the output are told as such, whatever step met them.
  void FailWriting(const std::string &step) {
    const DWORD code = GetLastError();
    switch (code) {
      case ERROR_DISK_FULL:
      case ERROR_WRITE_FAULT:
      case ERROR_ACCESS_DENIED:
      case ERROR_PATH_NOT_FOUND:
        Fail("cannot write " + OutputName() + ": " + text::ReasonOfWin32(code));
        return;
      case ERROR_SUCCESS:
        Fail(step + " failed: the printer driver stopped");
        return;
      default:
        Fail(step + " failed: " + text::ReasonOfWin32(code));
    }
  }

  std::string OutputName() const {
    if (!request_.outputName.empty()) return request_.outputName;
    return request_.outputPath.empty() ? "the printer's port" : request_.outputPath;
  }

  bool Load(int page, PageContent &content) {
    if (request_.pictures.empty()) {
      content.orientation = request_.orientation.value_or(Orientation::Portrait);
      return true;
    }
    const std::string &path = request_.pictures[page - 1];
    image::RgbImage loaded;
    std::string error;
    if (!image::LoadPicture(path, loaded, error, request_.maxPicturePixels)) {
      Fail("cannot read " + path + ": " + error);
      return false;
    }
    content.orientation = request_.orientation.value_or(NaturalOrientation(loaded.width, loaded.height));
    auto picture = std::make_shared<platform::Picture>();
    picture->width = static_cast<int>(loaded.width);
    picture->height = static_cast<int>(loaded.height);
    picture->rgb = std::move(loaded.pixels);
    content.picture = std::move(picture);
    return true;
  }

  // A device context in `orientation` with the document open.
  bool EnsureDeviceContext(Orientation orientation) {
    const std::u16string deviceName = text::Utf8ToUtf16(request_.printerName);
    const ApplicationDevmode devmode = MakeApplicationDevmode(request_.settings, orientation, deviceName);
    if (!dc_) {
      dc_ =
          std::make_unique<platform::PrinterDC>(DrvEnableDriver, hPrinter_, deviceName, &devmode.dm, DrvDisableDriver);
      if (!dc_->Valid()) {
        Fail("the printer driver cannot work with the printer \"" + request_.printerName + "\"");
        return false;
      }
      const std::u16string title =
          request_.pictures.empty()
              ? std::u16string(kTestPageTitle)
              : text::Utf8ToUtf16(std::filesystem::path(request_.pictures[0]).filename().string());
      const std::u16string output = request_.outputPath.empty()
                                        ? u""
                                        : text::Utf8ToUtf16(std::filesystem::absolute(request_.outputPath).string());
      SetLastError(ERROR_SUCCESS);
      if (!dc_->StartDoc(title, output)) {
        FailWriting("starting the job");
        return false;
      }
      docStarted_ = true;
    } else if (orientation != orientation_) {
      SetLastError(ERROR_SUCCESS);
      if (!dc_->Reset(&devmode.dm)) {
        FailWriting("changing the orientation for the next page");
        return false;
      }
    }
    orientation_ = orientation;
    return true;
  }

  void PrintPage(int page, int pages) {
    PageContent content;
    if (!Load(page, content) || !EnsureDeviceContext(content.orientation)) return;
    const LONG width = static_cast<LONG>(dc_->GdiInfo().ulHorzRes);
    const LONG height = static_cast<LONG>(dc_->GdiInfo().ulVertRes);
    if (width <= 0 || height <= 0) {
      Fail("the driver reports an empty printable area");
      return;
    }
    platform::PageDrawing drawing;
    if (content.picture) {
      const platform::Picture &picture = *content.picture;
      PictureLayout layout = LayoutPicture(static_cast<uint32_t>(picture.width), static_cast<uint32_t>(picture.height),
                                           width, height, request_.placement);
      auto rect = [](const Rect &r) {
        return RECTL{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
                     static_cast<LONG>(r.bottom)};
      };
      // Photo applications ask for halftoning when they stretch a picture.
      if (!drawing.DrawPicture(content.picture, rect(layout.source), rect(layout.destination), HALFTONE)) {
        Fail("the engine refused the picture of page " + std::to_string(page));
        return;
      }
    } else {
      drawing = BuildTestPage(width, height);
    }
    platform::PrinterDC::BandProgress bands;
    if (progress_) {
      bands = [&](int, LONG bandTop, LONG bandHeight) { progress_(page, pages, bandTop + bandHeight, height); };
    }
    SetLastError(ERROR_SUCCESS);
    if (!dc_->PlayPage(drawing, bands)) {
      FailWriting("printing page " + std::to_string(page));
      return;
    }
    ++outcome_.pages;
  }

  HANDLE hPrinter_;
  const JobRequest &request_;
  const JobProgress &progress_;
  std::unique_ptr<platform::PrinterDC> dc_;
  Orientation orientation_ = Orientation::Portrait;
  bool docStarted_ = false;
  JobOutcome outcome_;
};

}  // namespace

JobOutcome RunPrintJob(HANDLE hPrinter, const JobRequest &request, const JobProgress &progress) {
  return Job(hPrinter, request, progress).Run();
}

}  // namespace kvt::print
