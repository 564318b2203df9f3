#pragma once

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Pfaff/Viking VP3: big-endian nested blocks, one per colour, each with its
/// start in 1/1000 mm from the design's centre, its thread and its stitches.
Result<Pattern> read_vp3(const ByteReader& in);

}  // namespace kvn::formats
