// PES, PEC and JEF: the real designs read as the open library reads them
// (extents and colours too, beyond what the all-formats comparison checks),
// generated patterns survive a round trip through each writer, and damaged
// files give errors that say where.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <random>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "formats/file_kind.hpp"
#include "formats/jef.hpp"
#include "formats/pattern_read.hpp"
#include "formats/pec.hpp"
#include "formats/pes.hpp"
#include "formats/vp3.hpp"
#include "support/builders.hpp"
#include "support/pattern_views.hpp"
#include "support/reference_design.hpp"
#include "support/temp_dir.hpp"
#include "tools/pattern_gen.hpp"

namespace kvn {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using Bytes = std::vector<std::uint8_t>;

using test::count_op;
using test::put_le32;
using test::rgb_of;
using test::stitches_by_block;

// A generated pattern of one to six threaded blocks with jumps of up to
// 300 mm, trims and (when `stops`) stops; `reach` bounds one stitch's length
// on each axis.
Pattern generated(std::uint32_t seed, std::int32_t reach, bool stops) {
  return example::generated_pattern({.stitches = 20 + seed * 37 % 200,
                                     .blocks = 1 + seed % 6,
                                     .max_stitch = reach,
                                     .max_jump = 3000,
                                     .threads = true,
                                     .stops = stops,
                                     .seed = seed});
}

struct RoundTrip {
  const char* format;
  formats::ContentKind out;
  std::function<Result<Pattern>(const formats::ByteReader&)> read;
  std::span<const formats::ChartColour> chart;  // empty: the colours are kept as they are
  std::int32_t longest;                         // the longest stitch one record holds
  bool keeps_stops;  // else a stop comes back as a change to the same thread
};

const RoundTrip kRoundTrips[] = {
    {"pes", formats::ContentKind::kPes, formats::read_pes, {}, 2047, false},
    {"jef", formats::ContentKind::kJef, formats::read_jef, formats::janome_chart(), 127, true},
};

TEST(PesJefRoundTrip, GeneratedPatternsKeepPositionsBlocksAndTrims) {
  for (const auto& t : kRoundTrips) {
    for (std::uint32_t seed = 1; seed <= 60; ++seed) {
      // Short stitches must come back one for one; long ones are split into
      // steps that keep every original needle position.
      const bool long_stitches = seed % 3 == 0;
      const std::int32_t reach = long_stitches ? 3 * t.longest : t.longest;
      const Pattern p = generated(seed, reach, seed % 2 == 0);
      SCOPED_TRACE(std::string(t.format) + " seed " + std::to_string(seed));
      const auto image = convert::write_pattern(p, t.out, "gen");
      ASSERT_TRUE(image) << image.error().message();
      const formats::ByteReader in(*image, "gen");
      ASSERT_EQ(formats::recognise_kind(*image), t.out == formats::ContentKind::kPes
                                                     ? formats::ContentKind::kPes
                                                     : formats::ContentKind::kJef);
      const auto back = t.read(in);
      ASSERT_TRUE(back) << back.error().message();

      Pattern expected = p;
      if (!t.keeps_stops) {
        // The stop becomes a change to the thread the block already wears.
        expected.threads.clear();
        std::size_t block = 0;
        expected.threads.push_back(p.threads[0]);
        for (auto& e : expected.events) {
          if (e.op == NeedleOp::kColourChange) expected.threads.push_back(p.threads[++block]);
          if (e.op == NeedleOp::kStop) {
            e.op = NeedleOp::kColourChange;
            expected.threads.push_back(p.threads[block]);
          }
        }
      }
      const auto want = stitches_by_block(expected);
      const auto got = stitches_by_block(*back);
      ASSERT_EQ(got.size(), want.size());
      for (std::size_t b = 0; b < want.size(); ++b) {
        if (!long_stitches) {
          EXPECT_EQ(got[b], want[b]) << "block " << b;
          continue;
        }
        auto it = got[b].begin();
        for (const auto& s : want[b]) {
          it = std::find(it, got[b].end(), s);
          ASSERT_NE(it, got[b].end()) << "block " << b << " lost (" << s.x << ", " << s.y << ")";
        }
      }
      EXPECT_EQ(count_op(*back, NeedleOp::kTrim), count_op(expected, NeedleOp::kTrim));
      EXPECT_EQ(count_op(*back, NeedleOp::kStop), count_op(expected, NeedleOp::kStop));
      EXPECT_EQ(back->events.back(),
                (NeedleEvent{p.events.back().x, p.events.back().y, NeedleOp::kEnd}));
      ASSERT_EQ(back->threads.size(), expected.threads.size());
      for (std::size_t i = 0; i < expected.threads.size(); ++i) {
        const auto& w = expected.threads[i];
        if (t.chart.empty()) {
          EXPECT_EQ(rgb_of(back->threads[i]), rgb_of(w));
          continue;
        }
        const auto& c = t.chart[formats::nearest_chart_colour(t.chart, w.r, w.g, w.b, 1)];
        EXPECT_EQ(rgb_of(back->threads[i]), (std::uint32_t{c.r} << 16) | (c.g << 8) | c.b);
      }
      // What was read writes back as it was: nothing drifts. (A split long
      // stitch sews its steps, which may widen the extents the header and
      // the icons record, so those designs are compared after reading.)
      const auto again = convert::write_pattern(*back, t.out, "gen");
      ASSERT_TRUE(again);
      if (!long_stitches) {
        EXPECT_TRUE(*again == *image);
      } else {
        const auto twice = t.read(formats::ByteReader(*again, "gen"));
        ASSERT_TRUE(twice);
        EXPECT_TRUE(*twice == *back);
      }
    }
  }
}

// A design converted to PES as a conversion does it (fitted, written,
// checked): the threads read back as they are named.
Result<Pattern> through_pes(const Pattern& design) {
  const formats::Format* pes = formats::format_of(formats::ContentKind::kPes);
  std::vector<Adjustment> adjustments;
  KORVANE_TRY(fitted, convert::fit_to_limits(design, *pes, {}, adjustments));
  KORVANE_TRY(image, convert::write_pattern(fitted, formats::ContentKind::kPes, "out.pes"));
  const auto checked = convert::check_written(image, fitted, *pes, "out.pes");
  if (!checked) return checked.error();
  return formats::read_pes(formats::ByteReader(image, "out.pes"));
}

// Two reds the PEC palette takes for one ("Red"), a thread without a name
// (near the palette's Teal Green, entry 3) and a thread used twice.
TEST(PesThreads, NamesAndNumbersGoThroughPes) {
  Pattern design = example::generated_pattern({.stitches = 60, .blocks = 4, .max_stitch = 40});
  design.threads = {{200, 30, 40, "Cardinal", "1147", std::nullopt},
                    {210, 20, 30, "Poppy", "1078", std::nullopt},
                    {2, 133, 120, "", "", std::nullopt},
                    {200, 30, 40, "Cardinal", "1147", std::nullopt}};
  const std::vector<std::pair<std::string, std::string>> kept = {
      {"Cardinal", "1147"}, {"Poppy", "1078"}, {"Teal Green", "3"}, {"Cardinal", "1147"}};
  // As a reader gives it, and as read from each format that names threads;
  // JEF names them from its chart, and those names go on.
  for (const auto via :
       {std::optional<formats::ContentKind>{}, std::optional{formats::ContentKind::kVp3},
        std::optional{formats::ContentKind::kPes}, std::optional{formats::ContentKind::kJef}}) {
    SCOPED_TRACE(via ? formats::format_of(*via)->name : "as read");
    Pattern source = design;
    if (via) {
      const auto image = convert::write_pattern(design, *via, "in");
      ASSERT_TRUE(image);
      auto read = formats::read_pattern(formats::ByteReader(*image, "in"), *via);
      ASSERT_TRUE(read) << read.error().message();
      source = std::move(*read);
    }
    const auto back = through_pes(source);
    ASSERT_TRUE(back) << back.error().message();
    ASSERT_EQ(back->threads.size(), source.threads.size());
    for (std::size_t i = 0; i < back->threads.size(); ++i) {
      const auto& t = back->threads[i];
      const bool chart = via == formats::ContentKind::kJef;
      EXPECT_EQ(rgb_of(t), rgb_of(source.threads[i])) << "colour " << i + 1;
      EXPECT_EQ(t.name, chart ? source.threads[i].name : kept[i].first) << "colour " << i + 1;
      EXPECT_EQ(t.catalogue, chart ? source.threads[i].catalogue : kept[i].second)
          << "colour " << i + 1;
      EXPECT_FALSE(t.name.empty());
    }
  }
}

// The header names the smallest Brother hoop that holds the design, in mm.
TEST(PesThreads, TheHeaderNamesTheHoopTheDesignNeeds) {
  const struct {
    std::int32_t width, height;
    std::uint32_t code, hoop_width, hoop_height;
  } cases[] = {{1000, 1000, 0, 100, 100}, {1001, 1000, 1, 130, 180}, {1500, 2500, 1, 160, 260}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    const Pattern p{"",
                    {},
                    {{0, 0, NeedleOp::kStitch},
                     {c.width, c.height, NeedleOp::kStitch},
                     {c.width, c.height, NeedleOp::kEnd}}};
    const auto image = convert::write_pattern(p, formats::ContentKind::kPes, "x");
    ASSERT_TRUE(image);
    const auto u16 = [&](std::size_t at) {
      return std::uint32_t{(*image)[at]} | std::uint32_t{(*image)[at + 1]} << 8;
    };
    EXPECT_EQ(u16(12), c.code);
    EXPECT_EQ(
        u16(25),
        c.hoop_width);  // after the signature, the PEC offset, the code and five empty strings
    EXPECT_EQ(u16(27), c.hoop_height);
  }
}

// Real designs with named threads (PES version 6, VP3) keep every name
// through PES; the check of the written file compares them too.
TEST(PesThreads, RealDesignsKeepTheirThreadNamesThroughPes) {
  const auto root = test::real_designs_dir();
  if (!root) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  std::size_t named = 0;
  for (const char* folder : {"pes", "vp3"}) {
    if (!std::filesystem::is_directory(*root / folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(*root / folder)) {
      const auto name = entry.path().filename().string();
      SCOPED_TRACE(name);
      const Bytes bytes = test::read_bytes(entry.path().string());
      const auto p =
          formats::read_pattern(formats::ByteReader(bytes, name), formats::recognise_kind(bytes));
      ASSERT_TRUE(p) << p.error().message();
      const auto back = through_pes(*p);
      ASSERT_TRUE(back) << back.error().message();
      ASSERT_EQ(back->threads.size(), p->threads.size());
      for (std::size_t i = 0; i < p->threads.size(); ++i) {
        if (p->threads[i].name.empty()) continue;
        ++named;
        EXPECT_EQ(back->threads[i].name, p->threads[i].name);
        EXPECT_EQ(back->threads[i].catalogue, p->threads[i].catalogue);
        EXPECT_EQ(rgb_of(back->threads[i]), rgb_of(p->threads[i]));
      }
    }
  }
  if (named == 0) GTEST_SKIP() << "no real PES or VP3 design with named threads is here";
}

TEST(PesJefRoundTrip, PatternsWithoutColoursOrStitchesStillWrite) {
  const Pattern empty{"", {}, {{0, 0, NeedleOp::kEnd}}};
  const Pattern plain{"plain",
                      {},
                      {{5, 5, NeedleOp::kStitch},
                       {5, 5, NeedleOp::kColourChange},
                       {9, -4, NeedleOp::kStitch},
                       {9, -4, NeedleOp::kEnd}}};
  for (const auto& t : kRoundTrips) {
    for (const Pattern* p : {&empty, &plain}) {
      SCOPED_TRACE(std::string(t.format) + " " + p->name);
      const auto image = convert::write_pattern(*p, t.out, "x");
      ASSERT_TRUE(image) << image.error().message();
      const auto back = t.read(formats::ByteReader(*image, "x"));
      ASSERT_TRUE(back) << back.error().message();
      EXPECT_EQ(stitches_by_block(*back), stitches_by_block(*p));
      // Blocks without colours get distinct default threads.
      if (back->threads.size() == 2) {
        EXPECT_NE(back->threads[0], back->threads[1]);
      }
    }
  }
}

TEST(PesJefWrite, RefusesMoreBlocksThanAPecColourListHolds) {
  Pattern p;
  for (std::size_t i = 0; i < formats::kPecMaxBlocks; ++i) {
    if (i > 0) p.events.push_back({0, 0, NeedleOp::kColourChange});
    p.events.push_back({static_cast<std::int32_t>(i), 0, NeedleOp::kStitch});
  }
  p.events.push_back({0, 0, NeedleOp::kEnd});
  EXPECT_TRUE(convert::write_pattern(p, formats::ContentKind::kPes, "x"));
  p.events.insert(p.events.end() - 1, {0, 0, NeedleOp::kStop});
  const auto refused = convert::write_pattern(p, formats::ContentKind::kPes, "big.pes");
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error().code, ErrorCode::kUnsupportedForm);
  EXPECT_EQ(refused.error().file, "big.pes");
  // JEF's colour list has no such bound.
  EXPECT_TRUE(convert::write_pattern(p, formats::ContentKind::kJef, "x"));
}

// Damaged files: each a valid written design with one thing broken.
struct Damage {
  const char* what;
  formats::ContentKind format;
  std::function<void(Bytes&)> damage;
  ErrorCode code;
};

std::size_t pec_stitches_at(const Bytes& pes) {
  return (std::size_t{pes[8]} | (std::size_t{pes[9]} << 8) | (std::size_t{pes[10]} << 16) |
          (std::size_t{pes[11]} << 24)) +
         0x210;
}

const Damage kDamages[] = {
    {"PEC offset past the end", formats::ContentKind::kPes,
     [](Bytes& b) { put_le32(b, 8, static_cast<std::uint32_t>(b.size())); },
     ErrorCode::kMalformedDesign},
    {"PEC offset inside the signature", formats::ContentKind::kPes,
     [](Bytes& b) { put_le32(b, 8, 4); }, ErrorCode::kMalformedDesign},
    {"no PES signature", formats::ContentKind::kPes, [](Bytes& b) { b[4] = 'x'; },
     ErrorCode::kMalformedDesign},
    {"stitches without an end mark", formats::ContentKind::kPes,
     [](Bytes& b) {
       const auto at = pec_stitches_at(b);
       std::fill(b.begin() + static_cast<std::ptrdiff_t>(at), b.end(), 0x01);
     },
     ErrorCode::kTruncated},
    {"cut inside the PEC colour list", formats::ContentKind::kPes,
     [](Bytes& b) { b.resize(pec_stitches_at(b) - 0x210 + 0x31); }, ErrorCode::kTruncated},
    {"JEF colour count past the end", formats::ContentKind::kJef,
     [](Bytes& b) { put_le32(b, 24, 0x40000000); }, ErrorCode::kMalformedDesign},
    {"JEF stitch offset past the end", formats::ContentKind::kJef,
     [](Bytes& b) { put_le32(b, 0, 0xFFFFFFF0u); }, ErrorCode::kMalformedDesign},
    {"JEF unknown control record", formats::ContentKind::kJef,
     [](Bytes& b) {
       const std::size_t at = std::size_t{b[0]} | (std::size_t{b[1]} << 8);
       b[at] = 0x80;
       b[at + 1] = 0x07;
     },
     ErrorCode::kMalformedDesign},
    {"JEF without its end mark", formats::ContentKind::kJef,
     [](Bytes& b) { b.resize(b.size() - 2); }, ErrorCode::kTruncated},
    {"JEF head only", formats::ContentKind::kJef, [](Bytes& b) { b.resize(20); },
     ErrorCode::kTruncated},
};

TEST(PesJefDamage, DamagedFilesGiveErrorsNamingFileAndPlace) {
  const Pattern p = generated(7, 100, true);
  for (const auto& d : kDamages) {
    SCOPED_TRACE(d.what);
    auto image = convert::write_pattern(p, d.format, "x");
    ASSERT_TRUE(image);
    d.damage(*image);
    const formats::ByteReader in(*image, "broken");
    const auto r =
        d.format == formats::ContentKind::kPes ? formats::read_pes(in) : formats::read_jef(in);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, d.code) << r.error().message();
    EXPECT_EQ(r.error().file, "broken");
  }
}

