// The engine's stretch against the plain oracle of reference_stretch.cpp:
// byte for byte over many random pictures, rectangles, mirrors, clips and
// pixel formats, drawn whole and band by band as the band player draws a
// page (which reuses the weights of one band for the next), and turned a
// quarter through EngPlgBlt. Pages printed before and after any change to
// the engine's arithmetic must be the same bytes.
#include <gtest/gtest.h>
#include <platform/engine.h>
#include <platform/testing.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <random>
#include <thread>
#include <vector>

#include "reference_stretch.h"

namespace {

// An engine bitmap over memory the test owns, so that the oracle can read
// and write the same layout.
class Bitmap {
 public:
  Bitmap(LONG cx, LONG cy, int bytesPerPixel, bool topDown, uint8_t fill) : cx_(cx), cy_(cy), bpp_(bytesPerPixel) {
    stride_ = (cx * bytesPerPixel + 3) / 4 * 4;
    bits_.assign(size_t(stride_) * size_t(cy), fill);
    const FLONG fl = topDown ? BMF_TOPDOWN : 0;
    hsurf_ = reinterpret_cast<HSURF>(
        EngCreateBitmap({cx, cy}, stride_, bytesPerPixel == 4 ? BMF_32BPP : BMF_24BPP, fl, bits_.data()));
    pso_ = hsurf_ != nullptr ? EngLockSurface(hsurf_) : nullptr;
  }
  ~Bitmap() {
    if (pso_ != nullptr) EngUnlockSurface(pso_);
    if (hsurf_ != nullptr) EngDeleteSurface(hsurf_);
  }
  Bitmap(const Bitmap &) = delete;
  Bitmap &operator=(const Bitmap &) = delete;

  SURFOBJ *so() const { return pso_; }
  std::vector<uint8_t> &Bits() { return bits_; }
  reference::Pixels Pixels() const { return {static_cast<uint8_t *>(pso_->pvScan0), pso_->lDelta, bpp_, cx_, cy_}; }

 private:
  LONG cx_, cy_;
  int bpp_;
  LONG stride_ = 0;
  std::vector<uint8_t> bits_;
  HSURF hsurf_ = nullptr;
  SURFOBJ *pso_ = nullptr;
};

class StretchOracle : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }

  LONG Between(LONG lo, LONG hi) { return std::uniform_int_distribution<LONG>(lo, hi)(random_); }
  bool Chance(int percent) { return Between(0, 99) < percent; }
  void Paint(std::vector<uint8_t> &bytes) {
    // Smooth areas and noise both, so that every weight shows.
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(Chance(50) ? (i * 7) / 5 : Between(0, 255));
  }

  std::mt19937 random_{20240618};
};

TEST_F(StretchOracle, EveryGeometryGivesTheOraclesBytes) {
  for (int round = 0; round < 400; ++round) {
    const LONG sw = Between(1, 120), sh = Between(1, 120);
    Bitmap src(sw, sh, Chance(25) ? 4 : 3, Chance(70), 0);
    Paint(src.Bits());
    const LONG dw = Between(1, 150), dh = Between(1, 150);
    const int dstBpp = Chance(20) ? 4 : 3;
    const bool topDown = Chance(80);
    Bitmap engine(dw, dh, dstBpp, topDown, 0x5A), oracle(dw, dh, dstBpp, topDown, 0x5A);
    RECTL srcRect{Between(0, sw - 1), Between(0, sh - 1), 0, 0};
    srcRect.right = Between(srcRect.left + 1, sw);
    srcRect.bottom = Between(srcRect.top + 1, sh);
    // Shrinking and enlarging; now and then mirrored, or sticking out.
    const LONG w = Chance(50) ? Between(1, srcRect.right - srcRect.left) : Between(1, 3 * dw);
    const LONG h = Chance(50) ? Between(1, srcRect.bottom - srcRect.top) : Between(1, 3 * dh);
    RECTL dstRect{Between(-dw / 2, dw - 1), Between(-dh / 2, dh - 1), 0, 0};
    dstRect.right = dstRect.left + w;
    dstRect.bottom = dstRect.top + h;
    if (Chance(20)) std::swap(dstRect.left, dstRect.right);
    if (Chance(20)) std::swap(dstRect.top, dstRect.bottom);
    RECTL clip{Between(0, dw - 1), Between(0, dh - 1), 0, 0};
    clip.right = Between(clip.left + 1, dw);
    clip.bottom = Between(clip.top + 1, dh);
    CLIPOBJ clipObject{};
    clipObject.iDComplexity = DC_RECT;
    clipObject.rclBounds = clip;
    const bool halftone = Chance(75);
    const bool swap = Chance(25);
    XLATEOBJ xlate{};
    xlate.iSrcType = PAL_RGB;
    xlate.iDstType = PAL_BGR;
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << sw << "x" << sh << " [" << srcRect.left << ","
                                    << srcRect.top << "," << srcRect.right << "," << srcRect.bottom << "] -> " << dw
                                    << "x" << dh << " [" << dstRect.left << "," << dstRect.top << "," << dstRect.right
                                    << "," << dstRect.bottom << "]");
    RECTL dstCopy = dstRect, srcCopy = srcRect;
    ASSERT_TRUE(EngStretchBlt(engine.so(), src.so(), nullptr, &clipObject, swap ? &xlate : nullptr, nullptr, nullptr,
                              &dstCopy, &srcCopy, nullptr, halftone ? HALFTONE : COLORONCOLOR));
    reference::Stretch(src.Pixels(), srcRect, oracle.Pixels(), dstRect, clip, halftone, swap);
    ASSERT_EQ(engine.Bits(), oracle.Bits());
  }
}

