// Where a picture goes on the printable area: the orientation a picture
// asks for, and the source and destination rectangles for filling the area
// (centre crop) or fitting the whole picture into it.
#pragma once

#include <cstdint>
#include <vector>

#include "picture_decoder.h"

namespace kvt::print {

enum class Orientation { Portrait, Landscape };
enum class Placement { Fill, Fit };

// Landscape for a picture wider than high, portrait otherwise.
Orientation NaturalOrientation(uint32_t width, uint32_t height);

// Bottom-right exclusive, in pixels.
struct Rect {
  int64_t left = 0;
  int64_t top = 0;
  int64_t right = 0;
  int64_t bottom = 0;
  int64_t Width() const { return right - left; }
  int64_t Height() const { return bottom - top; }
  friend bool operator==(const Rect &, const Rect &) = default;
};

struct PictureLayout {
  Rect source;       // part of the picture that is drawn
  Rect destination;  // where it lands on the printable area
};

// Fill: the whole area is covered and the picture's centre is kept, the
// excess cropped evenly from both sides. Fit: the whole picture is shown,
// centred, with white bars where the aspect ratios differ. All sizes must
// be positive.
PictureLayout LayoutPicture(uint32_t pictureWidth, uint32_t pictureHeight, int64_t areaWidth, int64_t areaHeight,
                            Placement placement);

// The layout of a picture decoded at `decoded` rather than at its full size
// `full`: the destination is that of the full picture, so that the page
// shows the picture in the same place whatever size was decoded, and the
// source is the part of the decoded picture that fills it.
PictureLayout LayoutDecodedPicture(image::PictureSize full, image::PictureSize decoded, int64_t areaWidth,
                                   int64_t areaHeight, Placement placement);

// Of the sizes at which a picture can be decoded (smallest first, its full
// size last), the smallest whose source part is at least as large as its
// destination in both directions, so that the engine only ever shrinks it;
// the full size when none is (a picture smaller than the area).
image::PictureSize SizeToDecode(const std::vector<image::PictureSize> &sizes, int64_t areaWidth, int64_t areaHeight,
                                Placement placement);

}  // namespace kvt::print
