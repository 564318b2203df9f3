#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "inspect/realistic.hpp"
#include "inspect/worksheet.hpp"
#include "support/pattern_views.hpp"

namespace kvn::inspect {
namespace {

using formats::NeedleOp;
using formats::Pattern;

struct Stitch {
  std::int32_t x0, y0, x1, y1;
};

// Each stitch its own block, reached by a jump.
Pattern pattern_of(std::initializer_list<Stitch> stitches, std::initializer_list<formats::Thread> threads) {
  Pattern p;
  bool first = true;
  for (const auto& s : stitches) {
    if (!first) p.events.push_back({s.x0, s.y0, NeedleOp::kColourChange});
    first = false;
    p.events.push_back({s.x0, s.y0, NeedleOp::kJump});
    p.events.push_back({s.x1, s.y1, NeedleOp::kStitch});
  }
  p.threads.assign(threads.begin(), threads.end());
  p.events.push_back({p.events.back().x, p.events.back().y, NeedleOp::kEnd});
  return p;
}

int luma(const RgbaPicture& p, std::uint32_t x, std::uint32_t y) {
  return (p.channel(x, y, 0) * 3 + p.channel(x, y, 1) * 6 + p.channel(x, y, 2)) / 10;
}

// Black is where shading by multiplying the thread's colour fails: its
// highlight must still stand out above its own shadow on a mid-grey fabric.
TEST(Realistic, DarkThreadsKeepHighlightsBrighterThanTheirShadow) {
  ThreadLook look;
  look.fabric = Rgb{0x80, 0x80, 0x80};
  const struct {
    Stitch s;
    formats::Thread t;
  } cases[] = {{{0, 0, 100, 0}, test::thread_of(0, 0, 0)},
               {{0, 0, 0, 100}, test::thread_of(0x10, 0x18, 0x40)},
               {{0, 0, 100, 100}, test::thread_of(0, 0, 0)},
               {{0, 100, 100, 0}, test::thread_of(0, 0, 0)}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.s.x1) + "," + std::to_string(c.s.y1));
    // Where the thread lies: what a white thread makes brighter than the fabric.
    const auto white =
        realistic_picture(pattern_of({c.s}, {test::thread_of(0xFF, 0xFF, 0xFF)}), look);
    const auto dark = realistic_picture(pattern_of({c.s}, {c.t}), look);
    int highlight = 0, shadow = 0x80;
    for (std::uint32_t y = 0; y < dark.height; ++y)
      for (std::uint32_t x = 0; x < dark.width; ++x) {
        if (luma(white, x, y) > 0xA0)
          highlight = std::max(highlight, luma(dark, x, y));
        else if (luma(white, x, y) <= 0x80)
          shadow = std::min(shadow, luma(dark, x, y));
      }
    EXPECT_LT(shadow, 0x70);
    EXPECT_GT(highlight, shadow + 40);
  }
}

TEST(Realistic, ALaterStitchCoversAnEarlierOneWhereTheyCross) {
  const auto red = test::thread_of(0xE0, 0, 0), blue = test::thread_of(0, 0, 0xE0);
  const Stitch across{0, 50, 100, 50}, down{50, 0, 50, 100};
  const struct {
    Pattern p;
    bool red_on_top;
  } cases[] = {{pattern_of({across, down}, {red, blue}), false},
               {pattern_of({down, across}, {blue, red}), true}};
  for (const auto& c : cases) {
    const auto pic = realistic_picture(c.p, ThreadLook{});
    // The crossing: design (50, 50) lies at the picture's centre.
    const std::uint32_t x = pic.width / 2, y = pic.height / 2;
    const int r = pic.channel(x, y, 0), b = pic.channel(x, y, 2);
    EXPECT_EQ(r > b, c.red_on_top) << "r " << r << " b " << b;
  }
}

