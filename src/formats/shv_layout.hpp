#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"

namespace kvn::formats {

// The SHV design image, field by field; every number is big-endian.
inline constexpr std::size_t kShvHeaderTextSize = 86;
inline constexpr std::size_t kShvNameLengthAt = 86;
inline constexpr std::size_t kShvNameAt = 87;
inline constexpr std::size_t kShortDimensionSize = 6;
inline constexpr std::size_t kLongDimensionSize = 15;
inline constexpr std::uint8_t kLongDimensionMark = 255;
inline constexpr std::uint8_t kLongDimensionVersion = 1;
inline constexpr std::size_t kShvHdrSize = 19;
inline constexpr std::size_t kShvColorSize = 14;
inline constexpr std::uint8_t kShvSignature1 = 0xC4;
inline constexpr std::uint8_t kShvSignature2 = 0x28;

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
};

/// One colour record of the SHV colour table.
struct shvcolor_t {
  std::uint32_t Stitches = 0;  // words of the stream in this colour's block
  std::uint8_t Color = 0;
  std::int16_t xpos = 0;  // where the block begins
  std::int16_t ypos = 0;
};

/// The dimension block and the preview size it describes.
struct ShvDimensions {
  bool long_form = false;
  std::uint32_t scanlines = 0;  // preview rows
  std::uint32_t pixels = 0;     // pixels per row
  std::int16_t x_offset = 0;    // whole millimetres
  std::int16_t y_offset = 0;
  std::size_t block_size() const { return long_form ? kLongDimensionSize : kShortDimensionSize; }
  std::uint64_t bitmap_size() const { return std::uint64_t{scanlines} * ((pixels + 1) / 2); }
};

/// Reads the dimension block at `at` (the byte after the name).
Result<ShvDimensions> read_dimensions(const ByteReader& shv, std::size_t at);

/// Offset of the `shvhdr_t` of the SHV design image `shv`: past its name,
/// dimension block and preview bitmap, all of which must lie inside it.
Result<std::size_t> GetShvStitchPos(const ByteReader& shv);

Result<shvhdr_t> read_shvhdr(const ByteReader& shv, std::size_t at);
Result<shvcolor_t> read_shvcolor(const ByteReader& shv, std::size_t at);

void write_shvhdr(ByteWriter& out, const shvhdr_t& h);
void write_shvcolor(ByteWriter& out, const shvcolor_t& c);

}  // namespace kvn::formats
