#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "formats/shv_layout.hpp"
#include "formats/shv_pattern.hpp"
#include "formats/stitch.hpp"

#include "shvgen/cell_divider.hpp"
#include "shvgen/colour_tables.hpp"
#include "shvgen/line_dda.hpp"
#include "shvgen/preview.hpp"
#include "support/design_builders.hpp"
#include "tools/pattern_gen.hpp"

namespace kvn::shvgen {
namespace {

using test::Bytes;
using test::cat;
using test::HucBuilder;
using test::long_move;
using test::rec;
using Points = std::vector<std::pair<int, int>>;

void KORVANE_CALLBACK collect(int X, int Y, std::intptr_t lpData) {
  reinterpret_cast<Points*>(lpData)->push_back({X, Y});
}

struct LineCase {
  const char* name;
  int x1, y1, x2, y2;
  Points points;
};

const LineCase kLines[] = {
    {"ZeroLengthReportsNothing", 4, 4, 4, 4, {}},
    {"HorizontalStopsBeforeTheEnd", 0, 0, 3, 0, {{0, 0}, {1, 0}, {2, 0}}},
    {"VerticalDownward", 0, 0, 0, -3, {{0, 0}, {0, -1}, {0, -2}}},
    {"Diagonal", 0, 0, 3, 3, {{0, 0}, {1, 1}, {2, 2}}},
    {"EqualStepsAreYMajor", 0, 0, 2, -2, {{0, 0}, {1, -1}}},
    {"ShallowXMajor", 0, 0, 5, 2, {{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}},
    {"ShallowReversedIsNotTheMirror", 5, 2, 0, 0, {{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}},
    {"SteepYMajor", 0, 0, 2, 5, {{0, 0}, {0, 1}, {1, 2}, {1, 3}, {2, 4}}},
    {"SteepLeftward", 10, 10, 8, 15, {{10, 10}, {10, 11}, {9, 12}, {9, 13}, {8, 14}}},
};

TEST(LineDda, ReportsThePointsGdiReports) {
  for (const auto& c : kLines) {
    SCOPED_TRACE(c.name);
    Points portable, platform;
    line_dda_portable(c.x1, c.y1, c.x2, c.y2, collect, reinterpret_cast<std::intptr_t>(&portable));
    line_dda(c.x1, c.y1, c.x2, c.y2, collect, reinterpret_cast<std::intptr_t>(&platform));
    EXPECT_EQ(portable, c.points);
    EXPECT_EQ(platform, c.points);  // on Windows: GDI's own LineDDA
  }
}

TEST(LineDda, InlineSteppingReportsWhatLineDdaReports) {
  // The preview draws with the inline stepping; on Windows line_dda is GDI's.
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> near(-300, 300);
  for (int i = 0; i < 2000; ++i) {
    const int x1 = near(rng), y1 = near(rng), x2 = near(rng), y2 = near(rng);
    Points inline_points, called;
    dda_points(x1, y1, x2, y2, [&](int x, int y) { inline_points.push_back({x, y}); });
    line_dda(x1, y1, x2, y2, collect, reinterpret_cast<std::intptr_t>(&called));
    ASSERT_EQ(inline_points, called) << x1 << "," << y1 << " -> " << x2 << "," << y2;
  }
}

// The preview as drawn one point at a time through ShvLineDDAProc, with
// 64-bit cells: what draw_preview must give however it gets there.
Bytes point_by_point(const PreviewExtents& e, std::span<const formats::shvcolor_t> colours,
                     std::span<const std::uint8_t> stream, std::int32_t pixels,
                     std::int32_t scanlines) {
  const auto row = static_cast<std::size_t>((scanlines + 1) / 2);
  Bytes out(static_cast<std::size_t>(pixels) * row, 0);
  auto wide_abs = [](std::int64_t v) { return v < 0 ? -v : v; };
  const std::int64_t width = 2 * std::max(wide_abs(e.x0), wide_abs(e.x1));
  const std::int64_t height = 2 * std::max(wide_abs(e.y0), wide_abs(e.y1));
  const std::int64_t fx = (width + pixels - 1) / pixels, fy = (height + scanlines - 1) / scanlines;
  Q2PARAM d;
  d.ppic = out;
  d.oX1 = static_cast<std::int32_t>((pixels - (width + fx - 1) / fx) / 2);
  d.oY1 = static_cast<std::int32_t>((scanlines - (height + fy - 1) / fy) / 2);
  d.scanlines = scanlines;
  d.pixels = pixels;
  std::int64_t x0 = e.x0, x1 = e.x1, y0 = e.y0, y1 = e.y1;
  if (x0 < 0) std::swap(x0, x1);
  if (y0 < 0) std::swap(y0, y1);
  const auto lp = reinterpret_cast<std::intptr_t>(&d);
  formats::walk_blocks(
      stream, colours, std::max(-x1, x0), std::max(-y1, y0), [&](const formats::WalkStep& s) {
        if (s.record.kind != formats::RecordKind::kStitch) return;
        d.color = pixel_for_colour(colours[s.block].Color);
        const auto a = static_cast<int>(s.x0 / fx), b = static_cast<int>(s.y0 / fy);
        const auto c = static_cast<int>(s.x1 / fx), f = static_cast<int>(s.y1 / fy);
        ShvLineDDAProc(c, f, lp);
        line_dda(a, b, c, f, ShvLineDDAProc, lp);
      });
  return out;
}

TEST(DrawPreview, GivesWhatDrawingPointByPointGives) {
  struct Shape {
    const char* name;
    std::size_t stitches, blocks;
    std::int32_t max_stitch, max_jump;
    std::uint32_t seed;
  };
  // Long stitches cross many cells, short ones stay in one; jumps and trims
  // leave gaps the cached cell must not bridge.
  const Shape shapes[] = {
      {"ManyShortStitches", 20000, 12, 15, 242, 1},
      {"LongStitchesAndJumps", 5000, 5, 121, 2000, 2},
      {"StitchesLongerThanOneRecord", 3000, 3, 400, 300, 3},
  };
  for (const auto& sh : shapes) {
    SCOPED_TRACE(sh.name);
    example::PatternShape shape;
    shape.stitches = sh.stitches;
    shape.blocks = sh.blocks;
    shape.max_stitch = sh.max_stitch;
    shape.max_jump = sh.max_jump;
    shape.seed = sh.seed;
    const auto e = formats::encode_shv(example::generated_pattern(shape), "t.shv");
    ASSERT_TRUE(e) << e.error().message();
    const PreviewExtents box{e->x0, e->y0, e->x1, e->y1};
    // The design's own grid, odd-sized ones that centre it off the middle,
    // and one of a cell per unit, where stitches cross up to 128 cells.
    const auto dims = formats::dimensions_for_extents(e->x0, e->y0, e->x1, e->y1);
    for (const auto& [pixels, scanlines] :
         {std::pair<int, int>{dims.scanlines, dims.pixels}, {37, 91}, {151, 3}, {1601, 1601}}) {
      SCOPED_TRACE(std::to_string(pixels) + " x " + std::to_string(scanlines));
      const Bytes want = point_by_point(box, e->colours, e->stream, pixels, scanlines);
      EXPECT_GT(std::count_if(want.begin(), want.end(), [](std::uint8_t b) { return b != 0; }), 0);
      for (const auto how : {PreviewCells::kUnpacked, PreviewCells::kPacked}) {
        Bytes got(want.size(), 0);
        draw_preview(got, box, e->colours, e->stream, pixels, scanlines, how);
        EXPECT_EQ(got, want) << (how == PreviewCells::kUnpacked ? "unpacked" : "packed");
      }
    }
  }
}

// Raw streams rather than encoded designs: every line shape within and just
// beyond the near lines' reach, at every scale from a cell per unit, with
// stitches as long moves, controls, blocks cut short, and ends off the grid
// (extents the stitches overrun, so that positions also turn negative).
TEST(DrawPreview, RandomStreamsGiveWhatDrawingPointByPointGives) {
  struct Case {
    const char* name;
    PreviewExtents box;
    std::int32_t pixels, scanlines;
    int max_step;  // largest displacement of a record
    int overrun;   // percent of stitches that lean away from the start
    bool cut;      // the last block's count runs past the stream
    std::uint32_t seed;
  };
  const Case cases[] = {
      {"CellPerUnitNearAndBeyond", {40, 40, -40, -40}, 80, 80, 20, 0, false, 1},
      {"CoarseCellsShortStitches", {600, 500, -600, -500}, 60, 50, 30, 0, false, 2},
      {"LongRecordsOddGrid", {900, 700, -800, -650}, 147, 91, 127, 0, false, 3},
      {"EndsOffTheGrid", {30, 30, -30, -30}, 20, 20, 40, 60, false, 4},
      {"ThinGrid", {300, 300, -300, -300}, 3, 151, 60, 10, true, 5},
      {"WideStridesFromOneEnd", {2000, 10, 0, -10}, 16, 1601, 127, 30, true, 6},
      {"LargeMovesAmongStitches", {400, 400, -400, -400}, 200, 200, 200, 0, false, 7},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::mt19937 rng(c.seed);
    std::uniform_int_distribution<int> step(-c.max_step, c.max_step), pct(0, 99);
    std::vector<formats::shvcolor_t> colours;
    Bytes stream;
    std::int64_t x = 0, y = 0;
    for (int b = 0; b < 6; ++b) {
      const std::size_t from = stream.size();
      const auto put = [&](const Bytes& r) { stream.insert(stream.end(), r.begin(), r.end()); };
      put(long_move(static_cast<std::int16_t>(step(rng)), static_cast<std::int16_t>(step(rng))));
      for (int i = 0; i < 700; ++i) {
        int dx = step(rng), dy = step(rng);
        // Away from the start point, so that the needle leaves the box.
        if (pct(rng) < c.overrun) {
          dx = (x < 0 ? -1 : 1) * (dx < 0 ? -dx : dx);
          dy = (y < 0 ? -1 : 1) * (dy < 0 ? -dy : dy);
        }
        const int kind = pct(rng);
        const bool wide = dx < -127 || dx > 127 || dy < -128 || dy > 127;
        if (kind < 5 || wide) {
          put(long_move(static_cast<std::int16_t>(dx), static_cast<std::int16_t>(dy)));
        } else if (kind < 7) {
          put(test::raw(0x80, 0x03));
          continue;
        } else {
          if (dx == -128) dx = -127;  // 0x80 is the escape
          put(rec(static_cast<std::int8_t>(dx), static_cast<std::int8_t>(dy)));
        }
        x += dx;
        y += dy;
      }
      const auto words = static_cast<std::uint32_t>((stream.size() - from) / 2);
      colours.push_back({words + (c.cut && b == 5 ? 9u : 0u), static_cast<std::uint8_t>(b * 7), 0, 0});
    }
    const Bytes want = point_by_point(c.box, colours, stream, c.pixels, c.scanlines);
    EXPECT_GT(std::count_if(want.begin(), want.end(), [](std::uint8_t v) { return v != 0; }), 0);
    for (const auto how : {PreviewCells::kUnpacked, PreviewCells::kPacked}) {
      Bytes got(want.size(), 0);
      draw_preview(got, c.box, colours, stream, c.pixels, c.scanlines, how);
      EXPECT_EQ(got, want) << (how == PreviewCells::kUnpacked ? "unpacked" : "packed");
    }
  }
}

TEST(CellDivider, DividesAsIntegerDivisionDoes) {
  const std::int64_t big = std::int64_t{1} << 31;
  const std::int64_t factors[] = {1, 2, 3, 7, 10, 127, 128, 129, 1000, 65535, 65537,
                                  (1 << 20) + 1, 1 << 30, big - 1, big, big * 3 + 1};
  std::mt19937_64 rng(7);
  for (const auto f : factors) {
    const CellDivider div(f);
    std::vector<std::int64_t> values = {0,   1,       f - 1,   f,        f + 1,      2 * f - 1,
                                        -1,  -f,      -f - 1,  big - 1,  big - 2,    big,
                                        big + 1, -big, big * 5, -big * 5};
    for (int i = 0; i < 2000; ++i) values.push_back(static_cast<std::int64_t>(rng() % big));
    for (const auto v : values) ASSERT_EQ(div(v), v / f) << v << " / " << f;
  }
}

// The 4-bit cell of output row `row`, pixel `pixel`.
int cell(const Bytes& out, int scanlines, int row, int pixel) {
  const std::uint8_t b = out[static_cast<std::size_t>(row * ((scanlines + 1) / 2) + pixel / 2)];
  return pixel % 2 == 0 ? b >> 4 : b & 0x0F;
}

struct ProcCase {
  const char* name;
  int X, Y;
  int row, pixel;  // -1: dropped
};

// 3 columns of 3 lines, offsets (1, 0): columns are output rows, lines run
// downward along a row.
const ProcCase kProc[] = {
    {"Origin", -1, 0, 0, 2},
    {"TopRight", 1, 2, 2, 0},
    {"ColumnPastTheRight", 2, 0, -1, -1},
    {"ColumnLeftOfTheGrid", -2, 0, -1, -1},
    {"LineAboveTheTop", 0, 3, -1, -1},
    {"LineBelowTheBottom", 0, -1, -1, -1},
};

TEST(ShvLineDDAProc, SetsTheTurnedCellAndDropsPointsOutsideTheGrid) {
  for (const auto& c : kProc) {
    SCOPED_TRACE(c.name);
    Bytes out(3 * 2 + 1, 0);  // one guard byte
    Q2PARAM d;
    d.ppic = std::span<std::uint8_t>(out).first(6);
    d.oX1 = 1;
    d.color = 9;
    d.scanlines = 3;
    d.pixels = 3;
    ShvLineDDAProc(c.X, c.Y, reinterpret_cast<std::intptr_t>(&d));
    Bytes want(7, 0);
    if (c.row >= 0)
      want[static_cast<std::size_t>(c.row * 2 + c.pixel / 2)] = c.pixel % 2 == 0 ? 0x90 : 0x09;
    EXPECT_EQ(out, want);
  }
}

// Renders into an exactly sized area followed by guard bytes.
Bytes render(const Bytes& huc, int pixels, int scanlines, std::uint8_t fill = 0xEE) {
  const std::size_t area =
      pixels > 0 && scanlines > 0
          ? static_cast<std::size_t>(pixels) * static_cast<std::size_t>((scanlines + 1) / 2)
          : 0;
  Bytes out(area + 4, fill);
  const Bytes exact(huc);  // an exactly sized copy, so ASan sees any over-read
  MakeShvBmp(std::span<std::uint8_t>(out).first(area), exact, pixels, scanlines);
  for (std::size_t i = area; i < out.size(); ++i) EXPECT_EQ(out[i], fill) << "guard byte " << i;
  out.resize(area);
  return out;
}

Bytes blank(int pixels, int scanlines) {
  return Bytes(static_cast<std::size_t>(pixels) * static_cast<std::size_t>((scanlines + 1) / 2), 0);
}

TEST(MakeShvBmp, PlacesTheStartPointOfTheWorkedExample) {
  // Box 500 x 600 in 40 x 40 cells: factors 13 and 15, start point (250, 300)
  // in column 19, line 20: output row 19, pixel 19.
  const Bytes huc =
      HucBuilder{}.extents(250, 100, -150, -300).colour(0, cat({rec(0, 0), rec(0, 0)})).bytes();
  Bytes want = blank(40, 40);
  want[389] = 0x01;
  EXPECT_EQ(render(huc, 40, 40), want);
}

TEST(MakeShvBmp, DrawsStitchesOnlyNeverBlockStartsOrLargeMoves) {
  const Bytes base = cat({rec(0, 0)});
  struct Case {
    const char* name;
    Bytes stream;
    bool drawn;
  } cases[] = {
      {"OnlyTheBlockStartRecord", rec(3, 3), false},
      {"BlockStartLongMove", long_move(2, 2), false},
      {"SmallLongMoveInBody", cat({base, long_move(2, 0)}), true},
      {"LargeLongMoveInBody", cat({base, long_move(128, 0)}), false},
      {"ControlInBody", cat({base, test::raw(0x80, 0x03)}), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    // One design unit per cell: 20 x 20 cells for extents of +-10.
    const Bytes huc = HucBuilder{}.extents(10, 10, -10, -10).colour(5, c.stream).bytes();
    EXPECT_EQ(render(huc, 20, 20) != blank(20, 20), c.drawn);
  }
}

TEST(MakeShvBmp, JoinsNoBlockToTheNextAndLetsTheLaterBlockWin) {
  // Block 1 (code 1, pixel 3) stitches (10,10) -> (13,10); block 2 starts with a
  // move back to (11,10) and stitches over the same cells with code 2 (pixel 6).
  const Bytes huc = HucBuilder{}
                        .extents(10, 10, -10, -10)
                        .colour(1, cat({rec(0, 0), rec(3, 0)}))
                        .colour(2, cat({rec(-2, 0), rec(2, 0)}))
                        .bytes();
  const Bytes out = render(huc, 20, 20);
  // Column gx is output row gx; line 10 is pixel 20 - 1 - 10 = 9.
  EXPECT_EQ(cell(out, 20, 10, 9), 3);
  EXPECT_EQ(cell(out, 20, 11, 9), 6);
  EXPECT_EQ(cell(out, 20, 12, 9), 6);
  EXPECT_EQ(cell(out, 20, 13, 9), 6);
  int set = 0;
  for (int r = 0; r < 20; ++r)
    for (int p = 0; p < 20; ++p) set += cell(out, 20, r, p) != 0;
  EXPECT_EQ(set, 4);
}

TEST(MakeShvBmp, LeavesTheLowNibbleOfAnOddRowEmpty) {
  // 3 columns of 5 lines; a vertical stitch through all lines of column 1.
  const Bytes huc =
      HucBuilder{}.extents(1, 2, -1, -2).colour(3, cat({rec(0, -2), rec(0, 4)})).bytes();
  const Bytes out = render(huc, 3, 5);
  EXPECT_EQ(out, (Bytes{0, 0, 0, 0x77, 0x77, 0x70, 0, 0, 0}));
}

TEST(MakeShvBmp, MapsColourCodesToPixelValues) {
  const std::pair<std::uint8_t, int> cases[] = {{0, 1},  {13, 1}, {19, 13},
                                                {33, 3}, {48, 1}, {255, 1}};
  for (const auto& [code, value] : cases) {
    SCOPED_TRACE(static_cast<int>(code));
    EXPECT_EQ(pixel_for_colour(code), value);
    const Bytes huc =
        HucBuilder{}.extents(1, 1, -1, -1).colour(code, cat({rec(0, 0), rec(0, 0)})).bytes();
    EXPECT_EQ(render(huc, 2, 2), (Bytes{0, static_cast<std::uint8_t>(value << 4)}));
  }
}

TEST(MakeShvBmp, DrawsNothingWithoutCellsOrScale) {
  const Bytes huc =
      HucBuilder{}.extents(10, 10, -10, -10).colour(1, cat({rec(0, 0), rec(1, 1)})).bytes();
  EXPECT_TRUE(render(huc, 0, 7).empty());
  EXPECT_TRUE(render(huc, 7, 0).empty());
  EXPECT_TRUE(render(huc, -3, 7).empty());
  // All extents 0: a box 0 wide gives a factor of 0; the area is only cleared.
  const Bytes flat = HucBuilder{}.colour(1, cat({rec(0, 0), rec(1, 1)})).bytes();
  EXPECT_EQ(render(flat, 4, 4), blank(4, 4));
  // An area smaller than the preview is left alone.
  Bytes small(3, 0xEE);
  MakeShvBmp(small, huc, 4, 4);
  EXPECT_EQ(small, Bytes(3, 0xEE));
}

TEST(MakeShvBmp, StopsAtTheEndOfTheImage) {
  // Counts claim far more than is there; the colour table itself is cut short.
  const Bytes huc =
      HucBuilder{}.extents(10, 10, -10, -10).colour(1, cat({rec(0, 0), rec(1, 0)}), 900).bytes();
  const Bytes out = render(huc, 20, 20);
  EXPECT_EQ(cell(out, 20, 10, 9), 3);
  EXPECT_EQ(cell(out, 20, 11, 9), 3);
  Bytes cut = HucBuilder{}.extents(10, 10, -10, -10).n_colors(9).colour(1, {}).bytes();
  cut.resize(40);
  EXPECT_EQ(render(cut, 20, 20), blank(20, 20));
  EXPECT_EQ(render(Bytes(10, 0), 20, 20), blank(20, 20));
}

TEST(MakeShvBmp, DropsPointsBeyondTheBox) {
  // The extents claim +-2 but the stitches run to x = 40 and y = -40.
  const Bytes huc = HucBuilder{}
                        .extents(2, 2, -2, -2)
                        .colour(4, cat({rec(0, 0), rec(40, 0), rec(0, -80)}))
                        .bytes();
  const Bytes out = render(huc, 4, 4);
  // Only the first two points of the first stitch, columns 2 and 3 of line 2
  // (pixel 1 of output rows 2 and 3), land inside.
  Bytes want = blank(4, 4);
  want[2 * 2] = 0x08;
  want[3 * 2] = 0x08;
  EXPECT_EQ(out, want);
}

TEST(MakeShvBmp, KeepsItsBoxAndPositionBeyond16Bits) {
  // Extents +-32,767: a box of 65,534 would be -2 in 16 bits. The start point
  // sits at 32,767; a long move to 32,760 would wrap a 16-bit position.
  const Bytes huc = HucBuilder{}
                        .extents(32767, 32767, -32767, -32767)
                        .colour(1, cat({long_move(32760, 0), rec(5, 0)}))
                        .bytes();
  const int n = 6554;  // (65,534 + 9) / 10 columns: factor 10, no centring offset
  const Bytes out = render(huc, n, 10);
  // x runs 65,527 -> 65,532: columns 6552 and 6553, the last; y = 32,767 is
  // line 4 at 6,554 units a line.
  EXPECT_EQ(cell(out, 10, 6552, 10 - 1 - 4), 3);
  EXPECT_EQ(cell(out, 10, 6553, 10 - 1 - 4), 3);
}

}  // namespace
}  // namespace kvn::shvgen
