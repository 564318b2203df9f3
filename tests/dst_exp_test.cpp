// DST and EXP: the real files read as the open library reads them, generated
// designs survive a trip through each format, and damaged files are refused.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <string>

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "support/reference_design.hpp"
#include "support/temp_dir.hpp"

namespace kvn {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using Bytes = std::vector<std::uint8_t>;

struct Format {
  const char* name;
  std::function<Result<Pattern>(const formats::ByteReader&)> read;
  std::function<Result<Bytes>(const Pattern&, const std::string&)> write;
  std::int32_t max_step;
  formats::ContentKind kind;
};

const Format kFormats[] = {
    {"dst", formats::read_dst, formats::write_dst, formats::kDstMaxStep,
     formats::ContentKind::kDst},
    {"exp", formats::read_exp, formats::write_exp, formats::kExpMaxStep,
     formats::ContentKind::kExp},
};

Result<Pattern> read_bytes(const Format& f, const Bytes& b) {
  return f.read(formats::ByteReader(b, std::string("t.") + f.name));
}

// What survives any trip through a format: the stitches of each block in
// order, and after which stitch of which block a trim stands.
struct Sewn {
  std::vector<std::vector<NeedleEvent>> blocks{1};
  std::vector<std::pair<std::size_t, std::size_t>> trims;
  friend bool operator==(const Sewn&, const Sewn&) = default;
};

Sewn sewn(const Pattern& p) {
  Sewn s;
  bool trimmed = true;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kColourChange) {
      s.blocks.emplace_back();
      trimmed = true;
    } else if (e.op == NeedleOp::kStitch) {
      s.blocks.back().push_back(e);
      trimmed = false;
    } else if (e.op == NeedleOp::kTrim && !trimmed) {
      // A trim before any stitch, or a second one, cuts nothing.
      s.trims.emplace_back(s.blocks.size() - 1, s.blocks.back().size());
      trimmed = true;
    }
  }
  return s;
}

// How the real files read is compared with the reference in real_designs_test.cpp.
TEST(DstExp, RealFilesSurviveWritingBack) {
  const auto root = test::real_designs_dir();
  if (!root) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  std::size_t files = 0;
  for (const auto& f : kFormats) {
    if (!std::filesystem::is_directory(*root / f.name)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(*root / f.name)) {
      const auto name = entry.path().filename().string();
      SCOPED_TRACE(name);
      const auto bytes = test::read_bytes(entry.path().string());
      const auto kind = formats::recognise_kind(bytes);
      EXPECT_EQ(kind, f.kind);
      const auto p = formats::read_pattern(formats::ByteReader(bytes, name), kind);
      ASSERT_TRUE(p) << p.error().message();
      ++files;
      const auto out = f.write(*p, "out");
      ASSERT_TRUE(out) << out.error().message();
      const auto again = read_bytes(f, *out);
      ASSERT_TRUE(again) << again.error().message();
      EXPECT_EQ(sewn(*again), sewn(*p));
      EXPECT_EQ(again->name, p->name);
    }
  }
  EXPECT_GT(files, 0u);
}

