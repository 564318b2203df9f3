#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"
#include "formats/shv_layout.hpp"

namespace kvn::formats {

/// One SHV design image, section by section. The reader fills it with views
/// into the image it navigated, every section checked to lie inside, so that
/// code after it needs no further bounds; the writer lays the same sections
/// out again, so that reading what was written gives the same design.
struct ShvDesign {
  std::span<const std::uint8_t> header_text;  // the writer's own 86 bytes
  std::span<const std::uint8_t> name;         // as stored, no terminator; at most 255 bytes
  ShvDimensions dimensions;
  std::span<const std::uint8_t> bitmap;  // dimensions.bitmap_size() bytes
  shvhdr_t header;
  std::vector<shvcolor_t> colours;         // header.nColors records, in stream order
  std::span<const std::uint8_t> stream;    // 2 * header.Stitches bytes
  std::span<const std::uint8_t> trailing;  // bytes after the stream, none in a well-formed image
  // Where the reader found the sections; the writer does not look at them.
  std::size_t dimensions_at = 0;
  std::size_t header_at = 0;
};

/// Reads the SHV design image `shv`. Fails when a section reaches past the end
/// of the image: the name, the dimension block, the preview, the header, the
/// colour table, or the stream of 2 * shvhdr_t::Stitches bytes. Signatures are
/// not checked here; callers that must tell an SHV image from other bytes use
/// has_shv_signature().
Result<ShvDesign> read_shv_design(const ByteReader& shv);

/// Bytes write_shv_design() appends for `d`, its bitmap counted as its
/// dimensions size it: known before the preview is drawn.
std::uint64_t shv_design_size(const ShvDesign& d);

/// Where write_shv_design() puts the bitmap of `d` in the image.
std::uint64_t shv_bitmap_at(const ShvDesign& d);

/// Appends the image of `d`: header text (padded with zeros to 86 bytes),
/// name length and name, dimension block, bitmap, shvhdr_t, colour table,
/// stream and trailing bytes, each as it stands in `d`; an empty bitmap is
/// written as zeros of its dimensions' size, for the caller to draw in
/// place. The caller keeps the
/// sections consistent: a name of at most 255 bytes, dimensions.bitmap_size()
/// bitmap bytes and header.nColors colours, or the image will not read back
/// as `d`.
void write_shv_design(ByteWriter& out, const ShvDesign& d);

/// True when the header carries the marks every SHV writer stores (0xC4, 0x28):
/// the only fixed bytes an SHV image has.
bool has_shv_signature(const shvhdr_t& h);

}  // namespace kvn::formats
