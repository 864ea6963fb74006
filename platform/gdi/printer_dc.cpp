// PrinterDC: a device context on a printer, run the way GDI runs one. It
// enables the driver through its hook table, opens the spooler job, and for
// each page starts the page, asks the driver for band origins and renders
// the recorded drawing into the band surface with the origin applied, until
// the driver ends the page. Pictures reach the driver's blt hooks when its
// surface hooks them, exactly as GDI hands them over.
#include "objects.h"

#include <platform/engine.h>

#include <algorithm>
#include <bit>
#include <cstring>

namespace platform {
namespace {

constexpr ULONG kPatternCount = 6;  // GDI's standard hatch brushes (HS_DDI_MAX)
constexpr FLONG kEndDocAbort = 1;   // ED_ABORTDOC
constexpr ULONG kMaxHooks = 1024;   // far more than the DDI has indexes
// Pages, and so band origins, are smaller than this in either direction;
// with the recording's coordinate limits every translation fits a LONG and
// every POINTFIX.
constexpr LONG kMaxPage = PageDrawing::kMaxCoordinate;

using EnablePdevFn = DHPDEV(APIENTRY *)(DEVMODEW *, LPWSTR, ULONG, HSURF *, ULONG, ULONG *, ULONG, DEVINFO *, HDEV,
                                        LPWSTR, HANDLE);
using CompletePdevFn = VOID(APIENTRY *)(DHPDEV, HDEV);
using ResetPdevFn = BOOL(APIENTRY *)(DHPDEV, DHPDEV);
using DisablePdevFn = VOID(APIENTRY *)(DHPDEV);
using EnableSurfaceFn = HSURF(APIENTRY *)(DHPDEV);
using DisableSurfaceFn = VOID(APIENTRY *)(DHPDEV);
using StartDocFn = BOOL(APIENTRY *)(SURFOBJ *, LPWSTR, DWORD);
using EndDocFn = BOOL(APIENTRY *)(SURFOBJ *, FLONG);
using SurfaceFn = BOOL(APIENTRY *)(SURFOBJ *);
using BandFn = BOOL(APIENTRY *)(SURFOBJ *, POINTL *);
using StretchBltFn = BOOL(APIENTRY *)(SURFOBJ *, SURFOBJ *, SURFOBJ *, CLIPOBJ *, XLATEOBJ *, COLORADJUSTMENT *,
                                      POINTL *, RECTL *, RECTL *, POINTL *, ULONG);
using StretchBltRopFn = BOOL(APIENTRY *)(SURFOBJ *, SURFOBJ *, SURFOBJ *, CLIPOBJ *, XLATEOBJ *, COLORADJUSTMENT *,
                                         POINTL *, RECTL *, RECTL *, POINTL *, ULONG, BRUSHOBJ *, ROP4);
using PlgBltFn = BOOL(APIENTRY *)(SURFOBJ *, SURFOBJ *, SURFOBJ *, CLIPOBJ *, XLATEOBJ *, COLORADJUSTMENT *, POINTL *,
                                  POINTFIX *, RECTL *, POINTL *, ULONG);

std::vector<WCHAR> WideBuffer(const std::u16string &text) {
  std::vector<WCHAR> buffer(text.begin(), text.end());
  buffer.push_back(0);
  return buffer;
}

// GDI hands the driver its own copy of the application's settings, private
// bytes included, so the driver can never touch the application's record.
std::vector<uint64_t> SettingsCopy(const DEVMODEW *devmode) {
  if (devmode == nullptr) return {};
  const size_t size = size_t{devmode->dmSize} + devmode->dmDriverExtra;
  std::vector<uint64_t> copy((std::max(size, sizeof(DEVMODEW)) + 7) / 8, 0);
  std::memcpy(copy.data(), devmode, size);
  return copy;
}

// A mask's share of an 8-bit component, for bitfield palettes.
ULONG ScaleToMask(uint8_t component, FLONG mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const uint64_t top = (uint64_t{1} << std::popcount(mask >> shift)) - 1;
  return static_cast<ULONG>(((component * top + 127) / 255) << shift);
}

// The engine's temporary surface over an application's picture.
class PictureSurface {
 public:
  explicit PictureSurface(const Picture &picture) {
    DWORD error = ERROR_SUCCESS;
    // The engine only reads the picture; the surface record just has no
    // read-only flavour.
    hsurf_ = gdi::CreateSurface({picture.width, picture.height}, picture.width * 3, BMF_24BPP, BMF_TOPDOWN,
                                const_cast<uint8_t *>(picture.rgb.data()), error);
    if (hsurf_ != nullptr) pso_ = EngLockSurface(hsurf_);
  }
  ~PictureSurface() {
    if (pso_ != nullptr) EngUnlockSurface(pso_);
    if (hsurf_ != nullptr) EngDeleteSurface(hsurf_);
  }
  PictureSurface(const PictureSurface &) = delete;
  PictureSurface &operator=(const PictureSurface &) = delete;
  SURFOBJ *Object() const { return pso_; }