// A page of pictures drawn band by band into one band surface, as the
// band player does: the same picture, rectangles moved up by the band's
// origin, the clip the band's rows. Several pictures alternate, so that
// the weights kept from one band must never be taken for another picture's.
TEST_F(StretchOracle, BandByBandIsThePageDrawnWhole) {
  struct Placement {
    RECTL src;
    RECTL dst;
  };
  const LONG pageWidth = 301, pageHeight = 257, band = 16;
  Bitmap picture(97, 73, 3, true, 0);
  Paint(picture.Bits());
  const Placement placements[] = {{{0, 0, 97, 73}, {0, 0, pageWidth, pageHeight}},      // enlarged
                                  {{5, 7, 90, 70}, {10, 20, 60, 50}},                   // shrunk
                                  {{0, 0, 97, 73}, {300, 250, 200, 100}},               // mirrored
                                  {{3, 0, 97, 71}, {-40, pageHeight - 30, 150, 300}}};  // cut by the page
  Bitmap oracle(pageWidth, pageHeight, 3, true, 0xFF);
  for (const Placement &p : placements) {
    reference::Stretch(picture.Pixels(), p.src, oracle.Pixels(), p.dst, {0, 0, pageWidth, pageHeight}, true, false);
  }
  Bitmap bands(pageWidth, band, 3, true, 0xFF);
  std::vector<uint8_t> page;
  for (LONG top = 0; top < pageHeight; top += band) {
    std::fill(bands.Bits().begin(), bands.Bits().end(), 0xFF);
    const LONG rows = std::min(band, pageHeight - top);
    for (const Placement &p : placements) {
      CLIPOBJ clip{};
      clip.iDComplexity = DC_RECT;
      clip.rclBounds = {0, 0, pageWidth, rows};
      RECTL dst{p.dst.left, p.dst.top - top, p.dst.right, p.dst.bottom - top};
      RECTL src = p.src;
      ASSERT_TRUE(EngStretchBlt(bands.so(), picture.so(), nullptr, &clip, nullptr, nullptr, nullptr, &dst, &src,
                                nullptr, HALFTONE));
    }
    const LONG stride = bands.so()->lDelta;
    page.insert(page.end(), bands.Bits().begin(), bands.Bits().begin() + size_t(stride) * size_t(rows));
  }
  EXPECT_EQ(page, oracle.Bits());
}

// Photo-sized bands, which the engine shares with a helper thread: a
// picture drawn band by band onto a 760 x 230 page, and the oracle's page.
struct PhotoCase {
  const char *name;
  LONG sw, sh;  // the picture
  RECTL dst;    // on the page
  bool turned;  // through EngPlgBlt, a quarter turn clockwise
  int dstBpp;
  bool swap;
};
constexpr LONG kPhotoPageWidth = 760, kPhotoPageHeight = 230, kPhotoBand = 100;
constexpr RECTL kWholePhotoPage{0, 0, kPhotoPageWidth, kPhotoPageHeight};

