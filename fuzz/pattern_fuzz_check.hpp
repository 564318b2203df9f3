// What the stitch-pattern fuzz targets assert of a reading: the model's rules
// hold, and what was read writes out and reads back to the same stitches.
#pragma once

#include <algorithm>
#include <vector>

#include "formats/pattern.hpp"
#include "fuzz/fuzz_check.hpp"
#include "support/pattern_views.hpp"

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

/// `again` is `first` written out and read back by a format whose steps
/// hold every step `first` was read with: same stitches in the same blocks,
/// same trims, same stops, the same end.
inline void check_same_design(const formats::Pattern& first, const formats::Pattern& again) {
  KORVANE_FUZZ_CHECK(test::stitches_by_block(first) == test::stitches_by_block(again),
                     "stitches moved in the round trip");
  for (const auto op : {formats::NeedleOp::kTrim, formats::NeedleOp::kStop}) {
    KORVANE_FUZZ_CHECK(test::count_op(first, op) == test::count_op(again, op),
                       "trims or stops changed");
  }
  KORVANE_FUZZ_CHECK(first.events.back() == again.events.back(), "the end moved");
}

/// `again` carries `first`'s threads in their colours, one for one.
inline void check_same_colours(const formats::Pattern& first, const formats::Pattern& again) {
  KORVANE_FUZZ_CHECK(again.threads.size() == first.threads.size(), "thread count");
  for (std::size_t i = 0; i < first.threads.size(); ++i)
    KORVANE_FUZZ_CHECK(test::rgb_of(first.threads[i]) == test::rgb_of(again.threads[i]),
                       "a thread changed colour");
}

}  // namespace kvn::fuzz
