#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "formats/byte_order.hpp"
#include "formats/byte_writer.hpp"

namespace kvn::formats {

inline constexpr std::uint8_t kEscape = 0x80;
inline constexpr std::uint8_t kLongMoveMark = 0x01;
inline constexpr std::uint8_t kLongMoveTail = 0x02;
inline constexpr std::uint8_t kBlockStartControl = 0x03;
inline constexpr std::size_t kLongMoveBytes = 8;
inline constexpr std::int32_t kLongMoveWords = 4;
// A long move in a block's body is drawn only while both displacements stay below this.
inline constexpr std::int32_t kLongStitchLimit = 128;

enum class RecordKind { kMove, kStitch, kControl };

struct StitchRecord {
  RecordKind kind;
  std::int16_t dx;
  std::int16_t dy;
};

struct BlockEnd {
  std::size_t offset;  // where the next block begins
  bool truncated;      // the stream ended before the block's count was used up
};

namespace detail {
// Decodes the record at `offset`; false when the stream holds too few bytes for it.
// Inline: it runs once per stitch of every walk.
inline bool decode_record(std::span<const std::uint8_t> stream, std::size_t offset,
                          bool block_start, StitchRecord& rec, std::size_t& length,
                          std::int32_t& words) {
  if (offset > stream.size() || stream.size() - offset < 2) return false;
  const auto b = stream.subspan(offset);
  if (b[0] == kEscape && b[1] == kLongMoveMark) {
    if (stream.size() - offset < kLongMoveBytes) return false;
    const auto dx = GetShort(b.subspan<2, 2>());
    const auto dy = GetShort(b.subspan<4, 2>());
    const bool small = dx > -kLongStitchLimit && dx < kLongStitchLimit && dy > -kLongStitchLimit &&
                       dy < kLongStitchLimit;
    rec = {(!block_start && small) ? RecordKind::kStitch : RecordKind::kMove, dx, dy};
    length = kLongMoveBytes;
    words = kLongMoveWords;
    return true;
  }
  length = 2;
  words = 1;
  const auto dx = static_cast<std::int16_t>(static_cast<std::int8_t>(b[0]));
  const auto dy = static_cast<std::int16_t>(static_cast<std::int8_t>(b[1]));
  if (block_start) {
    // At a block start only 0x80 0x03 is inert; every other escape moves by its bytes.
    if (b[0] == kEscape && b[1] == kBlockStartControl)
      rec = {RecordKind::kControl, 0, 0};
    else
      rec = {RecordKind::kMove, dx, dy};
    return true;
  }
  if (b[0] == kEscape)
    rec = {RecordKind::kControl, 0, 0};
  else
    rec = {RecordKind::kStitch, dx, dy};
  return true;
}

}  // namespace detail

namespace detail {
// decode_block() with each record's stored bytes and whether it opens the block.
template <class Visit>
BlockEnd walk_block(std::span<const std::uint8_t> stream, std::size_t offset, std::int32_t n,
                    Visit&& visit) {
  StitchRecord rec{};
  std::size_t length = 0;
  std::int32_t words = 0;
  if (!decode_record(stream, offset, true, rec, length, words)) return {offset, true};
  // decode_record has checked that the record lies inside the stream.
  visit(rec, stream.subspan(offset, length), true);
  offset += length;
  // Counts are signed: the body runs while words remain, compared before each record.
  std::int64_t left = std::int64_t{n} - words;
  for (std::int64_t j = 0; j < left;) {
    if (!decode_record(stream, offset, false, rec, length, words)) return {offset, true};
    visit(rec, stream.subspan(offset, length), false);
    offset += length;
    j += words;
  }
  return {offset, false};
}
}  // namespace detail

/// Decodes one colour block of `n` words starting at `offset`: the block-start
/// rule for its first record (always taken, even when n < 1), the body rule
/// for the rest. Every record is reported to `visit`; the walk never reads
/// past the end of `stream` and stops there with `truncated` set.
template <class Visit>
BlockEnd decode_block(std::span<const std::uint8_t> stream, std::size_t offset, std::int32_t n,
                      Visit&& visit) {
  return detail::walk_block(stream, offset, n,
                            [&](const StitchRecord& r, std::span<const std::uint8_t>, bool) {
                              visit(r);
                            });
}

/// The count a colour record gives its block. Counts are signed 32-bit words;
/// a larger stored count cannot be used up before the stream ends, so it is
/// capped rather than let to turn negative.
constexpr std::int32_t block_count(std::uint32_t stitches) {
  return static_cast<std::int32_t>(
      std::min<std::uint32_t>(stitches, std::numeric_limits<std::int32_t>::max()));
}

/// One record met by walk_blocks(): its colour block, the record, and the
/// needle position before and after it. Positions are kept wide; whoever
/// needs the 16-bit wrap of the stream takes the low 16 bits, which the wide
/// sums carry unchanged.
struct WalkStep {
  std::size_t block;
  StitchRecord record;
  std::int64_t x0, y0;  // before
  std::int64_t x1, y1;  // after
  std::span<const std::uint8_t> bytes;  // the record as stored, inside the stream
  bool opens;                           // the first record of its block
};

struct WalkEnd {
  std::size_t offset;  // where the walk stopped reading
  std::int64_t x, y;   // the needle position there
  bool truncated;      // the stream ended inside a block
  std::size_t block;   // the block it was cut in, else the number of blocks
};

/// Walks the colour blocks of `stream` one after another from the needle
/// position (`x`, `y`), each block `block_count(colours[i].Stitches)` words
/// long, and reports every record to `visit` as a WalkStep. The read position
/// and the needle position run on from one block into the next; the walk stops
/// at the first block the stream cut short. `colours` is any range of records
/// with a `Stitches` count. This is the one walk of a design's colour blocks:
/// whoever needs the records of a stream, their bytes or where a block was
/// cut goes through it.
template <class Colours, class Visit>
WalkEnd walk_blocks(std::span<const std::uint8_t> stream, const Colours& colours, std::int64_t x,
                    std::int64_t y, Visit&& visit) {
  std::size_t offset = 0;
  std::size_t block = 0;
  for (const auto& colour : colours) {
    // Inlined by force: walk_block visits from two places, and a drawing's
    // visit is large, so the WebAssembly build's compiler kept it a call per
    // record, with the walk's position and the drawing's state in memory
    // instead of registers; that call cost the page half of a combine.
    const auto end = detail::walk_block(
        stream, offset, block_count(colour.Stitches),
        [&](const StitchRecord& r, std::span<const std::uint8_t> bytes, bool opens)
            __attribute__((always_inline)) {
          const WalkStep step{block, r, x, y, x + r.dx, y + r.dy, bytes, opens};
          x = step.x1;
          y = step.y1;
          visit(step);
        });
    offset = end.offset;
    if (end.truncated) return {offset, x, y, true, block};
    ++block;
  }
  return {offset, x, y, false, block};
}

/// Walks one colour block from the position (*xx, *yy) and stores where it
/// ends, with 16-bit wrap-around. `phucst` is the stream from the block's first
/// record; nothing past its end is read.
void GetXY(std::span<const std::uint8_t> phucst, std::int32_t n, std::int16_t* xx,
           std::int16_t* yy);

/// Appends the long move record 0x80 0x01 dx dy 0x80 0x02.
void put_long_move(ByteWriter& out, std::int16_t dx, std::int16_t dy);

}  // namespace kvn::formats
