// Where a converted design lies on the machine: its middle where the machine
// starts, turned as asked, refused when no hoop of the target holds it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "convert/placement.hpp"
#include "formats/byte_reader.hpp"
#include "formats/dst.hpp"
#include "formats/file_kind.hpp"
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

Pattern stitched(const std::string& name, std::vector<NeedleEvent> events) {
  Pattern p;
  p.name = name;
  events.push_back({events.back().x, events.back().y, NeedleOp::kEnd});
  p.events = std::move(events);
  return p;
}

// Designs whose origins lie where files put them: at a corner, far outside,
// already in the middle, behind a trim before the first move.
std::vector<Pattern> generated() {
  return {
      stitched("corner", {{0, 0, NeedleOp::kStitch}, {840, 0, NeedleOp::kStitch},
                          {840, 1340, NeedleOp::kStitch}, {0, 1340, NeedleOp::kStitch}}),
      stitched("far", {{5000, -2000, NeedleOp::kJump}, {5300, -2000, NeedleOp::kStitch},
                       {5300, -1800, NeedleOp::kStitch}, {5000, -1800, NeedleOp::kStitch}}),
      stitched("centred", {{-300, -200, NeedleOp::kJump}, {-300, -200, NeedleOp::kStitch},
                           {300, 200, NeedleOp::kStitch}, {-300, 200, NeedleOp::kStitch}}),
      stitched("trim-first", {{0, 0, NeedleOp::kTrim}, {10, 10, NeedleOp::kStitch},
                              {400, 10, NeedleOp::kStitch}, {400, 10, NeedleOp::kColourChange},
                              {400, 600, NeedleOp::kStitch}}),
  };
}

std::vector<NeedleEvent> stitches_of(const Pattern& p) {
  std::vector<NeedleEvent> s;
  for (const auto& e : p.events)
    if (e.op == NeedleOp::kStitch) s.push_back(e);
  return s;
}

Bytes read_file(const std::filesystem::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// The real designs korvane reads, and the generated ones.
std::vector<Pattern> every_design() {
  auto all = generated();
  const auto root = test::real_designs_dir();
  if (!root) return all;
  for (const auto& folder : std::filesystem::directory_iterator(*root)) {
    if (!folder.is_directory()) continue;
    for (const auto& f : std::filesystem::directory_iterator(folder.path())) {
      const Bytes bytes = read_file(f.path());
      const formats::ByteReader in(bytes, f.path().filename().string());
      auto p = formats::read_pattern(in, formats::recognise_kind(bytes));
      if (!p) continue;  // a kind this build does not read
      p->name = f.path().filename().string();
      all.push_back(std::move(*p));
    }
  }
  return all;
}

TEST(Placement, EveryWrittenDesignStartsAtItsMiddle) {
  ConvertOptions options;
  options.allow_oversize = true;  // the real designs include ones no hoop holds
  std::size_t read_back = 0;
  for (const auto& source : every_design()) {
    const auto source_stitches = stitches_of(source);
    if (source_stitches.empty()) continue;
    for (const auto& format : formats::format_table()) {
      if (!format.writable || format.family == formats::Family::kDocument ||
          format.family == formats::Family::kPicture)
        continue;
      SCOPED_TRACE(source.name + " into " + format.name);
      std::vector<Adjustment> adjustments;
      auto placed = convert::place_for_target(source, format, options, adjustments, source.name);
      ASSERT_TRUE(placed.has_value()) << placed.error().message();
      // Moved, never reshaped: every stitch by the same distance.
      const auto stitches = stitches_of(*placed);
      ASSERT_EQ(stitches.size(), source_stitches.size());
      const int dx = stitches[0].x - source_stitches[0].x, dy = stitches[0].y - source_stitches[0].y;
      for (std::size_t i = 0; i < stitches.size(); ++i)
        ASSERT_TRUE(stitches[i].x - source_stitches[i].x == dx &&
                    stitches[i].y - source_stitches[i].y == dy)
            << "stitch " << i;
      // Moved, the first stitch is not sewn from the start point: the needle
      // moves off it first, as SHV's first record does.
      const bool moved = std::any_of(adjustments.begin(), adjustments.end(),
                                     [](const Adjustment& a) { return a.code == "recentred"; });
      const auto first = std::find_if(placed->events.begin(), placed->events.end(),
                                      [](const NeedleEvent& e) { return e.op == NeedleOp::kStitch; });
      const auto before = std::find_if(std::make_reverse_iterator(first), placed->events.rend(),
                                       [](const NeedleEvent& e) { return e.op == NeedleOp::kJump; });
      if (moved) {
        EXPECT_TRUE(before != placed->events.rend());
      }
      auto fitted = convert::fit_to_limits(*placed, format, options, adjustments);
      ASSERT_TRUE(fitted.has_value()) << fitted.error().message();
      auto image = convert::write_pattern(*fitted, format.kind, "out");
      if (!image && image.error().code == ErrorCode::kUnsupportedForm) continue;
      ASSERT_TRUE(image.has_value()) << image.error().message();
      const auto read = format.read ? format.read : formats::read_shv;
      auto back = read(formats::ByteReader(*image, "out"));
      ASSERT_TRUE(back.has_value()) << back.error().message();
      const auto e = formats::stitch_extents(*back);
      // The middle within 0.1 mm of the start point: twice the middle within 0.2 mm.
      EXPECT_LE(std::abs(std::int64_t{e.min_x} + e.max_x), 2) << e.min_x << ".." << e.max_x;
      EXPECT_LE(std::abs(std::int64_t{e.min_y} + e.max_y), 2) << e.min_y << ".." << e.max_y;
      ++read_back;
    }
  }
  EXPECT_GT(read_back, 0u);
}

TEST(Placement, KeepOriginAndTurnsMoveNothingElse) {
  const Pattern corner = generated().front();
  const struct {
    Turn turn;
    std::pair<int, int> second;  // where the stitch at (840, 0) goes
  } cases[] = {
      {Turn::kNone, {840, 0}},
      {Turn::k90, {0, 840}},  // clockwise with y downwards: right becomes down
      {Turn::k180, {-840, 0}},
      {Turn::k270, {0, -840}},
  };
  const auto* dst = formats::format_of(formats::ContentKind::kDst);
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.turn));
    ConvertOptions options;
    options.keep_origin = true;
    options.rotate = c.turn;
    std::vector<Adjustment> adjustments;
    auto placed = convert::place_for_target(corner, *dst, options, adjustments, "corner.dst");
    ASSERT_TRUE(placed.has_value());
    ASSERT_EQ(placed->events.size(), corner.events.size());
    EXPECT_EQ(placed->events[0], corner.events[0]);
    EXPECT_EQ(std::make_pair(placed->events[1].x, placed->events[1].y), c.second);
    EXPECT_EQ(adjustments.size(), c.turn == Turn::kNone ? 0u : 1u);
  }
}

