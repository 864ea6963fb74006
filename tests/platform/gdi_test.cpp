// Tests of the graphics engine: bitmap layouts, checked handles, erasing,
// the quality and clipping of halftone stretching, parallelogram blts, the
// abort check, and the band player driving a small fake driver whose hooks
// record what the engine asks of them and assemble the page it renders.
#include <gtest/gtest.h>
#include <platform/engine.h>
#include <platform/testing.h>
#include <winspool.h>
#include <scoped_handle.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr DWORD kSentinelError = 0xdeadbeef;
using Rgb = std::array<uint8_t, 3>;

// A bitmap surface owned by a test, locked for its whole life.
class TestBitmap {
 public:
  TestBitmap(LONG cx, LONG cy, FLONG fl = BMF_TOPDOWN, ULONG format = BMF_24BPP, void *bits = nullptr,
             LONG lWidth = 0) {
    hsurf_ = reinterpret_cast<HSURF>(EngCreateBitmap({cx, cy}, lWidth, format, fl, bits));
    if (hsurf_ != nullptr) pso_ = EngLockSurface(hsurf_);
  }
  ~TestBitmap() {
    if (pso_ != nullptr) EngUnlockSurface(pso_);
    if (hsurf_ != nullptr) EngDeleteSurface(hsurf_);
  }
  TestBitmap(const TestBitmap &) = delete;
  TestBitmap &operator=(const TestBitmap &) = delete;

  SURFOBJ *so() const { return pso_; }
  HSURF handle() const { return hsurf_; }
  int bpp() const { return pso_->iBitmapFormat == BMF_32BPP ? 4 : 3; }
  uint8_t *At(LONG x, LONG y) const {
    return static_cast<uint8_t *>(pso_->pvScan0) + static_cast<ptrdiff_t>(y) * pso_->lDelta + x * bpp();
  }
  Rgb Get(LONG x, LONG y) const { return {At(x, y)[0], At(x, y)[1], At(x, y)[2]}; }
  void Set(LONG x, LONG y, Rgb c) const { std::memcpy(At(x, y), c.data(), 3); }
  void Fill(Rgb c) const {
    for (LONG y = 0; y < pso_->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < pso_->sizlBitmap.cx; ++x) Set(x, y, c);
    }
  }
  // Packed rows, 3 bytes a pixel, as a page image.
  std::vector<uint8_t> Packed() const {
    std::vector<uint8_t> out;
    for (LONG y = 0; y < pso_->sizlBitmap.cy; ++y) {
      for (LONG x = 0; x < pso_->sizlBitmap.cx; ++x) out.insert(out.end(), At(x, y), At(x, y) + 3);
    }
    return out;
  }

 private:
  HSURF hsurf_ = nullptr;
  SURFOBJ *pso_ = nullptr;
};

CLIPOBJ RectClip(RECTL r) {
  CLIPOBJ clip{};
  clip.iDComplexity = DC_RECT;
  clip.rclBounds = r;
  return clip;
}

BOOL Stretch(const TestBitmap &dst, const TestBitmap &src, RECTL dstRect, RECTL srcRect, ULONG mode,
             CLIPOBJ *clip = nullptr, XLATEOBJ *xlate = nullptr) {
  return EngStretchBlt(dst.so(), src.so(), nullptr, clip, xlate, nullptr, nullptr, &dstRect, &srcRect, nullptr, mode);
}

class GdiTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ResetMachine(); }
  void TearDown() override { platform::ResetMachine(); }
};

// --- Bitmaps and handles ----------------------------------------------------

TEST_F(GdiTest, BitmapRowsArePaddedAndOrientedAsAsked) {
  TestBitmap topDown(5, 3, BMF_TOPDOWN);
  ASSERT_NE(topDown.so(), nullptr);
  EXPECT_EQ(topDown.so()->lDelta, 16) << "15 bytes of pixels padded to 4";
  EXPECT_EQ(topDown.so()->pvScan0, topDown.so()->pvBits);
  EXPECT_EQ(topDown.so()->cjBits, 48u);
  EXPECT_EQ(topDown.so()->hsurf, topDown.handle());
  const auto *bits = static_cast<const uint8_t *>(topDown.so()->pvBits);
  EXPECT_TRUE(std::all_of(bits, bits + 48, [](uint8_t b) { return b == 0; }));

  TestBitmap bottomUp(5, 3, 0);
  EXPECT_EQ(bottomUp.so()->lDelta, -16);
  EXPECT_EQ(bottomUp.so()->pvScan0, static_cast<uint8_t *>(bottomUp.so()->pvBits) + 32) << "row 0 is last";

  TestBitmap wide(5, 3, 0, BMF_32BPP);
  EXPECT_EQ(wide.so()->lDelta, -20);

  std::vector<uint8_t> memory(3 * 24, 0xAB);
  TestBitmap caller(5, 3, BMF_TOPDOWN, BMF_24BPP, memory.data(), 24);
  EXPECT_EQ(caller.so()->pvScan0, memory.data());
  EXPECT_EQ(caller.so()->lDelta, 24);
  EXPECT_EQ(memory[0], 0xAB) << "the caller's memory is not cleared";
  EXPECT_EQ(platform::Live().surfaces, 4u);
}

