#pragma once

#include <algorithm>
#include <cstdint>

namespace kvn::formats {

/// How far one record of a format can move on each axis, both ends included.
struct StepLimits {
  std::int32_t min_dx, max_dx, min_dy, max_dy;
};

/// Splits the straight move from (x0, y0) to (x1, y1) into the fewest equal
/// steps that each fit `limits` (a move that fits stays one step) and hands
/// each step's (dx, dy) to `emit`. Every step ends within a unit of the line
/// and the last ends exactly at (x1, y1).
template <typename Emit>
void line_steps(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                const StepLimits& limits, Emit&& emit) {
  const std::int64_t dx = std::int64_t{x1} - x0, dy = std::int64_t{y1} - y0;
  const auto parts = [](std::int64_t d, std::int64_t lo, std::int64_t hi) -> std::int64_t {
    if (d > 0) return (d + hi - 1) / hi;
    if (d < 0) return (-d + -lo - 1) / -lo;
    return 0;
  };
  const std::int64_t n = std::max<std::int64_t>(
      {1, parts(dx, limits.min_dx, limits.max_dx), parts(dy, limits.min_dy, limits.max_dy)});
  std::int64_t px = x0, py = y0;
  for (std::int64_t i = 1; i <= n; ++i) {
    const std::int64_t nx = x0 + dx * i / n, ny = y0 + dy * i / n;
    emit(static_cast<std::int32_t>(nx - px), static_cast<std::int32_t>(ny - py));
    px = nx;
    py = ny;
  }
}

}  // namespace kvn::formats