 private:
  HSURF hsurf_ = nullptr;
  SURFOBJ *pso_ = nullptr;
};

RECTL Intersect(const RECTL &a, const RECTL &b) {
  RECTL r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  if (r.right < r.left) r.right = r.left;
  if (r.bottom < r.top) r.bottom = r.top;
  return r;
}

bool IsEmpty(const RECTL &r) { return r.left >= r.right || r.top >= r.bottom; }

bool Contains(const RECTL &outer, const RECTL &inner) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

RECTL Normalized(const RECTL &r) {
  return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right), std::max(r.top, r.bottom)};
}

// Whole pixels around a parallelogram's four corners, in the band.
RECTL CornerBounds(const std::array<POINTFIX, 3> &c) {
  const int64_t xs[4] = {c[0].x, c[1].x, c[2].x, int64_t{c[1].x} + c[2].x - c[0].x};
  const int64_t ys[4] = {c[0].y, c[1].y, c[2].y, int64_t{c[1].y} + c[2].y - c[0].y};
  const auto pixels = [](int64_t fix) { return static_cast<LONG>(std::clamp<int64_t>(fix / 16, -(1 << 30), 1 << 30)); };
  return {pixels(*std::min_element(xs, xs + 4)) - 1, pixels(*std::min_element(ys, ys + 4)) - 1,
          pixels(*std::max_element(xs, xs + 4)) + 1, pixels(*std::max_element(ys, ys + 4)) + 1};
}

// How many rows from the top of its picture the blt of `op` reads for the
// page rows top .. bottom-1. Every filter reads, for destination row j,
// source rows below (j + 1) * srcLen / dstLen, and interpolation one more;
// a mirrored or turned picture may read any row.
int PictureRowsRead(const PageDrawing::Op &op, LONG top, LONG bottom) {
  const int all = op.picture->height;
  if (op.kind == PageDrawing::OpKind::PlgBlt || op.dst.top > op.dst.bottom) return all;
  const int64_t end = int64_t{std::min(bottom, op.dst.bottom)} - op.dst.top;
  if (end <= 0 || top >= op.dst.bottom) return 0;
  const int64_t srcLen = int64_t{op.src.bottom} - op.src.top;
  const int64_t dstLen = int64_t{op.dst.bottom} - op.dst.top;
  const int64_t rows = std::min(srcLen, (end * srcLen + dstLen - 1) / dstLen + 1);
  return static_cast<int>(std::min<int64_t>(op.src.top + rows, all));
}

}  // namespace

struct PrinterDC::Instance {
  std::unique_ptr<EngineDevice> device;
  std::vector<WCHAR> deviceName;  // the driver may keep pointing at it
  DHPDEV dhpdev = nullptr;
  HSURF hsurf = nullptr;
  SURFOBJ *pso = nullptr;  // locked for the instance's life
};

