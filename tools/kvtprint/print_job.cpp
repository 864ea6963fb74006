// Drives the graphics engine's PrinterDC through a document. The device
// context is created for the first page's orientation and reset (as GDI's
// ResetDC does) whenever a later page needs the other one. A picture is
// decoded no larger than its page needs, into memory that the job's pages
// share, on a thread of its own while the engine plays its page.
#include "print_job.h"

#include <platform/engine.h>

#include <atomic>
#include <filesystem>
#include <memory>
#include <system_error>
#include <thread>

#include "hooks.h"
#include "picture_decoder.h"
#include "system_text.h"
#include "test_page.h"
#include "utf.h"

namespace kvt::print {

namespace {

constexpr char16_t kTestPageTitle[] = u"KVT-RZ4 test page";

struct PageContent {
  std::unique_ptr<image::PictureDecoder> decoder;  // null: the test page
  Orientation orientation = Orientation::Portrait;
};

// A picture decoded on a thread of its own while the page is played: the
// engine draws each band as soon as the picture's rows for it are there,
// so decoding and drawing share the machine's cores.
class PictureDecoding {
 public:
  PictureDecoding(std::unique_ptr<image::PictureDecoder> decoder, image::PictureSize size, image::RowSpan needed,
                  std::shared_ptr<platform::Picture> picture)
      : decoder_(std::move(decoder)), size_(size), needed_(needed), picture_(std::move(picture)) {
    try {
      thread_ = std::thread([this] { Run(); });
    } catch (const std::system_error &) {
      Run();  // no thread to be had: decode first, then draw
    }
  }
  ~PictureDecoding() { Stop(); }
  PictureDecoding(const PictureDecoding &) = delete;
  PictureDecoding &operator=(const PictureDecoding &) = delete;

  // Waits for the decoding to end: true when the picture is whole.
  bool Finish(std::string &error) {
    if (thread_.joinable()) thread_.join();
    error = error_;
    return ok_;
  }
  // Asks the decoding to stop and waits for it; true when it had failed
  // before it was asked to stop, that is, the picture is damaged.
  bool StopAndTellIfDamaged(std::string &error) {
    Stop();
    error = error_;
    return !ok_ && !stopped_;
  }

 private:
  void Run() {
    platform::PictureRows &rows = *picture_->arriving;
    ok_ = decoder_->Decode(
        size_, needed_, picture_->rgb.data(),
        [&](uint32_t done) {
          rows.Publish(static_cast<int>(done));
          if (!stop_.load(std::memory_order_relaxed)) return true;
          stopped_ = true;
          return false;
        },
        error_);
    if (!ok_) rows.Fail();
    decoder_.reset();  // the file is closed as soon as it is read
  }
  void Stop() {
    stop_.store(true, std::memory_order_relaxed);
    if (thread_.joinable()) thread_.join();
  }

  std::unique_ptr<image::PictureDecoder> decoder_;
  image::PictureSize size_;
  image::RowSpan needed_;  // the rows the engine reads
  std::shared_ptr<platform::Picture> picture_;
  std::atomic<bool> stop_{false};
  bool stopped_ = false;
  bool ok_ = false;
  std::string error_;
  std::thread thread_;
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

  // Opens the page's picture and reads its header: its size decides the
  // page's orientation and the size it is decoded at.
  bool Open(int page, PageContent &content) {
    if (request_.pictures.empty()) {
      content.orientation = request_.orientation.value_or(Orientation::Portrait);
      return true;
    }
    const std::string &path = request_.pictures[page - 1];
    std::string error;
    content.decoder = image::OpenPicture(path, error, request_.maxPicturePixels);
    if (!content.decoder) {
      Fail("cannot read " + path + ": " + error);
      return false;
    }
    const image::PictureSize full = content.decoder->FullSize();
    content.orientation = request_.orientation.value_or(NaturalOrientation(full.width, full.height));
    return true;
  }

  // The job's one picture memory, which every page's picture reuses once
  // the page before has let go of it: a job's memory does not grow with its
  // pages. Grown by dropping the old memory first, never by copying it.
  std::shared_ptr<platform::Picture> PictureMemory(image::PictureSize size) {
    if (!picture_ || picture_.use_count() > 1) picture_ = std::make_shared<platform::Picture>();
    const size_t bytes = size_t{size.width} * size.height * 3;
    if (bytes > picture_->rgb.capacity()) platform::PixelBytes().swap(picture_->rgb);
    picture_->rgb.resize(bytes);
    picture_->width = static_cast<int>(size.width);
    picture_->height = static_cast<int>(size.height);
    picture_->arriving = std::make_shared<platform::PictureRows>();
    return picture_;
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
    if (!Open(page, content) || !EnsureDeviceContext(content.orientation)) return;
    const LONG width = static_cast<LONG>(dc_->GdiInfo().ulHorzRes);
    const LONG height = static_cast<LONG>(dc_->GdiInfo().ulVertRes);
    if (width <= 0 || height <= 0) {
      Fail("the driver reports an empty printable area");
      return;
    }
    platform::PageDrawing drawing;
    std::unique_ptr<PictureDecoding> decoding;
    if (content.decoder) {
      const std::vector<image::PictureSize> &sizes = content.decoder->Sizes();
      const image::PictureSize size = SizeToDecode(sizes, width, height, request_.placement);
      const PictureLayout layout =
          LayoutDecodedPicture(content.decoder->FullSize(), size, width, height, request_.placement);
      std::shared_ptr<platform::Picture> picture = PictureMemory(size);
      auto rect = [](const Rect &r) {
        return RECTL{static_cast<LONG>(r.left), static_cast<LONG>(r.top), static_cast<LONG>(r.right),
                     static_cast<LONG>(r.bottom)};
      };
      // Photo applications ask for halftoning when they stretch a picture.
      if (!drawing.DrawPicture(picture, rect(layout.source), rect(layout.destination), HALFTONE)) {
        Fail("the engine refused the picture of page " + std::to_string(page));
        return;
      }
      // The engine reads no row outside the part of the picture it draws:
      // the rows that a fill crops away need not be decoded.
      const image::RowSpan needed{static_cast<uint32_t>(layout.source.top),
                                  static_cast<uint32_t>(layout.source.bottom)};
      decoding = std::make_unique<PictureDecoding>(std::move(content.decoder), size, needed, std::move(picture));
    } else {
      drawing = BuildTestPage(width, height);
    }
    platform::PrinterDC::BandProgress bands;
    if (progress_) {
      bands = [&](int, LONG bandTop, LONG bandHeight) { progress_(page, pages, bandTop + bandHeight, height); };
    }
    SetLastError(ERROR_SUCCESS);
    const bool played = dc_->PlayPage(drawing, bands);
    const DWORD playError = GetLastError();
    std::string error;
    if (decoding && (played ? !decoding->Finish(error) : decoding->StopAndTellIfDamaged(error))) {
      // A damaged picture is found out while its page is played; the job
      // fails for that reason, and the file it wrote is dropped.
      Fail("cannot read " + request_.pictures[page - 1] + ": " + error);
      return;
    }
    if (!played) {
      SetLastError(playError);
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
  std::shared_ptr<platform::Picture> picture_;
  JobOutcome outcome_;
};

}  // namespace

JobOutcome RunPrintJob(HANDLE hPrinter, const JobRequest &request, const JobProgress &progress) {
  return Job(hPrinter, request, progress).Run();
}

}  // namespace kvt::print
