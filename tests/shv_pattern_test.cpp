// SHV, HUC and DHV designs as patterns, and patterns written as SHV: what the
// SHV reader makes of each kind of record, that korvane's own SHV files read
// back to the same needle events, and the real SHV files.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>

#include "formats/byte_writer.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/shv_pattern.hpp"
#include "formats/shv_threads.hpp"
#include "shvgen/shv_writer.hpp"
#include "support/design_builders.hpp"
#include "support/reference_design.hpp"
#include "support/shv_round_trip.hpp"
#include "support/temp_dir.hpp"
#include "tools/example_gen.hpp"

namespace kvn {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using test::Bytes;
using test::cat;
using test::long_move;
using test::raw;
using test::rec;

constexpr auto S = NeedleOp::kStitch;
constexpr auto J = NeedleOp::kJump;
constexpr auto T = NeedleOp::kTrim;
constexpr auto C = NeedleOp::kColourChange;
constexpr auto E = NeedleOp::kEnd;

Result<Pattern> write_and_read(const Pattern& p) {
  KORVANE_TRY(shv, shvgen::write_shv(p, "out.shv"));
  return formats::read_shv(formats::ByteReader(shv, "out.shv"));
}

// ---------------------------------------------------------------------------
// What the reader makes of each record, through a HUC image and through the
// SHV image lumbrel builds from it: both must read alike.

struct ReadCase {
  const char* name;
  test::HucBuilder huc;
  std::vector<NeedleEvent> events;  // empty when refused
  std::vector<std::uint8_t> codes;
  ErrorCode refusal = ErrorCode::kOk;
};

std::vector<ReadCase> read_cases() {
  using test::HucBuilder;
  return {
      {"BlockStartNormalRecordIsAJump",
       HucBuilder().colour(1, cat({rec(5, -5), rec(1, 1)})),
       {{5, -5, J}, {6, -4, S}, {6, -4, E}},
       {1}},
      {"EveryLongMoveIsAJumpWhateverItsLength",
       HucBuilder().colour(
           2, cat({long_move(10, -10), rec(3, 4), long_move(3, 4), long_move(200, 0)})),
       {{10, -10, J}, {13, -6, S}, {16, -2, J}, {216, -2, J}, {216, -2, E}},
       {2}},
      {"TrimsAndInertEscapes",
       HucBuilder().colour(3, cat({long_move(0, 0), rec(1, 0), raw(0x80, 0x03), raw(0x80, 0x00),
                                   raw(0x80, 0x07), long_move(50, 50), raw(0, 0x80)})),
       {{0, 0, J}, {1, 0, S}, {1, 0, T}, {51, 50, J}, {51, -78, S}, {51, -78, E}},
       {3}},
      {"EachBlockStartsWhereTheLastEnded",
       HucBuilder()
           .colour(1, cat({rec(1, 1), rec(2, 2)}))
           .colour(43, cat({long_move(-3, -3), rec(1, 0)})),
       {{1, 1, J}, {3, 3, S}, {3, 3, C}, {0, 0, J}, {1, 0, S}, {1, 0, E}},
       {1, 43}},
      {"BlockStartEscapesMoveOrTrim",
       HucBuilder()
           .colour(1, cat({raw(0x80, 0x00), rec(1, 1)}))
           .colour(200, cat({raw(0x80, 0x03), long_move(5, 5)})),
       {{-128, 0, J}, {-127, 1, S}, {-127, 1, C}, {-127, 1, T}, {-122, 6, J}, {-122, 6, E}},
       {1, 200}},
      {"PositionsWrapAt16Bits",
       HucBuilder().colour(1, cat({long_move(32767, 0), long_move(2, 0)})),
       {{32767, 0, J}, {-32767, 0, J}, {-32767, 0, E}},
       {1}},
      {"CountsDisagreeWithTheTotal",
       HucBuilder().colour(1, cat({rec(1, 1)})).colour(2, cat({rec(1, 1)})).n_colors(1),
       {},
       {},
       ErrorCode::kMalformedDesign},
      {"BlockRunsPastTheStream",
       HucBuilder().colour(1, cat({rec(1, 1), raw(0x80, 0x01)})),
       {},
       {},
       ErrorCode::kMalformedDesign},
  };
}

TEST(ShvPattern, ReadsEachKindOfRecord) {
  for (const auto& c : read_cases()) {
    SCOPED_TRACE(c.name);
    const Bytes huc = c.huc.bytes();
    const auto shv = shvgen::build_shv(formats::ByteReader(huc, "t.huc"), "t");
    ASSERT_TRUE(shv) << shv.error().message();
    for (const auto& read : {formats::read_huc(formats::ByteReader(huc, "t.huc")),
                             formats::read_shv(formats::ByteReader(*shv, "t.shv"))}) {
      if (c.refusal != ErrorCode::kOk) {
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().code, c.refusal) << read.error().message();
        continue;
      }
      ASSERT_TRUE(read) << read.error().message();
      EXPECT_EQ(read->events, c.events);
      ASSERT_EQ(read->threads.size(), c.codes.size());
      for (std::size_t i = 0; i < c.codes.size(); ++i)
        EXPECT_EQ(read->threads[i], formats::thread_for_shv_code(c.codes[i]));
    }
  }
}

