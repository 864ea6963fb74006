// EngStretchBlt, EngStretchBltROP and EngPlgBlt: argument checks, clipping,
// colour translation and the choice of resampling, over the pixel code of
// resample.cpp. Supported: 24- and 32-bit surfaces, rectangular clips, RGB
// and BGR palettes, SRCCOPY, no masks.
#include "resample.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace platform::gdi {
namespace {

constexpr ROP4 kSrcCopy = 0xCCCC;

// What every blt needs once its arguments have been checked.
struct Blt {
  PixelView src;
  PixelView dst;
  RECTL clip{};
  Filter filter = Filter::Nearest;
  bool swapRedBlue = false;
  std::vector<uint8_t> srcCopy;  // the source rectangle when it shares memory with the destination
};

bool Reject(DWORD error) {
  SetLastError(error);
  return false;
}

bool ClipOf(const CLIPOBJ *pco, const PixelView &dst, RECTL &clip) {
  clip = {0, 0, dst.width, dst.height};
  if (pco == nullptr || pco->iDComplexity == DC_TRIVIAL) return true;
  if (pco->iDComplexity != DC_RECT) return false;  // region enumeration is not offered
  clip.left = std::max(clip.left, pco->rclBounds.left);
  clip.top = std::max(clip.top, pco->rclBounds.top);
  clip.right = std::min(clip.right, pco->rclBounds.right);
  clip.bottom = std::min(clip.bottom, pco->rclBounds.bottom);
  if (clip.right < clip.left) clip.right = clip.left;
  if (clip.bottom < clip.top) clip.bottom = clip.top;
  return true;
}

bool FilterOf(ULONG iMode, Filter &filter) {
  switch (iMode) {
    case HALFTONE:
      filter = Filter::Halftone;
      return true;
    case BLACKONWHITE:
    case WHITEONBLACK:
    case COLORONCOLOR:
      filter = Filter::Nearest;
      return true;
    default:
      return false;
  }
}

// Between RGB and BGR palettes the translation exchanges red and blue;
// other palette kinds would need per-colour tables, which are not offered.
bool TranslationOf(const XLATEOBJ *pxlo, bool &swapRedBlue) {
  swapRedBlue = false;
  if (pxlo == nullptr) return true;
  const auto direct = [](ULONG type) { return type == 0 || type == PAL_RGB || type == PAL_BGR; };
  if (!direct(pxlo->iSrcType) || !direct(pxlo->iDstType)) return false;
  swapRedBlue = (pxlo->iSrcType == PAL_RGB && pxlo->iDstType == PAL_BGR) ||
                (pxlo->iSrcType == PAL_BGR && pxlo->iDstType == PAL_RGB);
  return true;
}

struct Span {
  const uint8_t *lo;
  const uint8_t *hi;
};

Span MemoryOf(const PixelView &view) {
  const uint8_t *first = view.scan0;
  const uint8_t *last = view.Row(view.height - 1);
  const size_t rowBytes = static_cast<size_t>(view.width) * static_cast<size_t>(view.bytesPerPixel);
  return {std::min(first, last), std::max(first, last) + rowBytes};
}

bool Overlap(const PixelView &a, const PixelView &b) {
  const Span x = MemoryOf(a);
  const Span y = MemoryOf(b);
  return std::less<const uint8_t *>()(x.lo, y.hi) && std::less<const uint8_t *>()(y.lo, x.hi);
}

bool Prepare(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, ULONG iMode, Blt &blt) {
  if (!ViewOf(psoDest, blt.dst) || !ViewOf(psoSrc, blt.src)) return Reject(ERROR_INVALID_PARAMETER);
  if (psoMask != nullptr) return Reject(ERROR_NOT_SUPPORTED);
  if (!FilterOf(iMode, blt.filter)) return Reject(ERROR_INVALID_PARAMETER);
  if (!ClipOf(pco, blt.dst, blt.clip)) return Reject(ERROR_NOT_SUPPORTED);
  if (!TranslationOf(pxlo, blt.swapRedBlue)) return Reject(ERROR_NOT_SUPPORTED);
  return true;
}

// A non-empty source rectangle inside the source surface, made well ordered;
// an inverted source mirrors just as an inverted destination does.
bool NormalizeSource(const PixelView &src, RECTL &srcRect, bool &flipX, bool &flipY) {
  flipX = srcRect.left > srcRect.right;
  flipY = srcRect.top > srcRect.bottom;
  if (flipX) std::swap(srcRect.left, srcRect.right);
  if (flipY) std::swap(srcRect.top, srcRect.bottom);
  return srcRect.left >= 0 && srcRect.top >= 0 && srcRect.left < srcRect.right && srcRect.top < srcRect.bottom &&
         srcRect.right <= src.width && srcRect.bottom <= src.height;
}

bool ExtentOk(int64_t a, int64_t b) { return std::abs(b - a) <= kMaxExtent; }

// Reading from memory that the blt writes would mix new pixels into the
// result; such a source is copied first.
void DetachSource(Blt &blt, RECTL &srcRect) {
  if (!Overlap(blt.src, blt.dst)) return;
  const size_t bpp = static_cast<size_t>(blt.src.bytesPerPixel);
  const size_t rowBytes = static_cast<size_t>(srcRect.right - srcRect.left) * bpp;
  const LONG rows = srcRect.bottom - srcRect.top;
  blt.srcCopy.resize(rowBytes * static_cast<size_t>(rows));
  for (LONG y = 0; y < rows; ++y) {
    std::memcpy(&blt.srcCopy[static_cast<size_t>(y) * rowBytes],
                blt.src.Row(srcRect.top + y) + static_cast<size_t>(srcRect.left) * bpp, rowBytes);
  }
  blt.src = {blt.srcCopy.data(),   static_cast<ptrdiff_t>(rowBytes), blt.src.step, srcRect.right - srcRect.left, rows,
             blt.src.bytesPerPixel};
  srcRect = {0, 0, blt.src.width, blt.src.height};
}

bool Stretch(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, const RECTL *prclDest,
             const RECTL *prclSrc, ULONG iMode) {
  Blt blt;
  if (!Prepare(psoDest, psoSrc, psoMask, pco, pxlo, iMode, blt)) return false;
  if (prclDest == nullptr || prclSrc == nullptr) return Reject(ERROR_INVALID_PARAMETER);
  RECTL srcRect = *prclSrc;
  RECTL dstRect = *prclDest;
  bool flipX = false, flipY = false;
  if (!NormalizeSource(blt.src, srcRect, flipX, flipY)) return Reject(ERROR_INVALID_PARAMETER);
  if (!ExtentOk(dstRect.left, dstRect.right) || !ExtentOk(dstRect.top, dstRect.bottom)) {
    return Reject(ERROR_INVALID_PARAMETER);
  }
  if (dstRect.left == dstRect.right || dstRect.top == dstRect.bottom) return true;
  if (flipX) std::swap(dstRect.left, dstRect.right);
  if (flipY) std::swap(dstRect.top, dstRect.bottom);
  DetachSource(blt, srcRect);
  StretchPixels(blt.src, srcRect, blt.dst, dstRect, blt.clip, blt.filter, blt.swapRedBlue);
  return true;
}

// The source rectangle read turned a quarter: the view's pixel (x, y) is
// the source's (y, x), so that a parallelogram whose source top edge runs
// vertically becomes a plain stretch. Nothing is copied.
void Transpose(Blt &blt, RECTL &srcRect) {
  const PixelView src = blt.src;
  blt.src = {src.At(srcRect.left, srcRect.top), src.step,         src.delta, srcRect.bottom - srcRect.top,
             srcRect.right - srcRect.left,      src.bytesPerPixel};
  srcRect = {0, 0, blt.src.width, blt.src.height};
}

bool OnPixelGrid(const POINTFIX *p) {
  for (int i = 0; i < 3; ++i) {
    if (p[i].x % 16 != 0 || p[i].y % 16 != 0) return false;
  }
  return true;
}

bool Parallelogram(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMsk, CLIPOBJ *pco, XLATEOBJ *pxlo,
                   const POINTFIX *pptfx, const RECTL *prcl, ULONG iMode) {
  Blt blt;
  if (!Prepare(psoTrg, psoSrc, psoMsk, pco, pxlo, iMode, blt)) return false;
  if (pptfx == nullptr || prcl == nullptr) return Reject(ERROR_INVALID_PARAMETER);
  RECTL srcRect = *prcl;
  bool flipX = false, flipY = false;
  if (!NormalizeSource(blt.src, srcRect, flipX, flipY) || flipX || flipY) return Reject(ERROR_INVALID_PARAMETER);
  DetachSource(blt, srcRect);
  const POINTFIX &a = pptfx[0];
  const POINTFIX &b = pptfx[1];
  const POINTFIX &c = pptfx[2];

  // Upright and quarter-turned pictures on whole pixels are stretches, with
  // the stretch's quality and exactness.
  if (OnPixelGrid(pptfx)) {
    if (a.y == b.y && a.x == c.x) {
      const RECTL dst{a.x / 16, a.y / 16, b.x / 16, c.y / 16};
      StretchPixels(blt.src, srcRect, blt.dst, dst, blt.clip, blt.filter, blt.swapRedBlue);
      return true;
    }
    if (a.x == b.x && a.y == c.y) {
      Transpose(blt, srcRect);
      const RECTL dst{a.x / 16, a.y / 16, c.x / 16, b.y / 16};
      StretchPixels(blt.src, srcRect, blt.dst, dst, blt.clip, blt.filter, blt.swapRedBlue);
      return true;
    }
  }
  const PointD corners[3] = {{a.x / 16.0, a.y / 16.0}, {b.x / 16.0, b.y / 16.0}, {c.x / 16.0, c.y / 16.0}};
  MapParallelogram(blt.src, srcRect, blt.dst, corners, blt.clip, blt.filter, blt.swapRedBlue);
  return true;
}

}  // namespace
}  // namespace platform::gdi

extern "C" BOOL APIENTRY EngStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco,
                                       XLATEOBJ *pxlo, COLORADJUSTMENT *, POINTL *, RECTL *prclDest, RECTL *prclSrc,
                                       POINTL *, ULONG iMode) {
  return platform::gdi::Stretch(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, iMode) ? TRUE : FALSE;
}

extern "C" BOOL APIENTRY EngStretchBltROP(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco,
                                          XLATEOBJ *pxlo, COLORADJUSTMENT *, POINTL *, RECTL *prclDest, RECTL *prclSrc,
                                          POINTL *, ULONG iMode, BRUSHOBJ *, ROP4 rop4) {
  if (rop4 != platform::gdi::kSrcCopy) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
  }
  return platform::gdi::Stretch(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, iMode) ? TRUE : FALSE;
}

extern "C" BOOL APIENTRY EngPlgBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMsk, CLIPOBJ *pco, XLATEOBJ *pxlo,
                                   COLORADJUSTMENT *, POINTL *, POINTFIX *pptfx, RECTL *prcl, POINTL *, ULONG iMode) {
  return platform::gdi::Parallelogram(psoTrg, psoSrc, psoMsk, pco, pxlo, pptfx, prcl, iMode) ? TRUE : FALSE;
}
