// What every pattern reader's fuzz target asserts about a reading that
// succeeds: the shape writers rely on, and no more events than the input can
// describe.
#pragma once

#include <string>

#include "formats/pattern.hpp"
#include "fuzz/fuzz_check.hpp"

namespace kvn::fuzz {

inline void check_read_pattern(const Result<formats::Pattern>& p, std::size_t max_events) {
  if (!p) {
    KORVANE_FUZZ_CHECK(!p.error().message().empty(), "an error without a message");
    return;
  }
  KORVANE_FUZZ_CHECK(formats::check_pattern(*p, "in").has_value(), "an unsound pattern");
  KORVANE_FUZZ_CHECK(!p->events.empty() && p->events.back().op == formats::NeedleOp::kEnd,
                     "the events do not end with kEnd");
  KORVANE_FUZZ_CHECK(p->events.size() <= max_events,
                     std::to_string(p->events.size()) + " events from a small input");
}

}  // namespace kvn::fuzz
