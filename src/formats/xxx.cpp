#include "formats/xxx.hpp"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/byte_writer.hpp"
#include "formats/default_threads.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kColourCountAt = 0x27;
constexpr std::size_t kStitchesEndAt = 0xFC;
constexpr std::size_t kStitchesAt = 0x100;
constexpr std::uint8_t kLongMove = 0x7D;
constexpr std::uint8_t kLongMoveToo = 0x7E;
constexpr std::uint8_t kCommand = 0x7F;
constexpr std::uint8_t kJump = 0x01;
constexpr std::uint8_t kTrim = 0x03;
constexpr std::uint8_t kColourChange = 0x08;
constexpr std::uint8_t kEnd = 0x7F;
// Between the end record and the threads.
constexpr std::size_t kBeforeThreads = 2;

std::int32_t s8(std::uint8_t b) { return static_cast<std::int8_t>(b); }

}  // namespace

Result<Pattern> read_xxx(const ByteReader& in) {
  KORVANE_TRY(colours, in.u16le(kColourCountAt, "the colour count"));
  // The head says where the stitches end; a file shorter than that was cut.
  KORVANE_TRY(stitches_end, in.u32le(kStitchesEndAt, "the end of the stitches"));
  KORVANE_FAIL_AT(stitches_end > in.size(), in, in.size(), ErrorCode::kDesignTruncated,
                  grouped(in.size()) + " bytes of at least " + grouped(stitches_end) +
                      ", where its head says its stitches end");
  Pattern p;
  std::int32_t x = 0, y = 0;
  std::size_t at = kStitchesAt;
  std::size_t blocks = 1;
  for (bool ended = false; !ended;) {
    KORVANE_TRY(b1, in.u8(at, "a stitch (the file ends before its end record)"));
    if (b1 == kLongMove || b1 == kLongMoveToo) {
      KORVANE_TRY(dx, in.s16le(at + 1, "a long move"));
      KORVANE_TRY(dy, in.s16le(at + 3, "a long move"));
      KORVANE_FAIL_AT(!step(x, dx) || !step(y, -dy), in, at, ErrorCode::kMalformedDesign,
                      "the stitches walk the needle past 10 km");
      at += 5;
      p.events.push_back({x, y, NeedleOp::kJump});
      continue;
    }
    KORVANE_TRY(b2, in.u8(at + 1, "a stitch"));
    if (b1 != kCommand) {
      KORVANE_FAIL_AT(!step(x, s8(b1)) || !step(y, -s8(b2)), in, at, ErrorCode::kMalformedDesign,
                      "the stitches walk the needle past 10 km");
      at += 2;
      p.events.push_back({x, y, NeedleOp::kStitch});
      continue;
    }
    KORVANE_TRY(args, in.take<2>(at + 2, "a command"));
    at += 4;
    const std::int32_t dx = s8(args[0]), dy = -s8(args[1]);
    switch (b2) {
      case kJump:
        KORVANE_FAIL_AT(!step(x, dx) || !step(y, dy), in, at, ErrorCode::kMalformedDesign,
                        "the stitches walk the needle past 10 km");
        p.events.push_back({x, y, NeedleOp::kJump});
        break;
      case kTrim:
        p.events.push_back({x, y, NeedleOp::kTrim});
        if (dx != 0 || dy != 0) {
          KORVANE_FAIL_AT(!step(x, dx) || !step(y, dy), in, at, ErrorCode::kMalformedDesign,
                          "the stitches walk the needle past 10 km");
          p.events.push_back({x, y, NeedleOp::kJump});
        }
        break;
      case kColourChange:
        p.events.push_back({x, y, NeedleOp::kColourChange});
        ++blocks;
        break;
      case kEnd:
        ended = true;
        break;
      default:
        // Other commands (real files carry 7F 18 before the end) do not move
        // the needle or change the thread; what they mean is not known.
        break;
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});

  const std::size_t table = at + kBeforeThreads;
  KORVANE_FAIL_AT(colours < blocks, in, kColourCountAt, ErrorCode::kMalformedDesign,
                  std::to_string(blocks) + " colour blocks but " + std::to_string(colours) +
                      " threads");
  KORVANE_FAIL_AT(!in.contains(table, 4 * std::size_t{colours}), in, in.size(),
                  ErrorCode::kDesignTruncated,
                  grouped(in.size()) + " bytes of " + grouped(table + 4 * std::size_t{colours}) +
                      ": the file ends inside its thread table");
  for (std::size_t c = 0; c < blocks; ++c) {
    KORVANE_TRY(rgb, in.u32(table + 4 * c, "a thread"));
    p.threads.push_back({static_cast<std::uint8_t>(rgb >> 16),
                         static_cast<std::uint8_t>(rgb >> 8),
                         static_cast<std::uint8_t>(rgb),
                         {},
                         {},
                         std::nullopt});
  }
  return p;
}

}  // namespace kvn::formats