// The reader takes records straight from the bytes while a whole record is
// surely there and through the checked reads for the last few: a file cut
// right after its end mark (the icons dropped) reads the same by both.
TEST(PesJefDamage, AFileEndingAtItsEndMarkReadsAsTheWholeFile) {
  for (std::uint32_t seed = 1; seed <= 16; ++seed) {
    SCOPED_TRACE(seed);
    const auto image = convert::write_pattern(generated(seed, seed % 2 ? 60 : 121, seed % 3 == 0),
                                              formats::ContentKind::kPes, "x");
    ASSERT_TRUE(image);
    const std::size_t block = pec_stitches_at(*image) - 0x10;
    const std::size_t end =
        block + (std::size_t{(*image)[block + 2]} | (std::size_t{(*image)[block + 3]} << 8) |
                 (std::size_t{(*image)[block + 4]} << 16));
    ASSERT_EQ((*image)[end - 1], 0xFF);
    const Bytes cut(image->begin(), image->begin() + static_cast<std::ptrdiff_t>(end));
    const auto whole = formats::read_pes(formats::ByteReader(*image, "x"));
    const auto ends = formats::read_pes(formats::ByteReader(cut, "x"));
    ASSERT_TRUE(whole && ends) << (ends ? "" : ends.error().message());
    EXPECT_EQ(ends->events, whole->events);
  }
}