// ---------------------------------------------------------------------------
// Round trips: model -> SHV -> model gives the same needle events.

struct Family {
  const char* name;
  std::vector<std::uint8_t> ops;  // what shv_shaped_pattern() draws from
  bool threads;
  std::size_t bytes;
  int seeds;
};

// The HUC image of what write_shv() encodes, for designs a HUC image holds.
Bytes huc_of(const formats::ShvEncoding& e) {
  formats::huchdr_t h;
  h.nColors = static_cast<std::uint8_t>(e.colours.size());
  h.x0 = e.x0, h.y0 = e.y0, h.x1 = e.x1, h.y1 = e.y1;
  h.Stitches = static_cast<std::uint16_t>(e.words);
  formats::ByteWriter out;
  formats::write_huchdr(out, h);
  for (const auto& c : e.colours)
    formats::write_huccolor(out, {static_cast<std::uint16_t>(c.Stitches), c.Color, c.xpos, c.ypos});
  out.bytes(e.stream);
  return out.take();
}

TEST(ShvPattern, WrittenDesignsReadBackToTheSameEvents) {
  // Jumps across the whole range make the largest previews: few of them.
  const Family families[] = {
      {"ShortStitches", {0}, true, 900, 20},
      {"LongStitchesSplit", {0, 9}, true, 900, 20},
      {"Jumps", {0, 11, 0x1C}, false, 900, 20},
      {"JumpsAcrossTheRange", {0, 0x1B}, false, 90, 3},
      {"TrimsBeforeJumps", {0, 0, 13, 0x1C}, true, 900, 20},
      {"ManyColours", {0, 15}, true, 1500, 10},
      {"Everything", {0, 9, 11, 0x1C, 13, 15}, false, 1500, 30},
  };
  for (const auto& f : families) {
    for (int seed = 1; seed <= f.seeds; ++seed) {
      SCOPED_TRACE(std::string(f.name) + " seed " + std::to_string(seed));
      example::Rng rng(static_cast<std::uint64_t>(seed));
      Bytes bytes{static_cast<std::uint8_t>(f.threads)};
      while (bytes.size() < f.bytes) bytes.push_back(static_cast<std::uint8_t>(rng.range(0, 255)));
      const Pattern p = test::shv_shaped_pattern(bytes, f.ops);
      const auto shv = shvgen::write_shv(p, "out.shv");
      ASSERT_TRUE(shv) << shv.error().message();
      const auto back = formats::read_shv(formats::ByteReader(*shv, "out.shv"));
      ASSERT_TRUE(back) << back.error().message();
      ASSERT_EQ(test::shv_round_trip_difference(p, *back), "");

      // The image is the one lumbrel builds from the same stream: one writer.
      const auto enc = formats::encode_shv(p, "out.shv");
      ASSERT_TRUE(enc);
      const Bytes huc = huc_of(*enc);
      const auto built = shvgen::build_shv(formats::ByteReader(huc, "t.huc"), p.name);
      ASSERT_TRUE(built);
      EXPECT_EQ(*built, *shv);

      // Extents and block starts come from the stream; every block opens with a long move.
      const auto d = formats::read_shv_design(formats::ByteReader(*shv, "out.shv"));
      ASSERT_TRUE(d);
      std::array<std::int32_t, 4> ext{};  // x0, y0, x1, y1
      std::vector<std::pair<std::int32_t, std::int32_t>> starts{{0, 0}}, recorded;
      for (const auto& e : back->events) {
        ext = {std::max(ext[0], e.x), std::max(ext[1], e.y), std::min(ext[2], e.x),
               std::min(ext[3], e.y)};
        if (e.op == C) starts.emplace_back(e.x, e.y);
      }
      EXPECT_EQ(ext, (std::array<std::int32_t, 4>{d->header.x0, d->header.y0, d->header.x1,
                                                  d->header.y1}));
      std::size_t at = 0;
      for (const auto& c : d->colours) {
        recorded.emplace_back(c.xpos, c.ypos);
        EXPECT_TRUE(d->stream[at] == 0x80 && d->stream[at + 1] == 0x01) << "at " << at;
        at += 2 * std::size_t{c.Stitches};
      }
      EXPECT_EQ(recorded, starts);
    }
  }
}

