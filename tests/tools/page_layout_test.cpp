// Fill and fit placement of a picture on the printable area, the
// orientation a picture asks for, and the size a picture is decoded at.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "page_layout.h"

namespace kvt::print {
namespace {

TEST(NaturalOrientation, WiderThanHighIsLandscapeAndSquareIsPortrait) {
  EXPECT_EQ(NaturalOrientation(4000, 3000), Orientation::Landscape);
  EXPECT_EQ(NaturalOrientation(3000, 4000), Orientation::Portrait);
  EXPECT_EQ(NaturalOrientation(500, 500), Orientation::Portrait);
  EXPECT_EQ(NaturalOrientation(2, 1), Orientation::Landscape);
}

TEST(FillLayout, WiderPictureLosesEqualStripsLeftAndRight) {
  // 4000x2000 (2:1) onto 2466x1664: keep 2000 * 2466 / 1664 = 2964 columns.
  PictureLayout l = LayoutPicture(4000, 2000, 2466, 1664, Placement::Fill);
  EXPECT_EQ(l.destination, (Rect{0, 0, 2466, 1664}));
  EXPECT_EQ(l.source, (Rect{518, 0, 518 + 2964, 2000}));
}

TEST(FillLayout, TallerPictureLosesEqualStripsTopAndBottom) {
  // 4000x3000 (4:3) onto 2466x1664 (about 3:2): keep 4000 * 1664 / 2466 = 2699 rows.
  PictureLayout l = LayoutPicture(4000, 3000, 2466, 1664, Placement::Fill);
  EXPECT_EQ(l.destination, (Rect{0, 0, 2466, 1664}));
  EXPECT_EQ(l.source, (Rect{0, 150, 4000, 150 + 2699}));
}

TEST(FillLayout, SameAspectKeepsTheWholePicture) {
  PictureLayout l = LayoutPicture(1233, 832, 2466, 1664, Placement::Fill);
  EXPECT_EQ(l.source, (Rect{0, 0, 1233, 832}));
  EXPECT_EQ(l.destination, (Rect{0, 0, 2466, 1664}));
}

TEST(FillLayout, ExtremeAspectKeepsAtLeastOnePixel) {
  PictureLayout thin = LayoutPicture(1, 10000, 2466, 1664, Placement::Fill);
  EXPECT_EQ(thin.source, (Rect{0, 4999, 1, 5000}));
  PictureLayout flat = LayoutPicture(10000, 1, 1137, 1516, Placement::Fill);
  EXPECT_EQ(flat.source, (Rect{4999, 0, 5000, 1}));
}

TEST(FitLayout, WiderPictureGetsBarsAboveAndBelow) {
  // 2000x1000 onto 1516x2274: height 1516 / 2 = 758, centred.
  PictureLayout l = LayoutPicture(2000, 1000, 1516, 2274, Placement::Fit);
  EXPECT_EQ(l.source, (Rect{0, 0, 2000, 1000}));
  EXPECT_EQ(l.destination, (Rect{0, 758, 1516, 758 + 758}));
}

TEST(FitLayout, TallerPictureGetsBarsLeftAndRight) {
  // 1000x2000 onto 2466x1664: width 832, centred at (2466 - 832) / 2 = 817.
  PictureLayout l = LayoutPicture(1000, 2000, 2466, 1664, Placement::Fit);
  EXPECT_EQ(l.destination, (Rect{817, 0, 817 + 832, 1664}));
}

TEST(FitLayout, ExtremeAspectStaysVisible) {
  PictureLayout l = LayoutPicture(100000, 1, 1137, 1516, Placement::Fit);
  EXPECT_EQ(l.destination.Width(), 1137);
  EXPECT_EQ(l.destination.Height(), 1);
}

TEST(LayoutRounding, BothPlacementsStayInsideAreaAndPicture) {
  for (uint32_t pw : {1u, 3u, 7u, 640u, 4001u}) {
    for (uint32_t ph : {1u, 2u, 480u, 2999u}) {
      for (auto [aw, ah] : {std::pair{1137, 1516}, std::pair{2466, 1664}, std::pair{1, 1}}) {
        for (Placement p : {Placement::Fill, Placement::Fit}) {
          PictureLayout l = LayoutPicture(pw, ph, aw, ah, p);
          SCOPED_TRACE(testing::Message() << pw << "x" << ph << " on " << aw << "x" << ah);
          EXPECT_GE(l.source.left, 0);
          EXPECT_GE(l.source.top, 0);
          EXPECT_LE(l.source.right, pw);
          EXPECT_LE(l.source.bottom, ph);
          EXPECT_GT(l.source.Width(), 0);
          EXPECT_GT(l.source.Height(), 0);
          EXPECT_GE(l.destination.left, 0);
          EXPECT_GE(l.destination.top, 0);
          EXPECT_LE(l.destination.right, aw);
          EXPECT_LE(l.destination.bottom, ah);
          EXPECT_GT(l.destination.Width(), 0);
          EXPECT_GT(l.destination.Height(), 0);
          // Centred to within one pixel.
          if (p == Placement::Fill) {
            EXPECT_LE(std::abs(l.source.left - (int64_t{pw} - l.source.right)), 1);
            EXPECT_LE(std::abs(l.source.top - (int64_t{ph} - l.source.bottom)), 1);
          } else {
            EXPECT_LE(std::abs(l.destination.left - (aw - l.destination.right)), 1);
            EXPECT_LE(std::abs(l.destination.top - (ah - l.destination.bottom)), 1);
          }
        }
      }
    }
  }
}

// The sizes at which libjpeg decodes a picture of width x height scaled by
// n/8, smallest first.
std::vector<image::PictureSize> JpegSizes(uint32_t width, uint32_t height) {
  std::vector<image::PictureSize> sizes;
  for (uint32_t n = 1; n <= 8; ++n) sizes.push_back({(width * n + 7) / 8, (height * n + 7) / 8});
  return sizes;
}

TEST(SizeToDecode, TheSmallestSizeThatStillCoversThePage) {
  // 4000x3000 filling 2466x1664 needs 2466 columns of 4000 (n >= 4.93):
  // 5/8 gives 2500x1875, whose 1687 middle rows cover the 1664.
  EXPECT_EQ(SizeToDecode(JpegSizes(4000, 3000), 2466, 1664, Placement::Fill), (image::PictureSize{2500, 1875}));
  // Fitting, the whole picture must cover 2219x1664: 1664 of 3000 rows
  // (n >= 4.44) gives 5/8 as well; 4/8 would leave 1500 rows for 1664.
  EXPECT_EQ(SizeToDecode(JpegSizes(4000, 3000), 2466, 1664, Placement::Fit), (image::PictureSize{2500, 1875}));
  // 8000x6000 needs 3/8; 6000x4000 needs 4/8, libjpeg's fast half size.
  EXPECT_EQ(SizeToDecode(JpegSizes(8000, 6000), 2466, 1664, Placement::Fill), (image::PictureSize{3000, 2250}));
  EXPECT_EQ(SizeToDecode(JpegSizes(6000, 4000), 2466, 1664, Placement::Fill), (image::PictureSize{3000, 2000}));
  // Twice the page, or a pixel less (libjpeg rounds up): half size is the
  // page itself.
  EXPECT_EQ(SizeToDecode(JpegSizes(4932, 3328), 2466, 1664, Placement::Fill), (image::PictureSize{2466, 1664}));
  EXPECT_EQ(SizeToDecode(JpegSizes(4931, 3328), 2466, 1664, Placement::Fill), (image::PictureSize{2466, 1664}));
  // Two pixels less: half size would have to be enlarged.
  EXPECT_EQ(SizeToDecode(JpegSizes(4930, 3328), 2466, 1664, Placement::Fill), (image::PictureSize{3082, 2080}));
}

TEST(SizeToDecode, PicturesNoLargerThanThePageAreDecodedWhole) {
  EXPECT_EQ(SizeToDecode(JpegSizes(2466, 1664), 2466, 1664, Placement::Fill), (image::PictureSize{2466, 1664}));
  EXPECT_EQ(SizeToDecode(JpegSizes(800, 600), 2466, 1664, Placement::Fill), (image::PictureSize{800, 600}));
  EXPECT_EQ(SizeToDecode(JpegSizes(1, 1), 2466, 1664, Placement::Fit), (image::PictureSize{1, 1}));
  // A PNG has one size, its own.
  EXPECT_EQ(SizeToDecode({{9000, 9000}}, 1137, 1516, Placement::Fill), (image::PictureSize{9000, 9000}));
}

// Whatever size is chosen, the page shows the picture in the same place as
// from the full size, and never enlarges a picture that could be shrunk.
TEST(SizeToDecode, ThePageKeepsItsPlacesAndOnlyShrinks) {
  for (uint32_t pw : {1u, 9u, 1200u, 2467u, 4000u, 5999u, 8000u}) {
    for (uint32_t ph : {1u, 7u, 1000u, 1663u, 3000u, 6001u}) {
      for (auto [aw, ah] : {std::pair{1137, 1516}, std::pair{2466, 1664}, std::pair{1664, 2466}}) {
        for (Placement p : {Placement::Fill, Placement::Fit}) {
          SCOPED_TRACE(testing::Message() << pw << "x" << ph << " on " << aw << "x" << ah);
          const std::vector<image::PictureSize> sizes = JpegSizes(pw, ph);
          const image::PictureSize chosen = SizeToDecode(sizes, aw, ah, p);
          const PictureLayout full = LayoutPicture(pw, ph, aw, ah, p);
          const PictureLayout decoded = LayoutDecodedPicture(sizes.back(), chosen, aw, ah, p);
          EXPECT_EQ(decoded.destination, full.destination);
          EXPECT_LE(decoded.source.right, chosen.width);
          EXPECT_LE(decoded.source.bottom, chosen.height);
          if (chosen == sizes.back()) {
            EXPECT_EQ(decoded.source, full.source);
            continue;
          }
          EXPECT_GE(decoded.source.Width(), decoded.destination.Width());
          EXPECT_GE(decoded.source.Height(), decoded.destination.Height());
          // The next smaller size would not have covered the page.
          const size_t index = static_cast<size_t>(std::find(sizes.begin(), sizes.end(), chosen) - sizes.begin());
          if (index > 0) {
            const PictureLayout smaller = LayoutDecodedPicture(sizes.back(), sizes[index - 1], aw, ah, p);
            EXPECT_TRUE(smaller.source.Width() < smaller.destination.Width() ||
                        smaller.source.Height() < smaller.destination.Height());
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace kvt::print
