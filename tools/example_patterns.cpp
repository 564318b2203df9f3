#include "tools/example_patterns.hpp"

#include <random>

namespace kvn::tools {

formats::Pattern example_pattern(std::uint32_t seed, std::uint32_t stitches, std::uint32_t blocks,
                                 std::int32_t reach, bool stops) {
  using formats::NeedleOp;
  std::mt19937 rng(seed);
  const auto uniform = [&](std::int32_t lo, std::int32_t hi) {
    return std::uniform_int_distribution<std::int32_t>(lo, hi)(rng);
  };
  formats::Pattern p;
  p.name = "example " + std::to_string(seed);
  if (blocks == 0) blocks = 1;
  std::int32_t x = 0, y = 0;
  for (std::uint32_t b = 0; b < blocks; ++b) {
    if (b > 0) {
      p.events.push_back({x, y, NeedleOp::kTrim});
      p.events.push_back({x, y, NeedleOp::kColourChange});
    }
    p.threads.push_back({static_cast<std::uint8_t>(uniform(0, 255)),
                         static_cast<std::uint8_t>(uniform(0, 255)),
                         static_cast<std::uint8_t>(uniform(0, 255)), "", "", std::nullopt});
    // Each block wanders about its own centre, so that the design stays compact.
    const std::int32_t cx = uniform(-400, 400), cy = uniform(-400, 400);
    x = cx;
    y = cy;
    p.events.push_back({x, y, NeedleOp::kJump});
    const std::uint32_t n = stitches / blocks + (b < stitches % blocks ? 1 : 0);
    for (std::uint32_t i = 0; i < n; ++i) {
      x += uniform(-reach, reach);
      y += uniform(-reach, reach);
      // Pulled back towards the centre, as fills are.
      if (x - cx > 600) x -= reach;
      if (cx - x > 600) x += reach;
      if (y - cy > 600) y -= reach;
      if (cy - y > 600) y += reach;
      p.events.push_back({x, y, NeedleOp::kStitch});
      if (stops && uniform(0, 200) == 0) p.events.push_back({x, y, NeedleOp::kStop});
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

}  // namespace kvn::tools