// Drawn last sewn first, a pixel the top thread hides takes nothing more from
// the threads under it, and one it leaves partly open must still take them;
// wherever the threads' ends fall along a row (the scales move them).
TEST(Realistic, ThreadsOnTopHideWhatIsUnderThemAndNoMore) {
  const auto red = test::thread_of(0xE0, 0, 0), blue = test::thread_of(0, 0, 0xE0);
  // The lower threads lie a little further down, showing below the top one;
  // two needle points span the same extents in every picture.
  const Stitch top{0, 0, 400, 0}, low{0, 2, 400, 2}, corner{0, 0, 0, 0}, far{400, 2, 400, 2};
  for (const double scale : {10.0, 10.7, 13.3, 16.0, 25.0}) {
    SCOPED_TRACE(scale);
    ThreadLook look;
    look.pixels_per_mm = scale;
    look.fabric.reset();
    const auto pic = realistic_picture(
        pattern_of({corner, far, low, low, top}, {red, red, blue, blue, red}), look);
    const auto reds = realistic_picture(pattern_of({corner, far, top}, {red, red, red}), look);
    const auto blues = realistic_picture(pattern_of({corner, far, low}, {red, red, blue}), look);
    ASSERT_EQ(pic.rgba.size(), reds.rgba.size());
    ASSERT_EQ(pic.rgba.size(), blues.rgba.size());
    // Layers only add cover.
    for (std::uint32_t y = 0; y < pic.height; ++y)
      for (std::uint32_t x = 0; x < pic.width; ++x)
        ASSERT_GE(pic.channel(x, y, 3) + 1, std::max(reds.channel(x, y, 3), blues.channel(x, y, 3)))
            << x << "," << y;
    // Along the top thread's middle, away from its darkened ends: that thread
    // alone.
    const auto y = static_cast<std::uint32_t>(std::lround(look.pixels_per_mm));
    for (std::uint32_t x = pic.width / 4; x <= pic.width * 3 / 4; ++x) {
      ASSERT_GT(pic.channel(x, y, 0), pic.channel(x, y, 1) + 20) << x;
      for (unsigned c = 0; c < 4; ++c) ASSERT_EQ(pic.channel(x, y, c), reds.channel(x, y, c)) << x;
    }
  }
}

TEST(Realistic, AThreadIsAsWideAsAskedWithinOnePixel) {
  const struct {
    double width_mm, px_per_mm;
  } cases[] = {{0.4, 10}, {0.33, 10}, {0.46, 20}, {1.0, 8}, {0.4, 30}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width_mm) + " mm at " + std::to_string(c.px_per_mm));
    ThreadLook look;
    look.thread_width_mm = c.width_mm;
    look.pixels_per_mm = c.px_per_mm;
    // A white thread on black fabric: its shadow cannot show there, and even
    // its unlit side is brighter than half white. A pixel counts when at least
    // about half of it is thread.
    look.fabric = Rgb{0, 0, 0};
    const auto p =
        realistic_picture(pattern_of({{0, 0, 200, 0}}, {test::thread_of(0xFF, 0xFF, 0xFF)}), look);
    const std::uint32_t x = p.width / 2;
    double covered = 0;
    for (std::uint32_t y = 0; y < p.height; ++y) covered += p.channel(x, y, 0) >= 0x80 ? 1 : 0;
    EXPECT_NEAR(covered, c.width_mm * c.px_per_mm, 1.0);
  }
}

struct Drawn {
  std::int64_t minx, miny, maxx, maxy;
};

// The pixels that are not transparent.
Drawn drawn_box(const RgbaPicture& pic) {
  Drawn d{pic.width, pic.height, -1, -1};
  for (std::uint32_t y = 0; y < pic.height; ++y)
    for (std::uint32_t x = 0; x < pic.width; ++x)
      if (pic.channel(x, y, 3) != 0) {
        d.minx = std::min<std::int64_t>(d.minx, x), d.maxx = std::max<std::int64_t>(d.maxx, x);
        d.miny = std::min<std::int64_t>(d.miny, y), d.maxy = std::max<std::int64_t>(d.maxy, y);
      }
  return d;
}