// What the writer makes of patterns that are not in the reader's own form.
TEST(ShvPattern, WriterNormalisesOtherFormsAndRefusesWhatSHVCannotHold) {
  const auto red = formats::Thread{250, 5, 5, "", "", std::nullopt};
  const auto kept = formats::thread_for_shv_code(42);
  struct Case {
    const char* name;
    Pattern in;
    std::vector<NeedleEvent> events;
    std::vector<std::uint8_t> codes;
    ErrorCode refusal = ErrorCode::kOk;
  };
  const Case cases[] = {
      {"NoColoursTakeTheDefaultCycle",
       {"", {}, {{1, 1, S}, {1, 1, C}, {5, 5, J}, {2, 5, S}, {2, 5, C}, {0, 0, J}}},
       {{0, 0, J}, {1, 1, S}, {1, 1, C}, {5, 5, J}, {2, 5, S}, {2, 5, C}, {0, 0, J}, {0, 0, E}},
       {formats::default_shv_code(0), formats::default_shv_code(1), formats::default_shv_code(2)}},
      {"RgbTakesTheNearestCodeAKeptCodeStays",
       {"", {red, kept}, {{0, 0, J}, {1, 0, S}, {1, 0, C}, {1, 0, J}, {1, 1, S}, {1, 1, E}}},
       {{0, 0, J}, {1, 0, S}, {1, 0, C}, {1, 0, J}, {1, 1, S}, {1, 1, E}},
       {3, 42}},
      {"AStopBeginsABlockInTheSameColour",
       {"", {kept}, {{0, 0, J}, {1, 0, S}, {1, 0, NeedleOp::kStop}, {2, 0, S}}},
       {{0, 0, J}, {1, 0, S}, {1, 0, C}, {1, 0, J}, {2, 0, S}, {2, 0, E}},
       {42, 42}},
      {"EmptyBlocksLeaveNoTrace",
       {"", {}, {{0, 0, J}, {1, 0, S}, {1, 0, C}, {1, 0, C}, {1, 0, J}, {2, 0, S}, {2, 0, C}}},
       {{0, 0, J}, {1, 0, S}, {1, 0, C}, {1, 0, J}, {2, 0, S}, {2, 0, E}},
       {formats::default_shv_code(0), formats::default_shv_code(2)}},
      {"JumpsAcrossTheWholeRange",
       {"", {}, {{-32768, 32767, J}, {32767, -32768, J}, {32767, -32767, S}}},
       {{-32768, 32767, J}, {32767, -32768, J}, {32767, -32767, S}, {32767, -32767, E}},
       {formats::default_shv_code(0)}},
      {"AStitchAcrossTheWrapGoesRoundIt",
       {"", {}, {{0, 32760, J}, {0, -32766, S}}},
       {{0, 32760, J}, {0, -32766, S}, {0, -32766, E}},
       {formats::default_shv_code(0)}},
      {"BeyondTheRange",
       {"", {}, {{0, 0, J}, {40000, 0, S}}},
       {},
       {},
       ErrorCode::kCoordinateOutOfRange},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto back = write_and_read(c.in);
    if (c.refusal != ErrorCode::kOk) {
      ASSERT_FALSE(back);
      EXPECT_EQ(back.error().code, c.refusal);
      continue;
    }
    ASSERT_TRUE(back) << back.error().message();
    EXPECT_EQ(back->events, c.events);
    ASSERT_EQ(back->threads.size(), c.codes.size());
    for (std::size_t i = 0; i < c.codes.size(); ++i)
      EXPECT_EQ(back->threads[i].shv_code, c.codes[i]);
  }
}

TEST(ShvPattern, AtMost255ColourBlocks) {
  for (const std::size_t blocks : {255u, 256u}) {
    Pattern p;
    for (std::size_t i = 0; i < blocks; ++i) {
      if (i > 0) p.events.push_back({0, 0, C});
      p.events.push_back({static_cast<std::int32_t>(i), 0, J});
      p.events.push_back({static_cast<std::int32_t>(i), 1, S});
    }
    const auto back = write_and_read(p);
    if (blocks == 255) {
      ASSERT_TRUE(back) << back.error().message();
      EXPECT_EQ(formats::block_count(*back), 255u);
    } else {
      ASSERT_FALSE(back);
      EXPECT_EQ(back.error().code, ErrorCode::kTooManyColours);
    }
  }
}

// ---------------------------------------------------------------------------
// The chart: every code it names is the nearest to its own colour unless an
// earlier code has the same colour; codes it does not name stay as they are.

