#pragma once

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Janome's older SEW: indices into Janome's fixed thread chart, then from a
/// fixed offset 2-byte relative stitches (y upwards) with 0x80 commands.
Result<Pattern> read_sew(const ByteReader& in);

}  // namespace kvn::formats