TEST(Realistic, NothingIsDrawnFurtherFromTheStitchesThanTheThreadsWidth) {
  const Pattern p = pattern_of(
      {{-40, 30, 120, -70}, {0, 0, 90, 90}, {10, 10, 10, 10}},
      {test::thread_of(0, 0, 0), test::thread_of(0x80, 0x20, 0x90), test::thread_of(0, 0, 0)});
  for (const double scale : {4.0, 10.0, 25.0}) {
    SCOPED_TRACE(scale);
    ThreadLook look;
    look.fabric.reset();
    look.pixels_per_mm = scale;
    // The finest thread marks where the stitches lie, as placed in a picture
    // of the same size (the margin goes with the width, at least 1 mm).
    ThreadLook fine = look;
    fine.thread_width_mm = kMinThreadWidth;
    const Drawn lines = drawn_box(realistic_picture(p, fine));
    const Drawn thick = drawn_box(realistic_picture(p, look));
    // The stitches span 16 x 16 mm, less the needle holes at their ends.
    EXPECT_GE(static_cast<double>(lines.maxx - lines.minx + 1), 16 * scale - 2 * kNeedleHoleMm * scale);
    const double reach = look.thread_width_mm * scale + 1;
    EXPECT_GE(static_cast<double>(lines.minx - thick.minx), -1);
    EXPECT_LE(static_cast<double>(lines.minx - thick.minx), reach);
    EXPECT_LE(static_cast<double>(lines.miny - thick.miny), reach);
    EXPECT_LE(static_cast<double>(thick.maxx - lines.maxx), reach);
    EXPECT_LE(static_cast<double>(thick.maxy - lines.maxy), reach);
  }
}

TEST(Realistic, HostileExtentsAndScalesGiveABoundedPicture) {
  ThreadLook look;
  look.pixels_per_mm = 1e9;
  look.thread_width_mm = std::nan("");
  const auto p = realistic_picture(pattern_of({{-2000000000, 0, 2000000000, 5}}, {}), look);
  EXPECT_LE(p.width, kMaxRealisticSide);
  EXPECT_LE(p.height, kMaxRealisticSide);
  EXPECT_EQ(p.rgba.size(), std::size_t{p.width} * p.height * 4);
  const auto empty = realistic_picture(Pattern{}, ThreadLook{});
  EXPECT_GE(empty.width, 1u);
}

TEST(Worksheet, CountsEveryNeedleEventAndEachColoursShare) {
  Pattern p = pattern_of({{0, 0, 30, 40}, {0, 0, 0, 100}},
                         {test::thread_of(1, 2, 3), test::thread_of(4, 5, 6)});
  p.events.insert(p.events.end() - 1, {{0, 100, NeedleOp::kTrim},
                                       {0, 100, NeedleOp::kStop},
                                       {0, 50, NeedleOp::kStitch}});
  const SheetCounts c = count_for_sheet(p);
  EXPECT_EQ(c.totals.stitches, 3u);
  EXPECT_EQ(c.totals.jumps, 2u);
  EXPECT_EQ(c.totals.trims, 1u);
  EXPECT_EQ(c.totals.stops, 1u);
  EXPECT_EQ(c.totals.colour_changes, 1u);
  ASSERT_EQ(c.colours.size(), 2u);
  EXPECT_EQ(c.colours[1].stitches, 2u);
  EXPECT_DOUBLE_EQ(c.colours[0].stitch_mm, 5.0);
  EXPECT_DOUBLE_EQ(c.colours[1].stitch_mm, 15.0);
  WorksheetOptions rules;
  rules.stitches_per_minute = 3;
  rules.seconds_per_colour_change = 60;
  rules.seconds_per_trim = 30;
  EXPECT_DOUBLE_EQ(sewing_minutes(c.totals, rules), 1 + 1 + 0.5);
}

}  // namespace
}  // namespace kvn::inspect
