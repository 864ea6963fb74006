// The graphics engine's host side: what an application and GDI do around a
// printer graphics DLL. A PrinterDC enables the driver's PDEV and surface
// through its DDI hook table, opens the spooler job, and plays each page's
// recorded drawing band by band into the driver's surface in the order GDI
// uses, reaching the driver's blt hooks exactly as GDI would. Tools print
// through it; tests use its device handle and abort hook as well.
#pragma once

#include <kvtddi.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// Memory for pixels that is not cleared when it is allocated or grown: a
// picture's bytes are all written by its application before the engine
// reads them, so clearing them first would only cost time. It keeps its
// memory when it shrinks, so that one picture memory can serve many.
class PixelBytes {
 public:
  PixelBytes() = default;
  PixelBytes(const PixelBytes &other) { *this = other; }
  PixelBytes(PixelBytes &&other) noexcept { swap(other); }
  PixelBytes &operator=(const PixelBytes &other) {
    if (this != &other) {
      resize(other.size_);
      if (size_ != 0) std::memcpy(bytes_.get(), other.bytes_.get(), size_);
    }
    return *this;
  }
  PixelBytes &operator=(PixelBytes &&other) noexcept {
    PixelBytes gone(std::move(other));
    swap(gone);
    return *this;
  }

  uint8_t *data() { return bytes_.get(); }
  const uint8_t *data() const { return bytes_.get(); }
  size_t size() const { return size_; }
  size_t capacity() const { return capacity_; }
  uint8_t &operator[](size_t i) { return bytes_[i]; }
  const uint8_t &operator[](size_t i) const { return bytes_[i]; }

  // New bytes hold whatever the memory held; a larger size takes new
  // memory and keeps the bytes there were.
  void resize(size_t size) {
    if (size > capacity_) {
      std::unique_ptr<uint8_t[]> larger(new uint8_t[size]);
      if (size_ != 0) std::memcpy(larger.get(), bytes_.get(), size_);
      bytes_ = std::move(larger);
      capacity_ = size;
    }
    size_ = size;
  }
  void pop_back() { --size_; }
  void swap(PixelBytes &other) noexcept {
    std::swap(bytes_, other.bytes_);
    std::swap(size_, other.size_);
    std::swap(capacity_, other.capacity_);
  }

 private:
  std::unique_ptr<uint8_t[]> bytes_;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

// The rows of a picture that its application is still filling, top row
// first, on another thread. The engine waits, before it draws a band, for
// the rows that the band reads.
class PictureRows {
 public:
  // Rows 0 .. rows-1 are written and will not change.
  void Publish(int rows);
  // No more rows will come; waiting for rows not yet published fails.
  void Fail();
  // Waits until rows 0 .. rows-1 are published: true, or false when the
  // application failed before.
  bool WaitFor(int rows) const;

 private:
  static constexpr int kFailed = -1;
  std::atomic<int> ready_{0};
};

// An application's picture: top-down rows, 3 bytes per pixel in the order
// red, green, blue, no row padding (rgb.size() == width * height * 3).
struct Picture {
  int width = 0;
  int height = 0;
  PixelBytes rgb;
  // Null when all rows are there; otherwise they are still arriving.
  std::shared_ptr<PictureRows> arriving;
};

// One page's drawing, recorded in device pixels of the printable area:
// (0,0) is the top-left of the printable rectangle, x to the right, y down.
// Rectangles are bottom-right exclusive. The drawing only refers to its
// pictures, which it keeps alive, so recording is cheap and a page can be
// played more than once.
class PageDrawing {
 public:
  // Coordinates are limited to +-kMaxCoordinate pixels (parallelogram
  // corners to the same in 28.4 fixed point), far beyond any page; fills are
  // clipped to it and pictures beyond it are refused.
  static constexpr LONG kMaxCoordinate = LONG{1} << 25;