// One photo case: a random picture, the oracle's page and a band surface,
// all made when the job is made (the engine's object tables serve one
// thread at a time), so that only the stretches may run on other threads.
class PhotoJob {
 public:
  PhotoJob(const PhotoCase &c, uint32_t seed)
      : c_(c),
        picture_(c.sw, c.sh, 3, true, 0),
        diagonal_(c.turned ? c.sh : 1, c.turned ? c.sw : 1, 3, true, 0),
        oracle_(kPhotoPageWidth, kPhotoPageHeight, c.dstBpp, true, 0xFF),
        bands_(kPhotoPageWidth, kPhotoBand, c.dstBpp, true, 0xFF) {
    std::mt19937 random(seed);
    for (uint8_t &byte : picture_.Bits()) byte = static_cast<uint8_t>(random());
    // What the oracle reads: the picture itself, or, for a turn, the picture
    // mirrored along its diagonal onto a destination mirrored left to right.
    RECTL oracleDst = c.dst;
    if (c.turned) {
      for (LONG y = 0; y < c.sh; ++y) {
        for (LONG x = 0; x < c.sw; ++x) {
          const uint8_t *in = picture_.Pixels().scan0 + y * picture_.Pixels().delta + x * 3;
          std::copy(in, in + 3, diagonal_.Pixels().scan0 + x * diagonal_.Pixels().delta + y * 3);
        }
      }
      std::swap(oracleDst.left, oracleDst.right);
    }
    reference::Stretch(c.turned ? diagonal_.Pixels() : picture_.Pixels(),
                       c.turned ? RECTL{0, 0, c.sh, c.sw} : RECTL{0, 0, c.sw, c.sh}, oracle_.Pixels(), oracleDst,
                       kWholePhotoPage, true, c.swap);
  }

  const std::vector<uint8_t> &Oracle() { return oracle_.Bits(); }

  // The page drawn band by band; empty when an engine call failed.
  std::vector<uint8_t> DrawBands() {
    XLATEOBJ xlate{};
    xlate.iSrcType = PAL_RGB;
    xlate.iDstType = PAL_BGR;
    std::vector<uint8_t> page;
    for (LONG top = 0; top < kPhotoPageHeight; top += kPhotoBand) {
      std::fill(bands_.Bits().begin(), bands_.Bits().end(), 0xFF);
      const LONG rows = std::min(kPhotoBand, kPhotoPageHeight - top);
      CLIPOBJ clip{};
      clip.iDComplexity = DC_RECT;
      clip.rclBounds = {0, 0, kPhotoPageWidth, rows};
      RECTL src{0, 0, c_.sw, c_.sh};
      const RECTL &d = c_.dst;
      bool drawn;
      if (c_.turned) {
        std::array<POINTFIX, 3> corners{POINTFIX{d.right * 16, (d.top - top) * 16},
                                        POINTFIX{d.right * 16, (d.bottom - top) * 16},
                                        POINTFIX{d.left * 16, (d.top - top) * 16}};
        drawn = EngPlgBlt(bands_.so(), picture_.so(), nullptr, &clip, nullptr, nullptr, nullptr, corners.data(), &src,
                          nullptr, HALFTONE);
      } else {
        RECTL dst{d.left, d.top - top, d.right, d.bottom - top};
        drawn = EngStretchBlt(bands_.so(), picture_.so(), nullptr, &clip, c_.swap ? &xlate : nullptr, nullptr, nullptr,
                              &dst, &src, nullptr, HALFTONE);
      }
      if (!drawn) return {};
      page.insert(page.end(), bands_.Bits().begin(),
                  bands_.Bits().begin() + size_t(bands_.so()->lDelta) * size_t(rows));
    }
    return page;
  }

 private:
  PhotoCase c_;
  Bitmap picture_, diagonal_, oracle_, bands_;
};

class PhotoBands : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }
};

