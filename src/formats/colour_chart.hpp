#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

namespace kvn::formats {

/// One colour of a maker's fixed thread chart, as files index it.
struct ChartColour {
  std::uint8_t r, g, b;
  const char* name;
  const char* catalogue;  // the maker's thread number; empty when unknown
};

/// The chart entry nearest to an RGB colour, searched from `first` on (charts
/// whose entry 0 is a placeholder skip it). The distance weights the channels
/// by how red the pair is ("redmean"): close to how far apart the eye sees
/// them at the cost of a few multiplications.
inline std::size_t nearest_chart_colour(std::span<const ChartColour> chart, std::uint8_t r,
                                        std::uint8_t g, std::uint8_t b, std::size_t first = 0) {
  std::size_t best = first;
  std::int64_t best_d = std::numeric_limits<std::int64_t>::max();
  for (std::size_t i = first; i < chart.size(); ++i) {
    const std::int64_t mean_r = (std::int64_t{chart[i].r} + r) / 2;
    const std::int64_t dr = std::int64_t{chart[i].r} - r;
    const std::int64_t dg = std::int64_t{chart[i].g} - g;
    const std::int64_t db = std::int64_t{chart[i].b} - b;
    const std::int64_t d =
        (((512 + mean_r) * dr * dr) >> 8) + 4 * dg * dg + (((767 - mean_r) * db * db) >> 8);
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return best;
}

}  // namespace kvn::formats