  // Filled by the engine itself into the band surface (GDI's solid fill;
  // no driver hook). An inverted rectangle is normalized; an empty one draws
  // nothing.
  void FillRect(const RECTL &rect, uint8_t red, uint8_t green, uint8_t blue);

  // `src` (well ordered, inside the picture) stretched onto `dst`; an
  // inverted `dst` mirrors. Reaches the driver's DrvStretchBlt when its
  // surface hooks HOOK_STRETCHBLT, else EngStretchBlt. False, and nothing
  // recorded, for a null or malformed picture, a source rectangle that is
  // empty or not inside the picture, or a destination out of range.
  bool DrawPicture(std::shared_ptr<const Picture> picture, const RECTL &src, const RECTL &dst,
                   ULONG iMode = COLORONCOLOR);

  // As DrawPicture, through DrvStretchBltROP (HOOK_STRETCHBLTROP) or
  // EngStretchBltROP with the raster operation `rop4` and no brush.
  bool DrawPictureROP(std::shared_ptr<const Picture> picture, const RECTL &src, const RECTL &dst, ROP4 rop4,
                      ULONG iMode = COLORONCOLOR);

  // `src` mapped onto the parallelogram whose corners are the images of the
  // source's top-left, top-right and bottom-left corners (28.4 fixed point,
  // device coordinates), through DrvPlgBlt (HOOK_PLGBLT) or EngPlgBlt.
  bool DrawPictureParallelogram(std::shared_ptr<const Picture> picture, const RECTL &src,
                                const std::array<POINTFIX, 3> &corners, ULONG iMode = COLORONCOLOR);

  bool Empty() const { return ops_.empty(); }
  size_t Size() const { return ops_.size(); }
  void Clear() { ops_.clear(); }

  enum class OpKind { Fill, StretchBlt, StretchBltROP, PlgBlt };
  struct Op {
    OpKind kind = OpKind::Fill;
    RECTL dst{};  // fill rectangle or stretch destination
    uint8_t red = 0, green = 0, blue = 0;
    std::shared_ptr<const Picture> picture;
    RECTL src{};
    std::array<POINTFIX, 3> corners{};
    ULONG iMode = COLORONCOLOR;
    ROP4 rop4 = 0xCCCC;
  };
  const std::vector<Op> &Ops() const { return ops_; }

 private:
  std::vector<Op> ops_;
};

// An engine device handle (HDEV) as GDI hands it to DrvCompletePDEV. The
// device remembers the printer handle whose job EngCheckAbort watches, the
// driver's hook table and the PDEV, so that surfaces associated with it are
// locked with the right hdev and dhpdev. Tests of a driver can use one on its
// own; a PrinterDC makes its own.
class EngineDevice {
 public:
  explicit EngineDevice(HANDLE hPrinter = nullptr);
  ~EngineDevice();
  EngineDevice(const EngineDevice &) = delete;
  EngineDevice &operator=(const EngineDevice &) = delete;

  HDEV Handle() const { return hdev_; }
  void SetPdev(DHPDEV dhpdev);
  // The driver's DRVFN table; the engine keeps its own copy.
  void SetHooks(const DRVFN *pdrvfn, ULONG count);

 private:
  HDEV hdev_ = nullptr;
};

// The driver's hook with DDI index `iFunc` in `table`, or null.
PFN FindHook(const DRVFN *table, ULONG count, ULONG iFunc);

// A device context on a printer, from creation to deletion, as GDI runs it
// for an application. Every step that fails leaves a description in
// Failure(); the object is usable only while Valid().
class PrinterDC {
 public:
  using EnableDriverFn = BOOL(APIENTRY *)(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded);
  using DisableDriverFn = VOID(APIENTRY *)(VOID);
  // Called after each band has been rendered, before it goes to the driver.
  // `page` counts from 1 within the document; `bandHeight` is the number of
  // page rows in the band.
  using BandProgress = std::function<void(int page, LONG bandTop, LONG bandHeight)>;