// A move longer than one record is cut into equal steps on the straight
// line; the stitch's own end is exact and only stitches sew the way there.
TEST(DstExp, LongMovesAreSplitOnTheLine) {
  const std::vector<NeedleEvent> moves[] = {
      {{1000, -437, NeedleOp::kStitch}},
      {{-3, 1210, NeedleOp::kStitch}},
      {{122, 0, NeedleOp::kStitch}},
      {{5, 5, NeedleOp::kStitch}, {-9000, 7000, NeedleOp::kJump}, {-9100, 7000, NeedleOp::kStitch}},
  };
  for (const auto& f : kFormats) {
    for (const auto& events : moves) {
      Pattern p{"long", {}, events};
      p.events.push_back({p.events.back().x, p.events.back().y, NeedleOp::kEnd});
      const auto bytes = f.write(p, "long");
      ASSERT_TRUE(bytes);
      // Opening with a stitch, the file is still known for what it is.
      EXPECT_EQ(formats::recognise_kind(*bytes), f.kind);
      const auto back = read_bytes(f, *bytes);
      ASSERT_TRUE(back);
      SCOPED_TRACE(std::string(f.name) + " to " + std::to_string(events.back().x));
      NeedleEvent at{0, 0, NeedleOp::kStitch};
      std::size_t want = 0;
      NeedleEvent from = at;
      for (const auto& e : back->events) {
        if (e.op != NeedleOp::kStitch && e.op != NeedleOp::kJump) continue;
        if (e.op == NeedleOp::kJump && e.x == at.x && e.y == at.y) continue;  // EXP's opening
        EXPECT_LE(std::abs(e.x - at.x), f.max_step);
        EXPECT_LE(std::abs(e.y - at.y), f.max_step);
        const auto& to = events[want];
        // Distance from the line from `from` to `to`, at most half a unit.
        const double lx = to.x - from.x, ly = to.y - from.y;
        const double cross = std::abs(lx * (e.y - from.y) - ly * (e.x - from.x));
        EXPECT_LE(cross / std::hypot(lx, ly), 0.5 * std::sqrt(2.0) + 1e-9);
        EXPECT_EQ(e.op, to.op);
        at = e;
        if (e.x == to.x && e.y == to.y) {
          from = to;
          ++want;
        }
      }
      EXPECT_EQ(want, events.size());
    }
  }
}

std::string header_field(const Bytes& b, const std::string& key) {
  const std::string head(b.begin(), b.begin() + 512);
  const auto at = head.find("\r" + key + ":");
  if (at == std::string::npos) return "?";
  return head.substr(at + key.size() + 2, head.find('\r', at + 1) - at - key.size() - 2);
}

TEST(Dst, HeaderStatesNameCountsExtentsAndTheEnd) {
  // Two blocks, one trim, y down in the model and up in the file.
  const Pattern p{"a name longer than sixteen",
                  {},
                  {{0, 0, NeedleOp::kStitch},
                   {100, -50, NeedleOp::kStitch},
                   {100, -50, NeedleOp::kTrim},
                   {-30, 200, NeedleOp::kJump},
                   {-30, 200, NeedleOp::kColourChange},
                   {-20, 210, NeedleOp::kStitch},
                   {-20, 210, NeedleOp::kEnd}}};
  const auto b = formats::write_dst(p, "h.dst");
  ASSERT_TRUE(b);
  ASSERT_GT(b->size(), 512u);
  EXPECT_EQ(std::string(b->begin(), b->begin() + 20), "LA:a name longer th\r");
  // Records: 2 stitches, 3 trim jumps, 3 jump steps (230 down), change, stitch, end.
  EXPECT_EQ(b->size(), 512u + 3 * 11);
  EXPECT_EQ(header_field(*b, "ST"), "     11");
  EXPECT_EQ(header_field(*b, "CO"), "  1");
  EXPECT_EQ(header_field(*b, "+X"), "  100");
  EXPECT_EQ(header_field(*b, "-X"), "   30");
  EXPECT_EQ(header_field(*b, "+Y"), "   50");
  EXPECT_EQ(header_field(*b, "-Y"), "  210");
  EXPECT_EQ(header_field(*b, "AX"), "-   20");
  EXPECT_EQ(header_field(*b, "AY"), "-  210");
  EXPECT_EQ((*b)[b->size() - 1], 0xF3);
  const auto back = formats::read_dst(formats::ByteReader(*b, "h.dst"));
  ASSERT_TRUE(back);
  EXPECT_EQ(back->name, "a name longer th");
}

Bytes dst_with(const std::string& label, const Bytes& records) {
  Bytes b(512 + records.size(), ' ');
  std::copy(label.begin(), label.end(), b.begin());
  std::copy(records.begin(), records.end(), b.begin() + 512);
  return b;
}

