#include "formats/vp3.hpp"

#include <algorithm>
#include <cmath>
#include <string>

#include "formats/byte_writer.hpp"
#include "formats/default_threads.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::string_view kMagic = "%vsm%";
constexpr std::size_t kMagicSize = 6;  // "%vsm%" and a zero byte
// Fixed stretches between the head's fields whose meaning does not matter here.
constexpr std::size_t kBeforeCentre = 32;
constexpr std::size_t kAfterCentre = 27;
constexpr std::size_t kBeforeProducer = 24;
constexpr std::size_t kBeforeStitches = 18;  // 15 unknown bytes and 0A F6 00
constexpr std::size_t kBlockTagSize = 3;     // 00 05 00 opens a colour block

constexpr std::uint8_t kEscape = 0x80;
constexpr std::uint8_t kLongMove = 0x01;
constexpr std::uint8_t kLongEnd = 0x02;
constexpr std::uint8_t kTrim = 0x03;
// A long move farther than this on either axis cannot be a stitch.
constexpr std::int32_t kLongestStitch = 255;

/// A cursor over a window: each field read moves it on. Everything still goes
/// through the ByteReader, so a cursor cannot read outside its window.
class Cursor {
 public:
  Cursor(const ByteReader& in, std::size_t at) : in_(in), at_(at) {}
  std::size_t at() const { return at_; }

  Result<std::uint8_t> u8(std::string_view what) {
    KORVANE_TRY(v, in_.u8(at_, what));
    at_ += 1;
    return v;
  }
  Result<std::uint16_t> u16(std::string_view what) {
    KORVANE_TRY(v, in_.u16(at_, what));
    at_ += 2;
    return v;
  }
  Result<std::int32_t> s32(std::string_view what) {
    KORVANE_TRY(v, in_.u32(at_, what));
    at_ += 4;
    return static_cast<std::int32_t>(v);
  }
  Result<std::uint32_t> u32(std::string_view what) {
    KORVANE_TRY(v, in_.u32(at_, what));
    at_ += 4;
    return v;
  }
  Status skip(std::size_t n, std::string_view what) {
    if (!in_.contains(at_, n)) return in_.span_at(at_, n, what).error();
    at_ += n;
    return Ok{};
  }
  Status skip_string(std::string_view what) {
    KORVANE_TRY(len, u16(what));
    return skip(len, what);
  }
  /// A string stored as its byte length (16 bits) and its bytes.
  Result<std::string> string(std::string_view what) {
    KORVANE_TRY(len, u16(what));
    KORVANE_TRY(b, in_.span_at(at_, len, what));
    at_ += len;
    return std::string(b.begin(), b.end());
  }

 private:
  const ByteReader& in_;
  std::size_t at_;
};

// 1/1000 mm to the model's 0.1 mm, to the nearest.
std::int32_t from_micrometres(std::int64_t v) {
  return static_cast<std::int32_t>(std::llround(static_cast<double>(v) / 100.0));
}

Status read_stitches(const ByteReader& block, std::size_t at, Pattern& p, std::int32_t& x,
                     std::int32_t& y) {
  // Each block ends in one zero byte after its last stitch.
  while (at + 1 < block.size()) {
    KORVANE_TRY(b, block.take<2>(at, "a stitch"));
    at += 2;
    if (b[0] != kEscape) {
      KORVANE_FAIL_AT(
          !step(x, static_cast<std::int8_t>(b[0])) || !step(y, static_cast<std::int8_t>(b[1])),
          block, at - 2, ErrorCode::kMalformedDesign, "the stitches walk the needle past 10 km");
      p.events.push_back({x, y, NeedleOp::kStitch});
      continue;
    }
    switch (b[1]) {
      case kLongMove: {
        KORVANE_TRY(dx, block.u16(at, "a long move"));
        KORVANE_TRY(dy, block.u16(at + 2, "a long move"));
        at += 4;
        const std::int32_t sx = static_cast<std::int16_t>(dx);
        const std::int32_t sy = static_cast<std::int16_t>(dy);
        KORVANE_FAIL_AT(!step(x, sx) || !step(y, sy), block, at - 6, ErrorCode::kMalformedDesign,
                        "the stitches walk the needle past 10 km");
        const bool jump = std::abs(sx) > kLongestStitch || std::abs(sy) > kLongestStitch;
        p.events.push_back({x, y, jump ? NeedleOp::kJump : NeedleOp::kStitch});
        break;
      }
      case kLongEnd:
        break;
      case kTrim:
        p.events.push_back({x, y, NeedleOp::kTrim});
        break;
      default:
        return block.error_at(at - 2, ErrorCode::kMalformedDesign,
                              "unknown stitch command 80 " + std::to_string(b[1]));
    }
  }
  return Ok{};
}

