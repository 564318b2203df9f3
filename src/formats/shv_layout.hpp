#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"

namespace kvn::formats {

// The SHV design image, field by field; every number is big-endian. Each
// offset below is the one place its field is placed: the reader and the
// writer of a record both go through it.
inline constexpr std::size_t kShvHeaderTextSize = 86;
inline constexpr std::size_t kShvNameLengthAt = 86;
inline constexpr std::size_t kShvNameAt = 87;
inline constexpr std::uint8_t kShvSignature1 = 0xC4;
inline constexpr std::uint8_t kShvSignature2 = 0x28;

/// Offsets inside shvhdr_t.
namespace shvhdr_at {
inline constexpr std::size_t kNColors = 0;
inline constexpr std::size_t kSignature1 = 1;
inline constexpr std::size_t kSignature2 = 2;
inline constexpr std::size_t kFiller1 = 3;
inline constexpr std::size_t kHoop = 4;
inline constexpr std::size_t kFiller2 = 5;
inline constexpr std::size_t kX0 = 7;
inline constexpr std::size_t kY0 = 9;
inline constexpr std::size_t kX1 = 11;
inline constexpr std::size_t kY1 = 13;
inline constexpr std::size_t kStitches = 15;
}  // namespace shvhdr_at
inline constexpr std::size_t kShvHdrSize = 19;

/// Offsets inside shvcolor_t; the five bytes between Color and xpos are never read.
namespace shvcolor_at {
inline constexpr std::size_t kStitches = 0;
inline constexpr std::size_t kColor = 4;
inline constexpr std::size_t kXpos = 10;
inline constexpr std::size_t kYpos = 12;
}  // namespace shvcolor_at
inline constexpr std::size_t kShvColorSize = 14;

/// Offsets inside the short dimension block: one byte a value.
namespace short_dims_at {
inline constexpr std::size_t kScanlines = 0;
inline constexpr std::size_t kPixels = 1;
inline constexpr std::size_t kXOffset = 2;
inline constexpr std::size_t kYOffset = 3;
inline constexpr std::size_t kXOffsetAgain = 4;
inline constexpr std::size_t kYOffsetAgain = 5;
}  // namespace short_dims_at
inline constexpr std::size_t kShortDimensionSize = 6;

/// Offsets inside the long dimension block: two marks, a version, then 16-bit values.
namespace long_dims_at {
inline constexpr std::size_t kMark1 = 0;
inline constexpr std::size_t kMark2 = 1;
inline constexpr std::size_t kVersion = 2;
inline constexpr std::size_t kScanlines = 3;
inline constexpr std::size_t kPixels = 5;
inline constexpr std::size_t kXOffset = 7;
inline constexpr std::size_t kYOffset = 9;
inline constexpr std::size_t kXOffsetAgain = 11;
inline constexpr std::size_t kYOffsetAgain = 13;
}  // namespace long_dims_at
inline constexpr std::size_t kLongDimensionSize = 15;
inline constexpr std::uint8_t kLongDimensionMark = 255;
inline constexpr std::uint8_t kLongDimensionVersion = 1;
/// Counts above this need the long form of the dimension block.
inline constexpr std::int32_t kMaxShortCount = 255;

/// Bytes of one preview row of `cells` 4-bit cells: two cells a byte, the
/// last byte half used when `cells` is odd.
constexpr std::uint64_t preview_row_size(std::uint64_t cells) { return (cells + 1) / 2; }

/// The fixed part of the design header that follows the preview bitmap.
struct shvhdr_t {
  std::uint8_t nColors = 0;
  std::uint8_t Signature1 = kShvSignature1;
  std::uint8_t Signature2 = kShvSignature2;
  std::uint8_t filler1 = 0;
  std::uint8_t Hoop = 0;
  std::uint16_t filler2 = 0;
  std::int16_t x0 = 0;  // largest x, tenths of a millimetre from the start point
  std::int16_t y0 = 0;
  std::int16_t x1 = 0;  // smallest x
  std::int16_t y1 = 0;
  std::uint32_t Stitches = 0;  // words of the stitch stream
  friend bool operator==(const shvhdr_t&, const shvhdr_t&) = default;
};

/// One colour record of the SHV colour table.
struct shvcolor_t {
  std::uint32_t Stitches = 0;  // words of the stream in this colour's block
  std::uint8_t Color = 0;
  std::int16_t xpos = 0;  // where the block begins
  std::int16_t ypos = 0;
  friend bool operator==(const shvcolor_t&, const shvcolor_t&) = default;
};

/// The dimension block: the preview's size and the start point's offset from
/// the design's smallest x and y, in whole millimetres. The values are held as
/// the block stores them: the short form keeps one byte of each (offsets as
/// signed bytes), the long form 16 bits. Both offset pairs carry the same
/// values; the second is written, never read.
struct ShvDimensions {
  bool long_form = false;
  std::uint16_t scanlines = 0;  // preview rows, along x
  std::uint16_t pixels = 0;     // cells per row, along y
  std::int16_t x_offset = 0;
  std::int16_t y_offset = 0;
  std::size_t block_size() const { return long_form ? kLongDimensionSize : kShortDimensionSize; }
  std::uint64_t bitmap_size() const { return std::uint64_t{scanlines} * preview_row_size(pixels); }
  friend bool operator==(const ShvDimensions&, const ShvDimensions&) = default;
};

/// The dimension block of a design with extents x0, y0 (largest) and x1, y1
/// (smallest), tenths of a millimetre: the counts span the extents rounded
/// outward to whole millimetres, the offsets are -(x1 / 10) and -(y1 / 10).
ShvDimensions dimensions_for_extents(std::int16_t x0, std::int16_t y0, std::int16_t x1,
                                     std::int16_t y1);

/// Reads the dimension block at `at` (the byte after the name).
Result<ShvDimensions> read_dimensions(const ByteReader& shv, std::size_t at);
void write_dimensions(ByteWriter& out, const ShvDimensions& d);

/// Offset of the `shvhdr_t` of the SHV design image `shv`: past its name,
/// dimension block and preview bitmap, all of which must lie inside it.
Result<std::size_t> GetShvStitchPos(const ByteReader& shv);

Result<shvhdr_t> read_shvhdr(const ByteReader& shv, std::size_t at);
Result<shvcolor_t> read_shvcolor(const ByteReader& shv, std::size_t at);

void write_shvhdr(ByteWriter& out, const shvhdr_t& h);
void write_shvcolor(ByteWriter& out, const shvcolor_t& c);

}  // namespace kvn::formats