#ifndef _WIN32
// A logo wider than every SHV hoop: 222.5 x 51.4 mm, as the README's is.
Bytes wide_dst() {
  Pattern p;
  for (int x = 0; x <= 2225; x += 25) p.events.push_back({x, (x / 25) % 2 ? 514 : 0, NeedleOp::kStitch});
  p.events.push_back({2225, 0, NeedleOp::kEnd});
  auto b = formats::write_dst(p, "wide.dst");
  EXPECT_TRUE(b.has_value());
  return b ? *b : Bytes{};
}

TEST(Placement, ADesignNoHoopHoldsIsRefusedUnlessTurnedOrAllowed) {
  const struct {
    const char* args;
    int code;
    const char* written;  // nullptr: nothing
    int hoop_code;        // of the SHV written, -1 when another format
    const char* says;
  } cases[] = {
      {"--convert wide.dst", 1, nullptr, -1,
       "222.5 x 51.4 mm and the largest SHV hoop is the 150 x 360 mm hoop; turned by 90 degrees "
       "it fits the 150 x 240 mm hoop: use --rotate 90"},
      {"--convert wide.dst --rotate 180", 1, nullptr, -1, "use --rotate 90"},
      {"--convert wide.dst --to jef", 1, nullptr, -1, "turned, it fits no hoop either"},
      {"--convert wide.dst --rotate fit", 0, "wide.shv", 0x90, ""},
      {"--convert wide.dst --rotate 270", 0, "wide.shv", 0x90, ""},
      {"--convert wide.dst --allow-oversize", 0, "wide.shv", 0x00, ""},
      {"--convert wide.dst --to exp", 0, "wide.exp", -1, ""},
      {"--convert wide.dst --rotate 45", 2, nullptr, -1, "90, 180, 270 or fit"},
      {"--info wide.dst --rotate fit", 2, nullptr, -1, "go with --convert"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    test::ScopedTempDir dir;
    {
      std::ofstream f(dir.file("wide.dst"), std::ios::binary);
      const Bytes b = wide_dst();
      f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    const auto r = test::run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_THAT(r.err, testing::HasSubstr(c.says));
    EXPECT_EQ(dir.files().size(), c.written ? 2u : 1u);
    if (c.hoop_code < 0 || !c.written) continue;
    const Bytes shv = read_file(dir.file(c.written));
    auto design = formats::read_shv_design(formats::ByteReader(shv, c.written));
    ASSERT_TRUE(design.has_value());
    EXPECT_EQ(design->header.Hoop, c.hoop_code);
  }
  test::ScopedTempDir dir;
  {
    std::ofstream f(dir.file("wide.dst"), std::ios::binary);
    const Bytes b = wide_dst();
    f.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
  }
  EXPECT_THAT(test::run_in(dir, "--info wide.dst").out,
              testing::HasSubstr("design 1 fits no hoop; turned it fits the 150 x 240 mm hoop"));
}
#endif

}  // namespace
}  // namespace kvn