Result<Thread> read_thread(Cursor& b) {
  Thread t;
  KORVANE_TRY(shades, b.u8("the thread's colour count"));
  if (auto s = b.skip(1, "the thread's transition"); !s) return s.error();
  for (std::size_t k = 0; k < shades; ++k) {
    // A thread of several shades is drawn in its first.
    KORVANE_TRY(r, b.u8("the thread's colour"));
    KORVANE_TRY(g, b.u8("the thread's colour"));
    KORVANE_TRY(bl, b.u8("the thread's colour"));
    if (k == 0) t.r = r, t.g = g, t.b = bl;
    if (auto s = b.skip(3, "the thread's shade"); !s) return s.error();
  }
  if (auto s = b.skip(2, "the thread's type and weight"); !s) return s.error();
  KORVANE_TRY(catalogue, b.string("the thread's number"));
  KORVANE_TRY(name, b.string("the thread's name"));
  if (auto s = b.skip_string("the thread's brand"); !s) return s.error();
  t.name = std::move(name);
  t.catalogue = std::move(catalogue);
  return t;
}

}  // namespace

Result<Pattern> read_vp3(const ByteReader& in) {
  KORVANE_TRY(magic, in.span_at(0, kMagicSize, "the VP3 mark"));
  KORVANE_FAIL_AT(
      std::string_view(reinterpret_cast<const char*>(magic.data()), kMagic.size()) != kMagic, in, 0,
      ErrorCode::kMalformedDesign, "the file does not begin with %vsm%");
  Cursor c(in, kMagicSize);
  if (auto s = c.skip_string("the producer"); !s) return s.error();
  if (auto s = c.skip(kBlockTagSize, "the design's tag"); !s) return s.error();
  KORVANE_TRY(design_size, c.u32("the design's size"));
  KORVANE_FAIL_AT(design_size > in.size() - c.at(), in, c.at() - 4, ErrorCode::kMalformedDesign,
                  "the design claims " + std::to_string(design_size) +
                      " bytes where the file has " + std::to_string(in.size() - c.at()));
  if (auto s = c.skip_string("the comment"); !s) return s.error();
  if (auto s = c.skip(kBeforeCentre, "the design's extents"); !s) return s.error();
  KORVANE_TRY(cx, c.s32("the design's centre"));
  KORVANE_TRY(cy, c.s32("the design's centre"));
  if (auto s = c.skip(kAfterCentre, "the design's settings"); !s) return s.error();
  if (auto s = c.skip_string("the settings"); !s) return s.error();
  if (auto s = c.skip(kBeforeProducer, "the design's settings"); !s) return s.error();
  if (auto s = c.skip_string("the producer"); !s) return s.error();
  KORVANE_TRY(colours, c.u16("the colour count"));

  Pattern p;
  std::int32_t x = 0, y = 0;
  for (std::size_t k = 0; k < colours; ++k) {
    if (auto s = c.skip(kBlockTagSize, "a colour block's tag"); !s) return s.error();
    KORVANE_TRY(size, c.u32("a colour block's size"));
    KORVANE_TRY(block, in.window(c.at(), size, "a colour block"));
    if (auto s = c.skip(size, "a colour block"); !s) return s.error();
    Cursor b(block, 0);
    KORVANE_TRY(sx, b.s32("the block's start"));
    KORVANE_TRY(sy, b.s32("the block's start"));
    // The starts are stored with y upwards, the stitches with y downwards.
    const std::int32_t start_x = from_micrometres(std::int64_t{sx} + cx);
    const std::int32_t start_y = from_micrometres(-(std::int64_t{sy} + cy));
    if (k > 0) p.events.push_back({x, y, NeedleOp::kColourChange});
    if (start_x != x || start_y != y) p.events.push_back({start_x, start_y, NeedleOp::kJump});
    x = start_x;
    y = start_y;

    KORVANE_TRY(thread, read_thread(b));
    p.threads.push_back(std::move(thread));
    if (auto s = b.skip(kBeforeStitches, "the stitches' head"); !s) return s.error();
    if (auto s = read_stitches(block, b.at(), p, x, y); !s) return s.error();
  }
  // A design without blocks still has its one (empty) block, and so one thread.
  if (p.threads.empty()) p.threads.push_back({});
  p.events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

}  // namespace kvn::formats

