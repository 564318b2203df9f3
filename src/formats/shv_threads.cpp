#include "formats/shv_threads.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <string>

namespace kvn::formats {
namespace {

// The machines' own chart. Its codes group in families: 0-12 the basic
// colours, 19-27 their light and 33-43 their dark shades; the preview's
// colour table maps the same codes. Code 43 is dark brown by its place in
// that family; the published charts list no RGB for it, so it is the dark
// shade of 11 the way the other dark shades follow their basic colours.
constexpr std::array<ShvThread, 29> kChart{{
    {0, "Black", 0, 0, 0},
    {1, "Blue", 0, 0, 255},
    {2, "Green", 51, 204, 102},
    {3, "Red", 255, 0, 0},
    {4, "Purple", 255, 0, 255},
    {5, "Yellow", 255, 255, 0},
    {6, "Grey", 127, 127, 127},
    {7, "Light Blue", 51, 154, 255},
    {8, "Light Green", 0, 255, 0},
    {9, "Orange", 255, 127, 0},
    {10, "Pink", 255, 160, 180},
    {11, "Brown", 153, 75, 0},
    {12, "White", 255, 255, 255},
    {19, "Light Red", 255, 127, 127},
    {20, "Light Purple", 255, 127, 255},
    {21, "Light Yellow", 255, 255, 153},
    {22, "Light Grey", 192, 192, 192},
    {25, "Light Orange", 255, 165, 65},
    {26, "Light Pink", 255, 204, 204},
    {27, "Light Brown", 175, 90, 10},
    {33, "Dark Blue", 0, 0, 127},
    {34, "Dark Green", 0, 127, 0},
    {35, "Dark Red", 127, 0, 0},
    {36, "Dark Purple", 127, 0, 127},
    {37, "Dark Yellow", 200, 200, 0},
    {38, "Dark Grey", 60, 60, 60},
    {41, "Dark Orange", 232, 63, 0},
    {42, "Dark Pink", 255, 102, 122},
    {43, "Dark Brown", 102, 51, 0},
}};

// Blocks without colours cycle through strong, distinct colours first, so
// that neighbouring blocks never look alike; white is left out because it
// vanishes on the usual light fabric and preview background.
constexpr std::array<std::uint8_t, 12> kDefaultCycle{1, 3, 2, 9, 4, 0, 33, 35, 34, 11, 10, 37};

struct Lab {
  double l, a, b;
};

double linear(std::uint8_t c) {
  const double v = c / 255.0;
  return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double lab_f(double t) {
  constexpr double kEpsilon = 216.0 / 24389.0;
  constexpr double kKappa = 24389.0 / 27.0;
  return t > kEpsilon ? std::cbrt(t) : (kKappa * t + 16.0) / 116.0;
}

// sRGB (D65) to CIELAB.
Lab to_lab(std::uint8_t r8, std::uint8_t g8, std::uint8_t b8) {
  const double r = linear(r8), g = linear(g8), b = linear(b8);
  const double x = (0.4124564 * r + 0.3575761 * g + 0.1804375 * b) / 0.95047;
  const double y = 0.2126729 * r + 0.7151522 * g + 0.0721750 * b;
  const double z = (0.0193339 * r + 0.1191920 * g + 0.9503041 * b) / 1.08883;
  const double fx = lab_f(x), fy = lab_f(y), fz = lab_f(z);
  return {116.0 * fy - 16.0, 500.0 * (fx - fy), 200.0 * (fy - fz)};
}

}  // namespace

std::span<const ShvThread> shv_thread_chart() { return kChart; }

const ShvThread* find_shv_thread(std::uint8_t code) {
  const auto it = std::lower_bound(kChart.begin(), kChart.end(), code,
                                   [](const ShvThread& t, std::uint8_t c) { return t.code < c; });
  return it != kChart.end() && it->code == code ? &*it : nullptr;
}

Thread thread_for_shv_code(std::uint8_t code) {
  Thread t;
  t.shv_code = code;
  if (const ShvThread* s = find_shv_thread(code)) {
    t.r = s->r;
    t.g = s->g;
    t.b = s->b;
    t.name = std::string(s->name);
  } else {
    t.name = "SHV colour " + std::to_string(code);
  }
  return t;
}

std::uint8_t nearest_shv_code(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  const Lab want = to_lab(r, g, b);
  std::uint8_t best = kChart.front().code;
  double best_d = std::numeric_limits<double>::infinity();
  for (const auto& t : kChart) {
    const Lab have = to_lab(t.r, t.g, t.b);
    const double dl = want.l - have.l, da = want.a - have.a, db = want.b - have.b;
    const double d = dl * dl + da * da + db * db;
    if (d < best_d) {
      best_d = d;
      best = t.code;
    }
  }
  return best;
}

std::uint8_t shv_code_for(const Thread& t) {
  return t.shv_code ? *t.shv_code : nearest_shv_code(t.r, t.g, t.b);
}

Thread shv_thread_for(const Thread& t) { return thread_for_shv_code(shv_code_for(t)); }

double colour_difference(std::uint8_t r1, std::uint8_t g1, std::uint8_t b1, std::uint8_t r2,
                         std::uint8_t g2, std::uint8_t b2) {
  const Lab p = to_lab(r1, g1, b1), q = to_lab(r2, g2, b2);
  const double dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
  return std::sqrt(dl * dl + da * da + db * db);
}

std::uint8_t default_shv_code(std::size_t block_index) {
  return kDefaultCycle[block_index % kDefaultCycle.size()];
}

}  // namespace kvn::formats
