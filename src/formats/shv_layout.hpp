#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

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

/// The sections before an SHV design's colour table, in the order they lie.
enum class ShvSection { kHeaderText, kName, kDimensions, kBitmap, kHeader };

/// Where walk_shv_prelude() found each section of the prelude.
struct ShvPrelude {
  std::uint8_t name_size = 0;  // the name lies at kShvNameAt
  std::size_t dimensions_at = 0;
  ShvDimensions dimensions;
  std::uint64_t bitmap_at = 0;
  std::uint64_t header_at = 0;      // where the stitch data begins
  std::optional<shvhdr_t> header;  // when the image holds it whole
};

/// Walks the prelude of the SHV design image `shv`: header text and name
/// length, name, dimension block, preview bitmap, header record. Before each
/// section is used, `fits(section, at, bytes, prelude so far)` may refuse it
/// with an error of the caller's own wording, so that callers keep their own
/// refusals while every byte is taken through `shv`. A section `fits` lets
/// through is still read only where `shv` holds it: the name length and the
/// dimension block fail with the reader's error, the header is left empty.
template <class Fits>
Result<ShvPrelude> walk_shv_prelude(const ByteReader& shv, Fits&& fits) {
  ShvPrelude p;
  if (auto ok = fits(ShvSection::kHeaderText, std::uint64_t{0}, std::uint64_t{kShvNameAt}, p); !ok)
    return ok.error();
  KORVANE_TRY(n, shv.u8(kShvNameLengthAt, "the design's name length"));
  p.name_size = n;
  if (auto ok = fits(ShvSection::kName, std::uint64_t{kShvNameAt}, std::uint64_t{n}, p); !ok)
    return ok.error();
  p.dimensions_at = kShvNameAt + n;
  // The form is told by its first two bytes; a block cut before them is short.
  auto mark = shv.take<2>(p.dimensions_at, "the dimension block");
  const bool long_form =
      mark && (*mark)[0] == kLongDimensionMark && (*mark)[1] == kLongDimensionMark;
  if (auto ok = fits(ShvSection::kDimensions, std::uint64_t{p.dimensions_at},
                     std::uint64_t{long_form ? kLongDimensionSize : kShortDimensionSize}, p);
      !ok)
    return ok.error();
  KORVANE_TRY(dims, read_dimensions(shv, p.dimensions_at));
  p.dimensions = dims;
  p.bitmap_at = p.dimensions_at + dims.block_size();
  if (auto ok = fits(ShvSection::kBitmap, p.bitmap_at, dims.bitmap_size(), p); !ok)
    return ok.error();
  p.header_at = p.bitmap_at + dims.bitmap_size();
  if (auto ok = fits(ShvSection::kHeader, p.header_at, std::uint64_t{kShvHdrSize}, p); !ok)
    return ok.error();
  if (p.header_at <= shv.size() && shv.contains(static_cast<std::size_t>(p.header_at), kShvHdrSize)) {
    KORVANE_TRY(h, read_shvhdr(shv, static_cast<std::size_t>(p.header_at)));
    p.header = h;
  }
  return p;
}

}  // namespace kvn::formats