namespace kvn::formats {

namespace {

constexpr std::string_view kProducer = "Produced by korvane";
constexpr std::int32_t kVp3StitchSteps = kVp3LongestStitch;
constexpr std::int32_t kVp3MoveSteps = 32767;
constexpr std::int32_t kShortStep = 127;
// Thread strings longer than this are cut; no machine shows more.
constexpr std::size_t kLongestThreadString = 255;

/// A block of the file: its 3-byte tag, then its length, patched in when
/// the block is complete.
class Nest {
 public:
  Nest(ByteWriter& out, std::uint8_t tag) : out_(out) {
    out.u8(0);
    out.u8(tag);
    out.u8(0);
    at_ = out.size();
    out.u32(0);
  }
  void close() {
    const auto length = static_cast<std::uint32_t>(out_.size() - at_ - 4);
    auto v = out_.view();
    for (std::size_t i = 0; i < 4; ++i)
      v[at_ + i] = static_cast<std::uint8_t>(length >> (24 - 8 * i));
  }

 private:
  ByteWriter& out_;
  std::size_t at_ = 0;
};

void string16(ByteWriter& out, std::string_view ascii) {
  out.u16(static_cast<std::int32_t>(2 * ascii.size()));
  for (const char c : ascii) out.u16(static_cast<std::uint8_t>(c));
}

// Thread strings are bytes as the reader gives them back; a cut never
// splits a UTF-8 sequence.
void string8(ByteWriter& out, std::string_view s) {
  std::size_t n = std::min(s.size(), kLongestThreadString);
  while (n < s.size() && n > 0 && (static_cast<std::uint8_t>(s[n]) & 0xC0) == 0x80) --n;
  out.u16(static_cast<std::int32_t>(n));
  for (std::size_t i = 0; i < n; ++i) out.u8(static_cast<std::uint8_t>(s[i]));
}

void s32(ByteWriter& out, std::int64_t v) {
  out.u32(static_cast<std::uint32_t>(
      static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX))));
}

struct Block {
  std::size_t first = 0, last = 0;  // events [first, last)
  Thread thread;
};

}  // namespace

