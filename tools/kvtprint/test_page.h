// The built-in test page: corner marks at the four corners of the printable
// area, colour patches, a grey ramp, fine lines and a smooth colour
// gradient drawn as a picture, laid out for any printable size.
#pragma once

#include <platform/engine.h>

namespace kvt::print {

// The L-shaped corner marks: each arm is `arm` pixels long and `thickness`
// pixels wide, black, flush with the printable area's edges.
struct CornerMarks {
  LONG arm;
  LONG thickness;
};
CornerMarks TestPageCornerMarks(LONG width, LONG height);

// Records the test page for a printable area of width x height pixels.
platform::PageDrawing BuildTestPage(LONG width, LONG height);

}  // namespace kvt::print
