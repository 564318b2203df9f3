#pragma once

#include <span>

#include "formats/byte_reader.hpp"
#include "formats/colour_chart.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// The HUS thread chart, by the index a HUS file stores.
std::span<const ChartColour> hus_chart();

/// Husqvarna/Viking HUS: a little-endian head, indices into the fixed HUS
/// thread chart, then three compressed sections (one attribute, one x and one
/// y byte per stitch, relative moves in 0.1 mm with y upwards).
Result<Pattern> read_hus(const ByteReader& in);

/// VIP: HUS's sibling with the same sections, whose threads are RGB values
/// stored under a fixed XOR mask instead of chart indices.
Result<Pattern> read_vip(const ByteReader& in);

}  // namespace kvn::formats
