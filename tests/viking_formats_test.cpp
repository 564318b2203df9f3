// The VP3, HUS, VIP, XXX and SEW readers and the HUS/VIP decompressor:
// hand-made streams and files, damaged ones, and the real files, where korvane
// must agree with the open library's reading except where noted.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>

#include "formats/hus.hpp"
#include "formats/husvip_compress.hpp"
#include "formats/sew.hpp"
#include "formats/vp3.hpp"
#include "formats/xxx.hpp"
#include "support/foreign_builders.hpp"
#include "support/pattern_views.hpp"
#include "support/reference_design.hpp"
#include "support/temp_dir.hpp"

namespace kvn {
namespace {

using formats::ByteReader;
using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using test::Bytes;
using test::rgb_of;
using test::stitches_of;
using Fields = std::vector<std::pair<std::uint32_t, int>>;

constexpr auto S = NeedleOp::kStitch;
constexpr auto J = NeedleOp::kJump;
constexpr auto T = NeedleOp::kTrim;
constexpr auto C = NeedleOp::kColourChange;
constexpr auto E = NeedleOp::kEnd;

// A block of `n` symbols whose literals are 9-bit codes (all 511 symbol
// lengths 9) and whose distance code is the single symbol `distance`.
Fields literal_block(std::uint32_t n, std::uint32_t distance) {
  return {{n, 16}, {0, 5}, {11, 5}, {511, 9}, {0, 5}, {distance, 5}};
}
Fields operator+(Fields a, const Fields& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
Fields nine(std::initializer_list<std::uint32_t> symbols) {
  Fields f;
  for (const auto s : symbols) f.push_back({s, 9});
  return f;
}

TEST(HusVipExpand, HandMadeStreams) {
  // Code-length code of 5 symbols, lengths 2 2 2 (a 2-bit run of no zeros) 3 3;
  // then 99 symbols: 97 skipped by code 2 (20 + 77), 'a' and 'b' one bit each.
  const Fields real_codes = {{4, 16}, {5, 5},  {2, 3}, {2, 3},  {2, 3}, {0, 2}, {3, 3},
                             {3, 3},  {99, 9}, {2, 2}, {77, 9}, {6, 3}, {6, 3}, {0, 5},
                             {0, 5},  {0, 1},  {1, 1}, {1, 1},  {0, 1}};
  struct Case {
    const char* name;
    Bytes stream;
    std::size_t expected;
    std::string out;    // when it expands
    std::string error;  // a phrase of the message when it must not
  };
  const Case cases[] = {
      {"literals", test::bit_fields(literal_block(3, 0) + nine({'a', 'b', 'c'})), 3, "abc", ""},
      {"match three back",
       test::bit_fields(literal_block(4, 2) + nine({'a', 'b', 'c', 256}) + Fields{{0, 1}}), 6,
       "abcabc", ""},
      {"match overlapping its own output", test::bit_fields(literal_block(2, 0) + nine({'a', 258})),
       6, "aaaaaa", ""},
      {"output stops at the size expected",
       test::bit_fields(literal_block(4, 2) + nine({'a', 'b', 'c', 256}) + Fields{{0, 1}}), 4,
       "abca", ""},
      {"a new block with new codes",
       test::bit_fields(literal_block(1, 0) + nine({'a'}) + literal_block(1, 0) + nine({'b'})), 2,
       "ab", ""},
      {"code lengths of every kind", test::bit_fields(real_codes), 4, "abba", ""},
      {"end mark before the size expected",
       test::bit_fields(literal_block(3, 0) + nine({'a', 'b', 510})), 3, "", "expands to 2 bytes"},
      {"distance before the start",
       test::bit_fields(literal_block(2, 2) + nine({'a', 256}) + Fields{{1, 1}}), 5, "",
       "bytes back"},
      {"unused code", test::bit_fields(literal_block(1, 0) + nine({511})), 1, "",
       "matches nothing"},
      {"more codes than bit patterns",
       test::bit_fields({{1, 16}, {0, 5}, {3, 5}, {511, 9}, {0, 5}, {0, 5}, {0, 9}}), 1, "",
       "impossible lengths"},
      {"stream cut inside a code", test::bit_fields(literal_block(3, 0)), 3, "", "ends inside"},
      {"empty stream", {}, 1, "", "expands to 0 bytes"},
      {"code length over 16 bits",
       test::bit_fields({{1, 16}, {1, 5}, {7, 3}, {0x3FFF, 14}, {0, 1}}), 1, "", "over 16 bits"},
      {"size beyond any design", test::bit_fields(literal_block(1, 0) + nine({'a'})),
       formats::kMaxExpandedSection + 1, "", "more than a design holds"},
  };
  for (const auto& c : cases) {
    const ByteReader in(c.stream, "t.hus");
    const auto out = formats::expand_husvip(in, c.expected, "the x section");
    if (c.error.empty()) {
      ASSERT_TRUE(out) << c.name << ": " << out.error().message();
      EXPECT_EQ(std::string(out->begin(), out->end()), c.out) << c.name;
    } else {
      ASSERT_FALSE(out) << c.name;
      EXPECT_EQ(out.error().code, ErrorCode::kMalformedDesign) << c.name;
      EXPECT_NE(out.error().message().find(c.error), std::string::npos)
          << c.name << ": " << out.error().message();
    }
  }
}

using Reader = Result<Pattern> (*)(const ByteReader&);

struct FileCase {
  const char* name;
  Reader read;
  Bytes bytes;
  std::vector<NeedleEvent> events;
  std::vector<std::uint32_t> rgb;
};

std::vector<FileCase> generated_files() {
  using R = test::HusRecord;
  const std::vector<R> records = {{0x81, 10, 20}, {0x80, 5, -5}, {0x88, 0, 0}, {0x84, 3, 4},
                                  {0x80, -1, 1},  {0x88, 2, 2},  {0x80, 1, 0}, {0x90, 0, 0}};
  // y upwards in the file, downwards in the model.
  const std::vector<NeedleEvent> hus_events = {
      {10, -20, J}, {15, -15, S}, {15, -15, T}, {15, -15, C}, {18, -19, J},
      {17, -20, S}, {19, -22, J}, {19, -22, T}, {20, -22, S}, {20, -22, E}};
  const Bytes vp3_stitches = {0x0A, 0x05, 0x80, 0x01, 0x01, 0x2C, 0xFF, 0x00, 0x80, 0x02,
                              0x80, 0x03, 0x80, 0x01, 0x00, 0x64, 0x00, 0x00, 0x80, 0x02};
  return {
      {"hus",
       formats::read_hus,
       test::hus_file(records, {3, 12}),
       hus_events,
       {0xFF0000, 0xFFFFFF}},
      {"vip",
       formats::read_vip,
       test::vip_file(records, {{{1, 2, 3}}, {{200, 100, 50}}}),
       hus_events,
       {0x010203, 0xC86432}},
      {"vp3",
       formats::read_vp3,
       test::vp3_file(
           {{1000, -2000, {{9, 8, 7}}, vp3_stitches}, {1000, -2000, {{1, 1, 1}}, {1, 1}}}, 500, 0),
       // Start (1000 + 500, -(-2000)) / 100; a long move over 25.5 mm is a jump.
       {{15, 20, J},
        {25, 25, S},
        {325, -231, J},
        {325, -231, T},
        {425, -231, S},
        {425, -231, C},
        {15, 20, J},
        {16, 21, S},
        {16, 21, E}},
       {0x090807, 0x010101}},
      {"xxx",
       formats::read_xxx,
       test::xxx_file(
           {0x7F, 0x01, 10, 20, 0x05, 0xFB, 0x7D, 0x2C, 0x01, 0x9C, 0xFF, 0x7F, 0x03, 2,   0,
            0x7F, 0x08, 0,  0,  0x7F, 0x18, 0,    0,    0x01, 0x01, 0x7F, 0x7F, 3,    0x14},
           {{{1, 2, 3}}, {{4, 5, 6}}}),
       {{10, -20, J},
        {15, -15, S},
        {315, 85, J},
        {315, 85, T},
        {317, 85, J},
        {317, 85, C},
        {318, 84, S},
        {318, 84, E}},
       {0x010203, 0x040506}},
      {"sew",
       formats::read_sew,
       test::sew_file({33, 51}, {0x80, 0x02, 10, 20, 0x05, 0xFB, 0x80, 0x01, 0, 0, 0x01, 0x01, 0x80,
                                 0x10, 0, 0, 0, 0}),
       {{10, -20, J}, {15, -15, S}, {15, -15, C}, {16, -16, S}, {16, -16, E}},
       {0xE3311F, 0xF2FFFF}},
  };
}

// What the compressor meets: nothing, too little to match, runs longer than
// a match, repeats beyond its window, bytes that do not repeat (several
// blocks), and the three sections of a design.
TEST(HusVipCompress, EverySectionExpandsToItself) {
  std::uint32_t seed = 12345;
  const auto next = [&] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(seed >> 16);
  };
  Bytes noise(70000), period(30000), all_values(256 * 3), stitches;
  for (auto& b : noise) b = next();
  for (std::size_t i = 0; i < period.size(); ++i) period[i] = noise[i % 1100];
  for (std::size_t i = 0; i < all_values.size(); ++i) all_values[i] = static_cast<std::uint8_t>(i);
  for (int i = 0; i < 5000; ++i) {
    stitches.push_back(0x80);
    stitches.push_back(static_cast<std::uint8_t>(next() % 9 + 0xFC));
  }
  const struct Case {
    const char* name;
    Bytes in;
    enum { kAny, kHalves, kStays } size;  // at most half as large, or not 5% smaller
  } cases[] = {
      {"empty", {}, Case::kAny},
      {"one byte", {0x90}, Case::kAny},
      {"three alike", {7, 7, 7}, Case::kAny},
      {"four alike", {7, 7, 7, 7}, Case::kAny},
      {"a run of 100000", Bytes(100000, 0x80), Case::kHalves},
      {"noise over several blocks", noise, Case::kStays},
      // Machines expand with a 1 KiB dictionary: nothing may be taken from
      // further back.
      {"a repeat just past the machines' dictionary", period, Case::kStays},
      {"every byte value", all_values, Case::kAny},
      {"stitch-like", stitches, Case::kHalves},
  };
  for (const auto& c : cases) {
    const auto packed = formats::compress_husvip(c.in);
    const auto back = formats::expand_husvip(ByteReader(packed, "c.hus"), c.in.size(), "s");
    ASSERT_TRUE(back.has_value()) << c.name << ": " << back.error().message();
    EXPECT_TRUE(*back == c.in) << c.name;
    if (c.size == Case::kHalves) {
      EXPECT_LT(packed.size(), c.in.size() / 2) << c.name;
    }
    if (c.size == Case::kStays) {
      EXPECT_GE(packed.size() * 20, c.in.size() * 19) << c.name;
    }
  }
}

TEST(VikingFormats, GeneratedFilesReadAsWritten) {
  for (const auto& c : generated_files()) {
    const ByteReader in(c.bytes, c.name);
    const auto p = c.read(in);
    ASSERT_TRUE(p) << c.name << ": " << p.error().message();
    EXPECT_EQ(p->events, c.events) << c.name;
    std::vector<std::uint32_t> rgb;
    for (const auto& t : p->threads) rgb.push_back(rgb_of(t));
    EXPECT_EQ(rgb, c.rgb) << c.name;
    EXPECT_TRUE(formats::check_pattern(*p, c.name)) << c.name;
  }
}

TEST(VikingFormats, DamagedFilesAreRefused) {
  using R = test::HusRecord;
  const std::vector<R> two = {{0x80, 1, 1}, {0x84, 0, 0}, {0x80, 1, 1}};
  auto hus_offsets_swapped = test::hus_file({{0x80, 1, 1}}, {0});
  std::swap(hus_offsets_swapped[0x18], hus_offsets_swapped[0x1C]);
  auto hus_many_stitches = test::hus_file({{0x80, 1, 1}}, {0});
  hus_many_stitches[0x06] = 0x10;  // a million stitches claimed, one stored
  auto vp3_cut = test::vp3_file({{0, 0, {{0, 0, 0}}, {1, 1}}});
  vp3_cut.resize(vp3_cut.size() - 3);
  // Moves of 3.2 m each, until the needle would stand past 10 km.
  Bytes xxx_far, vp3_far;
  for (int i = 0; i < 3100; ++i) {
    xxx_far.insert(xxx_far.end(), {0x7D, 0xFF, 0x7F, 0x00, 0x00});
    vp3_far.insert(vp3_far.end(), {0x80, 0x01, 0x7F, 0xFF, 0x00, 0x00});
  }
  xxx_far.insert(xxx_far.end(), {0x7F, 0x7F, 3, 0x14});
  struct Case {
    const char* name;
    Reader read;
    Bytes bytes;
    ErrorCode code;
  };
  const Case cases[] = {
      {"hus chart index past the chart", formats::read_hus, test::hus_file({{0x80, 1, 1}}, {29}),
       ErrorCode::kMalformedDesign},
      {"hus fewer threads than blocks", formats::read_hus, test::hus_file(two, {1}),
       ErrorCode::kMalformedDesign},
      {"hus unknown attribute", formats::read_hus, test::hus_file({{0x82, 1, 1}}, {0}),
       ErrorCode::kMalformedDesign},
      {"hus sections out of order", formats::read_hus, hus_offsets_swapped,
       ErrorCode::kMalformedDesign},
      {"hus more stitches claimed than stored", formats::read_hus, hus_many_stitches,
       ErrorCode::kMalformedDesign},
      {"hus head only", formats::read_hus, Bytes(0x10, 0), ErrorCode::kTruncated},
      // A count of nothing would read as an empty design and lose the sections.
      {"hus no stitches counted", formats::read_hus,
       [] {
         auto b = test::hus_file({{0x80, 1, 1}, {0x80, 2, 2}}, {0});
         b[0x04] = 0;
         return b;
       }(),
       ErrorCode::kMalformedDesign},
      {"vip no colours counted", formats::read_vip,
       [] {
         auto b = test::vip_file({{0x80, 1, 1}}, {{{1, 2, 3}}});
         b[0x08] = 0;
         return b;
       }(),
       ErrorCode::kMalformedDesign},
      {"vip more threads than its mask", formats::read_vip,
       [] {
         auto b = test::vip_file({{0x80, 1, 1}}, {{{1, 2, 3}}});
         b[0x08] = 0xFF;
         return b;
       }(),
       ErrorCode::kMalformedDesign},
      {"vp3 not vsm", formats::read_vp3, Bytes{'%', 'v', 'x', 'm', '%', 0, 0, 0},
       ErrorCode::kMalformedDesign},
      {"vp3 cut inside its block", formats::read_vp3, vp3_cut, ErrorCode::kMalformedDesign},
      {"vp3 unknown stitch command", formats::read_vp3,
       test::vp3_file({{0, 0, {{0, 0, 0}}, {0x80, 0x07}}}), ErrorCode::kMalformedDesign},
      {"xxx without its end", formats::read_xxx, Bytes(0x104, 0), ErrorCode::kTruncated},
      {"xxx threads cut", formats::read_xxx,
       [] {
         auto b = test::xxx_file({0x7F, 0x7F, 3, 0x14}, {{{1, 2, 3}}});
         b.pop_back();
         return b;
       }(),
       ErrorCode::kDesignTruncated},
      {"xxx needle past 10 km", formats::read_xxx, test::xxx_file(xxx_far, {{{1, 2, 3}}}),
       ErrorCode::kMalformedDesign},
      {"vp3 needle past 10 km", formats::read_vp3, test::vp3_file({{0, 0, {{0, 0, 0}}, vp3_far}}),
       ErrorCode::kMalformedDesign},
      {"hus needle past 10 km", formats::read_hus,
       test::hus_file(std::vector<test::HusRecord>(100'000'000 / 127 + 1, {0x80, 127, 0}), {0}),
       ErrorCode::kMalformedDesign},
      {"sew unknown command", formats::read_sew, test::sew_file({1}, {0x80, 0x40, 0, 0}),
       ErrorCode::kMalformedDesign},
      {"sew chart index past the chart", formats::read_sew, test::sew_file({79}, {}),
       ErrorCode::kMalformedDesign},
      {"sew colours over the stitches", formats::read_sew, Bytes{0xFF, 0xFF},
       ErrorCode::kMalformedDesign},
  };
  for (const auto& c : cases) {
    const ByteReader in(c.bytes, "t");
    const auto p = c.read(in);
    ASSERT_FALSE(p) << c.name;
    EXPECT_EQ(p.error().code, c.code) << c.name << ": " << p.error().message();
    if (std::string_view(c.name).ends_with("past 10 km")) {
      EXPECT_NE(p.error().message().find("past 10 km"), std::string::npos) << p.error().message();
    }
  }
}

// Every cut and every single-byte change of a file is either read into a
// sound pattern or refused with an error; the sanitizer build sees the rest.
void expect_read_or_refused(Reader read, const Bytes& whole, const std::string& name,
                            std::size_t step) {
  for (std::size_t n = 0; n <= whole.size(); n += step) {
    const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    const auto p = read(ByteReader(cut, name));
    if (p) {
      ASSERT_TRUE(formats::check_pattern(*p, name)) << name << " cut to " << n;
      ASSERT_EQ(p->events.back().op, E) << name << " cut to " << n;
    }
  }
  for (std::size_t i = 0; i < whole.size(); i += step) {
    Bytes changed = whole;
    changed[i] ^= 0xA5;
    const auto p = read(ByteReader(changed, name));
    if (p) {
      ASSERT_TRUE(formats::check_pattern(*p, name)) << name << " byte " << i;
    }
  }
}

TEST(VikingFormats, EveryCutAndChangeIsReadOrRefused) {
  for (const auto& c : generated_files()) expect_read_or_refused(c.read, c.bytes, c.name, 1);
}

std::optional<Pattern> read_real(const std::filesystem::path& path, Reader read) {
  const Bytes bytes = test::read_bytes(path.string());
  const auto p = read(ByteReader(bytes, path.filename().string()));
  if (!p) {
    ADD_FAILURE() << p.error().message();
    return std::nullopt;
  }
  return *p;
}

// What each writer must not lose: a block start whose centre falls between
// units, stitches too long for one record, a jump across the hoop, a trim, a
// stop, a change whose event stands away from the needle, and the threads.
TEST(VikingWriters, KeepWhatTheirFormatCanSay) {
  using formats::Thread;
  const Thread red{230, 0, 0, "Poppy", "1147", std::nullopt};
  const Thread blue{0, 0, 231, "Sky", "1029", std::nullopt};
  Pattern p;
  p.threads = {red, blue};
  p.events = {{0, 0, S},        {301, -3, S},     {301, 40, S},     {301, 40, T},
              {5301, -2999, J}, {5300, -3000, S}, {5311, -2990, S}, {5311, -2990, C},
              {7, 9, J},        {7, 9, S},        {8, 9, S},        {30, 31, NeedleOp::kStop},
              {20, 21, S},      {20, 21, E}};
  const struct {
    const char* name;
    Result<Bytes> (*write)(const Pattern&, const std::string&);
    Result<Pattern> (*read)(const ByteReader&);
    bool trims;
    bool rgb;    // stores the threads' own colours
    bool names;  // and their names and numbers
  } writers[] = {
      {"XXX", formats::write_xxx, formats::read_xxx, true, true, false},
      {"SEW", formats::write_sew, formats::read_sew, false, false, false},
      {"VP3", formats::write_vp3, formats::read_vp3, true, true, true},
      {"HUS", formats::write_hus, formats::read_hus, true, false, false},
      {"VIP", formats::write_vip, formats::read_vip, true, true, false},
  };
  // Turned half round too, so that every move and extent changes sign.
  Pattern turned = p;
  for (auto& e : turned.events) e = {-e.x, -e.y, e.op};
  for (const auto& w : writers) {
    for (const Pattern* q : {&p, &turned}) {
      SCOPED_TRACE(w.name);
      const auto image = w.write(*q, "keep");
      ASSERT_TRUE(image.has_value()) << image.error().message();
      const auto back = w.read(ByteReader(*image, "keep"));
      ASSERT_TRUE(back.has_value()) << back.error().message();
      // Every stitch lands where it did, the split ones with steps between.
      const auto got = stitches_of(back->events);
      auto at = got.begin();
      for (const auto& want : stitches_of(q->events)) {
        at = std::find_if(at, got.end(),
                          [&](const NeedleEvent& e) { return e.x == want.x && e.y == want.y; });
        ASSERT_NE(at, got.end()) << want.x << "," << want.y;
      }
      EXPECT_LE(got.size(), stitches_of(q->events).size() + 12);
      // The jump across the hoop stays a jump: no stitch on its way.
      for (const auto& e : got)
        EXPECT_FALSE(std::abs(e.x) > 400 && std::abs(e.x) < 5300) << e.x << "," << e.y;
      // The stop is a change to the same thread.
      ASSERT_EQ(formats::block_count(*back), 3u);
      EXPECT_EQ(std::count_if(back->events.begin(), back->events.end(),
                              [](const NeedleEvent& e) { return e.op == T; }),
                w.trims ? 1 : 0);
      ASSERT_EQ(back->threads.size(), 3u);
      EXPECT_EQ(back->threads[1], back->threads[2]);
      if (w.rgb) {
        EXPECT_EQ(std::tie(back->threads[0].r, back->threads[0].g, back->threads[0].b),
                  std::tie(red.r, red.g, red.b));
        EXPECT_EQ(std::tie(back->threads[1].r, back->threads[1].g, back->threads[1].b),
                  std::tie(blue.r, blue.g, blue.b));
      } else {
        // The chart's nearest: reddest and bluest.
        EXPECT_GT(back->threads[0].r, 150);
        EXPECT_GT(back->threads[1].b, 150);
      }
      if (w.names) {
        EXPECT_EQ(back->threads[0].name, "Poppy");
        EXPECT_EQ(back->threads[1].catalogue, "1029");
      }
    }
  }
}

// A design the format cannot hold is refused with a reason, never written
// with a header that lies.
TEST(VikingWriters, RefuseMoreBlocksThanTheHeadCounts) {
  const struct {
    const char* name;
    Result<Bytes> (*write)(const Pattern&, const std::string&);
    std::size_t most;
  } writers[] = {{"VP3", formats::write_vp3, formats::kVp3MaxBlocks},
                 {"VIP", formats::write_vip, formats::kVipMaxColours}};
  for (const auto& w : writers) {
    for (const std::size_t blocks : {w.most, w.most + 1}) {
      SCOPED_TRACE(std::string(w.name) + " " + std::to_string(blocks));
      Pattern p;
      for (std::size_t b = 0; b < blocks; ++b) {
        if (b > 0) p.events.push_back({static_cast<std::int32_t>(b), 0, C});
        p.events.push_back({static_cast<std::int32_t>(b + 1), 0, S});
        p.threads.push_back({static_cast<std::uint8_t>(b), 0, 0, {}, {}, std::nullopt});
      }
      p.events.push_back({static_cast<std::int32_t>(blocks), 0, E});
      const auto image = w.write(p, "many");
      EXPECT_EQ(image.has_value(), blocks <= w.most);
      if (!image) {
        EXPECT_EQ(image.error().code, ErrorCode::kUnsupportedForm);
        EXPECT_THAT(image.error().message(), testing::HasSubstr("at most"));
      }
    }
  }
}

// VIP, which the reference library cannot read, against the same design
// saved as HUS or XXX by the same program; the comparison with the reference
// of every real file the library reads is in real_designs_test.cpp.
TEST(VikingFormats, RealVipFilesSewAsTheirSiblings) {
  const auto root = test::real_designs_dir();
  if (!root) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  const struct {
    const char* vip;
    const char* sibling;
    Reader read;
  } siblings[] = {{"em__Embroidermodder.vip", "hus/em__Embroidermodder.hus", formats::read_hus},
                  {"em__shamrockin.vip", "hus/em__shamrockin.hus", formats::read_hus},
                  {"erust__Star.vip", "xxx/em__Star.xxx", formats::read_xxx}};
  for (const auto& s : siblings) {
    const auto vip = read_real(*root / "vip" / s.vip, formats::read_vip);
    const auto other = read_real(*root / s.sibling, s.read);
    if (!vip || !other) continue;
    EXPECT_EQ(stitches_of(vip->events), stitches_of(other->events)) << s.vip;
    EXPECT_EQ(formats::block_count(*vip), formats::block_count(*other)) << s.vip;
  }
  // HUS has only its chart; VIP stores the RGB the XXX file has too.
  const auto star = read_real(*root / "vip" / "erust__Star.vip", formats::read_vip);
  if (star) {
    ASSERT_EQ(star->threads.size(), 2u);
    EXPECT_EQ(rgb_of(star->threads[0]), 0xE3311Fu);
    EXPECT_EQ(rgb_of(star->threads[1]), 0xF7F3F7u);
  }
}

TEST(VikingFormats, RealFilesCutOrChangedAreReadOrRefused) {
  const auto root = test::real_designs_dir();
  if (!root) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  const std::pair<const char*, Reader> files[] = {{"vp3/julie__Bean.vp3", formats::read_vp3},
                                                  {"hus/julie__Bean.hus", formats::read_hus},
                                                  {"vip/em__shamrockin.vip", formats::read_vip},
                                                  {"xxx/em__shamrockin.xxx", formats::read_xxx},
                                                  {"sew/em__shamrockin.sew", formats::read_sew}};
  for (const auto& [file, reader] : files) {
    std::ifstream f(*root / file, std::ios::binary);
    if (!f) continue;
    const Bytes bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    expect_read_or_refused(reader, bytes, file, std::max<std::size_t>(1, bytes.size() / 400));
  }
}

}  // namespace
}  // namespace kvn
