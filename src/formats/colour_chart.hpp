#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/colour.hpp"

namespace kvn::formats {

/// One colour of a maker's fixed thread chart, as files index it.
struct ChartColour {
  std::uint8_t r, g, b;
  const char* name;
  const char* catalogue;  // the maker's thread number; empty when unknown
};

/// The chart entry that looks nearest to an RGB colour (see nearest_entry),
/// searched from `first` on: charts whose entry 0 is a placeholder skip it.
inline std::size_t nearest_chart_colour(std::span<const ChartColour> chart, std::uint8_t r,
                                        std::uint8_t g, std::uint8_t b, std::size_t first = 0) {
  return nearest_entry(chart, Rgb{r, g, b}, first);
}

}  // namespace kvn::formats
