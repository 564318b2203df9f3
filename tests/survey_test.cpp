#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "inspect/info_text.hpp"
#include "inspect/millimetres.hpp"
#include "inspect/survey.hpp"
#include "inspect/text_out.hpp"
#include "support/builders.hpp"
#include "support/mini_json.hpp"
#include "support/sample_designs.hpp"

namespace kvn::inspect {
namespace {

using test::Bytes;
using test::DhvBuilder;

Result<FileInfo> survey(const Bytes& b, const std::string& file = "t.bin") {
  return survey_image(formats::ByteReader(b, file));
}

Bytes garden() {
  return DhvBuilder{}
      .name("garden")
      .add(test::rose_shv(), 100, -50)
      .add(test::one_stitch_shv(0, 10, 0), -1, 0)
      .bytes();
}

TEST(Survey, TellsEverythingAboutAnShvDesign) {
  const Bytes rose = test::rose_shv();
  auto info = survey(rose, "rose.shv");
  ASSERT_TRUE(info.has_value()) << info.error().message();
  EXPECT_EQ(info->file, "rose.shv");
  EXPECT_EQ(info->kind, FileKind::kDesign);
  EXPECT_EQ(info->name, "rose");
  EXPECT_EQ(info->bytes, rose.size());
  ASSERT_EQ(info->designs.size(), 1u);
  const DesignInfo& d = info->designs[0];
  EXPECT_EQ(d.number, 1u);
  EXPECT_EQ(d.name, "rose");
  EXPECT_EQ((std::vector<int>{d.x0, d.y0, d.x1, d.y1}), (std::vector<int>{255, 100, -137, -300}));
  EXPECT_EQ(d.width, 392);
  EXPECT_EQ(d.height, 400);
  EXPECT_EQ(d.hoop, HoopClass::k100x100);
  EXPECT_EQ(d.hoop_code, 0x30);
  EXPECT_FALSE(d.in_container);
  ASSERT_EQ(d.colours.size(), 2u);
  EXPECT_EQ(d.colours[0].code, 5);
  EXPECT_EQ(d.colours[0].words, 3u);
  EXPECT_EQ(d.colours[0].preview_value, 9);
  EXPECT_EQ(d.colours[1].code, 33);
  EXPECT_EQ(d.colours[1].words, 5u);
  EXPECT_EQ(d.colours[1].preview_value, 3);
  EXPECT_EQ(d.stitch_words, 8u);
  EXPECT_FALSE(d.long_dimension_block);
  EXPECT_EQ(d.scanlines, 40u);
  EXPECT_EQ(d.pixels, 40u);
  EXPECT_EQ(d.x_offset, 13);
  EXPECT_EQ(d.y_offset, 30);
  EXPECT_EQ(d.preview_bytes, 800u);
  EXPECT_EQ(d.offset, 0u);
  EXPECT_EQ(d.bytes, rose.size());
}

TEST(Survey, TellsEveryDesignOfAContainerWithItsPlacement) {
  const Bytes dhv = garden();
  auto info = survey(dhv, "garden.dhv");
  ASSERT_TRUE(info.has_value()) << info.error().message();
  EXPECT_EQ(info->kind, FileKind::kContainer);
  EXPECT_EQ(info->name, "garden");
  ASSERT_EQ(info->designs.size(), 2u);
  const DesignInfo& a = info->designs[0];
  const DesignInfo& b = info->designs[1];
  EXPECT_EQ(a.name, "rose");
  EXPECT_TRUE(a.in_container);
  EXPECT_EQ(a.placement_x, 100);
  EXPECT_EQ(a.placement_y, -50);
  // Head (87 + 6 name bytes + 10), a table of 2 entries, the placement prefix.
  EXPECT_EQ(a.offset, 87u + 6 + 10 + 8 + 7);
  EXPECT_EQ(a.bytes, test::rose_shv().size());
  EXPECT_EQ(b.number, 2u);
  EXPECT_EQ(b.name, "one");
  EXPECT_EQ(b.placement_x, -1);
  EXPECT_EQ(b.offset, a.offset + a.bytes + 7);
  EXPECT_EQ(b.offset + b.bytes, dhv.size());
  EXPECT_EQ(b.width, 10);
  EXPECT_EQ(b.stitch_words, 2u);
}

TEST(Survey, NamesTheHoopClassTheWriterWouldChoose) {
  struct Case {
    std::int32_t width, height;
    HoopClass hoop;
    const char* name;
  };
  const Case cases[] = {
      {1000, 1000, HoopClass::k100x100, "100 x 100"},
      {1001, 1000, HoopClass::k150x150, "150 x 150"},
      {1000, 1001, HoopClass::k100x170, "100 x 170"},
      {1000, 1701, HoopClass::k150x240, "150 x 240"},
      {1500, 2401, HoopClass::k150x360, "150 x 360"},
      {1501, 100, HoopClass::kLarger, "larger"},
      // Designs are never turned to fit: 170 wide by 100 tall needs the largest.
      {1700, 1000, HoopClass::kLarger, "larger"},
      {1000, 1700, HoopClass::k100x170, "100 x 170"},
      {0, 0, HoopClass::k100x100, "100 x 100"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    EXPECT_EQ(hoop_class_for(c.width, c.height), c.hoop);
    EXPECT_STREQ(hoop_class_name(c.hoop), c.name);
  }
}

TEST(Survey, ReadsALongDimensionBlock) {
  const Bytes wide = test::written_shv(
      test::HucBuilder{}.extents(3000, 100, -137, 0).colour(1, test::cat({test::rec(0, 0)})),
      "wide");
  auto info = survey(wide);
  ASSERT_TRUE(info.has_value()) << info.error().message();
  const DesignInfo& d = info->designs[0];
  EXPECT_TRUE(d.long_dimension_block);
  EXPECT_EQ(d.scanlines, 314u);
  EXPECT_EQ(d.pixels, 10u);
  EXPECT_EQ(d.preview_bytes, 314u * 5);
  EXPECT_EQ(d.hoop, HoopClass::kLarger);
}

struct Recognition {
  const char* name;
  Bytes bytes;
  bool ok;
  FileKind kind;     // when ok
  ErrorCode code;    // when not
  const char* says;  // part of the message when not
};

Bytes without_last(Bytes b, std::size_t n) {
  b.resize(b.size() - n);
  return b;
}

Bytes with_signature(Bytes shv, std::uint8_t first) {
  auto at = formats::GetShvStitchPos(formats::ByteReader(shv, "x"));
  shv[*at + 1] = first;
  return shv;
}

TEST(Survey, RecognisesFilesByContentAndSaysWhyNot) {
  const Bytes rose = test::rose_shv();
  const Recognition cases[] = {
      {"Design", rose, true, FileKind::kDesign, ErrorCode::kOk, ""},
      {"DesignWithTrailingBytes", test::cat({rose, {1, 2, 3}}), true, FileKind::kDesign,
       ErrorCode::kOk, ""},
      {"Container", garden(), true, FileKind::kContainer, ErrorCode::kOk, ""},
      {"OneDesignContainer", DhvBuilder{}.add(rose).bytes(), true, FileKind::kContainer,
       ErrorCode::kOk, ""},
      {"DesignCutShort", without_last(rose, 2), false, FileKind::kDesign,
       ErrorCode::kDesignTruncated, "its stitches need 16 bytes, 14 are there"},
      // Without the SHV marks the bytes are read as a container, and fail as one.
      {"DesignWithoutMarks", with_signature(rose, 0x00), false, FileKind::kDesign,
       ErrorCode::kNoDesigns, "the design count is 0"},
      {"Empty", {}, false, FileKind::kDesign, ErrorCode::kTruncated, "too early: it is empty"},
      {"ContainerOfNonDesigns", DhvBuilder{}.add(test::noise(40, 1)).bytes(), false,
       FileKind::kDesign, ErrorCode::kDesignTruncated, "design 1: its"},
      {"HucDesign", test::HucBuilder{}.colour(2, test::rec(1, 1)).bytes(), true,
       FileKind::kHucDesign, ErrorCode::kOk, ""},
      {"HucDesignCutInItsStream",
       without_last(
           test::HucBuilder{}.colour(2, test::cat({test::rec(1, 1), test::rec(2, 2)})).bytes(), 2),
       false, FileKind::kDesign, ErrorCode::kDesignTruncated, "claims 2 stitch words"},
      {"ContainerWithACutDesign", DhvBuilder{}.add(rose).add(without_last(rose, 1)).bytes(), false,
       FileKind::kDesign, ErrorCode::kDesignTruncated, "design 2: "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto r = survey(c.bytes, "t.bin");
    ASSERT_EQ(r.has_value(), c.ok) << (r ? "" : r.error().message());
    if (c.ok) {
      EXPECT_EQ(r->kind, c.kind);
      continue;
    }
    EXPECT_EQ(r.error().code, c.code);
    EXPECT_THAT(r.error().message(), testing::StartsWith("t.bin: byte "));
    EXPECT_THAT(r.error().message(), testing::HasSubstr(c.says));
  }
}

TEST(InfoOutput, WritesMillimetresWithOneDecimal) {
  const std::pair<std::int64_t, const char*> cases[] = {{0, "0.0"},          {-5, "-0.5"},
                                                        {392, "39.2"},       {-1067, "-106.7"},
                                                        {-32768, "-3276.8"}, {65535, "6553.5"}};
  for (const auto& [tenths, text] : cases) EXPECT_EQ(millimetres(tenths), text) << tenths;
}

TEST(InfoOutput, KeepsUtf8AndEscapesOnlyWhatJsonRequires) {
  const std::pair<std::string, std::string> cases[] = {
      {"rose", "\"rose\""},
      {"ros\xC3\xA9", "\"ros\xC3\xA9\""},  // UTF-8 stays as it is
      {"\xF0\x9F\x8C\xB9 \xE2\x82\xAC", "\"\xF0\x9F\x8C\xB9 \xE2\x82\xAC\""},
      {"a\"b\\c/", "\"a\\\"b\\\\c/\""},
      {std::string("\n\r\t\b\f\x1b\x7f\0", 8), "\"\\n\\r\\t\\b\\f\\u001B\x7f\\u0000\""},
      {"ros\xE9", "\"ros\\uFFFD\""},                             // Latin-1 is not UTF-8
      {"\xC0\xAF", "\"\\uFFFD\\uFFFD\""},                        // overlong
      {"\xED\xA0\x80", "\"\\uFFFD\\uFFFD\\uFFFD\""},             // a surrogate
      {"\xF4\x90\x80\x80", "\"\\uFFFD\\uFFFD\\uFFFD\\uFFFD\""},  // beyond U+10FFFF
      {"x\xE2\x82", "\"x\\uFFFD\\uFFFD\""},                      // cut short
      {"\xA9\xC3\xA9", "\"\\uFFFD\xC3\xA9\""},                   // a lone continuation byte
  };
  for (const auto& [bytes, json] : cases) {
    EXPECT_EQ(json_string(bytes), json);
    EXPECT_EQ(valid_utf8(bytes), json.find("\\uFFFD") == std::string::npos) << json;
  }
  // The --to json documents have always spelt every control, DEL too, in
  // lower-case hex.
  EXPECT_EQ(json_string(std::string("a\n\x1b\x7f\0\"\xE9", 7), JsonEscapes::kLowerHex),
            "\"a\\u000a\\u001b\\u007f\\u0000\\\"\\ufffd\"");
}

// A container, an SHV design whose name needs escaping, and a failure.
std::vector<Result<FileInfo>> three_reports() {
  std::vector<Result<FileInfo>> out;
  out.push_back(survey(garden(), "garden.dhv"));
  out.push_back(survey(test::one_stitch_shv(1, 5, 5, "b\"ad\\n\xe9"), "odd.shv"));
  out.push_back(make_error(ErrorCode::kTruncated, "bad.dhv", {}, 90));
  return out;
}

TEST(InfoOutput, JsonReadsBackWithEveryValue) {
  std::ostringstream out;
  out << info_json(three_reports());
  const auto doc = test::parse_json(out.str());
  ASSERT_TRUE(doc.has_value()) << out.str();
  const auto& files = (*doc)["files"];
  ASSERT_EQ(files.items.size(), 3u);

  const auto& g = files[0];
  EXPECT_EQ(g["file"].text, "garden.dhv");
  EXPECT_TRUE(g["ok"].boolean);
  EXPECT_EQ(g["kind"].text, "container");
  EXPECT_EQ(g["name"].text, "garden");
  EXPECT_EQ(g["design_count"].integer(), 2);
  const auto& rose = g["designs"][0];
  EXPECT_EQ(rose["number"].integer(), 1);
  EXPECT_EQ(rose["name"].text, "rose");
  EXPECT_EQ(rose["width_mm"].text, "39.2");
  EXPECT_EQ(rose["height_mm"].text, "40.0");
  EXPECT_EQ(rose["extents"]["x1"].integer(), -137);
  EXPECT_EQ(rose["hoop"].text, "100 x 100");
  EXPECT_EQ(rose["hoop_code"].integer(), 0x30);
  EXPECT_EQ(rose["placement_mm"]["x"].text, "10.0");
  EXPECT_EQ(rose["placement_mm"]["y"].text, "-5.0");
  EXPECT_EQ(rose["colour_count"].integer(), 2);
  EXPECT_EQ(rose["colours"][1]["code"].integer(), 33);
  EXPECT_EQ(rose["colours"][1]["words"].integer(), 5);
  EXPECT_EQ(rose["colours"][1]["preview_value"].integer(), 3);
  EXPECT_EQ(rose["colours"][1]["name"].text, "Dark Blue");
  EXPECT_EQ(rose["stitch_words"].integer(), 8);
  EXPECT_EQ(rose["dimension_block"]["form"].text, "short");
  EXPECT_EQ(rose["dimension_block"]["x_offset_mm"].integer(), 13);
  EXPECT_EQ(rose["preview"]["bytes"].integer(), 800);
  EXPECT_EQ(g["designs"][1]["placement_mm"]["x"].text, "-0.1");

  const auto& odd = files[1];
  EXPECT_EQ(odd["kind"].text, "design");
  // A byte that is not UTF-8 is replaced in the text and kept in the bytes.
  EXPECT_EQ(odd["name"].text, "b\"ad\\n\xEF\xBF\xBD");
  ASSERT_EQ(odd["name_bytes"].items.size(), 7u);
  EXPECT_EQ(odd["name_bytes"][6].integer(), 0xE9);
  EXPECT_EQ(g.members.count("name_bytes"), 0u);
  EXPECT_EQ(odd["designs"][0]["placement_mm"].kind, test::JsonValue::Kind::kNull);

  const auto& bad = files[2];
  EXPECT_EQ(bad["file"].text, "bad.dhv");
  EXPECT_FALSE(bad["ok"].boolean);
  EXPECT_EQ(bad["error"].text, "bad.dhv: byte 90 (0x5A): the file ends too early");
  EXPECT_EQ(bad.members.count("designs"), 0u);
}

TEST(InfoOutput, TableAlignsOneRowPerDesign) {
  std::ostringstream out;
  out << info_table(*three_reports()[0]);
  std::vector<std::string> lines;
  std::istringstream in(out.str());
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  ASSERT_EQ(lines.size(), 6u) << out.str();
  EXPECT_EQ(lines[0], "garden.dhv: DHV container \"garden\", 2 designs, " +
                          std::to_string(garden().size()) + " bytes");
  EXPECT_THAT(lines[2],
              testing::MatchesRegex("  1  rose  39.2 x 40.0  100 x 100  0x30  10.0, -5.0 +2 +8  "
                                    "short 40 x 40, offset 13, 30 +800"));
  // Columns start at the same place on every row.
  const std::pair<const char*, const char*> columns[] = {{"hoop", "100 x 100"},
                                                         {"code", "0x30"},
                                                         {"placement mm", "10.0, -5.0"},
                                                         {"dimension", "short"}};
  for (const auto& [head, value] : columns)
    EXPECT_EQ(lines[1].find(head), lines[2].find(value)) << head;
  EXPECT_EQ(lines[4], "  colours of design 1: 5 Yellow: 3 words, 33 Dark Blue: 5 words");
  EXPECT_EQ(lines[5], "  colours of design 2: 0 Black: 2 words");
}

TEST(InfoOutput, TableShowsUnprintableNameBytesAsEscapes) {
  std::ostringstream out;
  out << info_table(*three_reports()[1]);
  EXPECT_THAT(out.str(), testing::StartsWith("odd.shv: SHV design \"b\"ad\\x5Cn\\xE9\", "));
}

}  // namespace
}  // namespace kvn::inspect