PrinterDC::PrinterDC(EnableDriverFn enableDriver, HANDLE hPrinter, const std::u16string &deviceName,
                     const DEVMODEW *devmode, DisableDriverFn disableDriver)
    : disableDriver_(disableDriver), hPrinter_(hPrinter), deviceName_(deviceName) {
  DRVENABLEDATA ded{};
  if (enableDriver == nullptr || !enableDriver(DDI_DRIVER_VERSION_NT5, sizeof(ded), &ded)) {
    Fail("DrvEnableDriver failed");
    return;
  }
  if (ded.pdrvfn == nullptr || ded.c == 0 || ded.c > kMaxHooks) {
    Fail("DrvEnableDriver returned no hook table");
    return;
  }
  hooks_.assign(ded.pdrvfn, ded.pdrvfn + ded.c);
  current_ = Enable(devmode, gdiInfo_, devInfo_);
}

PrinterDC::~PrinterDC() {
  if (docOpen_) EndDoc(true);
  if (current_) Disable(std::move(current_));
  if (disableDriver_ != nullptr) disableDriver_();
}

bool PrinterDC::Valid() const { return current_ != nullptr; }
DHPDEV PrinterDC::Pdev() const { return current_ ? current_->dhpdev : nullptr; }
HDEV PrinterDC::Device() const { return current_ ? current_->device->Handle() : nullptr; }
SURFOBJ *PrinterDC::Surface() const { return current_ ? current_->pso : nullptr; }
PFN PrinterDC::Hook(ULONG iFunc) const { return FindHook(hooks_.data(), static_cast<ULONG>(hooks_.size()), iFunc); }

bool PrinterDC::Fail(std::string what) {
  failure_ = std::move(what);
  return false;
}

std::unique_ptr<PrinterDC::Instance> PrinterDC::Enable(const DEVMODEW *devmode, GDIINFO &gdiInfo, DEVINFO &devInfo) {
  const auto enablePdev = HookAs<EnablePdevFn>(INDEX_DrvEnablePDEV);
  const auto completePdev = HookAs<CompletePdevFn>(INDEX_DrvCompletePDEV);
  const auto disablePdev = HookAs<DisablePdevFn>(INDEX_DrvDisablePDEV);
  const auto enableSurface = HookAs<EnableSurfaceFn>(INDEX_DrvEnableSurface);
  const auto disableSurface = HookAs<DisableSurfaceFn>(INDEX_DrvDisableSurface);
  if (enablePdev == nullptr || completePdev == nullptr || disablePdev == nullptr || enableSurface == nullptr ||
      disableSurface == nullptr) {
    Fail("the driver lacks a PDEV or surface hook");
    return nullptr;
  }
  auto instance = std::make_unique<Instance>();
  instance->device = std::make_unique<EngineDevice>(hPrinter_);
  instance->device->SetHooks(hooks_.data(), static_cast<ULONG>(hooks_.size()));
  instance->deviceName = WideBuffer(deviceName_);
  std::vector<uint64_t> settings = SettingsCopy(devmode);
  HSURF patterns[kPatternCount] = {};
  gdiInfo = GDIINFO{};
  devInfo = DEVINFO{};
  const HDEV hdev = instance->device->Handle();
  instance->dhpdev = enablePdev(settings.empty() ? nullptr : reinterpret_cast<DEVMODEW *>(settings.data()), nullptr,
                                kPatternCount, patterns, sizeof(GDIINFO), reinterpret_cast<ULONG *>(&gdiInfo),
                                sizeof(DEVINFO), &devInfo, hdev, instance->deviceName.data(), hPrinter_);
  if (instance->dhpdev == nullptr) {
    Fail("DrvEnablePDEV failed");
    return nullptr;
  }
  instance->device->SetPdev(instance->dhpdev);
  completePdev(instance->dhpdev, hdev);
  instance->hsurf = enableSurface(instance->dhpdev);
  if (instance->hsurf != nullptr) instance->pso = EngLockSurface(instance->hsurf);
  if (instance->pso == nullptr || instance->pso->hdev != hdev) {
    Fail(instance->hsurf == nullptr ? "DrvEnableSurface failed"
                                    : "the driver's surface is not an engine bitmap associated with its device");
    if (instance->pso != nullptr) EngUnlockSurface(instance->pso);
    if (instance->hsurf != nullptr) disableSurface(instance->dhpdev);
    disablePdev(instance->dhpdev);
    return nullptr;
  }
  return instance;
}

