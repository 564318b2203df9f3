// Properties that must hold for every container, checked over many generated
// ones. Each family fixes the generator's parameters; its seeds are fixed too,
// so a failure names the seed that reproduces it:
//   korvane_make_example --seed N ... (the family's parameters).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/stitch.hpp"
#include "korvane/korvane.h"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"
#include "support/temp_dir.hpp"
#include "tools/example_gen.hpp"

namespace kvn {
namespace {

using example::Bytes;
using example::Params;

struct Family {
  const char* name;
  Params params;
  int seeds;
};

Params with(std::size_t designs, void (*tweak)(Params&) = nullptr) {
  Params p;
  p.designs = designs;
  if (tweak) tweak(p);
  return p;
}

const Family kFamilies[] = {
    {"Mixed", with(3), 40},
    {"TwoDesigns", with(2), 20},
    {"FiveDesigns", with(5), 10},
    {"Big", with(2, [](Params& p) { p.big = true; }), 4},
    {"EveryColourCode", with(3, [](Params& p) { p.colours = 48; }), 4},
    {"Plain", with(3, [](Params& p) { p.plain = true; }), 6},
    {"NoPlacements", with(3, [](Params& p) { p.placements = false; }), 6},
    {"FarPlacements", with(3, [](Params& p) { p.spread = 30000; }), 6},
    {"UnreadBytesNoisy", with(3, [](Params& p) { p.unread = example::Unread::kNoise; }), 6},
    {"OneColourEach", with(4, [](Params& p) { p.colours = 1; }), 8},
    {"ManySmallDesigns",
     with(12,
          [](Params& p) {
            p.words = 16;
            p.colours = 1;
          }),
     3},
    {"OneDesign", with(1), 6},
};

struct Case {
  std::string label;  // family and seed, for the failure message
  example::Container made;
};

// Every family's containers, made once for all the tests.
const std::vector<Case>& cases() {
  static const std::vector<Case> all = [] {
    std::vector<Case> out;
    std::uint64_t family_base = 1000;
    for (const auto& f : kFamilies) {
      for (int k = 0; k < f.seeds; ++k) {
        Params p = f.params;
        p.seed = family_base + static_cast<std::uint64_t>(k);
        auto made = example::generate(p);
        if (!made) {
          ADD_FAILURE() << f.name << " seed " << p.seed << ": " << made.error().message();
          continue;
        }
        out.push_back({std::string(f.name) + " seed " + std::to_string(p.seed), std::move(*made)});
      }
      family_base += 1000;
    }
    return out;
  }();
  return all;
}

struct Pos {
  std::int16_t x, y;
  bool operator==(const Pos&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Pos& p) {
  return os << "(" << p.x << ", " << p.y << ")";
}

// The needle's path through a stream: where each record leaves it, and where
// each colour block begins.
struct Walk {
  std::vector<Pos> path;
  std::vector<Pos> block_starts;
  std::size_t end = 0;
  bool truncated = false;
};

template <class Counts>
Walk walk(std::span<const std::uint8_t> stream, const Counts& counts) {
  Walk w;
  Pos p{0, 0};
  for (const auto count : counts) {
    w.block_starts.push_back(p);
    const auto end = formats::decode_block(
        stream, w.end, static_cast<std::int32_t>(count), [&](const formats::StitchRecord& r) {
          p = {formats::wrap16(p.x + r.dx), formats::wrap16(p.y + r.dy)};
          w.path.push_back(p);
        });
    w.end = end.offset;
    if (end.truncated) {
      w.truncated = true;
      break;
    }
  }
  return w;
}

formats::ShvDesign navigate(std::span<const std::uint8_t> shv, const std::string& what) {
  auto d = formats::read_shv_design(formats::ByteReader(shv, what));
  if (!d) {
    ADD_FAILURE() << what << ": " << d.error().message();
    return {};
  }
  // The model holds the whole image: writing back what was read gives it again.
  formats::ByteWriter again;
  formats::write_shv_design(again, *d);
  EXPECT_TRUE(std::ranges::equal(again.view(), shv)) << what << " does not write back as read";
  return *d;
}

std::vector<std::uint32_t> counts_of(const formats::ShvDesign& d) {
  std::vector<std::uint32_t> out;
  for (const auto& c : d.colours) out.push_back(c.Stitches);
  return out;
}

Bytes bytes_of(const std::uint8_t* p, std::int32_t n) { return Bytes(p, p + n); }

// An escape other than 0x80 0x01 and 0x80 0x03 moves by (-128, second byte)
// only where a block starts; behind a placement record it moves nothing, so
// the placement record has to carry that move.
bool opens_with_moving_escape(std::span<const std::uint8_t> stream) {
  return stream.size() >= 2 && stream[0] == formats::kEscape &&
         stream[1] != formats::kLongMoveMark && stream[1] != formats::kBlockStartControl;
}

// What the generator promises about each design, which every later property
// relies on: the stream fills its blocks exactly, each block begins where its
// colour record says, and the extents are those the needle reaches.
TEST(ExampleDesigns, AgreeWithTheirOwnStreams) {
  for (const auto& c : cases()) {
    for (std::size_t i = 0; i < c.made.designs.size(); ++i) {
      const auto& design = c.made.designs[i];
      SCOPED_TRACE(c.label + ", design " + std::to_string(i + 1));
      const auto d = navigate(design.shv, "design");
      EXPECT_TRUE(formats::has_shv_signature(d.header));
      EXPECT_TRUE(d.trailing.empty());
      const Walk w = walk(d.stream, counts_of(d));
      ASSERT_FALSE(w.truncated);
      EXPECT_EQ(w.end, d.stream.size());
      for (std::size_t k = 0; k < d.colours.size(); ++k)
        EXPECT_EQ((Pos{d.colours[k].xpos, d.colours[k].ypos}), w.block_starts[k]) << "colour " << k;
      Pos lo{0, 0}, hi{0, 0};
      for (const auto& p : w.path) {
        lo = {std::min(lo.x, p.x), std::min(lo.y, p.y)};
        hi = {std::max(hi.x, p.x), std::max(hi.y, p.y)};
      }
      EXPECT_EQ((Pos{d.header.x0, d.header.y0}), hi);
      EXPECT_EQ((Pos{d.header.x1, d.header.y1}), lo);
    }
  }
}

TEST(ExampleDesigns, SameSeedGivesSameBytes) {
  Params p;
  p.seed = 77;
  auto a = example::generate(p);
  auto b = example::generate(p);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(a->dhv, b->dhv);
  p.seed = 78;
  auto other = example::generate(p);
  ASSERT_TRUE(other);
  EXPECT_NE(a->dhv, other->dhv);
}

TEST(SplitProperty, EveryOutputIsExactlyItsDesignsBytes) {
  for (const auto& c : cases()) {
    SCOPED_TRACE(c.label);
    const auto& designs = c.made.designs;
    // Files, through the file system seam.
    test::FakeFileSystem fs;
    test::KorvaneArgs to_files;
    to_files.pFileDhv = "box/garden.dhv";
    to_files.pdhv = c.made.dhv.data();
    to_files.sdhv = static_cast<std::int32_t>(c.made.dhv.size());
    test::Seen diag;
    ASSERT_EQ(test::korvane_seen(to_files, fs, diag), 0);
    ASSERT_EQ(fs.files.size(), designs.size());
    if (designs.size() == 1) {
      EXPECT_EQ(fs.files["box/garden.shv"], designs[0].shv);
    } else {
      for (std::size_t i = 0; i < designs.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "box/garden%03zu.shv", i + 1);
        EXPECT_EQ(fs.files[name], designs[i].shv) << name;
      }
    }
    // Memory: the design list, or the one image.
    std::uint8_t* pshv = nullptr;
    std::int32_t sshv = 0;
    void* list_out = nullptr;
    ASSERT_EQ(korvane(nullptr, &pshv, &sshv, nullptr, c.made.dhv.data(),
                      static_cast<std::int32_t>(c.made.dhv.size()), 0, &list_out),
              0)
        << korvane_last_error();
    if (designs.size() == 1) {
      ASSERT_NE(pshv, nullptr);
      EXPECT_EQ(bytes_of(pshv, sshv), designs[0].shv);
      std::free(pshv);
      EXPECT_EQ(list_out, nullptr);
    } else {
      auto* list = static_cast<pbcb_list_t*>(list_out);
      ASSERT_NE(list, nullptr);
      ASSERT_EQ(list->count, designs.size());
      for (std::size_t i = 0; i < list->count; ++i) {
        EXPECT_EQ(Bytes(list->entry[i].pb, list->entry[i].pb + list->entry[i].cb), designs[i].shv);
        std::free(list->entry[i].pb);
      }
      std::free(list);
    }
  }
}

// The combined design as a reader sees it: every design's own path shifted by
// its placement, entered by the placement record, left by a return record.
TEST(CombineProperty, WalkVisitsEveryDesignShiftedAndReturnsToTheStart) {
  for (const auto& c : cases()) {
    const auto& designs = c.made.designs;
    if (designs.size() < 2) continue;
    SCOPED_TRACE(c.label);
    std::uint8_t* pshv = nullptr;
    std::int32_t sshv = 0;
    ASSERT_EQ(korvane(nullptr, &pshv, &sshv, "garden.dhv", c.made.dhv.data(),
                      static_cast<std::int32_t>(c.made.dhv.size()), KORVANE_COMBINE, nullptr),
              0)
        << korvane_last_error();
    const Bytes image = bytes_of(pshv, sshv);
    std::free(pshv);
    const auto out = navigate(image, "combined");
    EXPECT_TRUE(out.trailing.empty());

    // Counts add up: per block, per design and in all.
    std::uint64_t own_words = 0, records_added = 0;
    std::size_t own_colours = 0;
    std::vector<Pos> expected_path;
    std::vector<std::uint8_t> expected_codes;
    std::vector<Pos> shifted_starts;  // expected xpos/ypos of every colour record
    for (std::size_t i = 0; i < designs.size(); ++i) {
      const auto own = navigate(designs[i].shv, "design");
      const auto& recipe = designs[i].recipe;
      const Pos at{recipe.Xoffset, recipe.Yoffset};
      const bool placed = at.x != 0 || at.y != 0;
      own_words += own.header.Stitches;
      own_colours += own.colours.size();
      records_added += (placed ? 1u : 0u) + (i + 1 < designs.size() ? 1u : 0u);
      if (placed)
        expected_path.push_back(
            opens_with_moving_escape(own.stream)
                ? Pos{formats::wrap16(at.x - 128),
                      formats::wrap16(at.y + static_cast<std::int8_t>(own.stream[1]))}
                : at);
      for (const auto& p : walk(own.stream, counts_of(own)).path)
        expected_path.push_back({formats::wrap16(p.x + at.x), formats::wrap16(p.y + at.y)});
      if (i + 1 < designs.size()) expected_path.push_back({0, 0});
      for (std::size_t k = 0; k < own.colours.size(); ++k) {
        expected_codes.push_back(own.colours[k].Color);
        // A design's first block begins at the start point, before its placement record.
        shifted_starts.push_back(k == 0 ? Pos{own.colours[k].xpos, own.colours[k].ypos}
                                        : Pos{formats::wrap16(own.colours[k].xpos + at.x),
                                              formats::wrap16(own.colours[k].ypos + at.y)});
      }
    }
    EXPECT_EQ(out.colours.size(), own_colours);
    EXPECT_EQ(out.header.Stitches, own_words + 4 * records_added);
    std::uint64_t block_sum = 0;
    std::vector<std::uint8_t> codes;
    std::vector<Pos> starts;
    for (const auto& col : out.colours) {
      block_sum += col.Stitches;
      codes.push_back(col.Color);
      starts.push_back({col.xpos, col.ypos});
    }
    EXPECT_EQ(block_sum, out.header.Stitches);
    EXPECT_EQ(codes, expected_codes);
    EXPECT_EQ(starts, shifted_starts);

    const Walk w = walk(out.stream, counts_of(out));
    EXPECT_FALSE(w.truncated);
    EXPECT_EQ(w.end, out.stream.size());
    EXPECT_EQ(w.path, expected_path);
    EXPECT_EQ(w.block_starts, shifted_starts);
    for (const auto& p : w.path) {
      EXPECT_TRUE(p.x <= out.header.x0 && p.x >= out.header.x1 && p.y <= out.header.y0 &&
                  p.y >= out.header.y1)
          << p << " lies outside the extents";
    }
  }
}

// A placed design that opens with a moving escape is sewn where its colour
// records say: the generator makes one at seed 2010.
TEST(CombineProperty, PlacedDesignOpeningWithAMovingEscapeKeepsItsShape) {
  Params p;
  p.designs = 2;
  p.seed = 2010;
  auto made = example::generate(p);
  ASSERT_TRUE(made);
  const auto second = navigate(made->designs[1].shv, "design 2");
  ASSERT_TRUE(opens_with_moving_escape(second.stream));
  std::uint8_t* pshv = nullptr;
  std::int32_t sshv = 0;
  ASSERT_EQ(korvane(nullptr, &pshv, &sshv, "garden.dhv", made->dhv.data(),
                    static_cast<std::int32_t>(made->dhv.size()), KORVANE_COMBINE, nullptr),
            0);
  const Bytes image = bytes_of(pshv, sshv);
  std::free(pshv);
  const auto out = navigate(image, "combined");
  const Walk w = walk(out.stream, counts_of(out));
  const std::size_t first = navigate(made->designs[0].shv, "design 1").colours.size();
  ASSERT_EQ(w.block_starts.size(), out.colours.size());
  EXPECT_EQ(w.block_starts[first], (Pos{0, 0}));
  for (std::size_t k = first + 1; k < out.colours.size(); ++k) {
    SCOPED_TRACE("colour " + std::to_string(k + 1));
    EXPECT_EQ(w.block_starts[k], (Pos{out.colours[k].xpos, out.colours[k].ypos}));
  }
}

TEST(LumbrelProperty, OutputNavigatesBackToItsColourTableAndStream) {
  for (const auto& c : cases()) {
    for (std::size_t i = 0; i < c.made.designs.size(); ++i) {
      const auto& huc = c.made.designs[i].huc;
      SCOPED_TRACE(c.label + ", design " + std::to_string(i + 1));
      std::uint8_t* pshv = nullptr;
      std::int32_t sshv = 0;
      ASSERT_EQ(lumbrel(nullptr, &pshv, &sshv, "dir/rose.huc", huc.data(),
                        static_cast<std::int32_t>(huc.size())),
                0)
          << korvane_last_error();
      const Bytes shv = bytes_of(pshv, sshv);
      std::free(pshv);
      const auto d = navigate(shv, "rose.shv");
      EXPECT_TRUE(d.trailing.empty());
      EXPECT_EQ(std::string(d.name.begin(), d.name.end()), "rose");
      const formats::ByteReader in(huc, "rose.huc");
      const auto hh = formats::read_huchdr(in);
      ASSERT_TRUE(hh);
      EXPECT_EQ(d.header.nColors, hh->nColors);
      EXPECT_EQ(d.header.Stitches, hh->Stitches);
      EXPECT_EQ((Pos{d.header.x0, d.header.y0}), (Pos{hh->x0, hh->y0}));
      EXPECT_EQ((Pos{d.header.x1, d.header.y1}), (Pos{hh->x1, hh->y1}));
      ASSERT_EQ(d.colours.size(), hh->nColors);
      for (std::size_t k = 0; k < d.colours.size(); ++k) {
        const auto hc = formats::read_huccolor(in, k);
        ASSERT_TRUE(hc);
        EXPECT_EQ(d.colours[k], (formats::shvcolor_t{hc->Stitches, hc->Color, hc->xpos, hc->ypos}));
      }
      const auto stream_at = formats::huc_stream_at(hh->nColors);
      EXPECT_EQ(Bytes(d.stream.begin(), d.stream.end()),
                Bytes(huc.begin() + static_cast<std::ptrdiff_t>(stream_at), huc.end()));
    }
  }
}

// The file interface and the memory interface are one conversion: the same
// container gives the same bytes whichever way it comes and goes.
TEST(FileAndMemory, GiveIdenticalBytes) {
  int checked = 0;
  for (const auto& c : cases()) {
    if (++checked > 12) break;  // a sample is enough: the disk adds nothing per container
    SCOPED_TRACE(c.label);
    test::ScopedTempDir dir;
    const std::string dhv = dir.file("garden.dhv");
    test::write_bytes(dhv, c.made.dhv);
    const auto n = c.made.designs.size();

    ASSERT_EQ(korvane(nullptr, nullptr, nullptr, dhv.c_str(), nullptr, 0, 0, nullptr), 0)
        << korvane_last_error();
    std::uint8_t* pshv = nullptr;
    std::int32_t sshv = 0;
    void* list_out = nullptr;
    ASSERT_EQ(korvane(nullptr, &pshv, &sshv, nullptr, c.made.dhv.data(),
                      static_cast<std::int32_t>(c.made.dhv.size()), 0, &list_out),
              0);
    if (n == 1) {
      EXPECT_EQ(test::read_bytes(dir.file("garden.shv")), bytes_of(pshv, sshv));
      std::free(pshv);
      continue;
    }
    auto* list = static_cast<pbcb_list_t*>(list_out);
    for (std::size_t i = 0; i < n; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "garden%03zu.shv", i + 1);
      EXPECT_EQ(test::read_bytes(dir.file(name)),
                Bytes(list->entry[i].pb, list->entry[i].pb + list->entry[i].cb));
      std::free(list->entry[i].pb);
    }
    std::free(list);

    // Combining: the file beside the container and the image in memory, both
    // named after the container.
    ASSERT_EQ(korvane(nullptr, nullptr, nullptr, dhv.c_str(), nullptr, 0, KORVANE_COMBINE, nullptr),
              0)
        << korvane_last_error();
    pshv = nullptr;
    ASSERT_EQ(korvane(nullptr, &pshv, &sshv, dhv.c_str(), c.made.dhv.data(),
                      static_cast<std::int32_t>(c.made.dhv.size()), KORVANE_COMBINE, nullptr),
              0);
    EXPECT_EQ(test::read_bytes(dir.file("garden.shv")), bytes_of(pshv, sshv));
    std::free(pshv);

    // lumbrel: a HUC file and the same bytes in memory.
    const auto& huc = c.made.designs[0].huc;
    const std::string huc_path = dir.file("rose.huc");
    test::write_bytes(huc_path, huc);
    ASSERT_EQ(lumbrel(nullptr, nullptr, nullptr, huc_path.c_str(), nullptr, 0), 0);
    pshv = nullptr;
    ASSERT_EQ(lumbrel(nullptr, &pshv, &sshv, huc_path.c_str(), huc.data(),
                      static_cast<std::int32_t>(huc.size())),
              0);
    EXPECT_EQ(test::read_bytes(dir.file("rose.shv")), bytes_of(pshv, sshv));
    std::free(pshv);
  }
}

}  // namespace
}  // namespace kvn
