#pragma once

#include "formats/byte_reader.hpp"
#include "formats/event_sink.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Reads a single design of kind `kind` (as recognise_kind() told it) into a
/// pattern. A DHV container is not a single design: its readers live apart.
Result<Pattern> read_pattern(const ByteReader& in, ContentKind kind);

/// A reader that hands the events to a sink as it decodes them and returns
/// the rest of the design (name, threads) with no events.
using EventReadFn = Result<Pattern> (*)(const ByteReader&, EventSink&);

/// The reader of `kind` that works that way, or nullptr where the format
/// has only its whole-pattern reader.
EventReadFn event_reader(ContentKind kind);

}  // namespace kvn::formats