TEST_F(GdiTest, BitmapCreationRefusesWhatItCannotHold) {
  std::vector<uint8_t> memory(64);
  const struct {
    SIZEL size;
    LONG lWidth;
    ULONG format;
    void *bits;
  } bad[] = {
      {{4, 4}, 0, BMF_8BPP, nullptr},
      {{4, 4}, 0, BMF_16BPP, nullptr},
      {{0, 4}, 0, BMF_24BPP, nullptr},
      {{4, -1}, 0, BMF_24BPP, nullptr},
      {{4, 4}, -12, BMF_24BPP, nullptr},
      {{4, 4}, 11, BMF_24BPP, memory.data()},
      {{1 << 20, 1 << 20}, 0, BMF_24BPP, nullptr},
  };
  for (const auto &b : bad) {
    SetLastError(kSentinelError);
    EXPECT_EQ(EngCreateBitmap(b.size, b.lWidth, b.format, BMF_TOPDOWN, b.bits), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  }
  EXPECT_EQ(platform::CallCount(platform::Fault::EngCreateBitmap), 0u) << "rejected calls take nothing";
  EXPECT_EQ(platform::Live().surfaces, 0u);
}

TEST_F(GdiTest, InjectedFailuresHitTheNamedCallOnly) {
  platform::FailNthCall(platform::Fault::EngCreateBitmap, 2);
  TestBitmap first(2, 2), second(2, 2), third(2, 2);
  EXPECT_NE(first.so(), nullptr);
  EXPECT_EQ(second.handle(), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_NE(third.so(), nullptr);
  EXPECT_EQ(platform::CallCount(platform::Fault::EngCreateBitmap), 3u);
  EXPECT_EQ(platform::Live().surfaces, 2u);

  platform::FailNthCall(platform::Fault::EngCreatePalette, 1);
  SetLastError(kSentinelError);
  EXPECT_EQ(EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  HPALETTE hpal = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  EXPECT_NE(hpal, nullptr);
  EXPECT_EQ(platform::Live().palettes, 1u);
  EXPECT_TRUE(EngDeletePalette(hpal));
  EXPECT_EQ(platform::Live().palettes, 0u);
}

TEST_F(GdiTest, PalettesAcceptTheDirectAndIndexedModesOnly) {
  ULONG colors[2] = {0x000000, 0xFFFFFF};
  std::vector<HPALETTE> made = {EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0),
                                EngCreatePalette(PAL_BGR, 0, nullptr, 0, 0, 0),
                                EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xFF0000, 0xFF00, 0xFF),
                                EngCreatePalette(PAL_INDEXED, 2, colors, 0, 0, 0)};
  for (HPALETTE h : made) EXPECT_NE(h, nullptr);
  EXPECT_EQ(EngCreatePalette(0, 0, nullptr, 0, 0, 0), nullptr);
  EXPECT_EQ(EngCreatePalette(PAL_BITFIELDS, 0, nullptr, 0xFF0000, 0, 0xFF), nullptr);
  EXPECT_EQ(EngCreatePalette(PAL_INDEXED, 0, colors, 0, 0, 0), nullptr);
  EXPECT_EQ(platform::CallCount(platform::Fault::EngCreatePalette), 4u);
  for (HPALETTE h : made) EXPECT_TRUE(EngDeletePalette(h));
}

TEST_F(GdiTest, StaleForgedAndMismatchedHandlesAreRefused) {
  HBITMAP hbm = EngCreateBitmap({2, 2}, 0, BMF_24BPP, 0, nullptr);
  HSURF hsurf = reinterpret_cast<HSURF>(hbm);
  HPALETTE hpal = EngCreatePalette(PAL_RGB, 0, nullptr, 0, 0, 0);
  platform::EngineDevice device;
  EXPECT_FALSE(EngDeletePalette(reinterpret_cast<HPALETTE>(hsurf))) << "a surface is no palette";
  EXPECT_FALSE(EngDeleteSurface(reinterpret_cast<HSURF>(hpal)));
  EXPECT_FALSE(EngAssociateSurface(hsurf, reinterpret_cast<HDEV>(hpal), HOOK_STRETCHBLT));
  EXPECT_FALSE(EngAssociateSurface(reinterpret_cast<HSURF>(0x1234), device.Handle(), 0));
  EXPECT_FALSE(EngMarkBandingSurface(nullptr));
  EXPECT_EQ(EngLockSurface(reinterpret_cast<HSURF>(intptr_t{-1})), nullptr);
  SURFOBJ foreign{};
  EngUnlockSurface(&foreign);  // not the engine's: ignored
  EngUnlockSurface(nullptr);

  EXPECT_TRUE(EngDeleteSurface(hsurf));
  SetLastError(kSentinelError);
  EXPECT_FALSE(EngDeleteSurface(hsurf)) << "deleted twice";
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  EXPECT_EQ(EngLockSurface(hsurf), nullptr);

  platform::ResetMachine();
  EXPECT_EQ(platform::Live().palettes, 0u);
  EXPECT_FALSE(EngDeletePalette(hpal)) << "handles die with their machine";
  TestBitmap fresh(2, 2);
  EXPECT_NE(fresh.handle(), hsurf) << "handle values are never reused";
}

TEST_F(GdiTest, LockedSurfaceNamesTheDeviceAndPdevItIsAssociatedWith) {
  platform::EngineDevice device;
  TestBitmap bitmap(4, 4);
  auto *pdev = reinterpret_cast<DHPDEV>(0x5000);
  device.SetPdev(pdev);
  ASSERT_TRUE(EngAssociateSurface(bitmap.handle(), device.Handle(), HOOK_STRETCHBLT));
  SURFOBJ *pso = EngLockSurface(bitmap.handle());
  EXPECT_EQ(pso, bitmap.so());
  EXPECT_EQ(pso->hdev, device.Handle());
  EXPECT_EQ(pso->dhpdev, pdev);
  EngUnlockSurface(pso);
}

// --- Erasing ----------------------------------------------------------------

TEST_F(GdiTest, EraseFillsOnlyTheClippedRectangleInMemoryByteOrder) {
  // Bottom-up rows of 4 pixels with 4 bytes of slack each, all a sentinel.
  std::vector<uint8_t> memory(3 * 16 + 8, 0xAB);
  TestBitmap bitmap(4, 3, 0, BMF_24BPP, memory.data(), 16);
  RECTL rect{-5, 1, 2, 99};
  ASSERT_TRUE(EngEraseSurface(bitmap.so(), &rect, 0x00332211));
  for (LONG y = 0; y < 3; ++y) {
    for (LONG x = 0; x < 4; ++x) {
      const bool inside = x < 2 && y >= 1;
      EXPECT_EQ(bitmap.Get(x, y), inside ? (Rgb{0x11, 0x22, 0x33}) : (Rgb{0xAB, 0xAB, 0xAB})) << x << "," << y;
    }
  }
  for (size_t row = 0; row < 3; ++row) {
    EXPECT_EQ(memory[row * 16 + 12], 0xAB) << "row slack untouched";
  }
  EXPECT_EQ(memory[3 * 16], 0xAB) << "nothing past the bitmap";

  RECTL all{0, 0, 4, 3};
  TestBitmap wide(2, 2, BMF_TOPDOWN, BMF_32BPP);
  ASSERT_TRUE(EngEraseSurface(wide.so(), &all, 0xFFFFFFFF));
  EXPECT_EQ(wide.At(1, 1)[3], 0xFF);
  EXPECT_FALSE(EngEraseSurface(nullptr, &all, 0));
  EXPECT_FALSE(EngEraseSurface(bitmap.so(), nullptr, 0));
}

// --- Stretching -------------------------------------------------------------

TEST_F(GdiTest, HalftoneKeepsAUniformPictureExactlyUniform) {
  TestBitmap src(37, 23);
  src.Fill({10, 200, 77});
  for (SIZEL size : {SIZEL{300, 7}, SIZEL{5, 3}, SIZEL{37, 23}, SIZEL{61, 2}}) {
    TestBitmap dst(size.cx, size.cy);
    ASSERT_TRUE(Stretch(dst, src, {0, 0, size.cx, size.cy}, {0, 0, 37, 23}, HALFTONE));
    for (LONG y = 0; y < size.cy; ++y) {
      for (LONG x = 0; x < size.cx; ++x) ASSERT_EQ(dst.Get(x, y), (Rgb{10, 200, 77})) << x << "," << y;
    }
  }
}

TEST_F(GdiTest, HalftoneShrinkAveragesEverySourcePixel) {
  TestBitmap checker(64, 64), lines(64, 64);
  for (LONG y = 0; y < 64; ++y) {
    for (LONG x = 0; x < 64; ++x) {
      const uint8_t c = (x + y) % 2 ? 255 : 0;
      checker.Set(x, y, {c, c, c});
      lines.Set(x, y, x % 4 == 1 ? Rgb{0, 0, 0} : Rgb{255, 255, 255});  // 1-pixel lines
    }
  }
  TestBitmap grey(16, 16), sharp(16, 16), odd(23, 23), thin(16, 16);
  ASSERT_TRUE(Stretch(grey, checker, {0, 0, 16, 16}, {0, 0, 64, 64}, HALFTONE));
  ASSERT_TRUE(Stretch(sharp, checker, {0, 0, 16, 16}, {0, 0, 64, 64}, COLORONCOLOR));
  ASSERT_TRUE(Stretch(odd, checker, {0, 0, 23, 23}, {0, 0, 64, 64}, HALFTONE));
  ASSERT_TRUE(Stretch(thin, lines, {0, 0, 16, 16}, {0, 0, 64, 64}, HALFTONE));
  for (LONG y = 0; y < 16; ++y) {
    for (LONG x = 0; x < 16; ++x) {
      EXPECT_NEAR(grey.Get(x, y)[1], 127.5, 1);
      EXPECT_TRUE(sharp.Get(x, y)[1] == 0 || sharp.Get(x, y)[1] == 255) << "nearest picks, it does not blend";
      EXPECT_NEAR(thin.Get(x, y)[0], 191.25, 1) << "every line contributes to its pixel";
    }
  }
  for (LONG y = 0; y < 23; ++y) {
    for (LONG x = 0; x < 23; ++x) EXPECT_NEAR(odd.Get(x, y)[2], 127.5, 12) << "no aliasing at 64:23";
  }
}

TEST_F(GdiTest, HalftoneEnlargementIsASmoothMonotonicRamp) {
  TestBitmap src(2, 2);
  src.Set(0, 0, {0, 0, 0});
  src.Set(1, 0, {100, 100, 100});
  src.Set(0, 1, {100, 100, 100});
  src.Set(1, 1, {200, 200, 200});
  TestBitmap dst(16, 16);
  ASSERT_TRUE(Stretch(dst, src, {0, 0, 16, 16}, {0, 0, 2, 2}, HALFTONE));
  std::vector<uint8_t> diagonal;
  for (LONG i = 0; i < 16; ++i) {
    diagonal.push_back(dst.Get(i, i)[0]);
    for (LONG j = 1; j < 16; ++j) {
      EXPECT_LE(dst.Get(j - 1, i)[0], dst.Get(j, i)[0]) << "row " << i;
      EXPECT_LE(dst.Get(i, j - 1)[0], dst.Get(i, j)[0]) << "column " << i;
    }
  }
  EXPECT_EQ(diagonal.front(), 0);
  EXPECT_EQ(diagonal.back(), 200);
  diagonal.erase(std::unique(diagonal.begin(), diagonal.end()), diagonal.end());
  EXPECT_GE(diagonal.size(), 8u) << "a ramp, not two blocks";
}

TEST_F(GdiTest, InvertedRectanglesMirror) {
  TestBitmap src(3, 2);
  const Rgb a{1, 1, 1}, b{2, 2, 2}, c{3, 3, 3}, d{4, 4, 4}, e{5, 5, 5}, f{6, 6, 6};
  src.Set(0, 0, a), src.Set(1, 0, b), src.Set(2, 0, c), src.Set(0, 1, d), src.Set(1, 1, e), src.Set(2, 1, f);
  TestBitmap dst(3, 2);
  ASSERT_TRUE(Stretch(dst, src, {3, 2, 0, 0}, {0, 0, 3, 2}, COLORONCOLOR));
  EXPECT_EQ(dst.Get(0, 0), f);
  EXPECT_EQ(dst.Get(2, 1), a);
  ASSERT_TRUE(Stretch(dst, src, {3, 0, 0, 2}, {3, 0, 0, 2}, HALFTONE)) << "two mirrors cancel";
  EXPECT_EQ(dst.Get(0, 0), a);
  EXPECT_EQ(dst.Get(2, 1), f);
}

TEST_F(GdiTest, ClippedStretchWritesOnlyInsideTheClipAndMatchesTheWhole) {
  TestBitmap src(50, 40);
  for (LONG y = 0; y < 40; ++y) {
    for (LONG x = 0; x < 50; ++x) src.Set(x, y, {uint8_t(x * 5), uint8_t(y * 6), uint8_t((x * y) % 251)});
  }
  const RECTL dstRect{-4, 3, 69, 64};  // sticks out of the surface on the left
  TestBitmap whole(60, 61), bands(60, 61);
  whole.Fill({9, 9, 9});
  bands.Fill({9, 9, 9});
  ASSERT_TRUE(Stretch(whole, src, dstRect, {0, 0, 50, 40}, HALFTONE));
  for (LONG top = 0; top < 61; top += 10) {
    CLIPOBJ band = RectClip({0, top, 60, top + 10});
    ASSERT_TRUE(Stretch(bands, src, dstRect, {0, 0, 50, 40}, HALFTONE, &band));
  }
  EXPECT_EQ(whole.Packed(), bands.Packed()) << "band seams are invisible";

  TestBitmap clipped(60, 61);
  clipped.Fill({9, 9, 9});
  CLIPOBJ clip = RectClip({10, 20, 30, 25});
  ASSERT_TRUE(Stretch(clipped, src, dstRect, {0, 0, 50, 40}, HALFTONE, &clip));
  for (LONG y = 0; y < 61; ++y) {
    for (LONG x = 0; x < 60; ++x) {
      const bool inside = x >= 10 && x < 30 && y >= 20 && y < 25;
      EXPECT_EQ(clipped.Get(x, y), (inside ? whole.Get(x, y) : Rgb{9, 9, 9})) << x << "," << y;
    }
  }
}

TEST_F(GdiTest, StretchTranslatesPalettesAndReadsOverlappingSourcesFirst) {
  TestBitmap src(2, 1);
  src.Set(0, 0, {1, 2, 3});
  src.Set(1, 0, {4, 5, 6});
  TestBitmap dst(2, 1);
  XLATEOBJ xlate{};
  xlate.iSrcType = PAL_RGB;
  xlate.iDstType = PAL_BGR;
  ASSERT_TRUE(Stretch(dst, src, {0, 0, 2, 1}, {0, 0, 2, 1}, COLORONCOLOR, nullptr, &xlate));
  EXPECT_EQ(dst.Get(0, 0), (Rgb{3, 2, 1}));

  // Shift a row right by one within the same surface.
  TestBitmap row(4, 1);
  for (LONG x = 0; x < 4; ++x) row.Set(x, 0, {uint8_t(x + 1), 0, 0});
  ASSERT_TRUE(Stretch(row, row, {1, 0, 4, 1}, {0, 0, 3, 1}, COLORONCOLOR));
  EXPECT_EQ(row.Get(1, 0)[0], 1);
  EXPECT_EQ(row.Get(2, 0)[0], 2);
  EXPECT_EQ(row.Get(3, 0)[0], 3);
}

TEST_F(GdiTest, StretchRefusesWhatItDoesNotOffer) {
  TestBitmap src(4, 4), dst(4, 4);
  RECTL all{0, 0, 4, 4};
  RECTL outside{2, 2, 5, 4};
  RECTL empty{1, 1, 1, 3};
  CLIPOBJ complex = RectClip(all);
  complex.iDComplexity = DC_COMPLEX;
  XLATEOBJ indexed{};
  indexed.iSrcType = PAL_INDEXED;
  EXPECT_FALSE(Stretch(dst, src, all, outside, HALFTONE));
  EXPECT_FALSE(Stretch(dst, src, all, empty, HALFTONE));
  EXPECT_FALSE(Stretch(dst, src, all, all, 0));
  EXPECT_FALSE(Stretch(dst, src, all, all, HALFTONE, &complex));
  EXPECT_FALSE(Stretch(dst, src, all, all, HALFTONE, nullptr, &indexed));
  EXPECT_FALSE(
      EngStretchBlt(dst.so(), src.so(), src.so(), nullptr, nullptr, nullptr, nullptr, &all, &all, nullptr, HALFTONE))
      << "masks";
  EXPECT_FALSE(
      EngStretchBlt(dst.so(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &all, &all, nullptr, HALFTONE));
  EXPECT_FALSE(EngStretchBltROP(dst.so(), src.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &all, &all, nullptr,
                                HALFTONE, nullptr, 0x6666));
  EXPECT_TRUE(EngStretchBltROP(dst.so(), src.so(), nullptr, nullptr, nullptr, nullptr, nullptr, &all, &all, nullptr,
                               HALFTONE, nullptr, 0xCCCC));
}

// --- Parallelograms ---------------------------------------------------------

POINTFIX Fix(LONG x, LONG y) { return {x * 16, y * 16}; }

BOOL Plg(const TestBitmap &dst, const TestBitmap &src, std::array<POINTFIX, 3> p, RECTL srcRect, ULONG mode,
         CLIPOBJ *clip = nullptr) {
  return EngPlgBlt(dst.so(), src.so(), nullptr, clip, nullptr, nullptr, nullptr, p.data(), &srcRect, nullptr, mode);
}

TEST_F(GdiTest, PlgBltTurnsAndStretchesExactly) {
  TestBitmap src(3, 2);
  for (LONG y = 0; y < 2; ++y) {
    for (LONG x = 0; x < 3; ++x) src.Set(x, y, {uint8_t(10 * y + x), 0, 0});
  }
  // A quarter turn clockwise: the source's top row becomes the right column.
  TestBitmap turned(2, 3);
  ASSERT_TRUE(Plg(turned, src, {Fix(2, 0), Fix(2, 3), Fix(0, 0)}, {0, 0, 3, 2}, COLORONCOLOR));
  for (LONG y = 0; y < 2; ++y) {
    for (LONG x = 0; x < 3; ++x) EXPECT_EQ(turned.Get(1 - y, x)[0], 10 * y + x) << x << "," << y;
  }
  // Upright: the same pixels as a stretch.
  TestBitmap viaPlg(9, 8), viaStretch(9, 8);
  ASSERT_TRUE(Plg(viaPlg, src, {Fix(1, 1), Fix(8, 1), Fix(1, 7)}, {0, 0, 3, 2}, HALFTONE));
  ASSERT_TRUE(Stretch(viaStretch, src, {1, 1, 8, 7}, {0, 0, 3, 2}, HALFTONE));
  EXPECT_EQ(viaPlg.Packed(), viaStretch.Packed());
}

TEST_F(GdiTest, PlgBltMapsAGeneralParallelogramInsideItsClip) {
  TestBitmap src(8, 8);
  src.Fill({200, 100, 50});
  TestBitmap dst(20, 20);
  dst.Fill({0, 0, 0});
  // A diamond: the square turned 45 degrees around (10, 10).
  const std::array<POINTFIX, 3> diamond{POINTFIX{10 * 16, 2 * 16}, POINTFIX{18 * 16, 10 * 16},
                                        POINTFIX{2 * 16, 10 * 16}};
  CLIPOBJ clip = RectClip({0, 0, 20, 10});
  ASSERT_TRUE(Plg(dst, src, diamond, {0, 0, 8, 8}, HALFTONE, &clip));
  EXPECT_EQ(dst.Get(10, 5), (Rgb{200, 100, 50}));
  EXPECT_EQ(dst.Get(10, 15), (Rgb{0, 0, 0})) << "below the clip";
  EXPECT_EQ(dst.Get(3, 3), (Rgb{0, 0, 0})) << "outside the diamond";
  const std::array<POINTFIX, 3> flat{Fix(1, 1), Fix(1, 1), Fix(1, 1)};
  EXPECT_TRUE(Plg(dst, src, flat, {0, 0, 8, 8}, HALFTONE)) << "covers nothing";
}

// --- Abort ------------------------------------------------------------------

// A printer on the machine, its handle closed at the end.
class TestPrinter {
 public:
  TestPrinter() {
    char name[] = "Fake Driver", path[] = "fake.dll", printer[] = "Fake Printer", port[] = "LPT1:";
    DRIVER_INFO_2A driver{3, name, nullptr, path, path, path};
    EXPECT_TRUE(AddPrinterDriverA(nullptr, 2, reinterpret_cast<LPBYTE>(&driver)));
    PRINTER_INFO_2A info{};
    info.pPrinterName = printer;
    info.pPortName = port;
    info.pDriverName = name;
    handle_.reset(AddPrinterA(nullptr, 2, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_NE(handle_.get(), nullptr);
  }
  HANDLE handle() const { return handle_.get(); }

 private:
  kvt::ScopedPrinter handle_;
};

TEST_F(GdiTest, CheckAbortReportsInjectedAbortsAndCancelledJobs) {
  platform::AbortAtCheck(3);
  EXPECT_FALSE(EngCheckAbort(nullptr));
  EXPECT_FALSE(EngCheckAbort(nullptr));
  EXPECT_TRUE(EngCheckAbort(nullptr));
  EXPECT_TRUE(EngCheckAbort(nullptr)) << "and every later check";
  platform::AbortAtCheck(0);
  EXPECT_FALSE(EngCheckAbort(nullptr));
  platform::AbortAtCheck(1);
  platform::ResetMachine();
  EXPECT_FALSE(EngCheckAbort(nullptr)) << "a fresh machine has no abort pending";

  TestPrinter printer;
  platform::EngineDevice device(printer.handle());
  TestBitmap bitmap(2, 2);
  ASSERT_TRUE(EngAssociateSurface(bitmap.handle(), device.Handle(), 0));
  SURFOBJ *pso = EngLockSurface(bitmap.handle());
  WCHAR docName[] = L"doc";
  DOC_INFO_1W doc{docName, nullptr, nullptr};
  const DWORD job = StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&doc));
  ASSERT_NE(job, 0u);
  EXPECT_FALSE(EngCheckAbort(pso));
  ASSERT_TRUE(SetJobW(printer.handle(), job, 0, nullptr, JOB_CONTROL_CANCEL));
  EXPECT_TRUE(EngCheckAbort(pso));
  EngUnlockSurface(pso);
  EndDocPrinter(printer.handle());
}

// --- Band player ------------------------------------------------------------

// A driver small enough to read: a page of kPageWidth x pageHeight pixels,
// bands of kBandHeight rows on a bottom-up surface. DrvNextBand packs each
// band into `page`, so a test sees the page exactly as a printer would.
constexpr LONG kPageWidth = 12;
constexpr LONG kBandHeight = 10;

struct FakePdev {
  HDEV hdev = nullptr;
  HSURF hsurf = nullptr;
  HPALETTE hpal = nullptr;
  LONG height = 0;
  LONG nextBand = 0;
};

struct FakeDriver {
  // Behaviour
  LONG pageHeight = 35;
  FLONG hooks = HOOK_STRETCHBLT | HOOK_STRETCHBLTROP | HOOK_PLGBLT;
  bool banding = true;
  ULONG paletteMode = PAL_RGB;
  bool failEnablePdev = false;
  bool failStretchBlt = false;
  bool endlessBands = false;
  // What the engine did
  std::vector<std::string> calls;
  std::vector<uint8_t> page;
  std::vector<LONG> bandTops;
  std::vector<RECTL> bltClips;
  std::vector<ULONG> bltModes;
  bool badSurfaceSeen = false;
  bool drawnBelowPage = false;
  DWORD jobId = 0;
  FLONG endDocFlags = 0;
};
FakeDriver *fake = nullptr;

FakePdev *PdevOf(SURFOBJ *pso) {
  auto *pdev = reinterpret_cast<FakePdev *>(pso != nullptr ? pso->dhpdev : nullptr);
  if (pdev == nullptr || pso->hdev != pdev->hdev) fake->badSurfaceSeen = true;
  return pdev;
}

void EraseWhite(SURFOBJ *pso) {
  RECTL all{0, 0, pso->sizlBitmap.cx, pso->sizlBitmap.cy};
  EngEraseSurface(pso, &all, 0xFFFFFFFF);
}

void PackRows(SURFOBJ *pso, LONG top, LONG rows) {
  for (LONG r = 0; r < rows; ++r) {
    const uint8_t *line = static_cast<const uint8_t *>(pso->pvScan0) + static_cast<ptrdiff_t>(r) * pso->lDelta;
    std::memcpy(&fake->page[static_cast<size_t>(top + r) * kPageWidth * 3], line, kPageWidth * 3);
  }
}

DHPDEV APIENTRY FakeEnablePdev(DEVMODEW *pdm, LPWSTR, ULONG, HSURF *, ULONG cjCaps, ULONG *pdevcaps, ULONG cjDevInfo,
                               DEVINFO *pdi, HDEV, LPWSTR, HANDLE) {
  fake->calls.push_back("EnablePDEV");
  if (fake->failEnablePdev || cjCaps < sizeof(GDIINFO) || cjDevInfo < sizeof(DEVINFO)) return nullptr;
  auto *pdev = new FakePdev;
  // Landscape settings make a page twice as tall, so a reset is visible.
  pdev->height = pdm != nullptr && pdm->dmOrientation == DMORIENT_LANDSCAPE ? 2 * fake->pageHeight : fake->pageHeight;
  pdev->hpal = EngCreatePalette(fake->paletteMode, 0, nullptr, 0, 0, 0);
  auto *gdiInfo = reinterpret_cast<GDIINFO *>(pdevcaps);
  gdiInfo->ulHorzRes = kPageWidth;
  gdiInfo->ulVertRes = static_cast<ULONG>(pdev->height);
  pdi->hpalDefault = pdev->hpal;
  return reinterpret_cast<DHPDEV>(pdev);
}

VOID APIENTRY FakeCompletePdev(DHPDEV dhpdev, HDEV hdev) {
  fake->calls.push_back("CompletePDEV");
  reinterpret_cast<FakePdev *>(dhpdev)->hdev = hdev;
}

BOOL APIENTRY FakeResetPdev(DHPDEV, DHPDEV) {
  fake->calls.push_back("ResetPDEV");
  return TRUE;
}

VOID APIENTRY FakeDisablePdev(DHPDEV dhpdev) {
  fake->calls.push_back("DisablePDEV");
  auto *pdev = reinterpret_cast<FakePdev *>(dhpdev);
  EngDeletePalette(pdev->hpal);
  delete pdev;
}

HSURF APIENTRY FakeEnableSurface(DHPDEV dhpdev) {
  fake->calls.push_back("EnableSurface");
  auto *pdev = reinterpret_cast<FakePdev *>(dhpdev);
  const LONG rows = fake->banding ? kBandHeight : pdev->height;
  pdev->hsurf = reinterpret_cast<HSURF>(EngCreateBitmap({kPageWidth, rows}, 0, BMF_24BPP, 0, nullptr));
  if (pdev->hsurf == nullptr) return nullptr;
  EngAssociateSurface(pdev->hsurf, pdev->hdev, fake->hooks);
  if (fake->banding) EngMarkBandingSurface(pdev->hsurf);
  return pdev->hsurf;
}

VOID APIENTRY FakeDisableSurface(DHPDEV dhpdev) {
  fake->calls.push_back("DisableSurface");
  EngDeleteSurface(reinterpret_cast<FakePdev *>(dhpdev)->hsurf);
}

BOOL APIENTRY FakeStartDoc(SURFOBJ *pso, LPWSTR, DWORD jobId) {
  fake->calls.push_back("StartDoc");
  PdevOf(pso);
  fake->jobId = jobId;
  return TRUE;
}

BOOL APIENTRY FakeEndDoc(SURFOBJ *pso, FLONG fl) {
  fake->calls.push_back("EndDoc");
  PdevOf(pso);
  fake->endDocFlags = fl;
  return TRUE;
}

BOOL APIENTRY FakeStartPage(SURFOBJ *pso) {
  fake->calls.push_back("StartPage");
  fake->page.assign(static_cast<size_t>(PdevOf(pso)->height) * kPageWidth * 3, 0);
  EraseWhite(pso);
  return TRUE;
}

BOOL APIENTRY FakeSendPage(SURFOBJ *pso) {
  fake->calls.push_back("SendPage");
  PackRows(pso, 0, PdevOf(pso)->height);
  return TRUE;
}

BOOL APIENTRY FakeStartBanding(SURFOBJ *pso, POINTL *pptl) {
  fake->calls.push_back("StartBanding");
  PdevOf(pso)->nextBand = 0;
  EraseWhite(pso);
  *pptl = {0, 0};
  return TRUE;
}

BOOL APIENTRY FakeNextBand(SURFOBJ *pso, POINTL *pptl) {
  fake->calls.push_back("NextBand");
  FakePdev *pdev = PdevOf(pso);
  if (EngCheckAbort(pso)) {
    *pptl = {-1, -1};
    return FALSE;
  }
  const LONG top = pdev->nextBand;
  const LONG rows = std::clamp<LONG>(pdev->height - top, 0, kBandHeight);
  fake->bandTops.push_back(top);
  PackRows(pso, top, rows);
  for (LONG r = rows; r < kBandHeight; ++r) {
    const uint8_t *line = static_cast<const uint8_t *>(pso->pvScan0) + static_cast<ptrdiff_t>(r) * pso->lDelta;
    if (!std::all_of(line, line + kPageWidth * 3, [](uint8_t b) { return b == 0xFF; })) fake->drawnBelowPage = true;
  }
  EraseWhite(pso);
  pdev->nextBand += kBandHeight;
  *pptl = fake->endlessBands || pdev->nextBand < pdev->height ? POINTL{0, pdev->nextBand} : POINTL{-1, -1};
  return TRUE;
}

void RecordBlt(const char *name, CLIPOBJ *pco, ULONG iMode) {
  fake->calls.push_back(name);
  fake->bltClips.push_back(pco != nullptr ? pco->rclBounds : RECTL{});
  fake->bltModes.push_back(iMode);
}

// As the real driver does: every stretch becomes a halftone one.
BOOL APIENTRY FakeStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                             COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                             ULONG iMode) {
  RecordBlt("StretchBlt", pco, iMode);
  PdevOf(psoDest);
  if (fake->failStretchBlt) return FALSE;
  return EngStretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, HALFTONE);
}

