#include "tools/pattern_gen.hpp"

#include <algorithm>

namespace kvn::example {

namespace {

// xorshift32: the standard distributions differ between libraries.
class Rng {
 public:
  explicit Rng(std::uint32_t seed) : s_(seed ? seed : 0x9E3779B9u) {}
  std::uint32_t next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  // Uniform enough in [lo, hi] for test shapes.
  std::int32_t in(std::int32_t lo, std::int32_t hi) {
    return lo + static_cast<std::int32_t>(next() % static_cast<std::uint32_t>(hi - lo + 1));
  }

 private:
  std::uint32_t s_;
};

constexpr std::int32_t kKeepWithin = 500;

// A step of at most `limit` that leans back towards the start once the
// needle is far out, so that long designs stay small.
std::int32_t step(Rng& rng, std::int32_t at, std::int32_t limit) {
  std::int32_t d = rng.in(-limit, limit);
  if ((at > kKeepWithin && d > 0) || (at < -kKeepWithin && d < 0)) d = -d;
  return d;
}

}  // namespace

formats::Pattern generated_pattern(const PatternShape& shape) {
  using formats::NeedleOp;
  Rng rng(shape.seed);
  formats::Pattern p;
  p.name = "gen" + std::to_string(shape.seed);
  const std::size_t blocks = std::max<std::size_t>(shape.blocks, 1);
  p.events.reserve(shape.stitches + shape.stitches / 4 + 2 * blocks + 2);
  std::int32_t x = 0, y = 0;
  const auto jump = [&] {
    std::int32_t dx = 0, dy = 0;
    while (dx == 0 && dy == 0) {
      dx = step(rng, x, shape.max_jump);
      dy = step(rng, y, shape.max_jump);
    }
    x += dx;
    y += dy;
    p.events.push_back({x, y, NeedleOp::kJump});
  };
  for (std::size_t b = 0; b < blocks; ++b) {
    if (b > 0) p.events.push_back({x, y, NeedleOp::kColourChange});
    if (shape.threads) {
      const std::uint32_t rgb = rng.next();
      p.threads.push_back({static_cast<std::uint8_t>(rgb >> 16),
                           static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb), "",
                           "", std::nullopt});
    }
    jump();
    // Every block holds at least one stitch.
    const std::size_t in_block = std::max<std::size_t>(1, shape.stitches / blocks);
    for (std::size_t i = 0; i < in_block; ++i) {
      x += step(rng, x, shape.max_stitch);
      y += step(rng, y, shape.max_stitch);
      p.events.push_back({x, y, NeedleOp::kStitch});
      // Only the shapes that ask for them draw numbers for these, so that
      // the others stay as they were.
      if (shape.stops && rng.next() % 20 == 0) p.events.push_back({x, y, NeedleOp::kStop});
      if (i + 1 < in_block && rng.next() % 40 == 0) {
        if (shape.trims && rng.next() % 2 == 0) p.events.push_back({x, y, NeedleOp::kTrim});
        jump();
      }
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

}  // namespace kvn::example
