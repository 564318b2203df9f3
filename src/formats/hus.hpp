#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/colour_chart.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// The HUS thread chart, by the index a HUS file stores.
std::span<const ChartColour> hus_chart();

/// The thread a HUS file holds for `t`: the chart entry its writer picks.
Thread hus_thread_for(const Thread& t);

/// Husqvarna/Viking HUS: a little-endian head, indices into the fixed HUS
/// thread chart, then three compressed sections (one attribute, one x and one
/// y byte per stitch, relative moves in 0.1 mm with y upwards).
Result<Pattern> read_hus(const ByteReader& in);

/// VIP: HUS's sibling with the same sections, whose threads are RGB values
/// stored under a fixed XOR mask instead of chart indices.
Result<Pattern> read_vip(const ByteReader& in);

/// The longest step one HUS or VIP record holds, per axis.
inline constexpr std::int32_t kHusMaxStep = 127;
/// The colours a HUS design's table can name.
inline constexpr std::size_t kHusMaxColours = 0xFFFF;
/// The colours VIP's masked table holds.
inline constexpr std::size_t kVipMaxColours = 100;

/// The HUS image of `p`: each thread as the nearest HUS chart colour, long
/// stitches and jumps split into records, trims kept, stops as changes to the
/// same thread, the three sections compressed.
Result<std::vector<std::uint8_t>> write_hus(const Pattern& p, const std::string& file);

/// The VIP image of `p`: as HUS, with the threads' own colours stored.
Result<std::vector<std::uint8_t>> write_vip(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