BOOL APIENTRY FakeStretchBltROP(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                                COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc,
                                POINTL *pptlMask, ULONG iMode, BRUSHOBJ *pbo, ROP4 rop4) {
  RecordBlt("StretchBltROP", pco, iMode);
  return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask, HALFTONE,
                          pbo, rop4);
}

BOOL APIENTRY FakePlgBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMsk, CLIPOBJ *pco, XLATEOBJ *pxlo,
                         COLORADJUSTMENT *pca, POINTL *pptlBrushOrg, POINTFIX *pptfx, RECTL *prcl, POINTL *pptl,
                         ULONG iMode) {
  RecordBlt("PlgBlt", pco, iMode);
  return EngPlgBlt(psoTrg, psoSrc, psoMsk, pco, pxlo, pca, pptlBrushOrg, pptfx, prcl, pptl, HALFTONE);
}

template <typename Fn>
DRVFN Entry(ULONG index, Fn fn) {
  return {index, reinterpret_cast<PFN>(reinterpret_cast<void (*)()>(fn))};
}

BOOL APIENTRY FakeEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded) {
  static const DRVFN table[] = {
      Entry(INDEX_DrvEnablePDEV, &FakeEnablePdev),
      Entry(INDEX_DrvCompletePDEV, &FakeCompletePdev),
      Entry(INDEX_DrvResetPDEV, &FakeResetPdev),
      Entry(INDEX_DrvDisablePDEV, &FakeDisablePdev),
      Entry(INDEX_DrvEnableSurface, &FakeEnableSurface),
      Entry(INDEX_DrvDisableSurface, &FakeDisableSurface),
      Entry(INDEX_DrvStartDoc, &FakeStartDoc),
      Entry(INDEX_DrvEndDoc, &FakeEndDoc),
      Entry(INDEX_DrvStartPage, &FakeStartPage),
      Entry(INDEX_DrvSendPage, &FakeSendPage),
      Entry(INDEX_DrvStartBanding, &FakeStartBanding),
      Entry(INDEX_DrvNextBand, &FakeNextBand),
      Entry(INDEX_DrvStretchBlt, &FakeStretchBlt),
      Entry(INDEX_DrvStretchBltROP, &FakeStretchBltROP),
      Entry(INDEX_DrvPlgBlt, &FakePlgBlt),
  };
  if (iEngineVersion < DDI_DRIVER_VERSION_NT5 || cj < sizeof(DRVENABLEDATA)) return FALSE;
  pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
  pded->c = sizeof(table) / sizeof(table[0]);
  pded->pdrvfn = const_cast<DRVFN *>(table);
  return TRUE;
}

