#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Singer XXX: a 256-byte head, 2-byte relative stitches (y upwards) with
/// 0x7F commands and 0x7D long moves, then the threads as RGB after the end.
Result<Pattern> read_xxx(const ByteReader& in);

/// The longest stitch one XXX record holds, per axis: first bytes 0x7D to 0x7F
/// are taken by the long move and the commands.
inline constexpr std::int32_t kXxxMaxStitch = 124;
/// Colours the head's 16-bit count can name.
inline constexpr std::size_t kXxxMaxColours = 0xFFFF;

/// The XXX image of `p`: long stitches split into stitches, long jumps as
/// long moves, trims kept, stops as changes to the same thread.
Result<std::vector<std::uint8_t>> write_xxx(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
