#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/shv_layout.hpp"

namespace kvn::formats {

/// One SHV design image, navigated whole: every section located and checked
/// to lie inside the image, so that readers after it need no further bounds.
struct ShvDesign {
  std::span<const std::uint8_t> name;    // as stored, no terminator
  std::size_t dimensions_at = 0;         // the dimension block, after the name
  ShvDimensions dimensions;
  std::span<const std::uint8_t> bitmap;  // scanlines rows of (pixels + 1) / 2 bytes
  std::size_t header_at = 0;             // shvhdr_t
  shvhdr_t header;
  std::vector<shvcolor_t> colours;       // nColors records, in stream order
  std::span<const std::uint8_t> stream;  // 2 * shvhdr_t::Stitches bytes
  std::size_t trailing = 0;              // bytes after the stream, none in a well-formed image
};

/// Reads the SHV design image `shv`. Fails when a section reaches past the end
/// of the image: the header, the colour table, or the stream of
/// 2 * shvhdr_t::Stitches bytes. Signatures are not checked here; callers that
/// must tell an SHV image from other bytes use has_shv_signature().
Result<ShvDesign> read_shv_design(const ByteReader& shv);

/// True when the header carries the marks every SHV writer stores (0xC4, 0x28):
/// the only fixed bytes an SHV image has.
bool has_shv_signature(const shvhdr_t& h);

}  // namespace kvn::formats
