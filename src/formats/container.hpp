#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/byte_reader.hpp"

namespace kvn::formats {

inline constexpr std::size_t kNameLengthAt = 86;
inline constexpr std::size_t kNameAt = 87;
// After the name: the signature (2 bytes), 4 bytes not interpreted, the design count.
inline constexpr std::size_t kDesignCountAfterName = 6;
inline constexpr std::size_t kTableAfterName = 10;
inline constexpr std::size_t kPlacementPrefixSize = 7;
inline constexpr std::size_t kXoffsetInPrefix = 1;
inline constexpr std::size_t kYoffsetInPrefix = 3;

struct DesignRef {
  std::size_t prefix;  // offset of the placement prefix in the container
  std::size_t begin;   // offset of the design's SHV image
  std::size_t length;  // bytes of the SHV image
  std::int16_t Xoffset;
  std::int16_t Yoffset;
};

struct ContainerLayout {
  std::span<const std::uint8_t> name;  // the container's name bytes, as stored
  std::vector<DesignRef> designs;      // never empty
};

/// Locates every design of a DHV container. Refuses a container whose table
/// or designs do not lie inside it, one after another.
Result<ContainerLayout> read_container(const ByteReader& in);

/// Refuses a container any of whose designs does not hold its own SHV layout
/// whole: name, dimension block, preview, shvhdr_t, colour table and the
/// 2 * shvhdr_t::Stitches bytes of stream it claims. Bytes after the stream
/// are allowed. Splitting copies designs unread, so this is what keeps it from
/// writing files that no machine can read.
Status check_designs_whole(const ByteReader& in, const ContainerLayout& layout);

}  // namespace kvn::formats