TEST(PesJefDamage, EveryCutAndFlippedByteReadsOrFailsCleanly) {
  const Pattern p = generated(11, 2500, true);
  for (const auto f : {formats::ContentKind::kPes, formats::ContentKind::kJef}) {
    const auto image = convert::write_pattern(p, f, "x");
    ASSERT_TRUE(image);
    const auto read = [f](const Bytes& b) {
      const formats::ByteReader in(b, "x");
      return f == formats::ContentKind::kPes ? formats::read_pes(in) : formats::read_jef(in);
    };
    const auto check = [](const Result<Pattern>& r) {
      if (!r) {
        EXPECT_NE(r.error().code, ErrorCode::kOk);
        return;
      }
      EXPECT_TRUE(formats::check_pattern(*r, "x"));
      EXPECT_EQ(r->events.back().op, NeedleOp::kEnd);
    };
    for (std::size_t n = 0; n < image->size(); ++n) {
      check(read(Bytes(image->begin(), image->begin() + static_cast<std::ptrdiff_t>(n))));
    }
    std::mt19937 rng(3);
    for (int i = 0; i < 2000; ++i) {
      Bytes b = *image;
      b[rng() % b.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
      check(read(b));
    }
  }
  // A standalone PEC file is the PES file's PEC section behind its own signature.
  auto pes = convert::write_pattern(p, formats::ContentKind::kPes, "x");
  ASSERT_TRUE(pes);
  Bytes pec = {'#', 'P', 'E', 'C', '0', '0', '0', '1'};
  pec.insert(pec.end(), pes->begin() + static_cast<std::ptrdiff_t>(pec_stitches_at(*pes) - 0x210),
             pes->end());
  const auto a = formats::read_pec(formats::ByteReader(pec, "x.pec"));
  const auto b = formats::read_pes(formats::ByteReader(*pes, "x.pes"));
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->events, b->events);
}

}  // namespace
}  // namespace kvn
