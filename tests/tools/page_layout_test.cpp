// Fill and fit placement of a picture on the printable area, and the
// orientation a picture asks for.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kvt::print
