#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
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

/// One needle event. Positions are absolute, in 0.1 mm, x to the right and y
/// downwards: the orientation SHV stores, so that the format that matters most
/// here needs no flip. Events that do not move (trim, colour change, stop,
/// end) carry the position the needle stands at.
struct NeedleEvent {
  std::int32_t x = 0;
  std::int32_t y = 0;
  NeedleOp op = NeedleOp::kStitch;

  friend bool operator==(const NeedleEvent&, const NeedleEvent&) = default;
};

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
