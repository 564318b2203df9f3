#include "formats/pattern.hpp"

#include <algorithm>
#include <limits>

namespace kvn::formats {

std::size_t block_count(const Pattern& p) {
  return 1 + static_cast<std::size_t>(std::count_if(
                 p.events.begin(), p.events.end(),
                 [](const NeedleEvent& e) { return e.op == NeedleOp::kColourChange; }));
}

PatternExtents stitch_extents(const Pattern& p) {
  // Every event takes part, a non-stitch through a position that can move no
  // bound: with no branch on the bounds, a design that wanders outward (each
  // new bound a mispredicted branch) costs what any other does.
  constexpr std::int32_t kLow = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kHigh = std::numeric_limits<std::int32_t>::max();
  std::int32_t min_x = kHigh, min_y = kHigh, max_x = kLow, max_y = kLow;
  for (const auto& e : p.events) {
    const bool s = e.op == NeedleOp::kStitch;
    min_x = std::min(min_x, s ? e.x : kHigh);
    min_y = std::min(min_y, s ? e.y : kHigh);
    max_x = std::max(max_x, s ? e.x : kLow);
    max_y = std::max(max_y, s ? e.y : kLow);
  }
  // A maximum below its minimum: no stitch raised it.
  if (max_x < min_x) return {};
  return {min_x, min_y, max_x, max_y, false};
}

Status check_pattern(const Pattern& p, const std::string& file) {
  const auto blocks = block_count(p);
  if (!p.threads.empty() && p.threads.size() != blocks) {
    return make_error(ErrorCode::kInternal, file,
                      "the design has " + std::to_string(blocks) + " colour blocks but " +
                          std::to_string(p.threads.size()) + " threads");
  }
  const auto end = std::find_if(p.events.begin(), p.events.end(),
                                [](const NeedleEvent& e) { return e.op == NeedleOp::kEnd; });
  if (end != p.events.end() && end + 1 != p.events.end()) {
    return make_error(ErrorCode::kInternal, file, "events follow the end of the design");
  }
  return Ok{};
}

}  // namespace kvn::formats
