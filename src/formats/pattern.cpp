#include "formats/pattern.hpp"

#include <algorithm>

namespace kvn::formats {

std::size_t block_count(const Pattern& p) {
  return 1 + static_cast<std::size_t>(std::count_if(
                 p.events.begin(), p.events.end(),
                 [](const NeedleEvent& e) { return e.op == NeedleOp::kColourChange; }));
}

PatternExtents stitch_extents(const Pattern& p) {
  PatternExtents r;
  for (const auto& e : p.events) {
    if (e.op != NeedleOp::kStitch) continue;
    if (r.empty) {
      r = {e.x, e.y, e.x, e.y, false};
      continue;
    }
    r.min_x = std::min(r.min_x, e.x);
    r.min_y = std::min(r.min_y, e.y);
    r.max_x = std::max(r.max_x, e.x);
    r.max_y = std::max(r.max_y, e.y);
  }
  return r;
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
