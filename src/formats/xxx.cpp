#include "formats/xxx.hpp"

#include <string>

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