// A file of long moves in one direction: up to 10 km it reads exactly, past
// that it is refused, never wrapped round to the other side.
TEST(DstExp, RecordsWalkingPastTenKilometresAreRefused) {
  const struct {
    const Format& format;
    Bytes record;  // one stitch of `step` to the right
    std::int32_t step;
    Bytes head, tail;
  } cases[] = {
      {kFormats[0], {0x05, 0x05, 0x07}, 121, dst_with("LA:", {}), {0x00, 0x00, 0xF3}},
      {kFormats[1], {0x7F, 0x00}, 127, {}, {}},
  };
  constexpr std::int32_t kTenKm = 100'000'000;
  for (const auto& c : cases) {
    for (const std::int32_t records : {kTenKm / c.step, kTenKm / c.step + 2}) {
      Bytes b = c.head;
      for (std::int32_t i = 0; i < records; ++i)
        b.insert(b.end(), c.record.begin(), c.record.end());
      b.insert(b.end(), c.tail.begin(), c.tail.end());
      const auto p = read_bytes(c.format, b);
      if (records * std::int64_t{c.step} <= kTenKm) {
        ASSERT_TRUE(p) << c.format.name << ": " << p.error().message();
        EXPECT_EQ(p->events.back().x, records * c.step) << c.format.name;
      } else {
        ASSERT_FALSE(p) << c.format.name;
        EXPECT_EQ(p.error().code, ErrorCode::kCoordinateOutOfRange) << c.format.name;
        EXPECT_NE(p.error().message().find("past 10 km"), std::string::npos) << p.error().message();
      }
    }
  }
}

TEST(DstExp, DamagedFilesAreRefusedWithWhereAndWhy) {
  struct Case {
    const char* what;
    const Format& format;
    Bytes bytes;
    ErrorCode code;
    std::uint64_t offset;
  };
  const Format& dst = kFormats[0];
  const Format& exp = kFormats[1];
  const Case cases[] = {
      {"empty DST", dst, {}, ErrorCode::kTruncated, 0},
      {"DST header cut", dst, Bytes(511, ' '), ErrorCode::kTruncated, 0},
      {"DST without its label", dst, dst_with("XX:", {}), ErrorCode::kMalformedDesign, 0},
      {"DST record without its set bits", dst, dst_with("LA:", {0, 0, 0x03, 1, 2, 0x80}),
       ErrorCode::kMalformedDesign, 515},
      {"EXP cut in a record", exp, {0x01, 0x02, 0x03}, ErrorCode::kTruncated, 2},
      {"EXP cut in a command", exp, {0x01, 0x02, 0x80, 0x04, 0x05}, ErrorCode::kTruncated, 2},
      {"EXP unknown command",
       exp,
       {0x80, 0x04, 0, 0, 0x80, 0x13, 0, 0},
       ErrorCode::kMalformedDesign,
       4},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto r = read_bytes(c.format, c.bytes);
    ASSERT_FALSE(r);
    EXPECT_EQ(r.error().code, c.code);
    EXPECT_EQ(r.error().offset, c.offset);
    EXPECT_NE(r.error().file, "");
  }
  // Tolerated, as real files do it: bytes after the end record, and no end
  // record with a last record cut short where the header counts it.
  const auto tail = dst_with("LA:", {0, 0, 0x03, 0, 0, 0xF3, 0x1A});
  const auto cut_end = dst_with("LA:" + std::string(17, ' ') + "ST:      2", {0, 0, 0x03, 0, 0});
  for (const auto& b : {tail, cut_end}) {
    const auto r = read_bytes(dst, b);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->events.size(), 2u);
  }
}

TEST(DstExp, DesignsBeyondTenMetresAreRefused) {
  for (const auto& f : kFormats) {
    for (const auto& far :
         {NeedleEvent{100000, 0, NeedleOp::kJump}, NeedleEvent{0, -100000, NeedleOp::kStitch}}) {
      const Pattern p{"far", {}, {far}};
      const auto r = f.write(p, "far");
      ASSERT_FALSE(r) << f.name;
      EXPECT_EQ(r.error().code, ErrorCode::kCoordinateOutOfRange);
    }
    const Pattern edge{"edge", {}, {{99999, -99999, NeedleOp::kJump}}};
    EXPECT_TRUE(f.write(edge, "edge")) << f.name;
  }
}

}  // namespace
}  // namespace kvn
