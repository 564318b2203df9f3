#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/colour_chart.hpp"
#include "formats/event_sink.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Janome's thread chart as JEF colour lists index it; entry 0 is no thread.
std::span<const ChartColour> janome_chart();

/// The Janome thread the JEF writer picks for `t`, as the reader gives it back.
Thread janome_thread_for(const Thread& t);

/// A Janome JEF design: header, colour list (indices into the Janome chart)
/// and stitch records. A colour list entry of 0 names no thread: the change
/// into it is a stop.
Result<Pattern> read_jef(const ByteReader& in);
/// The same, with the events handed to `sink` as they are decoded rather
/// than kept in the pattern.
Result<Pattern> read_jef_events(const ByteReader& in, EventSink& sink);

/// The JEF image of `p`: each thread as the nearest Janome colour, the
/// smallest Janome hoop the design fits, positions as they are (the origin
/// is where the machine starts).
Result<std::vector<std::uint8_t>> write_jef(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
