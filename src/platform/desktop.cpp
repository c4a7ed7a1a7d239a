#include "platform/desktop.h"

#include <algorithm>
#include <cstdint>

namespace jihe::platform {

namespace {

std::int64_t OverlapArea(const Rect& a, const Rect& b) {
  const std::int64_t w = std::min(a.right, b.right) - std::max(a.left, b.left);
  const std::int64_t h = std::min(a.bottom, b.bottom) - std::max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

// How far apart two rectangles lie, squared; 0 when they touch or overlap.
std::int64_t Distance(const Rect& a, const Rect& b) {
  const std::int64_t dx = std::max({0, b.left - a.right, a.left - b.right});
  const std::int64_t dy = std::max({0, b.top - a.bottom, a.top - b.bottom});
  return dx * dx + dy * dy;
}

}  // namespace

const Monitor* MonitorOfRect(const std::vector<Monitor>& monitors, const Rect& rect, bool nearest) {
  const Monitor* best = nullptr;
  std::int64_t bestArea = 0;
  for (const Monitor& m : monitors) {
    const std::int64_t area = OverlapArea(rect, m.area);
    if (area > bestArea) best = &m, bestArea = area;
  }
  if (best || !nearest) return best;
  for (const Monitor& m : monitors) {
    if (!best || Distance(rect, m.area) < Distance(rect, best->area)) best = &m;
  }
  return best;
}

}  // namespace jihe::platform
