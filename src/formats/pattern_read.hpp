#pragma once

#include "formats/byte_reader.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Reads a single design of kind `kind` (as recognise_kind() told it) into a
/// pattern. A DHV container is not a single design: its readers live apart.
Result<Pattern> read_pattern(const ByteReader& in, ContentKind kind);

}  // namespace kvn::formats