  // DrvEnableDriver(DDI_DRIVER_VERSION_NT5), DrvEnablePDEV with the
  // application's settings (`devmode` may be null), DrvCompletePDEV and
  // DrvEnableSurface. `hPrinter` comes from OpenPrinterW and stays the
  // caller's. `disableDriver`, when given, is called by the destructor.
  PrinterDC(EnableDriverFn enableDriver, HANDLE hPrinter, const std::u16string &deviceName, const DEVMODEW *devmode,
            DisableDriverFn disableDriver = nullptr);
  // Aborts an open document, then DrvDisableSurface, DrvDisablePDEV and
  // DrvDisableDriver.
  ~PrinterDC();
  PrinterDC(const PrinterDC &) = delete;
  PrinterDC &operator=(const PrinterDC &) = delete;

  bool Valid() const;
  const std::string &Failure() const { return failure_; }

  // The capability records the driver filled; the page size in device
  // pixels is (ulHorzRes, ulVertRes).
  const GDIINFO &GdiInfo() const { return gdiInfo_; }
  const DEVINFO &DevInfo() const { return devInfo_; }

  // StartDocPrinterW on the printer, then DrvStartDoc with its job id.
  // `outputFile` empty: the job goes to the printer's port.
  bool StartDoc(const std::u16string &docName, const std::u16string &outputFile = u"");
  // DrvStartPage, then DrvStartBanding and one DrvNextBand per band until the
  // driver names the origin (-1,-1), rendering the drawing into each band
  // first (a surface that is not banding gets the whole drawing once and
  // DrvSendPage). A hook that fails ends the page: false.
  bool PlayPage(const PageDrawing &page, const BandProgress &progress = {});
  // DrvEndDoc (ED_ABORTDOC when `aborted`), then EndDocPrinter.
  bool EndDoc(bool aborted = false);
  // GDI's ResetDC: a new PDEV and surface from `devmode`, DrvResetPDEV(old,
  // new), the old one disabled; an open document continues on the new PDEV
  // (DrvStartDoc is called on it again). On failure the old PDEV stays.
  bool Reset(const DEVMODEW *devmode);

  bool DocOpen() const { return docOpen_; }
  DWORD JobId() const { return jobId_; }
  int PagesPlayed() const { return pagesPlayed_; }

  // Direct access for tests: the hook table and what the hooks receive.
  PFN Hook(ULONG iFunc) const;
  // The hook as its real function type (through void (*)(), the one
  // pointer type that converts to any other without a warning).
  template <typename Fn>
  Fn HookAs(ULONG iFunc) const {
    return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(Hook(iFunc)));
  }
  DHPDEV Pdev() const;
  HDEV Device() const;
  SURFOBJ *Surface() const;  // the locked band surface

 private:
  struct Instance;  // one enabled PDEV with its device and surface
  std::unique_ptr<Instance> Enable(const DEVMODEW *devmode, GDIINFO &gdiInfo, DEVINFO &devInfo);
  void Disable(std::unique_ptr<Instance> instance);
  bool RenderBand(const PageDrawing &page, POINTL origin);
  bool Fail(std::string what);

  std::vector<DRVFN> hooks_;
  DisableDriverFn disableDriver_ = nullptr;
  HANDLE hPrinter_ = nullptr;
  std::u16string deviceName_;
  std::u16string docName_;
  std::unique_ptr<Instance> current_;
  GDIINFO gdiInfo_{};
  DEVINFO devInfo_{};
  bool docOpen_ = false;
  DWORD jobId_ = 0;
  int pagesPlayed_ = 0;
  std::string failure_;
};

// Test hook: the nth EngCheckAbort call from now and every later one report
// an abort, as if the user had cancelled. 0 clears it. ResetMachine clears it
// too.
void AbortAtCheck(unsigned nth);

}  // namespace platform
