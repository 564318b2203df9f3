#include "formats/vp3.hpp"

#include <cmath>
#include <string>

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