void PrinterDC::Disable(std::unique_ptr<Instance> instance) {
  EngUnlockSurface(instance->pso);
  HookAs<DisableSurfaceFn>(INDEX_DrvDisableSurface)(instance->dhpdev);
  HookAs<DisablePdevFn>(INDEX_DrvDisablePDEV)(instance->dhpdev);
}

bool PrinterDC::StartDoc(const std::u16string &docName, const std::u16string &outputFile) {
  if (!Valid()) return Fail("the device context is not enabled");
  if (docOpen_) return Fail("a document is already open");
  std::vector<WCHAR> name = WideBuffer(docName);
  std::vector<WCHAR> output = WideBuffer(outputFile);
  DOC_INFO_1W info{name.data(), outputFile.empty() ? nullptr : output.data(), nullptr};
  const DWORD jobId = StartDocPrinterW(hPrinter_, 1, reinterpret_cast<LPBYTE>(&info));
  if (jobId == 0) return Fail("StartDocPrinterW failed, error " + std::to_string(GetLastError()));
  const auto startDoc = HookAs<StartDocFn>(INDEX_DrvStartDoc);
  if (startDoc != nullptr && !startDoc(current_->pso, name.data(), jobId)) {
    EndDocPrinter(hPrinter_);
    return Fail("DrvStartDoc failed");
  }
  docOpen_ = true;
  docName_ = docName;
  jobId_ = jobId;
  pagesPlayed_ = 0;
  return true;
}

bool PrinterDC::EndDoc(bool aborted) {
  if (!docOpen_) return Fail("no document is open");
  docOpen_ = false;
  bool ok = true;
  const auto endDoc = HookAs<EndDocFn>(INDEX_DrvEndDoc);
  if (endDoc != nullptr && !endDoc(current_->pso, aborted ? kEndDocAbort : 0)) ok = Fail("DrvEndDoc failed");
  if (!EndDocPrinter(hPrinter_)) ok = Fail("EndDocPrinter failed, error " + std::to_string(GetLastError()));
  return ok;
}

bool PrinterDC::Reset(const DEVMODEW *devmode) {
  if (!Valid()) return Fail("the device context is not enabled");
  GDIINFO gdiInfo{};
  DEVINFO devInfo{};
  std::unique_ptr<Instance> fresh = Enable(devmode, gdiInfo, devInfo);
  if (!fresh) return false;
  const auto resetPdev = HookAs<ResetPdevFn>(INDEX_DrvResetPDEV);
  if (resetPdev != nullptr && !resetPdev(current_->dhpdev, fresh->dhpdev)) {
    Disable(std::move(fresh));
    return Fail("DrvResetPDEV failed");
  }
  std::unique_ptr<Instance> old = std::move(current_);
  current_ = std::move(fresh);
  gdiInfo_ = gdiInfo;
  devInfo_ = devInfo;
  Disable(std::move(old));
  if (docOpen_) {
    std::vector<WCHAR> name = WideBuffer(docName_);
    const auto startDoc = HookAs<StartDocFn>(INDEX_DrvStartDoc);
    if (startDoc != nullptr && !startDoc(current_->pso, name.data(), jobId_)) {
      return Fail("DrvStartDoc failed on the reset device");
    }
  }
  return true;
}

