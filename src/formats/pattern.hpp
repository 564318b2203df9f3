#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

#include "formats/error.hpp"

namespace kvn::formats {

/// What the machine does at one needle event.
enum class NeedleOp : std::uint8_t {
  kStitch,        // sew to the position
  kJump,          // move the frame to the position without sewing
  kTrim,          // cut the thread where the needle stands
  kColourChange,  // stop for the next thread; the events after it form the next block
  kStop,          // stop without a change of thread (an appliqué pause)
  kEnd,           // the design is finished; nothing follows
};

/// The farthest from the origin, in 0.1 mm, that an event can stand: 28 bits
/// a coordinate, so that an event takes 8 bytes and a design of millions of
/// stitches fits in memory beside its file. Readers refuse designs that go
/// further, and every step that moves events checks against it: a position
/// beyond it would wrap round.
inline constexpr std::int32_t kFarthestHeld = (std::int32_t{1} << 27) - 1;

/// True when `v` can be an event's coordinate.
constexpr bool held(std::int64_t v) { return v >= -kFarthestHeld && v <= kFarthestHeld; }

// Windows' own layout would start a new word at each change of type.
#ifdef _WIN32
#define KORVANE_EVENT_LAYOUT __attribute__((gcc_struct))
#else
#define KORVANE_EVENT_LAYOUT
#endif
// The narrowing into 28 bits is the point: positions are checked against
// kFarthestHeld before they get here.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wconversion"

/// One needle event. Positions are absolute, in 0.1 mm, x to the right and y
/// downwards: the orientation SHV stores, so that the format that matters most
/// here needs no flip. Events that do not move (trim, colour change, stop,
/// end) carry the position the needle stands at. x and y are bit-fields:
/// read them as values; a new position is a new event.
struct KORVANE_EVENT_LAYOUT NeedleEvent {
  // Each coordinate at the top of its 32 bits: reading it is one shift.
  NeedleOp op : 4 = NeedleOp::kStitch;
  std::int32_t x : 28 = 0;
  std::uint32_t unused : 4 = 0;
  std::int32_t y : 28 = 0;

  constexpr NeedleEvent() = default;
  constexpr NeedleEvent(std::int32_t x_at, std::int32_t y_at, NeedleOp what = NeedleOp::kStitch) {
    if (std::is_constant_evaluated()) {
      op = what;
      x = x_at;
      y = y_at;
    } else {
      // One store of the whole event: field by field, the compiler reads the
      // new slot back to merge each one in, which makes readers a third slower.
      const std::uint64_t bits = static_cast<std::uint64_t>(what) |
                                 std::uint64_t{static_cast<std::uint32_t>(x_at) << 4} |
                                 std::uint64_t{static_cast<std::uint32_t>(y_at) << 4} << 32;
      std::memcpy(static_cast<void*>(this), &bits, sizeof bits);
    }
  }

  friend bool operator==(const NeedleEvent&, const NeedleEvent&) = default;
};
#pragma GCC diagnostic pop
#undef KORVANE_EVENT_LAYOUT
static_assert(sizeof(NeedleEvent) == 8);
#if defined(__GNUC__) && !defined(__clang__)  // clang cannot bit_cast bit-fields in constants
static_assert(__builtin_bit_cast(std::uint64_t, NeedleEvent(-1, 2, NeedleOp::kJump)) ==
              0x00000020FFFFFFF1);
#endif

/// A thread as a format describes it.
struct Thread {
  std::uint8_t r = 0, g = 0, b = 0;
  std::string name;       // empty when the file names none
  std::string catalogue;  // the maker's number, empty when none
  // The colour code an SHV file gave this thread: written back as it was,
  // because the nearest code to its colour need not be the same code.
  std::optional<std::uint8_t> shv_code;

  friend bool operator==(const Thread&, const Thread&) = default;
};

/// A design between formats: readers produce it, writers consume it, and no
/// conversion goes around it.
///
/// The needle stands at (0, 0) before the first event. The events up to the
/// first kColourChange form colour block 0, each kColourChange begins the
/// next block. `threads` is empty when the format stores no colours (DST,
/// EXP); otherwise it holds one thread per block, in block order. A reader
/// ends `events` with exactly one kEnd; writers take a missing kEnd as if it
/// stood last.
struct Pattern {
  std::string name;
  std::vector<Thread> threads;
  std::vector<NeedleEvent> events;

  friend bool operator==(const Pattern&, const Pattern&) = default;
};

/// 1 + the number of colour changes: a pattern always has its first block.
std::size_t block_count(const Pattern& p);

/// The rectangle the needle reaches while sewing, in 0.1 mm; only stitch
/// positions count, so a jump out and back does not widen the design.
struct PatternExtents {
  std::int32_t min_x = 0, min_y = 0, max_x = 0, max_y = 0;
  bool empty = true;  // no stitch at all
};
PatternExtents stitch_extents(const Pattern& p);

/// Checks what writers rely on: threads empty or one per block, kEnd only
/// last. `file` names the pattern's source in the message.
Status check_pattern(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
