// Thread colours: the colour difference against published reference pairs,
// and the thread each chart gives to colours users bring from other formats.

#include <gtest/gtest.h>

#include <string>
#include <string_view>

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
      {3, {50.0, 2.8361, -74.0200}, {50.0, 0.0, -82.7485}, 3.4412},
      {7, {50.0, 0.0, 0.0}, {50.0, -1.0, 2.0}, 2.3669},
      {13, {50.0, 2.4900, -0.0010}, {50.0, -2.4900, 0.0009}, 7.1792},
      {15, {50.0, 2.4900, -0.0010}, {50.0, -2.4900, 0.0011}, 7.2195},
      {17, {50.0, -0.0010, 2.4900}, {50.0, 0.0009, -2.4900}, 4.8045},
      {19, {50.0, -0.0010, 2.4900}, {50.0, 0.0011, -2.4900}, 4.7461},
      {22, {50.0, 2.5, 0.0}, {73.0, 25.0, -18.0}, 27.1492},
      {26, {60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
      {31, {22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
      {34, {90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(formats::delta_e2000(c.x, c.y), c.expected, 5e-5) << "pair " << c.pair;
    EXPECT_NEAR(formats::delta_e2000(c.y, c.x), c.expected, 5e-5) << "pair " << c.pair << " swapped";
  }
}

TEST(Colour, LabOfSrgb) {
  struct Case {
    formats::Rgb rgb;
    Lab expected;
  };
  const Case cases[] = {
      {{0, 0, 0}, {0.0, 0.0, 0.0}},
      {{255, 255, 255}, {100.0, 0.0, 0.0}},
      {{255, 0, 0}, {53.2408, 80.0925, 67.2032}},
      {{0, 0, 255}, {32.2970, 79.1875, -107.8602}},
  };
  for (const auto& c : cases) {
    const Lab got = formats::lab_of(c.rgb);
    EXPECT_NEAR(got.l, c.expected.l, 5e-3);
    EXPECT_NEAR(got.a, c.expected.a, 5e-3);
    EXPECT_NEAR(got.b, c.expected.b, 5e-3);
  }
}

}  // namespace
}  // namespace kvn
