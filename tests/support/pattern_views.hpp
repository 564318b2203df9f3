// Views of a read pattern that tests and fuzz targets compare: what a writer
// must keep, apart from how a format spells it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/pattern.hpp"

namespace kvn::test {

/// The stitches of each colour block, in order; jumps and trims left out.
inline std::vector<std::vector<formats::NeedleEvent>> stitches_by_block(const formats::Pattern& p) {
  std::vector<std::vector<formats::NeedleEvent>> blocks(1);
  for (const auto& e : p.events) {
    if (e.op == formats::NeedleOp::kColourChange) blocks.emplace_back();
    if (e.op == formats::NeedleOp::kStitch) blocks.back().push_back(e);
  }
  return blocks;
}

/// Every stitch, in order.
inline std::vector<formats::NeedleEvent> stitches_of(
    const std::vector<formats::NeedleEvent>& events) {
  std::vector<formats::NeedleEvent> s;
  for (const auto& e : events)
    if (e.op == formats::NeedleOp::kStitch) s.push_back(e);
  return s;
}

inline std::size_t count_op(const formats::Pattern& p, formats::NeedleOp op) {
  return static_cast<std::size_t>(
      std::count_if(p.events.begin(), p.events.end(),
                    [op](const formats::NeedleEvent& e) { return e.op == op; }));
}

/// 0xRRGGBB, as reference readings and charts list colours.
inline std::uint32_t rgb_of(const formats::Thread& t) {
  return (std::uint32_t{t.r} << 16) | (std::uint32_t{t.g} << 8) | t.b;
}

inline formats::Thread thread_of(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  formats::Thread t;
  t.r = r, t.g = g, t.b = b;
  return t;
}

inline std::string text_of(const std::vector<std::uint8_t>& b) { return {b.begin(), b.end()}; }

}  // namespace kvn::test
