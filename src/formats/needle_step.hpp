#pragma once

#include <cstdint>

#include "formats/pattern.hpp"

namespace kvn::formats {

/// The farthest a needle may stand from the origin, in 0.1 mm (10 km): far
/// beyond any hoop, and far from where a position would wrap.
inline constexpr std::int64_t kFarthestPosition = 100'000'000;
static_assert(held(kFarthestPosition));

/// Moves one coordinate of a needle that a format moves relatively; false,
/// and `v` unchanged, when that would take it past kFarthestPosition. A long
/// file of long moves must not be able to wrap the position round.
inline bool step(std::int32_t& v, std::int64_t d) {
  const std::int64_t n = std::int64_t{v} + d;
  if (n > kFarthestPosition || n < -kFarthestPosition) return false;
  v = static_cast<std::int32_t>(n);
  return true;
}

}  // namespace kvn::formats
