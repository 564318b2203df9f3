#include "formats/exp.hpp"

#include <algorithm>

#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::uint8_t kEscape = 0x80;
constexpr std::uint8_t kColourChange = 0x01;
constexpr std::uint8_t kStitchByEscape = 0x02;
constexpr std::uint8_t kJump = 0x04;
constexpr std::uint8_t kTrim = 0x80;

std::int32_t signed8(std::uint8_t b) { return static_cast<std::int8_t>(b); }

}  // namespace

Result<Pattern> read_exp(const ByteReader& in) {
  KORVANE_TRY(all, in.span_at(0, in.size(), "the stitch records"));
  Pattern p;
  p.events.reserve(all.size() / 2 + 1);
  std::int32_t x = 0, y = 0;
  const std::size_t n = all.size();
  std::size_t at = 0;
  while (at < n) {
    // Only damaged input goes that far (a record moves at most 128 units, so
    // a long enough file could run out of what an event holds).
    KORVANE_FAIL_AT(std::max(std::abs(x), std::abs(y)) > kFarthestPosition, in, at,
                    ErrorCode::kCoordinateOutOfRange, "the records walk the needle past 10 km");
    KORVANE_FAIL_AT(n - at < 2, in, at, ErrorCode::kTruncated,
                    "the last stitch record has one byte of two");
    std::uint8_t b0 = all[at], b1 = all[at + 1];
    if (b0 != kEscape) {
      x += signed8(b0);
      y -= signed8(b1);  // stored upwards
      p.events.push_back({x, y, NeedleOp::kStitch});
      at += 2;
      continue;
    }
    const std::size_t command_at = at;
    const std::uint8_t command = b1;
    KORVANE_FAIL_AT(n - at < 4, in, command_at, ErrorCode::kTruncated,
                    "the file ends inside the command record at its end");
    b0 = all[at + 2];
    b1 = all[at + 3];
    at += 4;
    const std::int32_t dx = signed8(b0), dy = -signed8(b1);
    switch (command) {
      case kTrim:
        // The two bytes after a trim (07 00 by convention) are no move.
        p.events.push_back({x, y, NeedleOp::kTrim});
        break;
      case kStitchByEscape:
        x += dx;
        y += dy;
        p.events.push_back({x, y, NeedleOp::kStitch});
        break;
      case kJump:
        x += dx;
        y += dy;
        p.events.push_back({x, y, NeedleOp::kJump});
        break;
      case kColourChange:
        p.events.push_back({x, y, NeedleOp::kColourChange});
        // The move that comes with the change opens the next block.
        if (dx != 0 || dy != 0) {
          x += dx;
          y += dy;
          p.events.push_back({x, y, NeedleOp::kJump});
        }
        break;
      default:
        return in.error_at(command_at, ErrorCode::kMalformedDesign,
                           "0x80 " + std::to_string(command) + " is no EXP command");
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

Result<std::vector<std::uint8_t>> write_exp(const Pattern& p, const std::string& file) {
  for (const auto& e : p.events) {
    KORVANE_FAIL_IF(
        std::max(std::abs(std::int64_t{e.x}), std::abs(std::int64_t{e.y})) > kExpMaxReach,
        ErrorCode::kCoordinateOutOfRange, file,
        "the design reaches more than 9999.9 mm from its start");
  }
  std::vector<std::uint8_t> out;
  out.reserve(2 * p.events.size() + 64);
  std::int32_t x = 0, y = 0;
  const auto step = [&](std::int64_t sx, std::int64_t sy) {
    out.push_back(static_cast<std::uint8_t>(sx - x));
    out.push_back(static_cast<std::uint8_t>(y - sy));  // stored upwards
    x = static_cast<std::int32_t>(sx);
    y = static_cast<std::int32_t>(sy);
  };
  const auto jump_to = [&](std::int32_t tx, std::int32_t ty) {
    if (tx == x && ty == y) return;
    for_each_step(x, y, tx, ty, kExpMaxStep, [&](std::int64_t sx, std::int64_t sy) {
      out.push_back(kEscape);
      out.push_back(kJump);
      step(sx, sy);
    });
  };
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    switch (e.op) {
      case NeedleOp::kStitch:
        for_each_step(x, y, e.x, e.y, kExpMaxStep, step);
        break;
      case NeedleOp::kJump:
        jump_to(e.x, e.y);
        break;
      case NeedleOp::kTrim:
        jump_to(e.x, e.y);
        out.insert(out.end(), {kEscape, kTrim, 0x07, 0x00});
        break;
      case NeedleOp::kColourChange:
      case NeedleOp::kStop:
        jump_to(e.x, e.y);
        out.insert(out.end(), {kEscape, kColourChange, 0x00, 0x00});
        break;
      case NeedleOp::kEnd:
        break;
    }
  }
  // EXP has no header: a file is known by the command it opens with, so one
  // that would open otherwise (or hold nothing) opens with a jump of nothing.
  if (out.empty() || out.front() != kEscape) out.insert(out.begin(), {kEscape, kJump, 0x00, 0x00});
  return out;
}

}  // namespace kvn::formats
