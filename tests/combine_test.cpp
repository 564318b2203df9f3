#include <gtest/gtest.h>

#include <algorithm>

#include "convert/combine.hpp"
#include "korvane/korvane.hpp"
#include "support/builders.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"
#include "support/run_korvane.hpp"
#include "support/temp_dir.hpp"

namespace kvn::convert {
namespace {

using test::be16;
using test::be32;
using test::Bytes;
using test::DhvBuilder;

struct Colour {
  std::uint32_t words;
  std::uint8_t code;
  std::int16_t x, y;
};

struct Shv {
  std::vector<Colour> colours;
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  Bytes stream;
  std::int64_t words = -1;  // shvhdr_t::Stitches; -1: the stream's length
};

// An SHV image with an empty name and an empty preview: combining looks only
// at what follows them.
Bytes shv(const Shv& s) {
  Bytes b(86, 0);
  b.insert(b.end(), {0, 0, 0, 0, 0, 0, 0});
  b.insert(b.end(), {static_cast<std::uint8_t>(s.colours.size()), 0xC4, 0x28, 0, 0x30, 0, 0});
  for (auto v : {s.x0, s.y0, s.x1, s.y1}) be16(b, v);
  be32(b, static_cast<std::uint32_t>(s.words >= 0 ? s.words : std::int64_t(s.stream.size() / 2)));
  for (const auto& c : s.colours) {
    be32(b, c.words);
    b.insert(b.end(), {c.code, 0, 0, 0, 0, 0});
    be16(b, c.x);
    be16(b, c.y);
  }
  b.insert(b.end(), s.stream.begin(), s.stream.end());
  return b;
}

Result<Bytes> combine(const Bytes& dhv) {
  const formats::ByteReader in(dhv, "g.dhv");
  auto layout = formats::read_container(in);
  if (!layout) return layout.error();
  return build_combined_huc(in, *layout);
}

const Shv kA{{{3, 5, 0, 0}}, 10, 10, 0, 0, {0x0A, 0x00, 0x00, 0x0A, 0xFB, 0xFB}};
const Shv kB{{{2, 2, 0, 0}, {1, 7, 3, 3}}, 3, 7, 0, 0, {0x01, 0x01, 0x02, 0x02, 0xFD, 0x04}};

TEST(Combine, BuildsTheWorkedExampleByteForByte) {
  const auto huc =
      combine(DhvBuilder{}.name("garden").add(shv(kA)).add(shv(kB), 200, -100).bytes());
  ASSERT_TRUE(huc) << huc.error().message();
  const Bytes want = {3,    0xC4, 0x40, 'g',  'a',  'r',  'd',  'e',  'n',  ' ',  ' ',  ' ',  ' ',
                      ' ',  ' ',  ' ',  ' ',  ' ',  ' ',  0,    203,  0,    10,   0,    0,    0xFF,
                      0x9C, 0,    14,  // extents, Stitches
                      0,    7,    5,    0,    0,    0,    0,    0,    6,    2,    0,    0,    0,
                      0,    0,    1,    7,    0,    203,  0xFF, 0x9F, 0x0A, 0x00, 0x00, 0x0A, 0xFB,
                      0xFB, 0x80, 0x01, 0xFF, 0xFB, 0xFF, 0xFB, 0x80, 0x02, 0x80, 0x01, 0x00, 0xC8,
                      0xFF, 0x9C, 0x80, 0x02, 0x01, 0x01, 0x02, 0x02, 0xFD, 0x04};
  EXPECT_EQ(*huc, want);
}

TEST(Combine, NameIsCutOrPaddedToSixteenBytes) {
  for (const std::string name : {"", "abc", "exactly16bytes!!", "twenty-bytes-of-name"}) {
    SCOPED_TRACE(name);
    const auto huc = combine(DhvBuilder{}.name(name).add(shv(kA)).add(shv(kA)).bytes());
    ASSERT_TRUE(huc);
    std::string padded = name.substr(0, 16);
    padded.resize(16, ' ');
    EXPECT_EQ(std::string(huc->begin() + 3, huc->begin() + 19), padded);
  }
}

TEST(Combine, ReturnRecordAndPlacementShareAOneColourBlock) {
  // Ends where it began: the return record still follows, as a zero move.
  const Shv loop{{{2, 1, 0, 0}}, 5, 0, 0, 0, {0x05, 0x00, 0xFB, 0x00}};
  const auto huc = combine(DhvBuilder{}.add(shv(loop), 10, 20).add(shv(kA)).bytes());
  ASSERT_TRUE(huc);
  const Bytes& h = *huc;
  EXPECT_EQ(h[29] * 256 + h[30], 2 + 8);  // own count, placement and return records
  const Bytes stream(h.begin() + 29 + 14, h.begin() + 29 + 14 + 20);
  EXPECT_EQ(stream, (Bytes{0x80, 0x01, 0,    10,   0,    20,   0x80, 0x02, 0x05, 0x00,
                           0xFB, 0x00, 0x80, 0x01, 0xFF, 0xF6, 0xFF, 0xEC, 0x80, 0x02}));
  const Shv still{{{1, 1, 0, 0}}, 0, 0, 0, 0, {0x80, 0x03}};
  const auto zero = combine(DhvBuilder{}.add(shv(still)).add(shv(kA)).bytes());
  ASSERT_TRUE(zero);
  EXPECT_EQ(Bytes(zero->begin() + 29 + 14 + 2, zero->begin() + 29 + 14 + 10),
            (Bytes{0x80, 0x01, 0, 0, 0, 0, 0x80, 0x02}));
}

TEST(Combine, APlacedDesignOpeningWithAMovingEscapeKeepsItsShape) {
  // Standing alone, 0x80 0x00 moves x by -128 as the block's first record; behind
  // a placement record it moves nothing, so the placement record makes the move.
  const Shv escape{{{3, 1, 0, 0}, {1, 2, -126, 2}},     0, 0, -128, 0,
                   {0x80, 0x00, 0x01, 0x01, 0x02, 0x02}};
  const auto huc = combine(DhvBuilder{}.add(shv(escape), 1, 1).add(shv(kA)).bytes());
  ASSERT_TRUE(huc);
  const std::size_t stream = 29 + 3 * 7;
  // Placement (1 - 128, 1 + 0), the escape, (1, 1); block 2 from (-126, 2): (2, 2).
  EXPECT_EQ(Bytes(huc->begin() + stream, huc->begin() + stream + 22),
            (Bytes{0x80, 0x01, 0xFF, 0x81, 0x00, 0x01, 0x80, 0x02, 0x80, 0x00, 0x01,
                   0x01, 0x02, 0x02, 0x80, 0x01, 0x00, 0x7C, 0xFF, 0xFC, 0x80, 0x02}));

  // A move that the placement would carry past 16 bits is refused.
  const auto far = combine(DhvBuilder{}.add(shv(escape), -32700, 0).add(shv(kA)).bytes());
  ASSERT_FALSE(far);
  EXPECT_EQ(far.error().code, ErrorCode::kCoordinateOutOfRange);
}

TEST(Combine, ExtentsStayAtTheStartPointOnTheSideNoDesignReaches) {
  const Shv up{{{1, 1, 0, 0}}, 50, 60, 10, 20, {0x01, 0x01}};
  const auto huc = combine(DhvBuilder{}.add(shv(up), 5, 5).add(shv(up)).bytes());
  ASSERT_TRUE(huc);
  EXPECT_EQ(Bytes(huc->begin() + 19, huc->begin() + 27), (Bytes{0, 55, 0, 65, 0, 0, 0, 0}));
  const Shv down{{{1, 1, 0, 0}}, -10, -20, -50, -60, {0x01, 0x01}};
  const auto neg = combine(DhvBuilder{}.add(shv(down)).add(shv(down), -5, 0).bytes());
  ASSERT_TRUE(neg);
  EXPECT_EQ(Bytes(neg->begin() + 19, neg->begin() + 27),
            (Bytes{0, 0, 0, 0, 0xFF, 0xC9, 0xFF, 0xC4}));
}

struct Refused {
  const char* name;
  Bytes dhv;
  ErrorCode code;
  const char* says;
};

std::vector<Refused> refused() {
  DhvBuilder colours;
  Shv many{{}, 0, 0, 0, 0, {}};
  for (int i = 0; i < 128; ++i) {
    many.colours.push_back({1, 1, 0, 0});
    many.stream.insert(many.stream.end(), {0x01, 0x01});
  }
  colours.add(shv(many)).add(shv(many));  // 256 colours
  Shv big{{{32764, 1, 0, 0}}, 0, 0, 0, 0, Bytes(2 * 32764, 0x01)};
  Shv huge_block = kA;
  huge_block.colours[0].words = 65536;
  Shv wide = kA;
  wide.x0 = 32000;
  Shv far_colour = kB;
  far_colour.colours[1].y = -32700;
  Shv to_edge{{{2, 1, 0, 0}}, 0, 0, -32768, 0, {0x80, 0x01, 0x80, 0x00, 0x00, 0x00, 0x80, 0x02}};
  to_edge.words = 4;
  Shv none{{}, 0, 0, 0, 0, {0x01, 0x01}};
  Shv short_stream = kA;
  short_stream.words = 4;  // claims 4 words, holds 3
  Bytes cut = shv(kA);
  cut.resize(90);
  return {
      {"MoreThan255Colours", colours.bytes(), ErrorCode::kTooManyColours, "design 2"},
      {"MoreThan65535Words", DhvBuilder{}.add(shv(big)).add(shv(big), 1, 0).bytes(),
       ErrorCode::kTooManyWords, "design 2"},
      {"ColourBlockTooLong", DhvBuilder{}.add(shv(kA)).add(shv(huge_block)).bytes(),
       ErrorCode::kTooManyWords, "design 2: colour 1"},
      {"ExtentBeyondRange", DhvBuilder{}.add(shv(wide), 800, 0).add(shv(kA)).bytes(),
       ErrorCode::kCoordinateOutOfRange, "design 1"},
      {"ColourPositionBeyondRange", DhvBuilder{}.add(shv(kA)).add(shv(far_colour), 0, -100).bytes(),
       ErrorCode::kCoordinateOutOfRange, "design 2"},
      {"EndsWhereNoReturnCanStart", DhvBuilder{}.add(shv(to_edge)).add(shv(kA)).bytes(),
       ErrorCode::kCoordinateOutOfRange, "design 1"},
      {"NoColours", DhvBuilder{}.add(shv(kA)).add(shv(none)).bytes(), ErrorCode::kNoColours,
       "design 2"},
      {"StreamShorterThanItsCount", DhvBuilder{}.add(shv(short_stream)).add(shv(kA)).bytes(),
       ErrorCode::kDesignTruncated, "design 1"},
      {"CutInsideItsDimensionBlock", DhvBuilder{}.add(shv(kA)).add(cut).bytes(),
       ErrorCode::kDesignTruncated, "design 2: its dimension block needs 6 bytes, 3 are there"},
  };
}

TEST(Combine, RefusesWhatACombinedDesignCannotHoldAndWritesNothing) {
  for (const auto& c : refused()) {
    SCOPED_TRACE(c.name);
    test::FakeFileSystem fs;
    fs.files["g.dhv"] = c.dhv;
    test::Seen diag;
    EXPECT_EQ(
        test::korvane_seen({nullptr, nullptr, nullptr, "g.dhv", nullptr, 0, 1, nullptr}, fs, diag),
        -1);
    EXPECT_EQ(fs.files.size(), 1u);
    ASSERT_NE(diag.code, ErrorCode::kOk);
    EXPECT_EQ(diag.code, c.code) << diag.message;
    EXPECT_NE(diag.message.find(c.says), std::string::npos) << diag.message;
  }
}

#ifndef _WIN32
// Two commands, one promise: --convert --combine into SHV gives what --combine
// gives, refusals and their words included. Into another format the designs
// go together beyond SHV's limits, and the report says so.
TEST(Combine, ConvertCombineRefusesWhatCombineRefusesInItsWords) {
  for (const auto& c : refused()) {
    SCOPED_TRACE(c.name);
    test::ScopedTempDir dir;
    test::write_bytes(dir.file("g.dhv"), c.dhv);
    const auto combined = test::run_in(dir, "--combine g.dhv");
    const auto converted = test::run_in(dir, "--convert --combine g.dhv");
    EXPECT_NE(combined.code, 0);
    EXPECT_EQ(converted.code, combined.code);
    EXPECT_EQ(converted.err, combined.err);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"g.dhv"});
  }
  test::ScopedTempDir dir;
  test::write_bytes(dir.file("g.dhv"), refused()[1].dhv);  // more than 65,535 words
  ConvertOptions combined_dst;
  combined_dst.to = "dst";
  combined_dst.combine = true;
  Invocation run(Conversion::kConvert, {dir.file("g.dhv")}, dir.file("g.dst"), combined_dst);
  ASSERT_TRUE(run.refusals().empty());
  const auto outcome = run.convert(0);
  ASSERT_TRUE(outcome.has_value()) << outcome.error().message();
  ASSERT_EQ(outcome->reports.size(), 1u);
  const auto& said = outcome->reports[0].adjustments;
  EXPECT_TRUE(std::any_of(said.begin(), said.end(), [](const Adjustment& a) {
    return a.code == "combined-beyond-shv" && a.sentence.find("65535") != std::string::npos;
  }));
}
#endif

TEST(Combine, TheLastDesignGetsNoReturnRecordAndCountsAddUp) {
  const auto huc = combine(DhvBuilder{}.add(shv(kB), 1, 2).add(shv(kA)).add(shv(kB)).bytes());
  ASSERT_TRUE(huc);
  const Bytes& h = *huc;
  const std::size_t words = std::size_t{h[27]} * 256 + h[28];
  EXPECT_EQ(words, 3 + 4 + 4 + 3 + 4 + 3u);
  EXPECT_EQ(h.size(), 29 + 5 * 7 + 2 * words);
  // Ends with design 3's own last stitch.
  EXPECT_EQ(Bytes(h.end() - 2, h.end()), (Bytes{0xFD, 0x04}));
}

}  // namespace
}  // namespace kvn::convert