// A shrink by a few percent (where a third source pixel is rarely touched),
// a stronger shrink, an enlargement, a mirror, a turned picture and a
// 32-bit destination with red and blue swapped.
TEST_F(PhotoBands, EveryKindGivesTheOraclesBytes) {
  const PhotoCase cases[] = {
      {"shrunk 1.4%", 771, 240, kWholePhotoPage, false, 3, false},
      {"shrunk to 60%", 1270, 384, kWholePhotoPage, false, 3, false},
      {"enlarged", 400, 120, {-5, -3, kPhotoPageWidth + 5, kPhotoPageHeight + 3}, false, 3, false},
      {"mirrored", 800, 250, {kPhotoPageWidth, kPhotoPageHeight, 0, 0}, false, 3, false},
      {"turned", 240, 780, kWholePhotoPage, true, 3, false},
      {"32-bit, swapped", 790, 236, kWholePhotoPage, false, 4, true},
  };
  for (const PhotoCase &c : cases) {
    SCOPED_TRACE(c.name);
    PhotoJob job(c, 20261208);
    const std::vector<uint8_t> page = job.DrawBands();
    ASSERT_FALSE(page.empty());
    EXPECT_EQ(page, job.Oracle());
  }
}

// The helper serves one stretch at a time: two threads stretching at once
// (one of them blending alone), and a forked process (which has no helper
// thread of its own), each get the oracle's bytes.
TEST_F(PhotoBands, StretchesAtOnceAndInAForkedProcessGiveTheOraclesBytes) {
  const PhotoCase c{"shrunk 1.4%", 771, 240, kWholePhotoPage, false, 3, false};
  PhotoJob first(c, 1), second(c, 2);
  ASSERT_EQ(first.DrawBands(), first.Oracle());  // the helper thread is running
  for (int round = 0; round < 4; ++round) {
    std::vector<uint8_t> other;
    std::thread thread([&] { other = second.DrawBands(); });
    const std::vector<uint8_t> page = first.DrawBands();
    thread.join();
    EXPECT_EQ(page, first.Oracle());
    EXPECT_EQ(other, second.Oracle());
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) _exit(second.DrawBands() == second.Oracle() ? 0 : 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// A quarter turn through EngPlgBlt reads the picture's columns as rows: the
// oracle stretches the picture mirrored along its diagonal onto the
// destination mirrored left to right, which together turn it.
TEST_F(StretchOracle, QuarterTurnsAreTheMirroredPictureStretched) {
  for (int round = 0; round < 60; ++round) {
    const LONG sw = Between(1, 60), sh = Between(1, 60);
    Bitmap src(sw, sh, 3, true, 0);
    Paint(src.Bits());
    Bitmap diagonal(sh, sw, 3, true, 0);
    for (LONG y = 0; y < sh; ++y) {
      for (LONG x = 0; x < sw; ++x) {
        const uint8_t *in = src.Pixels().scan0 + y * src.Pixels().delta + x * 3;
        std::copy(in, in + 3, diagonal.Pixels().scan0 + x * diagonal.Pixels().delta + y * 3);
      }
    }
    const LONG dw = Between(1, 90), dh = Between(1, 90);
    Bitmap engine(dw, dh, 3, true, 0x11), oracle(dw, dh, 3, true, 0x11);
    const LONG left = Between(-10, dw - 1), top = Between(-10, dh - 1);
    const LONG right = left + Between(1, 80), bottom = top + Between(1, 80);
    // Top-left, top-right and bottom-left of the source, turned clockwise.
    std::array<POINTFIX, 3> corners{POINTFIX{right * 16, top * 16}, POINTFIX{right * 16, bottom * 16},
                                    POINTFIX{left * 16, top * 16}};
    RECTL srcRect{0, 0, sw, sh};
    const bool halftone = Chance(70);
    SCOPED_TRACE(testing::Message() << "round " << round);
    ASSERT_TRUE(EngPlgBlt(engine.so(), src.so(), nullptr, nullptr, nullptr, nullptr, nullptr, corners.data(), &srcRect,
                          nullptr, halftone ? HALFTONE : COLORONCOLOR));
    reference::Stretch(diagonal.Pixels(), {0, 0, sh, sw}, oracle.Pixels(), {right, top, left, bottom}, {0, 0, dw, dh},
                       halftone, false);
    ASSERT_EQ(engine.Bits(), oracle.Bits());
  }
}

}  // namespace
