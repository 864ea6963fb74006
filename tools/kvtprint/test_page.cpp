// Lays out the test page in units of 1/40 of the area's shorter side, so
// that it keeps its proportions on every paper and orientation.
#include "test_page.h"

#include <algorithm>
#include <array>
#include <memory>

namespace kvt::print {

namespace {

struct Colour {
  uint8_t r, g, b;
};

constexpr std::array<Colour, 7> kPatchColours{
    {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {0, 255, 255}, {255, 0, 255}, {255, 255, 0}, {0, 0, 0}}};
constexpr LONG kGreySteps = 16;
constexpr int kLineGroups = 4;

void Fill(platform::PageDrawing &page, LONG left, LONG top, LONG right, LONG bottom, Colour c) {
  page.FillRect(RECTL{left, top, right, bottom}, c.r, c.g, c.b);
}

void DrawCornerMarks(platform::PageDrawing &page, LONG w, LONG h, CornerMarks m) {
  constexpr Colour kBlack{0, 0, 0};
  // Horizontal and vertical arm of each corner.
  Fill(page, 0, 0, m.arm, m.thickness, kBlack);
  Fill(page, 0, 0, m.thickness, m.arm, kBlack);
  Fill(page, w - m.arm, 0, w, m.thickness, kBlack);
  Fill(page, w - m.thickness, 0, w, m.arm, kBlack);
  Fill(page, 0, h - m.thickness, m.arm, h, kBlack);
  Fill(page, 0, h - m.arm, m.thickness, h, kBlack);
  Fill(page, w - m.arm, h - m.thickness, w, h, kBlack);
  Fill(page, w - m.thickness, h - m.arm, w, h, kBlack);
}

// The left edge of cell `i` of `count` equal cells between left and right;
// the remainder of the division is spread over the cells.
LONG CellEdge(LONG left, LONG right, LONG i, LONG count) { return left + (right - left) * i / count; }

// A hairline frame, so that white areas show where they are.
void Frame(platform::PageDrawing &page, LONG left, LONG top, LONG right, LONG bottom) {
  constexpr Colour kBlack{0, 0, 0};
  Fill(page, left, top, right, top + 1, kBlack);
  Fill(page, left, bottom - 1, right, bottom, kBlack);
  Fill(page, left, top, left + 1, bottom, kBlack);
  Fill(page, right - 1, top, right, bottom, kBlack);
}

// Seven solid patches and a white one.
void DrawPatches(platform::PageDrawing &page, LONG left, LONG top, LONG right, LONG bottom) {
  const LONG count = static_cast<LONG>(kPatchColours.size()) + 1;
  for (LONG i = 0; i < count - 1; ++i) {
    Fill(page, CellEdge(left, right, i, count), top, CellEdge(left, right, i + 1, count), bottom, kPatchColours[i]);
  }
  Frame(page, CellEdge(left, right, count - 1, count), top, right, bottom);
}

// From black to white in equal steps, framed because the last step is white.
void DrawGreyRamp(platform::PageDrawing &page, LONG left, LONG top, LONG right, LONG bottom) {
  for (LONG i = 0; i < kGreySteps; ++i) {
    const auto v = static_cast<uint8_t>(i * 255 / (kGreySteps - 1));
    Fill(page, CellEdge(left, right, i, kGreySteps), top, CellEdge(left, right, i + 1, kGreySteps), bottom, {v, v, v});
  }
  Frame(page, left, top, right, bottom);
}

// Vertical lines on the left half, horizontal ones on the right, one pixel
// wide with gaps of 1 to 4 pixels.
void DrawFineLines(platform::PageDrawing &page, LONG left, LONG top, LONG right, LONG bottom) {
  constexpr Colour kBlack{0, 0, 0};
  const LONG middle = left + (right - left) / 2;
  const LONG groupWidth = std::max<LONG>(1, (middle - left) / kLineGroups);
  for (LONG g = 0; g < kLineGroups; ++g) {
    const LONG period = g + 2;
    const LONG x0 = left + g * groupWidth;
    for (LONG x = x0; x < x0 + groupWidth - 1; x += period) Fill(page, x, top, x + 1, bottom, kBlack);
  }
  const LONG groupHeight = std::max<LONG>(1, (bottom - top) / kLineGroups);
  for (LONG g = 0; g < kLineGroups; ++g) {
    const LONG period = g + 2;
    const LONG y0 = top + g * groupHeight;
    for (LONG y = y0; y < y0 + groupHeight - 1; y += period) Fill(page, middle + 1, y, right, y + 1, kBlack);
  }
}

// Hues from left to right, from full colour at the top to a lighter tint
// at the bottom: a photo-like picture for the halftoning path.
std::shared_ptr<const platform::Picture> GradientPicture() {
  constexpr int kWidth = 360;
  constexpr int kHeight = 48;
  auto picture = std::make_shared<platform::Picture>();
  picture->width = kWidth;
  picture->height = kHeight;
  picture->rgb.resize(size_t{kWidth} * kHeight * 3);
  for (int y = 0; y < kHeight; ++y) {
    const double tint = static_cast<double>(y) / (kHeight - 1);
    for (int x = 0; x < kWidth; ++x) {
      const double h = x / 60.0;  // six sectors of 60 degrees
      const double f = h - static_cast<int>(h);
      double rgb[3];
      switch (static_cast<int>(h)) {
        case 0:
          rgb[0] = 1, rgb[1] = f, rgb[2] = 0;
          break;
        case 1:
          rgb[0] = 1 - f, rgb[1] = 1, rgb[2] = 0;
          break;
        case 2:
          rgb[0] = 0, rgb[1] = 1, rgb[2] = f;
          break;
        case 3:
          rgb[0] = 0, rgb[1] = 1 - f, rgb[2] = 1;
          break;
        case 4:
          rgb[0] = f, rgb[1] = 0, rgb[2] = 1;
          break;
        default:
          rgb[0] = 1, rgb[1] = 0, rgb[2] = 1 - f;
          break;
      }
      uint8_t *p = picture->rgb.data() + (size_t{static_cast<size_t>(y)} * kWidth + x) * 3;
      for (int c = 0; c < 3; ++c) p[c] = static_cast<uint8_t>(255.0 * (rgb[c] + (1.0 - rgb[c]) * tint * 0.8) + 0.5);
    }
  }
  return picture;
}

}  // namespace

CornerMarks TestPageCornerMarks(LONG width, LONG height) {
  const LONG unit = std::max<LONG>(1, std::min(width, height) / 40);
  return {std::min({4 * unit, width, height}), std::min({std::max<LONG>(2, unit / 3), width, height})};
}

platform::PageDrawing BuildTestPage(LONG width, LONG height) {
  platform::PageDrawing page;
  DrawCornerMarks(page, width, height, TestPageCornerMarks(width, height));

  const LONG unit = std::max<LONG>(1, std::min(width, height) / 40);
  const LONG left = 6 * unit;
  const LONG right = width - 6 * unit;
  const LONG top = 6 * unit;
  const LONG bottom = height - 6 * unit;
  if (right - left < 16 || bottom - top < 16) return page;  // room for the marks only

  // Four sections from top to bottom, separated by one unit.
  const LONG section = (bottom - top - 3 * unit) / 4;
  LONG y = top;
  DrawPatches(page, left, y, right, y + section);
  y += section + unit;
  DrawGreyRamp(page, left, y, right, y + section);
  y += section + unit;
  DrawFineLines(page, left, y, right, y + section);
  y += section + unit;
  std::shared_ptr<const platform::Picture> gradient = GradientPicture();
  page.DrawPicture(gradient, RECTL{0, 0, gradient->width, gradient->height}, RECTL{left, y, right, y + section},
                   HALFTONE);
  return page;
}

}  // namespace kvt::print
