#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvn::formats {

/// A colour as design files store it: 8-bit sRGB.
struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;

  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// CIELAB under daylight (D65): L from 0 (black) to 100 (white), a from green
/// to red, b from blue to yellow.
struct Lab {
  double l = 0, a = 0, b = 0;
};

Lab lab_of(Rgb c);

/// How different two colours look (CIEDE2000): about 1 is the smallest
/// difference an eye notices side by side, above 10 they are other colours.
/// Thread charts are matched by it: a weighted RGB distance took a dark brown
/// for an olive and a grey for a mauve, a plain Lab distance took a moss
/// green for grey.
double delta_e2000(const Lab& x, const Lab& y);
double delta_e2000(Rgb x, Rgb y);

/// The index of the chart entry that looks nearest to `want`, searched from
/// `first` on, or `first` when nothing follows it. Ties go to the lower index,
/// so the same colour always gets the same thread. Every thread chart is
/// matched through this one function; `Entry` is any record with r, g and b.
template <class Entry>
std::size_t nearest_entry(std::span<const Entry> chart, Rgb want, std::size_t first = 0) {
  const Lab target = lab_of(want);
  std::size_t best = first;
  double best_d = 0;
  for (std::size_t i = first; i < chart.size(); ++i) {
    const double d = delta_e2000(target, lab_of(Rgb{chart[i].r, chart[i].g, chart[i].b}));
    if (i == first || d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return best;
}

}  // namespace kvn::formats
