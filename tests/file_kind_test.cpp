// Files told by their content: korvane's own kinds, the common foreign
// formats, and the one line every command gives for a file of the wrong kind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/file_kind.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern_read.hpp"
#include "support/builders.hpp"
#include "support/design_builders.hpp"
#include "support/foreign_builders.hpp"
#include "support/reference_design.hpp"
#include "support/sample_designs.hpp"
#include "support/temp_dir.hpp"

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "support/mini_json.hpp"
#include "support/run_korvane.hpp"
#endif

namespace kvn::test {
namespace {

using formats::ContentKind;
using formats::recognise_kind;

Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// `head` at the start of `size` bytes of `fill`.
Bytes headed(const Bytes& head, std::size_t size, std::uint8_t fill = 0) {
  Bytes b(std::max(size, head.size()), fill);
  std::copy(head.begin(), head.end(), b.begin());
  return b;
}

Bytes with_le32(Bytes b, std::size_t at, std::uint32_t v) {
  test::put_le32(b, at, v);
  return b;
}

Bytes cut(Bytes b, std::size_t n) {
  b.resize(b.size() - n);
  return b;
}

Bytes dst_design() {
  Bytes b = headed(text("LA:garden          \rST:     12\rCO:  0\r"), 512, ' ');
  return cat({b, {0x00, 0x00, 0x83, 0x00, 0x00, 0xF3}});
}

Bytes small_huc() {
  return HucBuilder{}.extents(20, 20, 0, 0).colour(3, cat({rec(10, 10), rec(10, 10)})).bytes();
}

Bytes sew_design() {
  Bytes b(0x1D78 + 8, 0);
  b[0] = 1;
  b[2] = 5;
  b[0x1D78] = 0x80;
  b[0x1D79] = 0x02;
  return b;
}

Bytes xxx_design() {
  Bytes b = with_le32(Bytes(0x100 + 40, 0), 0xFC, 0x100 + 32);
  b[0x17] = 12;
  b[0x27] = 1;
  for (std::size_t i = 0x100; i < 0x100 + 32; ++i) b[i] = 0x7F;
  return b;
}

TEST(FileKind, RecognisesEachKindFromItsBytesAlone) {
  const Bytes rose = rose_shv();
  const Bytes garden = DhvBuilder{}.add(rose, 10, 10).add(one_stitch_shv(1, 5, 5)).bytes();
  const Bytes opaque_container =
      DhvBuilder{}.add(opaque_design(40, 1)).add(opaque_design(9, 2)).bytes();
  Bytes count_too_big = garden;
  put_u32(count_too_big, 87 + 6 + 6, 1000);
  const struct {
    const char* name;
    Bytes bytes;
    ContentKind kind;
  } cases[] = {
      {"ShvDesign", rose, ContentKind::kShvDesign},
      {"ShvDesignCutInItsStream", cut(rose, 2), ContentKind::kShvDesign},
      {"ShvDesignWithTrailingBytes", cat({rose, {1, 2, 3}}), ContentKind::kShvDesign},
      {"Container", garden, ContentKind::kDhvContainer},
      {"ContainerOfOpaqueDesigns", opaque_container, ContentKind::kDhvContainer},
      {"ContainerWithATableBeyondItsEnd", count_too_big, ContentKind::kDhvContainer},
      {"ContainerCutInItsLastDesign", cut(garden, 3), ContentKind::kDhvContainer},
      {"HucDesign", small_huc(), ContentKind::kHucDesign},
      {"HucDesignCutInItsStream", cut(small_huc(), 2), ContentKind::kHucDesign},
      {"Png", headed(text("\x89PNG\r\n\x1A\n"), 64, 0xAB), ContentKind::kPng},
      {"Pes", headed(text("#PES0060"), 64, 0xEE), ContentKind::kPes},
      {"Pec", headed(text("#PEC0001LA:rose"), 64, 0xEE), ContentKind::kPec},
      {"Vp3", headed(text("%vsm%"), 64, 0xEE), ContentKind::kVp3},
      {"Vp4", headed(text("%Vp4%"), 64, 0xEE), ContentKind::kVp4},
      {"Hus", headed({0x5B, 0xAF, 0xC8, 0x00}, 64, 0xEE), ContentKind::kHus},
      {"HusOlder", headed({0x5D, 0xFC, 0xC8, 0x00}, 64, 0xEE), ContentKind::kHus},
      {"Vip", headed({0x5D, 0xFC, 0x90, 0x01}, 64, 0xEE), ContentKind::kVip},
      {"Dst", dst_design(), ContentKind::kDst},
      // A DST head cut short is still a DST design, a damaged one.
      {"DstHeadCut", headed(text("LA:garden          \rST:     12\r"), 511, ' '),
       ContentKind::kDst},
      {"Jef", with_le32(with_le32(Bytes(140, 0xEE), 0, 116 + 16), 24, 2), ContentKind::kJef},
      {"JefOffsetDisagreesWithColours", with_le32(with_le32(Bytes(140, 0xEE), 0, 116 + 8), 24, 2),
       ContentKind::kUnknown},
      {"Sew", sew_design(), ContentKind::kSew},
      {"Xxx", xxx_design(), ContentKind::kXxx},
      {"Exp",
       {0x80, 0x04, 0x10, 0x10, 0x05, 0xFB, 0x80, 0x01, 0x00, 0x00, 0x03, 0x03},
       ContentKind::kExp},
      {"ExpWithAnEscapeInAMove", {0x80, 0x04, 0x10, 0x80, 0x05, 0xFB}, ContentKind::kUnknown},
      {"ExpCutInItsLastRecord", {0x80, 0x04, 0x10, 0x10, 0x05}, ContentKind::kExp},
      {"ExpWithAnUnknownCommand",
       {0x80, 0x04, 0x10, 0x10, 0x80, 0x33, 0x01, 0x01},
       ContentKind::kUnknown},
      {"RandomBytes", noise(200, 9), ContentKind::kUnknown},
      // Text with a count in the billions: never a container with a bogus table.
      {"Text", headed(text("Dear reader, this is a letter and no embroidery at all. "), 400, 'x'),
       ContentKind::kUnknown},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(recognise_kind(c.bytes), c.kind) << c.name;
    // A cut never turns one of korvane's own kinds into a foreign one.
    if (c.kind == ContentKind::kShvDesign || c.kind == ContentKind::kDhvContainer ||
        c.kind == ContentKind::kHucDesign) {
      for (std::size_t n = 1; n < c.bytes.size(); n += 7) {
        const ContentKind k = recognise_kind(cut(c.bytes, n));
        EXPECT_TRUE(k == ContentKind::kShvDesign || k == ContentKind::kDhvContainer ||
                    k == ContentKind::kHucDesign || k == ContentKind::kUnknown)
            << c.name << " cut by " << n << ": " << formats::kind_name(k);
      }
    }
  }
}

TEST(FileKind, RecognisesEveryRealDesignAsItsFolderSays) {
  const auto found = test::real_designs_dir();
  if (!found) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  const std::filesystem::path root = *found;
  const std::map<std::string, ContentKind> folders = {
      {"dst", ContentKind::kDst}, {"exp", ContentKind::kExp}, {"jef", ContentKind::kJef},
      {"pes", ContentKind::kPes}, {"pec", ContentKind::kPec}, {"vp3", ContentKind::kVp3},
      {"vp4", ContentKind::kVp4}, {"hus", ContentKind::kHus}, {"vip", ContentKind::kVip},
      {"xxx", ContentKind::kXxx}, {"sew", ContentKind::kSew}, {"shv", ContentKind::kShvDesign},
  };
  std::size_t seen = 0;
  for (const auto& [folder, kind] : folders) {
    if (!std::filesystem::is_directory(root / folder)) continue;
    for (const auto& entry : std::filesystem::directory_iterator(root / folder)) {
      if (!entry.is_regular_file()) continue;
      const Bytes bytes = read_bytes(entry.path().string());
      EXPECT_EQ(formats::kind_name(recognise_kind(bytes)), std::string(formats::kind_name(kind)))
          << entry.path();
      ++seen;
    }
  }
  EXPECT_GT(seen, 0u);
}

// A design cut anywhere before its end is a damaged design of its kind, never
// a shorter design and never an unknown file: every cut from the first bytes
// that show the kind up to the end of the design is recognised as that kind
// and refused with the kind and a byte offset. `whole` bytes read, so that the
// refusals are of the cuts, not of the design.
TEST(FileKind, EveryCutDesignIsRefusedAsItsKind) {
  const std::vector<formats::NeedleEvent> events = {
      {10, 10, formats::NeedleOp::kStitch}, {20, 5, formats::NeedleOp::kStitch},
      {20, 5, formats::NeedleOp::kColourChange}, {-30, 40, formats::NeedleOp::kStitch},
      {-30, 40, formats::NeedleOp::kEnd}};
  const formats::Pattern pattern{"cut", {}, events};
  const std::vector<HusRecord> husvip = {{0x80, 1, 1}, {0x84, 0, 0}, {0x80, 2, 2}, {0x90, 0, 0}};
  const auto le16_at = [](const Bytes& b, std::size_t at) -> std::size_t {
    return b.size() < at + 2 ? 0 : b[at] + 256u * b[at + 1];
  };
  struct Case {
    ContentKind kind;
    const char* real;        // under the real designs, when they are here
    std::size_t real_whole;  // where that design's last record (or table) ends
    Bytes generated;         // else, whole to its last byte but `generated_tail`
    std::size_t generated_tail;
    std::size_t from;  // the first bytes that show the kind; 0: past the name (SHV)
    std::size_t step;
  };
  const Case cases[] = {
      // Some writers leave the end record with one or two of its bytes: the
      // design before it is whole when the header counts it.
      {ContentKind::kDst, "dst/erust__Star.dst", 8211, *formats::write_dst(pattern, "cut"), 2, 3,
       1},
      // Cut between two records, EXP is a shorter design; inside one, a cut one.
      {ContentKind::kExp, "exp/em__Star.exp", 5124, *formats::write_exp(pattern, "cut"), 0, 5, 2},
      {ContentKind::kSew, "sew/em__Star.sew", 12644,
       sew_file({1, 2}, {0x80, 0x02, 0, 0, 10, 10, 0x80, 0x01, 0, 0, 5, 5, 0x80, 0x10}), 0, 6,
       1},
      {ContentKind::kXxx, "xxx/em__Star.xxx", 5375,
       xxx_file({10, 10, 0x7F, 0x08, 0, 0, 5, 5, 0x7F, 0x7F, 3, 0x14}, {{{1, 2, 3}}, {{4, 5, 6}}}),
       0, 0x100, 1},
      // The last bytes of the y section hold only its end code: no stitch is lost.
      {ContentKind::kHus, "hus/erust__Star.hus", 2672, hus_file(husvip, {1, 2}), 0, 4, 1},
      {ContentKind::kVip, "vip/erust__Star.vip", 2676,
       vip_file(husvip, {{{1, 2, 3}}, {{4, 5, 6}}}), 0, 4, 1},
      {ContentKind::kShvDesign, "shv/em__Star.shv", 0, rose_shv(), 0, 0, 1},
  };
  const auto root = real_designs_dir();
  for (const auto& c : cases) {
    Bytes bytes = c.generated;
    std::size_t whole = bytes.size() - c.generated_tail;
    if (root) {
      bytes = read_bytes((*root / c.real).string());
      whole = c.real_whole ? c.real_whole : bytes.size();
    }
    const formats::Format& format = *formats::format_of(c.kind);
    const std::string named = std::string(format.article) + " " + format.noun + ", cut short: ";
    std::size_t from = c.from;
    if (c.kind == ContentKind::kShvDesign) from = 87 + bytes.at(86) + 6;
    if (c.kind == ContentKind::kSew) from = 2 + 2 * le16_at(bytes, 0);
    ASSERT_LE(whole, bytes.size()) << format.name;
    const Bytes design(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(whole));
    EXPECT_TRUE(formats::read_pattern(formats::ByteReader(design, "whole"), c.kind)) << format.name;
    for (std::size_t n = from; n < whole; n += c.step) {
      const Bytes cut_design(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
      const ContentKind kind = recognise_kind(cut_design);
      ASSERT_EQ(kind, c.kind) << format.name << " cut to " << n << " bytes";
      const auto r = formats::read_pattern(formats::ByteReader(cut_design, "cut"), kind);
      ASSERT_FALSE(r) << format.name << " cut to " << n << " bytes";
      const std::string message = r.error().message();
      ASSERT_THAT(message, ::testing::StartsWith("cut: byte ")) << n;
      ASSERT_THAT(message, ::testing::HasSubstr(named)) << n;
    }
  }
}

#ifndef _WIN32

class WrongKind : public testing::Test {
 protected:
  void SetUp() override {
    write_bytes(dir_.file("garden.dst"), dst_design());
    write_bytes(dir_.file("rose.shv"), rose_shv());
    write_bytes(dir_.file("cut.shv"), cut(rose_shv(), 2));
    write_bytes(dir_.file("rose.huc"), small_huc());
    write_bytes(dir_.file("garden.dhv"),
                DhvBuilder{}.add(rose_shv()).add(one_stitch_shv(1, 5, 5)).bytes());
    write_bytes(dir_.file("pic.png"), headed(text("\x89PNG\r\n\x1A\n"), 64, 0xAB));
    write_bytes(dir_.file("junk.bin"), noise(200, 9));
    write_bytes(dir_.file("empty.dhv"), {});
    write_bytes(dir_.file("note.huc"), text("abc"));
  }
  ScopedTempDir dir_;
};

TEST_F(WrongKind, EveryCommandSaysWhatTheFileIsInOneLine) {
  const std::string dst_not_container =
      "garden.dst: this is a DST design, not a DHV container; use --convert to make an SHV "
      "design of it";
  const struct {
    const char* args;
    std::string line;  // the whole of standard error, without "korvane: " and the newline
  } cases[] = {
      {"--split garden.dst", dst_not_container},
      {"garden.dst", dst_not_container},
      {"--combine rose.shv",
       "rose.shv: this is an SHV design, not a DHV container; it is already an SHV design: nothing "
       "to split or combine"},
      {"--split cut.shv",
       "cut.shv: this is an SHV design, not a DHV container; it is already an SHV design: nothing "
       "to split or combine"},
      {"--split rose.huc",
       "rose.huc: this is a HUC design, not a DHV container; use --huc to make an SHV design of "
       "it"},
      {"--split pic.png",
       "pic.png: this is a PNG picture, not a DHV container; korvane reads embroidery files, not "
       "pictures"},
      {"--split junk.bin",
       "junk.bin: not a file korvane knows; korvane reads DHV containers, SHV and HUC designs, "
       "and DST, EXP, JEF, PES, PEC, VP3, HUS, VIP, XXX and SEW designs"},
      {"--huc garden.dhv",
       "garden.dhv: this is a DHV container, not a HUC design; use --split or --combine to make "
       "SHV "
       "designs of it"},
      {"--huc rose.shv",
       "rose.shv: this is an SHV design, not a HUC design; it is already an SHV design"},
      {"--huc garden.dst",
       "garden.dst: this is a DST design, not a HUC design; use --convert to make an SHV design "
       "of it"},
      // Nothing or a little text proves no container: the HUC reader judges it.
      {"--split empty.dhv", "empty.dhv: byte 0 (0x0): the file ends too early: it is empty"},
      {"--huc empty.dhv",
       "empty.dhv: the HUC design is shorter than its header and colour table: 0 bytes, but its "
       "header alone needs 29"},
      {"--huc note.huc",
       "note.huc: the HUC design is shorter than its header and colour table: 3 bytes, but its "
       "header alone needs 29"},
      {"--info pic.png",
       "pic.png: this is a PNG picture, not a DHV container or SHV design; korvane reads "
       "embroidery "
       "files, not pictures"},
  };
  const auto before = dir_.files();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Ran r = run_in(dir_, c.args);
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "korvane: " + c.line + "\n");
    EXPECT_EQ(dir_.files(), before);
  }
}

TEST_F(WrongKind, InfoTellsAHucDesignAndACutShvDesignForWhatTheyAre) {
  const Ran huc = run_in(dir_, "--info rose.huc");
  EXPECT_EQ(huc.code, 0) << huc.err;
  EXPECT_THAT(huc.out, testing::StartsWith("rose.huc: HUC design \"test\", " +
                                           std::to_string(small_huc().size()) + " bytes\n"));
  EXPECT_THAT(huc.out, testing::HasSubstr("  colours of design 1: 3 Red: 2 words\n"));

  const Ran json = run_in(dir_, "--info --json rose.huc");
  const auto doc = parse_json(json.out);
  ASSERT_TRUE(doc.has_value()) << json.out;
  const auto& f = (*doc)["files"][0];
  EXPECT_EQ(f["kind"].text, "huc");
  EXPECT_EQ(f["designs"][0]["width_mm"].text, "2.0");
  EXPECT_EQ(f["designs"][0]["stitch_words"].integer(), 2);
  EXPECT_EQ(f["designs"][0]["preview"].kind, JsonValue::Kind::kNull);

  const Ran shv = run_in(dir_, "--info cut.shv");
  EXPECT_EQ(shv.code, 1);
  // The SHV reader's own reason, never a container's.
  EXPECT_THAT(shv.err,
              testing::MatchesRegex(
                  "korvane: cut.shv: byte [0-9]+ \\(0x[0-9A-F]+\\): [^:]*: its stitches need "
                  "16 bytes, 14 are there\n"));
}

TEST_F(WrongKind, InfoJsonKeepsUtf8NamesAndGivesTheBytesOfOthers) {
  write_bytes(dir_.file("ros\xC3\xA9.shv"), rose_shv());
  write_bytes(dir_.file("ros\xE9.shv"), rose_shv());
  const Ran r = run_in(dir_, "--info --json 'ros\xC3\xA9.shv' \"$(printf 'ros\\351.shv')\"");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, testing::HasSubstr("\"file\": \"ros\xC3\xA9.shv\""));
  const auto doc = parse_json(r.out);
  ASSERT_TRUE(doc.has_value()) << r.out;
  const auto& files = (*doc)["files"];
  EXPECT_EQ(files[0].members.count("file_bytes"), 0u);
  EXPECT_EQ(files[1]["file"].text, "ros\xEF\xBF\xBD.shv");
  std::string raw;
  for (const auto& b : files[1]["file_bytes"].items) raw += static_cast<char>(b.integer());
  EXPECT_EQ(raw, "ros\xE9.shv");
}

TEST_F(WrongKind, InfoFailsWhenStandardOutputCannotTakeIt) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  for (const char* args : {"--info --json rose.shv", "--info rose.shv garden.dhv"}) {
    SCOPED_TRACE(args);
    const Ran r = run_in(dir_, args, "", "/dev/full");
    EXPECT_EQ(r.code, 1);
    EXPECT_THAT(r.err, testing::MatchesRegex(
                           "korvane: \\(standard output\\): cannot write the file[^\n]*\n"));
  }
}

#endif

}  // namespace
}  // namespace kvn::test
