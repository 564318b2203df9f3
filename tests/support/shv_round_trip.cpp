#include "support/shv_round_trip.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "formats/shv_pattern.hpp"
#include "formats/shv_threads.hpp"

namespace kvn::test {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;

class Source {
 public:
  explicit Source(std::span<const std::uint8_t> b) : b_(b) {}
  bool more() const { return at_ < b_.size(); }
  std::uint8_t u8() { return at_ < b_.size() ? b_[at_++] : 0; }
  std::int32_t s8() { return static_cast<std::int8_t>(u8()); }
  std::int32_t s16() { return static_cast<std::int16_t>((u8() << 8) | u8()); }

 private:
  std::span<const std::uint8_t> b_;
  std::size_t at_ = 0;
};

std::int32_t clamp16(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, -32768, 32767));
}

std::string at(const NeedleEvent& e) {
  std::ostringstream s;
  s << '(' << e.x << ", " << e.y << ", op " << static_cast<int>(e.op) << ')';
  return s.str();
}

}  // namespace

// Ops: 0-8 a stitch of one record, 9-10 a longer stitch, 11-12 a small jump
// (with bit 4 set: 11 anywhere in range, 12 middling), 13-14 a trim, 15 a
// colour change and the next block's jump.
formats::Pattern shv_shaped_pattern(std::span<const std::uint8_t> bytes,
                                    std::span<const std::uint8_t> ops) {
  Source src(bytes);
  formats::Pattern p;
  const std::uint8_t shape = src.u8();
  const bool threads = shape & 1;
  const auto chart = formats::shv_thread_chart();
  p.name = "pattern " + std::to_string(shape);
  std::int32_t x = 0, y = 0;
  std::size_t blocks = 0;
  auto open_block = [&] {
    if (threads)
      p.threads.push_back(formats::thread_for_shv_code(chart[src.u8() % chart.size()].code));
    ++blocks;
    x = clamp16(x + src.s16() / 64);
    y = clamp16(y + src.s16() / 64);
    p.events.push_back({x, y, NeedleOp::kJump});
  };
  open_block();
  while (src.more()) {
    const std::uint8_t pick = src.u8();
    const std::uint8_t op = ops.empty() ? pick : ops[pick % ops.size()];
    switch (op % 16) {
      case 0:
      case 1:
      case 2:
      case 3:
      case 4:
      case 5:
      case 6:
      case 7:
      case 8:
        x = clamp16(x + src.s8());
        y = clamp16(y + src.s8());
        p.events.push_back({x, y, NeedleOp::kStitch});
        break;
      case 9:
      case 10:  // longer than one record holds
        x = clamp16(x + src.s16() / 64);
        y = clamp16(y + src.s16() / 64);
        p.events.push_back({x, y, NeedleOp::kStitch});
        break;
      case 11:
      case 12: {
        // Small jumps, and with bit 4 set far ones (11) or middling ones (12).
        const bool wide = op & 0x10;
        const std::int32_t scale = op % 16 == 12 ? 64 : 1;
        x = clamp16(x + (wide ? src.s16() / scale : src.s8()));
        y = clamp16(y + (wide ? src.s16() / scale : src.s8()));
        p.events.push_back({x, y, NeedleOp::kJump});
        break;
      }
      case 13:
      case 14:
        p.events.push_back({x, y, NeedleOp::kTrim});
        break;
      default:
        p.events.push_back({x, y, NeedleOp::kColourChange});
        open_block();
        break;
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

std::string shv_round_trip_difference(const formats::Pattern& sent, const formats::Pattern& back) {
  if (back.name != sent.name.substr(0, 127)) return "name \"" + back.name + "\" came back";
  const std::size_t blocks = formats::block_count(sent);
  if (back.threads.size() != blocks)
    return std::to_string(back.threads.size()) + " threads for " + std::to_string(blocks) +
           " blocks";
  for (std::size_t i = 0; i < blocks; ++i) {
    const std::uint8_t want = sent.threads.empty() ? formats::default_shv_code(i)
                                                   : formats::shv_code_for(sent.threads[i]);
    if (back.threads[i] != formats::thread_for_shv_code(want))
      return "thread " + std::to_string(i) + " came back as " + back.threads[i].name;
  }
  std::size_t j = 0;
  std::int32_t x = 0, y = 0;
  for (std::size_t i = 0; i < sent.events.size(); ++i) {
    const NeedleEvent& e = sent.events[i];
    const std::string where = "event " + std::to_string(i) + " " + at(e);
    if (e.op != NeedleOp::kStitch) {
      if (j >= back.events.size() || back.events[j] != e)
        return where + ": read back " + (j < back.events.size() ? at(back.events[j]) : "nothing");
      ++j;
      x = e.x;
      y = e.y;
      continue;
    }
    const std::int64_t dx = e.x - x, dy = e.y - y;
    const std::int64_t steps = formats::stitch_steps(dx, dy);
    const double length = std::hypot(static_cast<double>(dx), static_cast<double>(dy));
    for (std::int64_t s = 1; s <= steps; ++s, ++j) {
      if (j >= back.events.size() || back.events[j].op != NeedleOp::kStitch)
        return where + ": step " + std::to_string(s) + " of " + std::to_string(steps) +
               " is not a stitch";
      const NeedleEvent& b = back.events[j];
      if (s == steps && (b.x != e.x || b.y != e.y))
        return where + ": the last step ends at " + at(b);
      // Distance from the line, in tenths of a millimetre.
      const double off = length == 0 ? 0
                                     : std::abs(static_cast<double>(dx) * (b.y - y) -
                                                static_cast<double>(dy) * (b.x - x)) /
                                           length;
      if (off > 1.0) return where + ": step " + at(b) + " lies " + std::to_string(off) + " off";
    }
    x = e.x;
    y = e.y;
  }
  if (j != back.events.size())
    return std::to_string(back.events.size() - j) + " events more came back";
  return "";
}

}  // namespace kvn::test
