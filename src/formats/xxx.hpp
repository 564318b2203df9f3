#pragma once

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Singer XXX: a 256-byte head, 2-byte relative stitches (y upwards) with
/// 0x7F commands and 0x7D long moves, then the threads as RGB after the end.
Result<Pattern> read_xxx(const ByteReader& in);

}  // namespace kvn::formats