bool PrinterDC::PlayPage(const PageDrawing &page, const BandProgress &progress) {
  if (!Valid()) return Fail("the device context is not enabled");
  if (!docOpen_) return Fail("no document is open");
  SURFOBJ *pso = current_->pso;
  const auto startPage = HookAs<SurfaceFn>(INDEX_DrvStartPage);
  if (startPage != nullptr && !startPage(pso)) return Fail("DrvStartPage failed");
  ++pagesPlayed_;
  const gdi::Surface *surface = gdi::FindSurface(current_->hsurf);
  if (surface == nullptr) return Fail("the driver's surface is gone");
  const LONG pageHeight =
      gdiInfo_.ulVertRes > 0 ? static_cast<LONG>(std::min<ULONG>(gdiInfo_.ulVertRes, kMaxPage)) : pso->sizlBitmap.cy;
  const auto bandRows = [&](LONG top) { return std::clamp<LONG>(pageHeight - top, 0, pso->sizlBitmap.cy); };

  if (!surface->banding) {
    if (!RenderBand(page, {0, 0})) return false;
    if (progress) progress(pagesPlayed_, 0, bandRows(0));
    const auto sendPage = HookAs<SurfaceFn>(INDEX_DrvSendPage);
    if (sendPage != nullptr && !sendPage(pso)) return Fail("DrvSendPage failed");
    return true;
  }

  const auto startBanding = HookAs<BandFn>(INDEX_DrvStartBanding);
  const auto nextBand = HookAs<BandFn>(INDEX_DrvNextBand);
  if (startBanding == nullptr || nextBand == nullptr) return Fail("a banding surface without band hooks");
  POINTL origin{0, 0};
  if (!startBanding(pso, &origin)) return Fail("DrvStartBanding failed");
  // Every band shows at least one row of the page; a driver that asks for
  // more bands than that never ends the page.
  const int64_t maxBands = int64_t{std::max(pageHeight, pso->sizlBitmap.cy)} + 1;
  for (int64_t band = 0; !(origin.x == -1 && origin.y == -1); ++band) {
    if (band >= maxBands) return Fail("the driver did not end the page");
    if (!RenderBand(page, origin)) return false;
    if (progress) progress(pagesPlayed_, origin.y, bandRows(origin.y));
    if (!nextBand(pso, &origin)) return Fail("DrvNextBand failed");
  }
  return true;
}

