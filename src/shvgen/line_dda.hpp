#pragma once

#include <cstdint>

// The calling convention GDI requires of a LineDDA callback.
#ifdef _WIN32
#define KORVANE_CALLBACK __stdcall
#else
#define KORVANE_CALLBACK
#endif

namespace kvn::shvgen {

/// Receives one point of a line and the caller's data, unchanged.
using LineProc = void(KORVANE_CALLBACK*)(int X, int Y, std::intptr_t lpData);

/// Reports the points of the segment from (x1, y1) to (x2, y2) to `proc`, in
/// order, synchronously: the start point is reported and the end point is not,
/// so a zero-length segment reports nothing. Windows builds use GDI's own
/// LineDDA, everything else line_dda_portable; both step alike.
void line_dda(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData);

/// The stepping of GDI's LineDDA, written out: along the major axis (x when
/// |dx| > |dy|, else y), err starts at 2*minor - major; at each step the current
/// point is reported, then the minor axis steps when err > 0 (err += 2*minor -
/// 2*major), else err += 2*minor; then the major axis steps.
void line_dda_portable(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData);

/// line_dda_portable's stepping with the point handed to `point(x, y)` inline:
/// for drawing many short lines, where a call through a pointer per point
/// costs more than the point itself.
template <typename Point>
constexpr void dda_points(int x1, int y1, int x2, int y2, Point&& point) {
  // 64-bit error terms: twice a 32-bit extent does not fit in an int.
  const std::int64_t dx = std::int64_t{x2} - x1;
  const std::int64_t dy = std::int64_t{y2} - y1;
  const int xstep = dx < 0 ? -1 : 1;
  const int ystep = dy < 0 ? -1 : 1;
  const std::int64_t adx = dx < 0 ? -dx : dx;
  const std::int64_t ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const std::int64_t major = x_major ? adx : ady;
  const std::int64_t minor = x_major ? ady : adx;
  std::int64_t err = 2 * minor - major;
  int x = x1;
  int y = y1;
  // One loop per major axis, the minor step chosen without a branch: which
  // way err goes is close to random along a line.
  if (x_major) {
    for (std::int64_t i = 0; i < major; ++i) {
      point(x, y);
      const bool step = err > 0;
      y += step ? ystep : 0;
      err += step ? 2 * minor - 2 * major : 2 * minor;
      x += xstep;
    }
  } else {
    for (std::int64_t i = 0; i < major; ++i) {
      point(x, y);
      const bool step = err > 0;
      x += step ? xstep : 0;
      err += step ? 2 * minor - 2 * major : 2 * minor;
      y += ystep;
    }
  }
}

}  // namespace kvn::shvgen
