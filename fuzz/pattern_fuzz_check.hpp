// What the stitch-pattern fuzz targets assert of a reading: the model's rules
// hold, and what was read writes out and reads back to the same stitches.
#pragma once

#include <algorithm>
#include <vector>

#include "formats/pattern.hpp"
#include "fuzz/fuzz_check.hpp"

namespace kvn::fuzz {

inline void check_read(const Result<formats::Pattern>& p, const char* file) {
  if (!p) {
    KORVANE_FUZZ_CHECK(p.error().code != ErrorCode::kOk && p.error().file == file,
                       p.error().message());
    return;
  }
  KORVANE_FUZZ_CHECK(formats::check_pattern(*p, file).has_value(), "the model's rules broken");
  KORVANE_FUZZ_CHECK(!p->events.empty() && p->events.back().op == formats::NeedleOp::kEnd,
                     "no end");
}

inline std::vector<std::vector<formats::NeedleEvent>> stitches_by_block(const formats::Pattern& p) {
  std::vector<std::vector<formats::NeedleEvent>> blocks(1);
  for (const auto& e : p.events) {
    if (e.op == formats::NeedleOp::kColourChange) blocks.emplace_back();
    if (e.op == formats::NeedleOp::kStitch) blocks.back().push_back(e);
  }
  return blocks;
}

inline std::size_t count_op(const formats::Pattern& p, formats::NeedleOp op) {
  return static_cast<std::size_t>(
      std::count_if(p.events.begin(), p.events.end(),
                    [op](const formats::NeedleEvent& e) { return e.op == op; }));
}

/// `again` is `first` written out and read back by a format whose steps
/// hold every step `first` was read with: same stitches in the same blocks,
/// same trims, same stops, the same end.
inline void check_same_design(const formats::Pattern& first, const formats::Pattern& again) {
  KORVANE_FUZZ_CHECK(stitches_by_block(first) == stitches_by_block(again),
                     "stitches moved in the round trip");
  for (const auto op : {formats::NeedleOp::kTrim, formats::NeedleOp::kStop}) {
    KORVANE_FUZZ_CHECK(count_op(first, op) == count_op(again, op), "trims or stops changed");
  }
  KORVANE_FUZZ_CHECK(first.events.back() == again.events.back(), "the end moved");
}

}  // namespace kvn::fuzz