bool PrinterDC::RenderBand(const PageDrawing &page, POINTL origin) {
  SURFOBJ *pso = current_->pso;
  const gdi::Surface *surface = gdi::FindSurface(current_->hsurf);
  if (surface == nullptr) return Fail("the driver's surface is gone");
  const LONG pageWidth =
      gdiInfo_.ulHorzRes > 0 ? static_cast<LONG>(std::min<ULONG>(gdiInfo_.ulHorzRes, kMaxPage)) : pso->sizlBitmap.cx;
  const LONG pageHeight =
      gdiInfo_.ulVertRes > 0 ? static_cast<LONG>(std::min<ULONG>(gdiInfo_.ulVertRes, kMaxPage)) : pso->sizlBitmap.cy;
  // Band origins lie on the page; one far outside is the driver's mistake
  // and draws nothing (and keeps the translations below in range).
  if (std::abs(int64_t{origin.x}) > kMaxPage || std::abs(int64_t{origin.y}) > kMaxPage) return true;
  const RECTL clip = Intersect({0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy},
                               {-origin.x, -origin.y, pageWidth - origin.x, pageHeight - origin.y});
  if (IsEmpty(clip)) return true;

  const gdi::Palette *palette = gdi::FindPalette(devInfo_.hpalDefault);
  const ULONG paletteMode = palette != nullptr ? palette->iMode : PAL_BGR;
  XLATEOBJ xlate{};
  xlate.iSrcType = PAL_RGB;
  xlate.iDstType = static_cast<USHORT>(paletteMode);
  XLATEOBJ *pxlo = paletteMode == PAL_RGB ? nullptr : &xlate;
  COLORADJUSTMENT colorAdjustment{};
  colorAdjustment.caSize = sizeof(colorAdjustment);
  POINTL halftoneOrigin{0, 0};
  const bool hookStretch = (surface->hooks & HOOK_STRETCHBLT) != 0 && Hook(INDEX_DrvStretchBlt) != nullptr;
  const bool hookRop = (surface->hooks & HOOK_STRETCHBLTROP) != 0 && Hook(INDEX_DrvStretchBltROP) != nullptr;
  const bool hookPlg = (surface->hooks & HOOK_PLGBLT) != 0 && Hook(INDEX_DrvPlgBlt) != nullptr;

  for (const PageDrawing::Op &op : page.Ops()) {
    if (op.kind == PageDrawing::OpKind::Fill) {
      RECTL rect = Intersect(
          {op.dst.left - origin.x, op.dst.top - origin.y, op.dst.right - origin.x, op.dst.bottom - origin.y}, clip);
      if (IsEmpty(rect)) continue;
      ULONG color = 0;
      if (paletteMode == PAL_RGB) {
        color = op.red | (ULONG{op.green} << 8) | (ULONG{op.blue} << 16);
      } else if (paletteMode == PAL_BITFIELDS) {
        color = ScaleToMask(op.red, palette->flRed) | ScaleToMask(op.green, palette->flGreen) |
                ScaleToMask(op.blue, palette->flBlue);
      } else {
        color = op.blue | (ULONG{op.green} << 8) | (ULONG{op.red} << 16);
      }
      EngEraseSurface(pso, &rect, color);
      continue;
    }

    RECTL bounds{};
    RECTL dst{};
    std::array<POINTFIX, 3> corners{};
    if (op.kind == PageDrawing::OpKind::PlgBlt) {
      for (size_t i = 0; i < corners.size(); ++i) {
        corners[i] = {op.corners[i].x - origin.x * 16, op.corners[i].y - origin.y * 16};
      }
      bounds = CornerBounds(corners);
    } else {
      dst = {op.dst.left - origin.x, op.dst.top - origin.y, op.dst.right - origin.x, op.dst.bottom - origin.y};
      bounds = Normalized(dst);
    }
    if (IsEmpty(Intersect(bounds, clip))) continue;

    // A picture still arriving is drawn once the rows this band reads are
    // there; the driver's hooks stay on this thread all the same.
    if (op.picture->arriving != nullptr &&
        !op.picture->arriving->WaitFor(PictureRowsRead(op, origin.y + clip.top, origin.y + clip.bottom))) {
      return Fail("a picture's rows did not arrive");
    }
    PictureSurface source(*op.picture);
    if (source.Object() == nullptr) return Fail("no memory for a picture's surface");
    CLIPOBJ clipObject{};
    clipObject.rclBounds = clip;
    clipObject.iDComplexity = Contains(clip, bounds) ? DC_TRIVIAL : DC_RECT;
    clipObject.iFComplexity = clipObject.iDComplexity;
    RECTL src = op.src;
    BOOL drawn = FALSE;
    switch (op.kind) {
      case PageDrawing::OpKind::StretchBlt:
        drawn = (hookStretch ? HookAs<StretchBltFn>(INDEX_DrvStretchBlt) : &EngStretchBlt)(
            pso, source.Object(), nullptr, &clipObject, pxlo, &colorAdjustment, &halftoneOrigin, &dst, &src, nullptr,
            op.iMode);
        break;
      case PageDrawing::OpKind::StretchBltROP: {
        BRUSHOBJ brush{};
        brush.iSolidColor = 0xFFFFFFFF;
        drawn = (hookRop ? HookAs<StretchBltRopFn>(INDEX_DrvStretchBltROP) : &EngStretchBltROP)(
            pso, source.Object(), nullptr, &clipObject, pxlo, &colorAdjustment, &halftoneOrigin, &dst, &src, nullptr,
            op.iMode, &brush, op.rop4);
        break;
      }
      case PageDrawing::OpKind::PlgBlt:
        drawn = (hookPlg ? HookAs<PlgBltFn>(INDEX_DrvPlgBlt) : &EngPlgBlt)(pso, source.Object(), nullptr, &clipObject,
                                                                           pxlo, &colorAdjustment, &halftoneOrigin,
                                                                           corners.data(), &src, nullptr, op.iMode);
        break;
      case PageDrawing::OpKind::Fill:
        break;
    }
    if (!drawn) return Fail("drawing a picture failed");
  }
  return true;
}

}  // namespace platform
