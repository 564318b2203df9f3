#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace kvn::formats {

/// Calls `step(x, y)` with the points that take the needle from (x0, y0) to
/// (x1, y1) in equal steps, none longer than `max_step` in either axis. Each
/// point is rounded from the straight line, so none strays from it by more
/// than half a unit, and the last is (x1, y1) exactly. A move of no length
/// is one step, so that a stitch in place still sews.
template <class Step>
void for_each_step(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                   std::int64_t max_step, Step&& step) {
  const std::int64_t dx = x1 - x0;
  const std::int64_t dy = y1 - y0;
  const std::int64_t longest = std::max(std::llabs(dx), std::llabs(dy));
  // Most moves are one step; the rounding below would give (x1, y1) at the
  // cost of three divisions.
  if (longest <= max_step) {
    step(x1, y1);
    return;
  }
  const std::int64_t n = longest == 0 ? 1 : (longest + max_step - 1) / max_step;
  // Rounds a * i / n to the nearest whole unit, halves away from zero, in
  // integers so that every platform gives the same bytes.
  const auto along = [n](std::int64_t a, std::int64_t i) {
    const std::int64_t num = a * i;
    return num >= 0 ? (2 * num + n) / (2 * n) : -((-2 * num + n) / (2 * n));
  };
  for (std::int64_t i = 1; i <= n; ++i) step(x0 + along(dx, i), y0 + along(dy, i));
}

/// The same steps as for_each_step, each handed over as (dx, dy) from the
/// point before it, for formats that store relative moves.
template <class Delta>
void for_each_delta(std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                    std::int32_t max_step, Delta&& delta) {
  std::int64_t px = x0, py = y0;
  for_each_step(x0, y0, x1, y1, max_step, [&](std::int64_t x, std::int64_t y) {
    delta(static_cast<std::int32_t>(x - px), static_cast<std::int32_t>(y - py));
    px = x;
    py = y;
  });
}

}  // namespace kvn::formats