Result<std::vector<std::uint8_t>> write_vp3(const Pattern& p, const std::string& file) {
  std::vector<Block> blocks{{0, 0, thread_of_block(p, 0)}};
  std::size_t colour = 0;
  std::size_t end = 0;
  for (; end < p.events.size() && p.events[end].op != NeedleOp::kEnd; ++end) {
    const auto op = p.events[end].op;
    if (op != NeedleOp::kColourChange && op != NeedleOp::kStop) continue;
    blocks.back().last = end;
    // A stop has no mark of its own: a block of the same thread makes the
    // machine stop all the same.
    Thread t = op == NeedleOp::kStop ? blocks.back().thread : thread_of_block(p, ++colour);
    blocks.push_back({end + 1, 0, std::move(t)});
  }
  blocks.back().last = end;
  KORVANE_FAIL_IF(blocks.size() > kVp3MaxBlocks, ErrorCode::kUnsupportedForm, file,
                  "a VP3 design holds at most " + std::to_string(kVp3MaxBlocks) +
                      " colour blocks (stops count as blocks); this one has " +
                      std::to_string(blocks.size()));

  const auto e = stitch_extents(p);
  const std::int64_t min_x = e.empty ? 0 : e.min_x, max_x = e.empty ? 0 : e.max_x;
  const std::int64_t min_y = e.empty ? 0 : e.min_y, max_y = e.empty ? 0 : e.max_y;
  // The centre in 1/1000 mm, y upwards: a whole number, so every block
  // start below is exact.
  const std::int64_t centre_x = (min_x + max_x) * 50;
  const std::int64_t centre_y = -(min_y + max_y) * 50;
  std::int64_t stitch_count = 0;
  for (std::size_t i = 0; i < end; ++i) stitch_count += p.events[i].op == NeedleOp::kStitch;

  ByteWriter out(512 + 3 * p.events.size() + 64 * blocks.size());
  for (const char c : kMagic) out.u8(static_cast<std::uint8_t>(c));
  out.u8(0);
  string16(out, kProducer);
  Nest file_block(out, 2);
  string16(out, "");
  s32(out, max_x * 100);
  s32(out, -min_y * 100);
  s32(out, min_x * 100);
  s32(out, -max_y * 100);
  s32(out, stitch_count);
  out.u8(0);
  out.u8(static_cast<std::uint8_t>(blocks.size()));
  out.u8(12);
  out.u8(0);
  out.u8(1);  // one design
  Nest design(out, 3);
  s32(out, centre_x);
  s32(out, centre_y);
  out.zeros(3);
  const std::int64_t half_w = (max_x - min_x) * 50, half_h = (max_y - min_y) * 50;
  s32(out, -half_w);
  s32(out, half_w);
  s32(out, -half_h);
  s32(out, half_h);
  s32(out, 2 * half_w);
  s32(out, 2 * half_h);
  string16(out, "");
  out.u8(0x64);
  out.u8(0x64);
  out.u32(4096);
  out.u32(0);
  out.u32(0);
  out.u32(4096);
  for (const char c : std::string_view("xxPP\x01\x00", 6)) out.u8(static_cast<std::uint8_t>(c));
  string16(out, kProducer);
  out.u16(static_cast<std::int32_t>(blocks.size()));

  std::int32_t x = 0, y = 0;
  for (const auto& b : blocks) {
    // The block starts where its first stitch or trim stands: the jumps
    // before it are the machine's move to the start.
    std::size_t first = b.first;
    while (first < b.last && p.events[first].op == NeedleOp::kJump) ++first;
    const std::int32_t start_x = first > b.first ? p.events[first - 1].x : x;
    const std::int32_t start_y = first > b.first ? p.events[first - 1].y : y;
    Nest colour_block(out, 5);
    s32(out, std::int64_t{start_x} * 100 - centre_x);
    s32(out, -std::int64_t{start_y} * 100 - centre_y);
    out.u8(1);  // one shade
    out.u8(0);
    out.u8(b.thread.r);
    out.u8(b.thread.g);
    out.u8(b.thread.b);
    out.zeros(3);
    out.u8(5);     // rayon
    out.u8(0x28);  // weight 40
    string8(out, b.thread.catalogue);
    string8(out, b.thread.name);
    string8(out, "");
    const std::size_t shift_at = out.size();
    out.zeros(8);
    Nest stitches(out, 1);
    out.u8(0x0A);
    out.u8(0xF6);
    out.u8(0);
    x = start_x;
    y = start_y;
    const auto long_move = [&](std::int32_t dx, std::int32_t dy) {
      out.u8(kEscape);
      out.u8(kLongMove);
      out.u16(dx);
      out.u16(dy);
      out.u8(kEscape);
      out.u8(kLongEnd);
    };
    const auto move_to = [&](std::int32_t to_x, std::int32_t to_y) {
      if (to_x == x && to_y == y) return;
      for_each_delta(x, y, to_x, to_y, kVp3MoveSteps, long_move);
      x = to_x;
      y = to_y;
    };
    for (std::size_t i = first; i < b.last; ++i) {
      const auto& ev = p.events[i];
      if (ev.op == NeedleOp::kStitch) {
        for_each_delta(x, y, ev.x, ev.y, kVp3StitchSteps, [&](std::int32_t dx, std::int32_t dy) {
          if (std::abs(dx) <= kShortStep && std::abs(dy) <= kShortStep) {
            out.u8(static_cast<std::uint8_t>(dx & 0xFF));
            out.u8(static_cast<std::uint8_t>(dy & 0xFF));
          } else {
            long_move(dx, dy);
          }
        });
        x = ev.x;
        y = ev.y;
        continue;
      }
      move_to(ev.x, ev.y);
      if (ev.op == NeedleOp::kTrim) {
        out.u8(kEscape);
        out.u8(kTrim);
      }
    }
    stitches.close();
    out.u8(0);
    auto v = out.view();
    const auto put = [&](std::size_t at, std::int64_t value) {
      const auto u = static_cast<std::uint32_t>(
          static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX)));
      for (std::size_t k = 0; k < 4; ++k) v[at + k] = static_cast<std::uint8_t>(u >> (24 - 8 * k));
    };
    put(shift_at, (std::int64_t{x} - start_x) * 100);
    put(shift_at + 4, -(std::int64_t{y} - start_y) * 100);
    colour_block.close();
  }
  design.close();
  file_block.close();
  return out.take();
}

}  // namespace kvn::formats