std::shared_ptr<platform::Picture> Gradient(int width, int height) {
  auto picture = std::make_shared<platform::Picture>();
  picture->width = width;
  picture->height = height;
  picture->rgb.resize(static_cast<size_t>(width) * height * 3);
  uint8_t *pixel = picture->rgb.data();
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      *pixel++ = uint8_t(x * 20);
      *pixel++ = uint8_t(y * 9);
      *pixel++ = uint8_t(255 - x * y);
    }
  }
  return picture;
}

class BandPlayerTest : public GdiTest {
 protected:
  void SetUp() override {
    GdiTest::SetUp();
    fake = &driver;
    printer = std::make_unique<TestPrinter>();
  }
  void TearDown() override {
    printer.reset();
    EXPECT_EQ(platform::Live().surfaces, 0u);
    EXPECT_EQ(platform::Live().palettes, 0u);
    fake = nullptr;
    GdiTest::TearDown();
  }
  std::unique_ptr<platform::PrinterDC> Open(const DEVMODEW *devmode = nullptr) {
    return std::make_unique<platform::PrinterDC>(&FakeEnableDriver, printer->handle(), u"Fake Printer", devmode);
  }
  Rgb PagePixel(LONG x, LONG y) const {
    const uint8_t *p = &driver.page[(static_cast<size_t>(y) * kPageWidth + static_cast<size_t>(x)) * 3];
    return {p[0], p[1], p[2]};
  }
  static size_t Count(const std::vector<std::string> &calls, const std::string &name) {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), name));
  }

  FakeDriver driver;
  std::unique_ptr<TestPrinter> printer;
};