namespace kvn::formats {

namespace {

constexpr std::int32_t kXxxStitchSteps = kXxxMaxStitch;
constexpr std::int32_t kXxxShortJump = 127;
constexpr std::int32_t kXxxLongJump = 32767;
constexpr std::size_t kTableOffsetAt = 0xFC;
constexpr std::size_t kStitchCountAt = 0x17;
constexpr std::size_t kSizeAt = 0x2D;
// The record real files end their stitches with, before the end record; it
// changes nothing here.
constexpr std::uint8_t kBeforeEnd = 0x18;

std::uint8_t low(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

void put16le(std::vector<std::uint8_t>& out, std::size_t at, std::int64_t v) {
  const auto u = static_cast<std::uint16_t>(
      static_cast<std::int16_t>(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX)));
  out[at] = static_cast<std::uint8_t>(u & 0xFF);
  out[at + 1] = static_cast<std::uint8_t>(u >> 8);
}

}  // namespace

Result<std::vector<std::uint8_t>> write_xxx(const Pattern& p, const std::string& file) {
  std::vector<Thread> threads{thread_of_block(p, 0)};
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kColourChange) threads.push_back(thread_of_block(p, threads.size()));
    if (e.op == NeedleOp::kStop) threads.push_back(threads.back());
  }
  KORVANE_FAIL_IF(threads.size() > kXxxMaxColours, ErrorCode::kUnsupportedForm, file,
                  "an XXX design holds at most " + std::to_string(kXxxMaxColours) +
                      " colour blocks (stops count as blocks); this one has " +
                      std::to_string(threads.size()));

  ByteWriter out(kStitchesAt + 2 * p.events.size() + 4 * threads.size() + 16);
  out.zeros(kStitchesAt);
  std::uint32_t records = 0;
  std::int32_t x = 0, y = 0;
  const auto command = [&](std::uint8_t c, std::int32_t dx, std::int32_t dy) {
    out.u8(kCommand);
    out.u8(c);
    out.u8(low(dx));
    out.u8(low(-dy));  // XXX's y runs upwards
    ++records;
  };
  const auto jump_to = [&](std::int32_t to_x, std::int32_t to_y) {
    if (to_x == x && to_y == y) return;
    const std::int64_t far =
        std::max(std::abs(std::int64_t{to_x} - x), std::abs(std::int64_t{to_y} - y));
    if (far <= kXxxShortJump) {
      command(kJump, to_x - x, to_y - y);
    } else {
      // One long move where a machine would otherwise step the frame across
      // the hoop a record at a time.
      for_each_delta(x, y, to_x, to_y, kXxxLongJump, [&](std::int32_t dx, std::int32_t dy) {
        out.u8(kLongMoveToo);
        out.u16le(static_cast<std::uint16_t>(static_cast<std::int16_t>(dx)));
        out.u16le(static_cast<std::uint16_t>(static_cast<std::int16_t>(-dy)));
        ++records;
      });
    }
    x = to_x;
    y = to_y;
  };
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    if (e.op == NeedleOp::kStitch) {
      for_each_delta(x, y, e.x, e.y, kXxxStitchSteps, [&](std::int32_t dx, std::int32_t dy) {
        out.u8(low(dx));
        out.u8(low(-dy));
        ++records;
      });
      x = e.x;
      y = e.y;
      continue;
    }
    // An event that does not move carries where the needle stands; should it
    // say otherwise, the frame goes there first rather than lose the move.
    jump_to(e.x, e.y);
    if (e.op == NeedleOp::kTrim) command(kTrim, 0, 0);
    if (e.op == NeedleOp::kColourChange || e.op == NeedleOp::kStop) command(kColourChange, 0, 0);
  }
  command(kBeforeEnd, 0, 0);
  const std::size_t end_at = out.size();
  out.u8(kCommand);
  out.u8(kEnd);
  out.u8(0x03);
  out.u8(0x14);
  out.zeros(kBeforeThreads);
  for (const auto& t : threads) {
    out.u8(0);
    out.u8(t.r);
    out.u8(t.g);
    out.u8(t.b);
  }

  auto image = out.take();
  const auto put32le = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      image[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
  };
  put32le(kStitchCountAt, records);
  put16le(image, kColourCountAt, static_cast<std::int64_t>(threads.size()));
  const auto e = stitch_extents(p);
  if (!e.empty) {
    put16le(image, kSizeAt, std::int64_t{e.max_x} - e.min_x);
    put16le(image, kSizeAt + 2, std::int64_t{e.max_y} - e.min_y);
    put16le(image, kSizeAt + 4, x);
    put16le(image, kSizeAt + 6, -std::int64_t{y});
    put16le(image, kSizeAt + 8, -std::int64_t{e.min_x});
    put16le(image, kSizeAt + 10, -std::int64_t{e.min_y});
  }
  put32le(kTableOffsetAt, static_cast<std::uint32_t>(end_at));
  return image;
}

}  // namespace kvn::formats
