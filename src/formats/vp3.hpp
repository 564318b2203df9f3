#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Pfaff/Viking VP3: big-endian nested blocks, one per colour, each with its
/// start in 1/1000 mm from the design's centre, its thread and its stitches.
Result<Pattern> read_vp3(const ByteReader& in);

/// A long move no longer than this on both axes is a stitch: VP3 has no jump
/// of its own, only long moves that are jumps when they are longer.
inline constexpr std::int32_t kVp3LongestStitch = 255;
/// The colour block count in the head is one byte.
inline constexpr std::size_t kVp3MaxBlocks = 255;

/// The VP3 image of `p`: one block per colour (and per stop), each starting
/// exactly where its first stitch run begins, measured from the design's
/// centre in 1/1000 mm; threads with their colour, number and name; jumps
/// and long stitches as long moves; trims kept.
Result<std::vector<std::uint8_t>> write_vp3(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
