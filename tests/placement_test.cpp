// Where a converted design lies on the machine: its middle where the machine
// starts, turned as asked, refused when no hoop of the target holds it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <tuple>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "convert/placement.hpp"
#include "formats/dst.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_design.hpp"
#include "formats/shv_pattern.hpp"
#include "support/reference_design.hpp"
#include "support/run_korvane.hpp"
#include "support/temp_dir.hpp"

namespace kvn {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using Bytes = std::vector<std::uint8_t>;
constexpr auto S = NeedleOp::kStitch;

// Origins where files put them: at a corner (sewn from there), far outside,
// behind a trim before the first move. Then the real designs this build reads.
std::vector<Pattern> every_design() {
  std::vector<Pattern> all = {
      {"corner", {}, {{0, 0, S}, {840, 0, S}, {840, 1340, S}, {0, 1340, S}, {0, 1340, NeedleOp::kEnd}}},
      {"far", {}, {{5000, -2000, NeedleOp::kJump}, {5000, -2000, S}, {5300, -2000, S}, {5300, -1800, S}}},
      {"trim", {}, {{0, 0, NeedleOp::kTrim}, {10, 10, S}, {400, 10, S}, {400, 10, NeedleOp::kColourChange},
                    {400, 600, S}}},
  };
  const auto root = test::real_designs_dir();
  if (!root) return all;
  for (const auto& f : std::filesystem::recursive_directory_iterator(*root)) {
    if (!f.is_regular_file()) continue;
    const Bytes bytes = test::read_bytes(f.path().string());
    auto p = formats::read_pattern(formats::ByteReader(bytes, "in"), formats::recognise_kind(bytes));
    if (!p) continue;  // not a design, or a kind this build does not read
    p->name = f.path().filename().string();
    all.push_back(std::move(*p));
  }
  return all;
}

TEST(Placement, EveryWrittenDesignStartsAtItsMiddleInTheSameShape) {
  ConvertOptions options;
  options.allow_oversize = true;  // the real designs include ones no hoop holds
  for (const auto& source : every_design()) {
    for (const auto& format : formats::format_table()) {
      if (!format.writable || format.family == formats::Family::kDocument ||
          format.family == formats::Family::kPicture)
        continue;
      SCOPED_TRACE(source.name + " into " + format.name);
      std::vector<Adjustment> said;
      auto placed = convert::place_for_target(source, format, options, said, source.name);
      ASSERT_TRUE(placed.has_value()) << placed.error().message();
      // Every stitch moved by one distance; the first not sewn from the start point.
      std::vector<NeedleEvent> was;
      std::copy_if(source.events.begin(), source.events.end(), std::back_inserter(was),
                   [](const NeedleEvent& e) { return e.op == S; });
      std::vector<std::pair<int, int>> moves;
      for (const auto& e : placed->events)
        if (e.op == S && moves.size() < was.size())
          moves.emplace_back(e.x - was[moves.size()].x, e.y - was[moves.size()].y);
      ASSERT_EQ(moves.size(), was.size());
      if (was.empty()) continue;
      EXPECT_EQ(std::count(moves.begin(), moves.end(), moves.front()), std::ssize(moves));
      const auto first = std::find_if(placed->events.begin(), placed->events.end(),
                                      [](const NeedleEvent& e) { return e.op == S; });
      const bool jumps_first = std::any_of(placed->events.begin(), first,
                                           [](const NeedleEvent& e) { return e.op == NeedleOp::kJump; });
      EXPECT_TRUE(jumps_first || moves.front() == std::pair(0, 0));

      auto fitted = convert::fit_to_limits(*placed, format, options, said);
      ASSERT_TRUE(fitted.has_value()) << fitted.error().message();
      auto image = convert::write_pattern(*fitted, format.kind, "out");
      ASSERT_TRUE(image.has_value()) << image.error().message();
      auto back = (format.read ? format.read : formats::read_shv)(formats::ByteReader(*image, "out"));
      ASSERT_TRUE(back.has_value()) << back.error().message();
      // The middle within 0.1 mm of the start point: twice the middle within 0.2 mm.
      const auto e = formats::stitch_extents(*back);
      EXPECT_LE(std::abs(std::int64_t{e.min_x} + e.max_x), 2) << e.min_x << ".." << e.max_x;
      EXPECT_LE(std::abs(std::int64_t{e.min_y} + e.max_y), 2) << e.min_y << ".." << e.max_y;
    }
  }
}

TEST(Placement, KeepOriginKeepsItAndTurnsAreClockwise) {
  const Pattern corner = every_design().front();
  const std::pair<Turn, std::pair<int, int>> cases[] = {  // where the stitch at (840, 0) goes
      {Turn::kNone, {840, 0}}, {Turn::k90, {0, 840}}, {Turn::k180, {-840, 0}}, {Turn::k270, {0, -840}}};
  for (const auto& [turn, to] : cases) {
    ConvertOptions options;
    options.keep_origin = true;
    options.rotate = turn;
    std::vector<Adjustment> said;
    auto placed = convert::place_for_target(corner, *formats::format_of(formats::ContentKind::kDst),
                                            options, said, "corner.dst");
    ASSERT_TRUE(placed && placed->events.size() == corner.events.size());
    EXPECT_EQ(std::make_pair(std::int32_t{placed->events[1].x}, std::int32_t{placed->events[1].y}),
              to);
  }
}

// The extents count stitches alone, out to the farthest an event holds; a
// design whose middle would take some event past it is refused, not wrapped.
TEST(Placement, ExtentsAndTheMoveToTheMiddle) {
  constexpr std::int32_t lo = -formats::kFarthestHeld;
  constexpr std::int32_t hi = formats::kFarthestHeld;
  constexpr auto J = NeedleOp::kJump;
  const struct {
    std::vector<NeedleEvent> events;
    formats::PatternExtents extents;
    bool placed;
  } cases[] = {
      {{}, {}, true},
      {{{5, 5, J}, {5, 5, NeedleOp::kEnd}}, {}, true},
      {{{lo, hi, S}}, {lo, hi, lo, hi, false}, true},
      {{{-3, 7, S}, {900, 900, J}, {4, -2, S}, {-50, 60, NeedleOp::kTrim}}, {-3, -2, 4, 7, false}, true},
      {{{0, 0, S}, {hi, 0, S}, {lo, 0, J}}, {0, 0, hi, 0, false}, false},
  };
  for (const auto& c : cases) {
    const Pattern p{"p", {}, c.events};
    const auto e = formats::stitch_extents(p);
    EXPECT_EQ(std::tie(e.empty, e.min_x, e.min_y, e.max_x, e.max_y),
              std::tie(c.extents.empty, c.extents.min_x, c.extents.min_y, c.extents.max_x,
                       c.extents.max_y));
    ConvertOptions options;
    options.allow_oversize = true;
    std::vector<Adjustment> said;
    auto placed = convert::place_for_target(p, *formats::format_of(formats::ContentKind::kDst),
                                            options, said, "p.dst");
    EXPECT_EQ(placed.has_value(), c.placed);
    if (!placed) {
      EXPECT_EQ(placed.error().code, ErrorCode::kCoordinateOutOfRange);
    }
  }
}

#ifndef _WIN32
TEST(Placement, ADesignNoHoopHoldsIsRefusedUnlessTurnedOrAllowed) {
  Pattern wide;  // 222.5 x 51.4 mm, as the README's logo
  for (int x = 0; x <= 2225; x += 25) wide.events.push_back({x, (x / 25) % 2 ? 514 : 0, S});
  const struct {
    const char* args;
    int code;
    const char* written;  // nullptr: nothing
    int hoop;             // the SHV's hoop code, -1 for no SHV
    const char* says;
  } cases[] = {
      {"--convert wide.dst", 1, nullptr, -1,
       "222.5 x 51.4 mm and the largest SHV hoop is the 150 x 360 mm hoop; turned by 90 degrees "
       "it fits the 150 x 240 mm hoop: use --rotate 90"},
      {"--convert wide.dst --rotate 180", 1, nullptr, -1, "use --rotate 90"},
      {"--convert wide.dst --to jef", 1, nullptr, -1, "turned, it fits no hoop either"},
      {"--convert wide.dst --rotate fit", 0, "wide.shv", 0x90, ""},
      {"--convert wide.dst --allow-oversize", 0, "wide.shv", 0x00, ""},
      {"--convert wide.dst --to exp", 0, "wide.exp", -1, ""},
      {"--convert wide.dst --rotate 45", 2, nullptr, -1, "90, 180, 270 or fit"},
      {"--info wide.dst", 0, nullptr, -1, "design 1 fits no hoop; turned it fits the 150 x 240 mm hoop"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    test::ScopedTempDir dir;
    test::write_bytes(dir.file("wide.dst"), formats::write_dst(wide, "wide.dst").value());
    const auto r = test::run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_THAT(r.err + r.out, testing::HasSubstr(c.says));
    EXPECT_EQ(dir.files().size(), c.written ? 2u : 1u);
    if (c.hoop < 0) continue;
    const Bytes shv = test::read_bytes(dir.file(c.written));
    EXPECT_EQ(formats::read_shv_design(formats::ByteReader(shv, "wide.shv")).value().header.Hoop, c.hoop);
  }
}
#endif

}  // namespace
}  // namespace kvn
