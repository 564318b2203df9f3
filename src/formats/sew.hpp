#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/colour_chart.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Janome's chart as SEW files index it; the index is the thread's number.
std::span<const ChartColour> sew_chart();

/// The thread a SEW file holds for `t`: the chart entry its writer picks.
Thread sew_thread_for(const Thread& t);

/// Janome's older SEW: indices into Janome's fixed thread chart, then from a
/// fixed offset 2-byte relative stitches (y upwards) with 0x80 commands.
Result<Pattern> read_sew(const ByteReader& in);

/// The longest stitch or jump one SEW record holds, per axis.
inline constexpr std::int32_t kSewMaxStep = 127;
/// The colours whose indices fit between the count and the stitches.
inline constexpr std::size_t kSewMaxColours = (0x1D78 - 2) / 2;


/// The SEW image of `p`: each thread as the nearest chart colour, long
/// stitches and jumps split into records, stops as changes to the same
/// thread. SEW has no trim; a trim is left to the jump that follows it.
Result<std::vector<std::uint8_t>> write_sew(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