TEST_F(BandPlayerTest, RunsTheHooksInGdiOrder) {
  {
    auto dc = Open();
    ASSERT_TRUE(dc->Valid()) << dc->Failure();
    EXPECT_EQ(dc->GdiInfo().ulVertRes, 35u);
    ASSERT_TRUE(dc->StartDoc(u"Two pages"));
    EXPECT_EQ(driver.jobId, dc->JobId());
    platform::PageDrawing blank;
    std::vector<LONG> progress;
    ASSERT_TRUE(dc->PlayPage(blank, [&](int page, LONG top, LONG rows) {
      EXPECT_EQ(page, 1);
      progress.push_back(top * 100 + rows);
    }));
    ASSERT_TRUE(dc->PlayPage(blank));
    ASSERT_TRUE(dc->EndDoc());
    EXPECT_EQ(progress, (std::vector<LONG>{10, 1010, 2010, 3005})) << "the last band holds 5 page rows";
  }
  const std::vector<std::string> page = {"StartPage", "StartBanding", "NextBand", "NextBand", "NextBand", "NextBand"};
  std::vector<std::string> expected = {"EnablePDEV", "CompletePDEV", "EnableSurface", "StartDoc"};
  expected.insert(expected.end(), page.begin(), page.end());
  expected.insert(expected.end(), page.begin(), page.end());
  expected.insert(expected.end(), {"EndDoc", "DisableSurface", "DisablePDEV"});
  EXPECT_EQ(driver.calls, expected);
  EXPECT_EQ(driver.bandTops, (std::vector<LONG>{0, 10, 20, 30, 0, 10, 20, 30}));
  EXPECT_EQ(driver.endDocFlags, 0u);
  EXPECT_FALSE(driver.badSurfaceSeen) << "every hook got the PDEV and device";
}

