#include "formats/shv_threads.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "formats/colour.hpp"

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
  return kChart[nearest_entry(std::span<const ShvThread>(kChart), Rgb{r, g, b})].code;
}

std::uint8_t shv_code_for(const Thread& t) {
  return t.shv_code ? *t.shv_code : nearest_shv_code(t.r, t.g, t.b);
}

Thread shv_thread_for(const Thread& t) { return thread_for_shv_code(shv_code_for(t)); }

double colour_difference(std::uint8_t r1, std::uint8_t g1, std::uint8_t b1, std::uint8_t r2,
                         std::uint8_t g2, std::uint8_t b2) {
  return delta_e2000(Rgb{r1, g1, b1}, Rgb{r2, g2, b2});
}

std::uint8_t default_shv_code(std::size_t block_index) {
  return kDefaultCycle[block_index % kDefaultCycle.size()];
}

}  // namespace kvn::formats
