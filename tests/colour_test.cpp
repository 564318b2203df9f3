// Thread colours: the colour difference against published reference pairs,
// and the thread each chart gives to colours users bring from other formats.

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

#include "formats/colour.hpp"
#include "formats/colour_chart.hpp"
#include "formats/hus.hpp"
#include "formats/jef.hpp"
#include "formats/pec.hpp"
#include "formats/sew.hpp"
#include "formats/shv_threads.hpp"

namespace kvn {
namespace {

using formats::Lab;

// Sharma, Wu and Dalal (2005), "The CIEDE2000 color-difference formula",
// table 1: pairs chosen for the formula's corners (hue means across 0/360
// degrees, greys, the blue region's rotation term).
TEST(Colour, DeltaE2000MatchesPublishedPairs) {
  struct Case {
    int pair;
    Lab x, y;
    double expected;
  };
  const Case cases[] = {
      {1, {50.0, 2.6772, -79.7751}, {50.0, 0.0, -82.7485}, 2.0425},
      {7, {50.0, 0.0, 0.0}, {50.0, -1.0, 2.0}, 2.3669},
      {13, {50.0, 2.4900, -0.0010}, {50.0, -2.4900, 0.0009}, 7.1792},
      {15, {50.0, 2.4900, -0.0010}, {50.0, -2.4900, 0.0011}, 7.2195},
      {17, {50.0, -0.0010, 2.4900}, {50.0, 0.0009, -2.4900}, 4.8045},
      {19, {50.0, -0.0010, 2.4900}, {50.0, 0.0011, -2.4900}, 4.7461},
      {22, {50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
      {26, {60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(formats::delta_e2000(c.x, c.y), c.expected, 5e-5) << "pair " << c.pair;
    EXPECT_NEAR(formats::delta_e2000(c.y, c.x), c.expected, 5e-5)
        << "pair " << c.pair << " swapped";
  }
}

// Daylight white and the primaries as published for sRGB.
TEST(Colour, LabOfSrgb) {
  const std::pair<formats::Rgb, Lab> cases[] = {{{255, 255, 255}, {100.0, 0.0, 0.0}},
                                                {{255, 0, 0}, {53.2408, 80.0925, 67.2032}},
                                                {{0, 0, 255}, {32.2970, 79.1875, -107.8602}}};
  for (const auto& [rgb, want] : cases) {
    const Lab got = formats::lab_of(rgb);
    EXPECT_NEAR(got.l, want.l, 5e-3);
    EXPECT_NEAR(got.a, want.a, 5e-3);
    EXPECT_NEAR(got.b, want.b, 5e-3);
  }
}

// Colours users bring from one maker's chart to another's. The far pick is
// what a plain RGB or Lab distance chose and a user would see as wrong.
TEST(Colour, EachChartPicksTheThreadThatLooksNearest) {
  enum class Chart { kShv, kJef, kPec, kHus, kSew };
  struct Case {
    const char* what;
    formats::Rgb colour;
    Chart chart;
    std::size_t first;  // charts whose entry 0 is no thread skip it
    std::string_view expected;
    std::size_t expected_index;  // the SHV code for SHV
  };
  const Case cases[] = {
      {"Janome Moss Green, not SHV Grey", {137, 152, 86}, Chart::kShv, 0, "Dark Green", 34},
      {"Janome Bright Blue, not SHV Grey", {79, 131, 171}, Chart::kShv, 0, "Light Blue", 7},
      {"Brother Moss Green", {47, 126, 32}, Chart::kShv, 0, "Dark Green", 34},
      {"SHV Grey, not Janome Salmon", {127, 127, 127}, Chart::kJef, 1, "Gray", 24},
      {"SHV Dark Brown, not Brother Dark Olive", {102, 51, 0}, Chart::kPec, 1, "Dark Brown", 24},
      {"Janome Dark Brown", {72, 26, 5}, Chart::kPec, 1, "Dark Brown", 24},
      {"SHV Grey on the HUS chart", {127, 127, 127}, Chart::kHus, 0, "Grey", 6},
      {"Canary Yellow by its SEW number", {255, 229, 5}, Chart::kSew, 1, "Canary Yellow", 73},
      {"black past the placeholder", {0, 0, 0}, Chart::kJef, 1, "Black", 1},
      {"black on a tie takes the lower index", {0, 0, 0}, Chart::kPec, 0, "Unknown", 0},
      {"black past Brother's placeholder", {0, 0, 0}, Chart::kPec, 1, "Black", 20},
      {"white off the chart's white", {255, 255, 255}, Chart::kPec, 1, "White", 29},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto [r, g, b] = c.colour;
    if (c.chart == Chart::kShv) {
      const auto code = formats::nearest_shv_code(r, g, b);
      EXPECT_EQ(code, c.expected_index);
      ASSERT_NE(formats::find_shv_thread(code), nullptr);
      EXPECT_EQ(formats::find_shv_thread(code)->name, c.expected);
      continue;
    }
    const auto chart = c.chart == Chart::kJef   ? formats::janome_chart()
                       : c.chart == Chart::kPec ? formats::pec_palette()
                       : c.chart == Chart::kHus ? formats::hus_chart()
                                                : formats::sew_chart();
    const auto i = formats::nearest_chart_colour(chart, r, g, b, c.first);
    EXPECT_EQ(i, c.expected_index);
    EXPECT_EQ(chart[i].name, c.expected);
  }
}

}  // namespace
}  // namespace kvn