TEST_F(BandPlayerTest, DrawingLandsInItsPageRowsAndNowhereElse) {
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Fills"));
  platform::PageDrawing drawing;
  drawing.FillRect({2, 8, 6, 13}, 200, 10, 20);                                     // across the first band seam
  drawing.FillRect({11, 33, 40, 99}, 1, 2, 3);                                      // past the page's corner
  drawing.FillRect({-5, -5, 0, 40}, 0, 0, 0);                                       // left of the page: nothing
  ASSERT_TRUE(drawing.DrawPicture(Gradient(1, 1), {0, 0, 1, 1}, {8, 30, 10, 60}));  // past the bottom
  ASSERT_TRUE(dc->PlayPage(drawing));
  for (LONG y = 0; y < 35; ++y) {
    for (LONG x = 0; x < kPageWidth; ++x) {
      Rgb want{255, 255, 255};
      if (x >= 2 && x < 6 && y >= 8 && y < 13) want = {200, 10, 20};
      if (x == 11 && y >= 33) want = {1, 2, 3};
      if ((x == 8 || x == 9) && y >= 30) want = {0, 0, 255};
      ASSERT_EQ(PagePixel(x, y), want) << x << "," << y;
    }
  }
  EXPECT_FALSE(driver.drawnBelowPage) << "the last band's rows past the page stay blank";
  dc->EndDoc();
}

