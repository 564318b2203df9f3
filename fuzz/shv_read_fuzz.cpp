// Arbitrary bytes read as a design by the pattern readers: an SHV design, a
// HUC image, or a DHV container's designs alone or combined (mode byte, low
// two bits). A reading either refuses or gives a pattern writers can take;
// written as SHV and read again, it comes back event for event, except that
// a block opening with a trim gains the block-start jump every SHV block
// written by korvane has.
#include <sstream>
#include <string>

#include "formats/shv_pattern.hpp"
#include "fuzz/fuzz_check.hpp"
#include "shvgen/shv_writer.hpp"

namespace {

namespace f = kvn::formats;

// What writing `p` as SHV and reading it back should give.
f::Pattern expected_back(const f::Pattern& p) {
  f::Pattern e = p;
  e.name = p.name.substr(0, 127);
  e.events.clear();
  bool block_start = true;
  for (const auto& ev : p.events) {
    if (block_start && ev.op == f::NeedleOp::kTrim)
      e.events.push_back({ev.x, ev.y, f::NeedleOp::kJump});
    block_start = ev.op == f::NeedleOp::kColourChange;
    e.events.push_back(ev);
  }
  return e;
}

void check(const f::Pattern& p) {
  KORVANE_FUZZ_CHECK(!p.events.empty() && p.events.back().op == f::NeedleOp::kEnd,
                     "a reading does not end with kEnd");
  KORVANE_FUZZ_CHECK(f::check_pattern(p, "in").has_value(), "a reading breaks the model's rules");
  const auto shv = kvn::shvgen::write_shv(p, "out.shv");
  if (!shv) {
    // Only combining can place designs beyond what one SHV design holds.
    const auto code = shv.error().code;
    KORVANE_FUZZ_CHECK(
        code == kvn::ErrorCode::kCoordinateOutOfRange || code == kvn::ErrorCode::kTooManyColours,
        "writing a reading failed: " + shv.error().message());
    return;
  }
  const auto back = f::read_shv(f::ByteReader(*shv, "out.shv"));
  KORVANE_FUZZ_CHECK(back.has_value(), "korvane's own SHV did not read back");
  const f::Pattern want = expected_back(p);
  std::size_t i = 0;
  while (i < want.events.size() && i < back->events.size() && want.events[i] == back->events[i])
    ++i;
  const auto show = [](const std::vector<f::NeedleEvent>& v, std::size_t k) {
    if (k >= v.size()) return std::string("nothing");
    std::ostringstream s;
    s << '(' << v[k].x << ", " << v[k].y << ", op " << static_cast<int>(v[k].op) << ')';
    return s.str();
  };
  KORVANE_FUZZ_CHECK(*back == want, "read back differs at event " + std::to_string(i) + ": " +
                                        show(back->events, i) + " for " + show(want.events, i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto in = kvn::fuzz::take_mode(data, size);
  if (!in) return 0;
  const f::ByteReader rd(in->body, "in");
  switch (in->mode & 3) {
    case 0:
      if (auto p = f::read_shv(rd)) check(*p);
      break;
    case 1:
      if (auto p = f::read_huc(rd)) check(*p);
      break;
    case 2:
      if (auto ps = f::read_dhv_designs(rd))
        for (const auto& p : *ps) check(p);
      break;
    default:
      if (auto p = f::read_dhv_combined(rd)) check(*p);
      break;
  }
  return 0;
}