TEST(ShvThreads, ChartCodesAndDefaults) {
  for (const auto& t : formats::shv_thread_chart()) {
    SCOPED_TRACE(t.name);
    const auto nearest = formats::find_shv_thread(formats::nearest_shv_code(t.r, t.g, t.b));
    ASSERT_NE(nearest, nullptr);
    EXPECT_EQ((std::array{nearest->r, nearest->g, nearest->b}), (std::array{t.r, t.g, t.b}));
    EXPECT_EQ(formats::thread_for_shv_code(t.code).name, t.name);
  }
  const auto unknown = formats::thread_for_shv_code(17);
  EXPECT_EQ(unknown.shv_code, 17);
  EXPECT_EQ(unknown.name, "SHV colour 17");
  for (std::size_t i = 0; i < 40; ++i) {
    EXPECT_NE(formats::default_shv_code(i), formats::default_shv_code(i + 1));
    EXPECT_NE(formats::find_shv_thread(formats::default_shv_code(i)), nullptr);
  }
}

// ---------------------------------------------------------------------------
// DHV: each design alone, and all of them placed as combining places them.

TEST(DhvPattern, DesignsAloneAndCombined) {
  for (std::uint64_t seed = 1; seed <= 12; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    example::Params params;
    params.seed = seed;
    params.designs = 1 + seed % 4;
    const auto made = example::generate(params);
    ASSERT_TRUE(made) << made.error().message();
    const formats::ByteReader in(made->dhv, "g.dhv");
    const auto alone = formats::read_dhv_designs(in);
    ASSERT_TRUE(alone) << alone.error().message();
    ASSERT_EQ(alone->size(), made->designs.size());
    std::vector<NeedleEvent> placed;
    std::vector<formats::Thread> threads;
    for (std::size_t i = 0; i < alone->size(); ++i) {
      const auto& d = made->designs[i];
      const auto own = formats::read_shv(formats::ByteReader(d.shv, "d.shv"));
      ASSERT_TRUE(own);
      EXPECT_EQ((*alone)[i], *own);
      for (const auto& e : own->events)
        // A lone design is delivered as it stands, its placement unused.
        if (e.op == S)
          placed.push_back(alone->size() == 1
                               ? e
                               : NeedleEvent{e.x + d.recipe.Xoffset, e.y + d.recipe.Yoffset, S});
      threads.insert(threads.end(), own->threads.begin(), own->threads.end());
    }
    const auto combined = formats::read_dhv_combined(in);
    ASSERT_TRUE(combined) << combined.error().message();
    std::vector<NeedleEvent> stitches;
    for (const auto& e : combined->events)
      if (e.op == S) stitches.push_back(e);
    ASSERT_EQ(stitches.size(), placed.size());
    for (std::size_t i = 0; i < stitches.size(); ++i)
      ASSERT_EQ(stitches[i], placed[i])
          << "stitch " << i << " at (" << stitches[i].x << ", " << stitches[i].y << "), placed at ("
          << placed[i].x << ", " << placed[i].y << ")";
    EXPECT_EQ(combined->threads, threads);
    if (alone->size() == 1) {
      EXPECT_EQ(*combined, alone->front());
    }
  }
}

// ---------------------------------------------------------------------------
// The real SHV files made by design software.

TEST(ShvPattern, RealFilesReadWholeAndWriteBackUnchanged) {
  const auto root = test::real_designs_dir();
  if (!root || !std::filesystem::is_directory(*root / "shv"))
    GTEST_SKIP() << "the real SHV designs (../shared/realdesigns/shv) are not here";
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(*root / "shv")) {
    const auto name = entry.path().filename().string();
    SCOPED_TRACE(name);
    const auto bytes = test::read_bytes(entry.path().string());
    const formats::ByteReader in(bytes, name);
    const auto d = formats::read_shv_design(in);
    ASSERT_TRUE(d) << d.error().message();
    const auto p = formats::read_shv(in);
    ASSERT_TRUE(p) << p.error().message();
    ++files;
    // Every block starts where the one before it ended, as its record says.
    std::vector<std::pair<std::int32_t, std::int32_t>> starts{{0, 0}}, recorded;
    for (const auto& e : p->events)
      if (e.op == C) starts.emplace_back(e.x, e.y);
    for (const auto& c : d->colours) recorded.emplace_back(c.xpos, c.ypos);
    EXPECT_EQ(starts, recorded);
    EXPECT_EQ(d->stream.size(), 2 * std::size_t{d->header.Stitches});
    // Written by korvane and read again: the very same design.
    const auto back = write_and_read(*p);
    ASSERT_TRUE(back) << back.error().message();
    EXPECT_EQ(*back, *p);
  }
  EXPECT_GT(files, 0u);
}

}  // namespace
}  // namespace kvn