TEST_F(BandPlayerTest, PicturesReachTheDriversStretchHookPerBandAndMatchAnUnbandedRendering) {
  auto picture = Gradient(7, 9);
  const RECTL src{0, 0, 7, 9}, dst{-3, 4, 10, 27};
  TestBitmap reference(kPageWidth, 35);
  reference.Fill({255, 255, 255});
  TestBitmap pictureBits(7, 9, BMF_TOPDOWN, BMF_24BPP, picture->rgb.data(), 21);
  ASSERT_TRUE(Stretch(reference, pictureBits, dst, src, HALFTONE));

  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Picture"));
  platform::PageDrawing drawing;
  ASSERT_TRUE(drawing.DrawPicture(picture, src, dst, COLORONCOLOR));
  ASSERT_TRUE(dc->PlayPage(drawing));
  EXPECT_EQ(driver.page, reference.Packed());
  EXPECT_EQ(Count(driver.calls, "StretchBlt"), 3u) << "bands 0, 10 and 20 hold the picture";
  EXPECT_EQ(driver.bltModes, (std::vector<ULONG>(3, COLORONCOLOR))) << "the application's mode reaches the driver";
  for (const RECTL &clip : driver.bltClips) {
    EXPECT_GE(clip.left, 0);
    EXPECT_LE(clip.right, kPageWidth);
    EXPECT_GE(clip.top, 0);
    EXPECT_LE(clip.bottom, kBandHeight);
  }
  dc->EndDoc();
}

TEST_F(BandPlayerTest, UnhookedPicturesAreDrawnByTheEngineThroughEveryPath) {
  driver.hooks = 0;
  auto picture = Gradient(4, 4);
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Engine"));
  platform::PageDrawing drawing;
  ASSERT_TRUE(drawing.DrawPicture(picture, {0, 0, 4, 4}, {0, 0, 4, 4}));
  ASSERT_TRUE(drawing.DrawPictureROP(picture, {0, 0, 4, 4}, {4, 0, 8, 4}, 0xCCCC));
  ASSERT_TRUE(drawing.DrawPictureParallelogram(picture, {0, 0, 4, 4}, {Fix(8, 0), Fix(12, 0), Fix(8, 4)}));
  ASSERT_TRUE(dc->PlayPage(drawing));
  EXPECT_EQ(Count(driver.calls, "StretchBlt") + Count(driver.calls, "PlgBlt"), 0u);
  for (LONG x : {0, 4, 8}) EXPECT_EQ(PagePixel(x + 3, 3), (Rgb{60, 27, 246})) << x;

  driver.hooks = HOOK_STRETCHBLTROP | HOOK_PLGBLT;
  ASSERT_TRUE(dc->Reset(nullptr));
  ASSERT_TRUE(dc->PlayPage(drawing));
  EXPECT_EQ(Count(driver.calls, "StretchBltROP"), 1u);
  EXPECT_EQ(Count(driver.calls, "PlgBlt"), 1u);
  EXPECT_EQ(Count(driver.calls, "StretchBlt"), 0u) << "HOOK_STRETCHBLT is not set";
  dc->EndDoc();
}

// A picture whose rows another thread writes and publishes one at a time,
// slowly, each row poisoned until it is written: a band drawn from a row
// before it was published would show the poison. Pictures shrunk, enlarged
// and mirrored, through every blt, must come out as from the whole picture.
TEST_F(BandPlayerTest, PicturesStillArrivingAreDrawnFromPublishedRowsOnly) {
  auto whole = Gradient(7, 40);
  // Four places that do not overlap, so that no blt hides another's pixels.
  auto drawAll = [](platform::PageDrawing &drawing, const std::shared_ptr<const platform::Picture> &picture) {
    ASSERT_TRUE(drawing.DrawPicture(picture, {0, 0, 7, 40}, {0, 0, 6, 26}, HALFTONE));               // shrunk
    ASSERT_TRUE(drawing.DrawPicture(picture, {1, 3, 6, 12}, {6, 0, 12, 20}, HALFTONE));              // enlarged
    ASSERT_TRUE(drawing.DrawPictureROP(picture, {0, 0, 7, 40}, {12, 35, 6, 20}, 0xCCCC, HALFTONE));  // mirrored
    ASSERT_TRUE(drawing.DrawPictureParallelogram(picture, {0, 0, 7, 40}, {Fix(6, 26), Fix(6, 33), Fix(0, 26)}));
  };

  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Arriving"));
  platform::PageDrawing reference;
  drawAll(reference, whole);
  ASSERT_TRUE(dc->PlayPage(reference));
  const std::vector<uint8_t> expected = driver.page;

  auto arriving = std::make_shared<platform::Picture>(*whole);
  std::fill(arriving->rgb.data(), arriving->rgb.data() + arriving->rgb.size(), uint8_t{0x3C});
  arriving->arriving = std::make_shared<platform::PictureRows>();
  platform::PageDrawing drawing;
  drawAll(drawing, arriving);
  std::thread filler([&] {
    const size_t rowBytes = size_t{7} * 3;
    for (int row = 0; row < 40; ++row) {
      std::this_thread::sleep_for(std::chrono::microseconds(300));
      std::memcpy(arriving->rgb.data() + row * rowBytes, whole->rgb.data() + row * rowBytes, rowBytes);
      arriving->arriving->Publish(row + 1);
    }
  });
  const bool played = dc->PlayPage(drawing);
  filler.join();
  ASSERT_TRUE(played) << dc->Failure();
  EXPECT_EQ(driver.page, expected);

  // Rows that never come fail the page before the band that needs them.
  auto failing = std::make_shared<platform::Picture>(*whole);
  failing->arriving = std::make_shared<platform::PictureRows>();
  failing->arriving->Publish(10);
  failing->arriving->Fail();
  platform::PageDrawing lost;
  ASSERT_TRUE(lost.DrawPicture(failing, {0, 0, 7, 40}, {0, 0, 12, 35}, HALFTONE));
  driver.bandTops.clear();
  EXPECT_FALSE(dc->PlayPage(lost));
  EXPECT_NE(dc->Failure().find("rows"), std::string::npos) << dc->Failure();
  EXPECT_EQ(driver.bandTops.size(), 0u) << "the first band already needs rows 10 and 11";
  dc->EndDoc(true);
}

