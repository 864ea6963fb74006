// Fill and fit in integer arithmetic, rounded to the nearest pixel.
#include "page_layout.h"

#include <algorithm>

namespace kvt::print {

namespace {

// a * b / c rounded to nearest, at least 1.
int64_t ScaleRounded(int64_t a, int64_t b, int64_t c) { return std::max<int64_t>(1, (a * b + c / 2) / c); }

}  // namespace

Orientation NaturalOrientation(uint32_t width, uint32_t height) {
  return width > height ? Orientation::Landscape : Orientation::Portrait;
}

PictureLayout LayoutPicture(uint32_t pictureWidth, uint32_t pictureHeight, int64_t areaWidth, int64_t areaHeight,
                            Placement placement) {
  const int64_t pw = pictureWidth;
  const int64_t ph = pictureHeight;
  // Compare the aspect ratios pw/ph and areaWidth/areaHeight exactly.
  const bool pictureWider = pw * areaHeight > ph * areaWidth;
  PictureLayout layout;
  if (placement == Placement::Fill) {
    layout.destination = {0, 0, areaWidth, areaHeight};
    if (pictureWider) {
      const int64_t w = std::min(pw, ScaleRounded(ph, areaWidth, areaHeight));
      const int64_t left = (pw - w) / 2;
      layout.source = {left, 0, left + w, ph};
    } else {
      const int64_t h = std::min(ph, ScaleRounded(pw, areaHeight, areaWidth));
      const int64_t top = (ph - h) / 2;
      layout.source = {0, top, pw, top + h};
    }
  } else {
    layout.source = {0, 0, pw, ph};
    if (pictureWider) {
      const int64_t h = std::min(areaHeight, ScaleRounded(areaWidth, ph, pw));
      const int64_t top = (areaHeight - h) / 2;
      layout.destination = {0, top, areaWidth, top + h};
    } else {
      const int64_t w = std::min(areaWidth, ScaleRounded(areaHeight, pw, ph));
      const int64_t left = (areaWidth - w) / 2;
      layout.destination = {left, 0, left + w, areaHeight};
    }
  }
  return layout;
}

PictureLayout LayoutDecodedPicture(image::PictureSize full, image::PictureSize decoded, int64_t areaWidth,
                                   int64_t areaHeight, Placement placement) {
  PictureLayout layout = LayoutPicture(decoded.width, decoded.height, areaWidth, areaHeight, placement);
  layout.destination = LayoutPicture(full.width, full.height, areaWidth, areaHeight, placement).destination;
  return layout;
}

image::PictureSize SizeToDecode(const std::vector<image::PictureSize> &sizes, int64_t areaWidth, int64_t areaHeight,
                                Placement placement) {
  const image::PictureSize full = sizes.back();
  for (const image::PictureSize &size : sizes) {
    const PictureLayout layout = LayoutDecodedPicture(full, size, areaWidth, areaHeight, placement);
    if (layout.source.Width() >= layout.destination.Width() && layout.source.Height() >= layout.destination.Height()) {
      return size;
    }
  }
  return full;
}

}  // namespace kvt::print
