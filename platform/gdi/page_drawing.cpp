// Recording of an application's page: solid rectangles and pictures, checked
// when recorded so that playing them back can only fail in the driver or
// the engine.
#include <platform/engine.h>

#include <algorithm>
#include <cstdlib>

namespace platform {
namespace {

bool PictureOk(const std::shared_ptr<const Picture> &picture) {
  if (!picture || picture->width <= 0 || picture->height <= 0) return false;
  if (picture->width > PageDrawing::kMaxCoordinate || picture->height > PageDrawing::kMaxCoordinate) return false;
  const uint64_t bytes = uint64_t(picture->width) * uint64_t(picture->height) * 3;
  return picture->rgb.size() == bytes;
}

bool SourceOk(const Picture &picture, const RECTL &src) {
  return src.left >= 0 && src.top >= 0 && src.left < src.right && src.top < src.bottom && src.right <= picture.width &&
         src.bottom <= picture.height;
}

bool InRange(LONG value) { return value >= -PageDrawing::kMaxCoordinate && value <= PageDrawing::kMaxCoordinate; }

bool InRange(const RECTL &r) { return InRange(r.left) && InRange(r.top) && InRange(r.right) && InRange(r.bottom); }

bool InRange(const std::array<POINTFIX, 3> &corners) {
  for (const POINTFIX &p : corners) {
    if (std::abs(int64_t{p.x}) > int64_t{PageDrawing::kMaxCoordinate} * 16 ||
        std::abs(int64_t{p.y}) > int64_t{PageDrawing::kMaxCoordinate} * 16) {
      return false;
    }
  }
  return true;
}

LONG Limit(LONG value) { return std::clamp(value, -PageDrawing::kMaxCoordinate, PageDrawing::kMaxCoordinate); }

}  // namespace

void PictureRows::Publish(int rows) {
  int current = ready_.load(std::memory_order_relaxed);
  // Rows only ever become final; a failure stays a failure.
  while (current != kFailed && rows > current &&
         !ready_.compare_exchange_weak(current, rows, std::memory_order_release, std::memory_order_relaxed)) {
  }
  ready_.notify_all();
}

void PictureRows::Fail() {
  ready_.store(kFailed, std::memory_order_release);
  ready_.notify_all();
}

bool PictureRows::WaitFor(int rows) const {
  for (;;) {
    const int current = ready_.load(std::memory_order_acquire);
    if (current == kFailed) return false;
    if (current >= rows) return true;
    ready_.wait(current, std::memory_order_acquire);
  }
}

void PageDrawing::FillRect(const RECTL &rect, uint8_t red, uint8_t green, uint8_t blue) {
  Op op;
  op.kind = OpKind::Fill;
  op.dst = {Limit(std::min(rect.left, rect.right)), Limit(std::min(rect.top, rect.bottom)),
            Limit(std::max(rect.left, rect.right)), Limit(std::max(rect.top, rect.bottom))};
  if (op.dst.left == op.dst.right || op.dst.top == op.dst.bottom) return;
  op.red = red;
  op.green = green;
  op.blue = blue;
  ops_.push_back(std::move(op));
}

bool PageDrawing::DrawPicture(std::shared_ptr<const Picture> picture, const RECTL &src, const RECTL &dst, ULONG iMode) {
  if (!PictureOk(picture) || !SourceOk(*picture, src) || !InRange(dst)) return false;
  Op op;
  op.kind = OpKind::StretchBlt;
  op.picture = std::move(picture);
  op.src = src;
  op.dst = dst;
  op.iMode = iMode;
  ops_.push_back(std::move(op));
  return true;
}

bool PageDrawing::DrawPictureROP(std::shared_ptr<const Picture> picture, const RECTL &src, const RECTL &dst, ROP4 rop4,
                                 ULONG iMode) {
  if (!DrawPicture(std::move(picture), src, dst, iMode)) return false;
  ops_.back().kind = OpKind::StretchBltROP;
  ops_.back().rop4 = rop4;
  return true;
}

bool PageDrawing::DrawPictureParallelogram(std::shared_ptr<const Picture> picture, const RECTL &src,
                                           const std::array<POINTFIX, 3> &corners, ULONG iMode) {
  if (!PictureOk(picture) || !SourceOk(*picture, src) || !InRange(corners)) return false;
  Op op;
  op.kind = OpKind::PlgBlt;
  op.picture = std::move(picture);
  op.src = src;
  op.corners = corners;
  op.iMode = iMode;
  ops_.push_back(std::move(op));
  return true;
}

}  // namespace platform