TEST_F(BandPlayerTest, BadRecordingsAreRefusedWhenRecorded) {
  auto picture = Gradient(4, 4);
  platform::PageDrawing drawing;
  EXPECT_FALSE(drawing.DrawPicture(nullptr, {0, 0, 1, 1}, {0, 0, 1, 1}));
  EXPECT_FALSE(drawing.DrawPicture(picture, {0, 0, 5, 4}, {0, 0, 1, 1})) << "source outside the picture";
  EXPECT_FALSE(drawing.DrawPicture(picture, {2, 0, 2, 4}, {0, 0, 1, 1})) << "empty source";
  EXPECT_FALSE(drawing.DrawPicture(picture, {0, 0, 4, 4}, {0, 0, 1 << 30, 1})) << "destination out of range";
  auto torn = std::make_shared<platform::Picture>(*picture);
  torn->rgb.pop_back();
  EXPECT_FALSE(drawing.DrawPicture(torn, {0, 0, 1, 1}, {0, 0, 1, 1})) << "pixels missing";
  EXPECT_TRUE(drawing.Empty());
}

TEST_F(BandPlayerTest, AFailingHookEndsThePage) {
  driver.failStretchBlt = true;
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Fails"));
  platform::PageDrawing drawing;
  ASSERT_TRUE(drawing.DrawPicture(Gradient(2, 2), {0, 0, 2, 2}, {0, 0, 12, 35}));
  EXPECT_FALSE(dc->PlayPage(drawing));
  EXPECT_FALSE(dc->Failure().empty());
  EXPECT_EQ(Count(driver.calls, "NextBand"), 0u) << "no band is sent after the failure";

  driver.failStretchBlt = false;
  driver.endlessBands = true;
  EXPECT_FALSE(dc->PlayPage(drawing)) << "a driver that never ends the page";
  EXPECT_EQ(Count(driver.calls, "NextBand"), 36u) << "bounded by the page's rows";
  dc->EndDoc(true);
  EXPECT_EQ(driver.endDocFlags, 1u) << "ED_ABORTDOC";
}

TEST_F(BandPlayerTest, AbortSeenByTheDriverFailsThePage) {
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Aborted"));
  platform::AbortAtCheck(2);
  EXPECT_FALSE(dc->PlayPage(platform::PageDrawing{}));
  EXPECT_EQ(driver.bandTops, (std::vector<LONG>{0})) << "the second band was refused";
}

TEST_F(BandPlayerTest, NonBandingSurfaceGetsTheWholePageAndSendPage) {
  driver.banding = false;
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Whole"));
  platform::PageDrawing drawing;
  drawing.FillRect({0, 30, 12, 35}, 0, 0, 0);
  ASSERT_TRUE(dc->PlayPage(drawing));
  EXPECT_EQ(Count(driver.calls, "SendPage"), 1u);
  EXPECT_EQ(Count(driver.calls, "StartBanding"), 0u);
  EXPECT_EQ(PagePixel(5, 34), (Rgb{0, 0, 0}));
  dc->EndDoc();
}

TEST_F(BandPlayerTest, ResetInADocumentContinuesItOnTheNewPdev) {
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"Reset"));
  ASSERT_TRUE(dc->PlayPage(platform::PageDrawing{}));
  const DHPDEV old = dc->Pdev();
  driver.calls.clear();
  DEVMODEW landscape{};
  landscape.dmSize = sizeof(landscape);
  landscape.dmOrientation = DMORIENT_LANDSCAPE;
  ASSERT_TRUE(dc->Reset(&landscape));
  EXPECT_NE(dc->Pdev(), old);
  EXPECT_EQ(dc->GdiInfo().ulVertRes, 70u);
  EXPECT_EQ(driver.calls, (std::vector<std::string>{"EnablePDEV", "CompletePDEV", "EnableSurface", "ResetPDEV",
                                                    "DisableSurface", "DisablePDEV", "StartDoc"}));
  EXPECT_EQ(driver.jobId, dc->JobId()) << "the same job goes on";
  ASSERT_TRUE(dc->PlayPage(platform::PageDrawing{}));
  EXPECT_EQ(driver.bandTops.size(), 4u + 7u);
  EXPECT_TRUE(dc->EndDoc());
  EXPECT_FALSE(driver.badSurfaceSeen);
}

TEST_F(BandPlayerTest, EnableFailuresLeaveNothingBehind) {
  driver.failEnablePdev = true;
  EXPECT_FALSE(Open()->Valid());
  driver.failEnablePdev = false;

  platform::FailNthCall(platform::Fault::EngCreateBitmap, 1);
  auto dc = Open();
  EXPECT_FALSE(dc->Valid());
  EXPECT_EQ(dc->Failure(), "DrvEnableSurface failed");
  EXPECT_EQ(driver.calls.back(), "DisablePDEV") << "the half-made PDEV is disabled";
  EXPECT_FALSE(dc->StartDoc(u"nothing"));
  EXPECT_FALSE(dc->PlayPage(platform::PageDrawing{}));

  platform::PrinterDC noPrinter(&FakeEnableDriver, nullptr, u"Fake Printer", nullptr);
  ASSERT_TRUE(noPrinter.Valid());
  driver.calls.clear();
  EXPECT_FALSE(noPrinter.StartDoc(u"no job"));
  EXPECT_TRUE(driver.calls.empty()) << "DrvStartDoc is not called without a job";
}

TEST_F(BandPlayerTest, DestroyingAnOpenDocumentAbortsIt) {
  DWORD jobId = 0;
  {
    auto dc = Open();
    ASSERT_TRUE(dc->StartDoc(u"Left open"));
    jobId = dc->JobId();
  }
  EXPECT_EQ(driver.endDocFlags, 1u);
  EXPECT_FALSE(SetJobW(printer->handle(), jobId, 0, nullptr, JOB_CONTROL_CANCEL)) << "the job is finished";
}

TEST_F(BandPlayerTest, BgrDevicesGetTheirByteOrder) {
  driver.paletteMode = PAL_BGR;
  driver.hooks = 0;
  auto picture = Gradient(1, 1);
  auto dc = Open();
  ASSERT_TRUE(dc->StartDoc(u"BGR"));
  platform::PageDrawing drawing;
  drawing.FillRect({0, 0, 1, 1}, 10, 20, 30);
  ASSERT_TRUE(drawing.DrawPicture(picture, {0, 0, 1, 1}, {1, 0, 2, 1}));
  ASSERT_TRUE(dc->PlayPage(drawing));
  EXPECT_EQ(PagePixel(0, 0), (Rgb{30, 20, 10}));
  EXPECT_EQ(PagePixel(1, 0), (Rgb{255, 0, 0}));
  dc->EndDoc();
}

}  // namespace
