#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

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
bool decode_record(std::span<const std::uint8_t> stream, std::size_t offset, bool block_start,
                   StitchRecord& rec, std::size_t& length, std::int32_t& words);
}  // namespace detail

/// Decodes one colour block of `n` words starting at `offset`: the block-start
/// rule for its first record (always taken, even when n < 1), the body rule
/// for the rest. Every record is reported to `visit`; the walk never reads
/// past the end of `stream` and stops there with `truncated` set.
template <class Visit>
BlockEnd decode_block(std::span<const std::uint8_t> stream, std::size_t offset, std::int32_t n,
                      Visit&& visit) {
  StitchRecord rec{};
  std::size_t length = 0;
  std::int32_t words = 0;
  if (!detail::decode_record(stream, offset, true, rec, length, words)) return {offset, true};
  visit(rec);
  offset += length;
  // Counts are signed: the body runs while words remain, compared before each record.
  std::int64_t left = std::int64_t{n} - words;
  for (std::int64_t j = 0; j < left;) {
    if (!detail::decode_record(stream, offset, false, rec, length, words)) return {offset, true};
    visit(rec);
    offset += length;
    j += words;
  }
  return {offset, false};
}

/// Walks one colour block from the position (*xx, *yy) and stores where it
/// ends, with 16-bit wrap-around. `phucst` is the stream from the block's first
/// record; nothing past its end is read.
void GetXY(std::span<const std::uint8_t> phucst, std::int32_t n, std::int16_t* xx,
           std::int16_t* yy);

/// Appends the long move record 0x80 0x01 dx dy 0x80 0x02.
void put_long_move(ByteWriter& out, std::int16_t dx, std::int16_t dy);

}  // namespace kvn::formats
