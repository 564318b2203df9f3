// Conversions between formats, through the writers and through the built
// program as a user runs it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "convert/pattern_convert.hpp"
#include "convert/pattern_text.hpp"
#include "convert/pattern_write.hpp"
#include "formats/file_kind.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_pattern.hpp"
#include "inspect/info_text.hpp"
#include "inspect/pictures.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/survey.hpp"
#include "inspect/text_out.hpp"
#include "support/builders.hpp"
#include "support/mini_json.hpp"
#include "support/pattern_views.hpp"
#include "support/png_decode.hpp"
#include "support/sample_designs.hpp"

#ifndef _WIN32
#include <unistd.h>

#include "support/run_korvane.hpp"
#include "support/temp_dir.hpp"
#endif

namespace kvn::test {
namespace {

using formats::NeedleOp;
using formats::Pattern;

std::size_t count_of(const std::string& s, const std::string& what) {
  std::size_t n = 0;
  for (auto at = s.find(what); at != std::string::npos; at = s.find(what, at + 1)) ++n;
  return n;
}

// Two blocks with a jump, a trim and a name that needs escaping everywhere.
Pattern two_blocks() {
  Pattern p;
  p.name = "A \"<b>\" & c";
  formats::Thread red;
  red.r = 200, red.name = "Red & Rose";
  formats::Thread blue;
  blue.b = 220;
  p.threads = {red, blue};
  p.events = {{0, 0, NeedleOp::kStitch},     {100, 0, NeedleOp::kStitch},
              {100, 50, NeedleOp::kStitch},  {100, 50, NeedleOp::kTrim},
              {300, -40, NeedleOp::kJump},   {300, -40, NeedleOp::kColourChange},
              {310, -40, NeedleOp::kStitch}, {310, -45, NeedleOp::kStitch},
              {310, -45, NeedleOp::kEnd}};
  return p;
}

// A minimal check that the SVG is well formed: every element opened is closed
// in order, attribute values quoted, no raw '&' or '<' in text.
bool well_formed_xml(const std::string& s) {
  std::vector<std::string> open;
  std::size_t i = s.find("?>");
  if (s.rfind("<?xml", 0) != 0 || i == std::string::npos) return false;
  for (i += 2; i < s.size(); ++i) {
    if (s[i] == '&') {
      const auto semi = s.find(';', i);
      const std::string ent = s.substr(i, semi == std::string::npos ? 0 : semi - i + 1);
      if (ent != "&lt;" && ent != "&gt;" && ent != "&amp;" && ent != "&quot;") return false;
      continue;
    }
    if (s[i] != '<') continue;
    const auto end = s.find('>', i);
    if (end == std::string::npos) return false;
    std::string tag = s.substr(i + 1, end - i - 1);
    if (count_of(tag, "\"") % 2 != 0 || tag.find('<') != std::string::npos) return false;
    i = end;
    if (tag[0] == '/') {
      if (open.empty() || open.back() != tag.substr(1)) return false;
      open.pop_back();
    } else if (tag.back() != '/') {
      open.push_back(tag.substr(0, tag.find(' ')));
    }
  }
  return open.empty();
}

TEST(TextWriters, SvgJsonAndCsvCarryEveryBlockAndEvent) {
  const Pattern p = two_blocks();
  const std::string svg = text_of(convert::write_svg(p));
  EXPECT_TRUE(well_formed_xml(svg)) << svg;
  // One group per block, in its thread's colour; the jump and trim start a
  // new subpath instead of a line.
  EXPECT_EQ(count_of(svg, "<g "), 2u);
  EXPECT_THAT(svg, testing::HasSubstr("stroke=\"#c80000\""));
  EXPECT_THAT(svg, testing::HasSubstr("stroke=\"#0000dc\""));
  EXPECT_THAT(svg, testing::HasSubstr("d=\"M0 0 L0 0 L10 0 L10 5\""));
  EXPECT_THAT(svg, testing::HasSubstr("d=\"M30 -4 L31 -4 L31 -4.5\""));
  // The viewBox spans the stitches in millimetres, with 1 mm around them.
  EXPECT_THAT(svg, testing::HasSubstr("viewBox=\"-1 -5.5 33 11.5\""));
  EXPECT_THAT(svg, testing::HasSubstr("<title>A &quot;&lt;b&gt;&quot; &amp; c</title>"));

  const auto json = parse_json(text_of(convert::write_json(p)));
  ASSERT_TRUE(json.has_value());
  EXPECT_EQ((*json)["name"].text, p.name);
  ASSERT_EQ((*json)["threads"].items.size(), 2u);
  EXPECT_EQ((*json)["threads"][0]["name"].text, "Red & Rose");
  const auto& events = (*json)["events"].items;
  ASSERT_EQ(events.size(), p.events.size());
  for (std::size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(events[i]["x"].integer(), p.events[i].x);
    EXPECT_EQ(events[i]["y"].integer(), p.events[i].y);
    EXPECT_EQ(events[i]["op"].text, inspect::op_name(p.events[i].op));
    EXPECT_EQ(events[i]["block"].integer(), i <= 5 ? 1 : 2);
  }

  const std::string csv = text_of(convert::write_csv(p));
  EXPECT_EQ(count_of(csv, "\n"), p.events.size() + 1);
  EXPECT_THAT(csv, testing::StartsWith("index,x,y,op,block\n0,0,0,stitch,1\n"));
  EXPECT_THAT(csv, testing::HasSubstr("\n5,300,-40,colour_change,1\n6,310,-40,stitch,2\n"));
}

TEST(TextWriters, AnEmptyDesignAndAnyNameBytesStayWellFormed) {
  Pattern p;
  p.name = std::string("\xff\x01 x", 4);
  p.events = {{0, 0, NeedleOp::kEnd}};
  const std::string svg = text_of(convert::write_svg(p));
  EXPECT_TRUE(well_formed_xml(svg)) << svg;
  EXPECT_THAT(svg, testing::Not(testing::HasSubstr("\xff")));
  const auto json = parse_json(text_of(convert::write_json(p)));
  ASSERT_TRUE(json.has_value());
  EXPECT_EQ((*json)["events"].items.size(), 1u);
}

// Every character XML 1.0 allows, in well-formed UTF-8.
bool xml_characters(const std::string& s) {
  if (!strict_utf8(s)) return false;
  for (std::size_t i = 0; i < s.size();) {
    const auto b = static_cast<unsigned char>(s[i]);
    const std::size_t n = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    std::uint32_t cp = n == 1 ? b : b & (0x7Fu >> n);
    for (std::size_t k = 1; k < n; ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3Fu);
    const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                         (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
    if (!allowed) return false;
    i += n;
  }
  return true;
}

#define R "\xEF\xBF\xBD"  // U+FFFD, in UTF-8
// Names as files hold them: each byte that is not part of well-formed UTF-8
// becomes U+FFFD, well-formed text stays as it is wherever the document can
// carry it, and every document parses.
const struct HostileName {
  const char* what;
  std::string bytes;
  std::string json;  // the name as a JSON parser reads it back
  std::string xml;   // the name as the SVG's <title> holds it
} kHostileNames[] = {
    {"surrogate", "\xED\xA0\x80", R R R, R R R},
    {"overlong", "\xC0\xAF", R R, R R},
    {"lone continuation", "a\x80", "a" R, "a" R},
    {"cut short", "\xE2\x82", R R, R R},
    {"beyond U+10FFFF", "\xF4\x90\x80\x80", R R R R, R R R R},
    {"Latin-1", "ros\xE9", "ros" R, "ros" R},
    {"controls", "a\x01\x1b\x7f\tb", "a\x01\x1b\x7f\tb", "a????b"},
    {"quotes", "\"q'", "\"q'", "&quot;q'"},
    {"markup", "<b>&amp;", "<b>&amp;", "&lt;b&gt;&amp;amp;"},
    {"backslash", "a\\b\\u0041", "a\\b\\u0041", "a\\b\\u0041"},
    {"not characters", "\xEF\xBF\xBE\xEF\xBF\xBF", "\xEF\xBF\xBE\xEF\xBF\xBF", "??"},
    {"UTF-8", "ros\xC3\xA9 \xF0\x9F\x8C\xB9", "ros\xC3\xA9 \xF0\x9F\x8C\xB9",
     "ros\xC3\xA9 \xF0\x9F\x8C\xB9"},
};
#undef R

std::string title_of(const std::string& svg) {
  const auto from = svg.find("<title>") + 7;
  return svg.substr(from, svg.find("</title>") - from);
}

TEST(TextWriters, HostileNamesGiveDocumentsThatParse) {
  for (const auto& h : kHostileNames) {
    SCOPED_TRACE(h.what);
    Pattern p;
    p.name = h.bytes;
    formats::Thread t;
    t.name = t.catalogue = h.bytes;
    p.threads = {t};
    p.events = {{0, 0, NeedleOp::kStitch}, {10, 0, NeedleOp::kStitch}, {10, 0, NeedleOp::kEnd}};

    const std::string json_text = text_of(convert::write_json(p));
    const auto json = parse_json(json_text);
    ASSERT_TRUE(json.has_value()) << json_text;
    EXPECT_EQ((*json)["name"].text, h.json);
    EXPECT_EQ((*json)["threads"][0]["name"].text, h.json);
    EXPECT_EQ((*json)["threads"][0]["catalogue"].text, h.json);

    const std::string svg = text_of(convert::write_svg(p));
    EXPECT_TRUE(well_formed_xml(svg)) << svg;
    EXPECT_TRUE(xml_characters(svg)) << svg;
    EXPECT_EQ(title_of(svg), h.xml);
    EXPECT_THAT(svg, testing::HasSubstr("inkscape:label=\"" + h.xml + "\""));

    FileInfo info;
    info.file = info.name = h.bytes;
    info.kind = FileKind::kPattern;
    info.designs.resize(1);
    info.designs[0].name = h.bytes;
    info.designs[0].threads = {{0, 0, 0, h.bytes, h.bytes, 1}};
    const std::string info_text =
        inspect::info_json({info, make_error(ErrorCode::kTruncated, h.bytes, {}, 1)});
    const auto doc = parse_json(info_text);
    ASSERT_TRUE(doc.has_value()) << info_text;
    const auto& f = (*doc)["files"];
    EXPECT_EQ(f[0]["file"].text, h.json);
    EXPECT_EQ(f[0]["designs"][0]["threads"][0]["catalogue"].text, h.json);
    EXPECT_EQ(f[1]["file"].text, h.json);
    // Where the text had to change, the bytes come too.
    const bool kept = h.json == h.bytes;
    EXPECT_EQ(f[0]["designs"][0].members.count("name_bytes"), kept ? 0u : 1u);
  }
}

#ifndef _WIN32

// A Tajima file: the 512-byte header, then 3-byte records whose bits carry
// each move in balanced threes, y upwards; a jump is 0x83 in the third byte.
Bytes dst(const std::vector<std::pair<int, int>>& stitches) {
  std::string head = "LA:rose            \rST:      4\r";
  head.resize(512, ' ');
  head[511] = 0x1A;
  Bytes b(head.begin(), head.end());
  auto record = [&](int dx, int dy, std::uint8_t flags) {
    std::uint8_t r[3] = {0, 0, flags};
    // Bits for +1/-1, +3/-3, +9/-9, +27/-27, +81/-81 of x and of y.
    const struct {
      int byte;
      std::uint8_t plus, minus;
    } xbits[] = {{0, 0x01, 0x02},
                 {1, 0x01, 0x02},
                 {0, 0x04, 0x08},
                 {1, 0x04, 0x08},
                 {2, 0x04, 0x08}},
      ybits[] = {
          {0, 0x80, 0x40}, {1, 0x80, 0x40}, {0, 0x20, 0x10}, {1, 0x20, 0x10}, {2, 0x20, 0x10}};
    for (auto [v, bits] : {std::pair{dx, xbits}, std::pair{-dy, ybits}}) {
      for (int k = 0; k < 5; ++k) {
        int digit = ((v % 3) + 3) % 3;
        if (digit == 2) digit = -1;
        if (digit == 1) r[bits[k].byte] |= bits[k].plus;
        if (digit == -1) r[bits[k].byte] |= bits[k].minus;
        v = (v - digit) / 3;
      }
    }
    b.insert(b.end(), r, r + 3);
  };
  int x = 0, y = 0;
  for (const auto& [sx, sy] : stitches) {
    record(sx - x, sy - y, 0x03);
    x = sx, y = sy;
  }
  b.insert(b.end(), {0x00, 0x00, 0xF3});
  return b;
}

// The same names in a DST file's label, through the program: what it writes
// for --to json and --to svg, and what --info --json prints, all parse.
TEST(ConvertCli, HostileLabelsGiveDocumentsThatParse) {
  ScopedTempDir dir;
  for (const auto& h : kHostileNames) {
    SCOPED_TRACE(h.what);
    Bytes b = dst({{0, 0}, {10, 0}, {10, 10}});
    ASSERT_LE(h.bytes.size(), 16u);
    std::fill(b.begin() + 3, b.begin() + 19, ' ');
    std::copy(h.bytes.begin(), h.bytes.end(), b.begin() + 3);
    write_bytes(dir.file("h.dst"), b);
    ASSERT_EQ(run_in(dir, "--convert h.dst --to json").code, 0);
    const std::string json_text = text_of(read_bytes(dir.file("h.json")));
    const auto json = parse_json(json_text);
    ASSERT_TRUE(json.has_value()) << json_text;
    EXPECT_EQ((*json)["name"].text, h.json);

    ASSERT_EQ(run_in(dir, "--convert h.dst --to svg").code, 0);
    const std::string svg = text_of(read_bytes(dir.file("h.svg")));
    EXPECT_TRUE(well_formed_xml(svg) && xml_characters(svg)) << svg;
    EXPECT_EQ(title_of(svg), h.xml);

    const Ran info = run_in(dir, "--info --json h.dst");
    ASSERT_EQ(info.code, 0) << info.err;
    const auto doc = parse_json(info.out);
    ASSERT_TRUE(doc.has_value()) << info.out;
    EXPECT_EQ((*doc)["files"][0]["designs"][0]["name"].text, h.json);
    for (const char* f : {"h.json", "h.svg"}) std::filesystem::remove(dir.file(f));
  }
}

Bytes garden() {
  return DhvBuilder{}
      .name("garden")
      .add(rose_shv(), 100, -50)
      .add(one_stitch_shv(0, 10, 0))
      .bytes();
}

// The designs an input holds, as korvane reads them in process; nothing when
// this build cannot read the kind yet.
std::optional<std::vector<Pattern>> designs_of(const Bytes& bytes, bool combine) {
  const formats::ByteReader in(bytes, "in");
  const auto kind = formats::recognise_kind(bytes);
  if (kind == formats::ContentKind::kDhvContainer) {
    auto all = convert::container_patterns(in, combine);
    if (!all && all.error().code == ErrorCode::kUnsupportedForm) return std::nullopt;
    EXPECT_TRUE(all.has_value()) << all.error().message();
    return all ? std::optional(*all) : std::nullopt;
  }
  auto p = formats::read_pattern(in, kind);
  if (!p && p.error().code == ErrorCode::kUnsupportedForm) return std::nullopt;
  EXPECT_TRUE(p.has_value()) << p.error().message();
  return p ? std::optional(std::vector<Pattern>{*p}) : std::nullopt;
}

// Each stitch from the first: a design placed for its machine keeps its shape.
std::vector<std::pair<int, int>> stitch_positions(const Pattern& p) {
  std::vector<std::pair<int, int>> v;
  for (const auto& e : p.events)
    if (e.op == NeedleOp::kStitch) v.emplace_back(e.x, e.y);
  for (std::size_t i = v.size(); i-- > 0;)
    v[i] = {v[i].first - v[0].first, v[i].second - v[0].second};
  return v;
}

TEST(ConvertCli, EveryInputToEveryFormatAsFarAsThisBuildReadsAndWrites) {
  const struct Input {
    const char* file;
    Bytes bytes;
    const char* extra;               // more options
    std::vector<std::string> stems;  // output names without the extension
  } inputs[] = {
      {"rose.shv", rose_shv(), "", {"rose"}},
      {"rose.huc",
       HucBuilder{}.extents(20, 10, 0, 0).colour(5, cat({rec(0, 0), rec(20, 10)})).bytes(),
       "",
       {"rose"}},
      {"garden.dhv", garden(), "", {"garden001", "garden002"}},
      {"garden.dhv", garden(), "--combine", {"garden"}},
      {"star.dst", dst({{0, 0}, {50, 0}, {50, 30}, {-20, 121}}), "", {"star"}},
  };
  int ran = 0;
  for (const auto& in : inputs) {
    const auto designs = designs_of(in.bytes, std::string(in.extra) == "--combine");
    for (const auto& format : formats::format_table()) {
      if (!format.writable) continue;
      const auto f = format.kind;
      const std::string ext(format.extensions.front());
      SCOPED_TRACE(std::string(in.file) + " " + in.extra + " --to " + ext);
      if (!designs) continue;  // this build cannot read the input's kind yet
      ScopedTempDir dir;
      write_bytes(dir.file(in.file), in.bytes);
      // An output with the input's own name would be refused: --to shv of an
      // SHV file is tried into a folder instead.
      const bool into_folder = ext == std::string(in.file).substr(std::string(in.file).size() - 3);
      if (into_folder) std::filesystem::create_directory(dir.path() / "out");
      const Ran r = run_in(dir, std::string("--convert ") + in.extra + " " + in.file + " --to " +
                                    ext + (into_folder ? " -o out" : ""));
      ++ran;
      ASSERT_EQ(r.code, 0) << r.err;
      ASSERT_EQ(designs->size(), in.stems.size());
      std::string wrote = std::string(in.file) + ": wrote ";
      for (std::size_t i = 0; i < in.stems.size(); ++i)
        wrote += (i ? ", " : "") + std::string(into_folder ? "out/" : "") + in.stems[i] + "." + ext;
      EXPECT_THAT(r.out, testing::HasSubstr(wrote + "\n"));
      for (std::size_t i = 0; i < in.stems.size(); ++i) {
        const Pattern& want = (*designs)[i];
        const Bytes out =
            read_bytes(dir.file((into_folder ? "out/" : "") + in.stems[i] + "." + ext));
        const std::string text = text_of(out);
        if (f == formats::ContentKind::kJson) {
          const auto doc = parse_json(text);
          ASSERT_TRUE(doc.has_value()) << text;
          EXPECT_EQ((*doc)["events"].items.size(), want.events.size());
        } else if (f == formats::ContentKind::kCsv) {
          EXPECT_EQ(count_of(text, "\n"), want.events.size() + 1);
        } else if (f == formats::ContentKind::kSvg) {
          EXPECT_TRUE(well_formed_xml(text));
          EXPECT_EQ(count_of(text, "<g "), formats::block_count(want));
        } else {
          // Read back, the same stitches in the same number of blocks.
          auto back =
              formats::read_pattern(formats::ByteReader(out, "back"), formats::recognise_kind(out));
          if (!back && back.error().code == ErrorCode::kUnsupportedForm) continue;
          ASSERT_TRUE(back.has_value()) << back.error().message();
          if (format.limits.shortest_jump == 0) {
            EXPECT_EQ(stitch_positions(*back), stitch_positions(want));
          } else {
            // Short jumps come back as stitches: every stitch is there, in order.
            const auto got = stitch_positions(*back);
            auto at = got.begin();
            for (const auto& s : stitch_positions(want)) {
              at = std::find(at, got.end(), s);
              ASSERT_NE(at, got.end());
              ++at;
            }
          }
        }
      }
    }
  }
  if (ran == 0) GTEST_SKIP() << "this build reads none of the inputs yet";
}

// A container converted into SHV gives the files splitting and combining
// write: each design byte for byte, or the combined design. Converted into
// any format, combined, it gives the needle events read from that design
// (each design's first record sewn from its placement, as combining sews it).
TEST(ConvertCli, ContainersIntoShvGiveWhatSplitAndCombineGive) {
  ScopedTempDir dir;
  write_bytes(dir.file("garden.dhv"), garden());
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  ASSERT_EQ(run_in(dir, "--split garden.dhv").code, 0);
  ASSERT_EQ(run_in(dir, "--convert garden.dhv -o b/").code, 0);
  for (const char* name : {"garden001.shv", "garden002.shv"})
    EXPECT_EQ(read_bytes(dir.file(std::string("b/") + name)), read_bytes(dir.file(name))) << name;

  ASSERT_EQ(run_in(dir, "--combine garden.dhv -o a/garden.shv").code, 0);
  ASSERT_EQ(run_in(dir, "--convert --combine garden.dhv -o b/garden.shv").code, 0);
  const Bytes combined = read_bytes(dir.file("a/garden.shv"));
  EXPECT_EQ(read_bytes(dir.file("b/garden.shv")), combined);
  const auto sewn = formats::read_shv(formats::ByteReader(combined, "a/garden.shv"));
  const auto converted = designs_of(garden(), true);
  ASSERT_TRUE(sewn && converted);
  EXPECT_EQ(converted->front().events, sewn->events);
}

TEST(ConvertCli, RefusesBeforeWritingAnything) {
  ScopedTempDir dir;
  std::filesystem::create_directory(dir.path() / "a");
  std::filesystem::create_directory(dir.path() / "b");
  std::filesystem::create_directory(dir.path() / "out");
  write_bytes(dir.file("a/rose.shv"), rose_shv());
  write_bytes(dir.file("b/rose.shv"), rose_shv());
  write_bytes(dir.file("pic.png"), {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13});
  const struct {
    const char* args;
    int code;
    std::string err_has;
  } cases[] = {
      {"--convert a/rose.shv --to xyz", 2, "korvane: --to xyz: "},
      {"--convert a/rose.shv --to vp4", 2, "korvane writes " + formats::writable_extensions()},
      {"--convert a/rose.shv -o rose.foo", 1, "rose.foo: "},
      {"--convert a/rose.shv b/rose.shv -o out --to json", 1, "same name"},
      {"--convert a/rose.shv -o a/rose.shv --to json", 1,
       "a/rose.shv: refusing to overwrite the input file"},
      {"--convert pic.png --to svg", 1,
       "this is a PNG picture, which korvane cannot read; "
       "korvane reads DHV, SHV, HUC"},
      {"--info --stitches a/rose.shv", 2, "--stitches goes with --info --json"},
      {"--preview --to svg a/rose.shv", 2, "--to goes with --convert"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Ran r = run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_THAT(r.err, testing::HasSubstr(c.err_has));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path() / "out"));
    for (const char* d : {"a", "b"})
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / d),
                              std::filesystem::directory_iterator()),
                1);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"pic.png"});
  }
}

TEST(ConvertCli, InfoJsonListsNeedleEventsOnlyWhenAsked) {
  ScopedTempDir dir;
  write_bytes(dir.file("rose.shv"), rose_shv());
  const Ran plain = run_in(dir, "--info --json rose.shv");
  EXPECT_THAT(plain.out, testing::Not(testing::HasSubstr("\"events\"")));
  const Ran with = run_in(dir, "--info --json --stitches rose.shv");
  ASSERT_EQ(with.code, 0) << with.err;
  const auto doc = parse_json(with.out);
  ASSERT_TRUE(doc.has_value()) << with.out;
  const auto& events = (*doc)["files"][0]["designs"][0]["events"].items;
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back()["op"].text, "end");
  // The rose's last stitch, after the long move of its second block.
  const auto stitch = std::find_if(events.rbegin(), events.rend(),
                                   [](const JsonValue& e) { return e["op"].text == "stitch"; });
  ASSERT_NE(stitch, events.rend());
  EXPECT_EQ((*stitch)["x"].integer(), 5);
  EXPECT_EQ((*stitch)["y"].integer(), 5);
  EXPECT_EQ((*stitch)["block"].integer(), 2);
}

TEST(ConvertCli, PicturesShowTheTopOfTheDesignAtTheTop) {
  if (!inspect::png_supported()) GTEST_SKIP() << "no PNG library in this build";
  // An asymmetric design: a stroke from the bottom (y = 100) to the top
  // (y = -100), then a bar to the right along the top only.
  ScopedTempDir dir;
  write_bytes(
      dir.file("flag.shv"),
      written_shv(
          HucBuilder{}
              .extents(100, 100, 0, -100)
              .colour(9, cat({rec(0, 0), rec(0, 100), rec(0, -100), rec(0, -100), rec(100, 0)})),
          "flag"));
  const Ran r = run_in(dir, "--preview flag.shv");
  ASSERT_EQ(r.code, 0) << r.err;
  for (const char* name : {"flag-stitches.png", "flag-preview.png"}) {
    SCOPED_TRACE(name);
    const auto png = decode_png(read_bytes(dir.file(name)));
    ASSERT_TRUE(png.has_value());
    // Count stitched pixels in the top and bottom quarter of the right half.
    auto stitched = [&](std::uint32_t y0, std::uint32_t y1) {
      int n = 0;
      for (std::uint32_t y = y0; y < y1; ++y)
        for (std::uint32_t x = png->width * 3 / 4; x < png->width; ++x) {
          const auto c = png->at(x, y);
          const bool bg = (c == DecodedPng::Colour{0x80, 0x80, 0x80}) ||
                          (c == DecodedPng::Colour{0x94, 0x94, 0x94}) ||
                          (c == DecodedPng::Colour{0xFF, 0xFF, 0xFF});  // the fabric
          n += !bg;
        }
      return n;
    };
    EXPECT_GT(stitched(0, png->height / 4), 0);
    EXPECT_EQ(stitched(png->height * 3 / 4, png->height), 0);
  }
}

// "-" as the one input or output: the bytes go through the pipe unchanged,
// korvane's own lines go to standard error, and nothing named "-" (or after
// the names the streams go by inside) is ever written.
TEST(ConvertCli, DashIsStandardInputAndOutput) {
  ScopedTempDir dir;
  write_bytes(dir.file("rose.shv"), rose_shv());
  ASSERT_EQ(run_in(dir, "--convert rose.shv --to dst -q").code, 0);
  ASSERT_EQ(run_in(dir, "--convert rose.shv --to jef -o rose.jef -q").code, 0);
  ASSERT_EQ(run_in(dir, "--convert rose.dst -o want.shv -q").code, 0);
  ASSERT_EQ(run_in(dir, "--thumbnail 48 rose.dst want.png").code, 0);
  const std::string garden = std::string(KORVANE_SOURCE_DIR) + "/examples/garden.dhv";
  const std::string want_shv = slurp(dir.file("want.shv"));
  const std::string want_png = slurp(dir.file("want.png"));
  const std::string info = run_in(dir, "--info rose.dst").out;
  const auto before = dir.files();
  const struct {
    std::string args;
    int code;
    std::string out;  // exactly; "*" for anything
    std::string err_has;
  } cases[] = {
      {"--convert - --to shv -o - < rose.dst", 0, want_shv, "(standard input): wrote"},
      {"--convert --to shv -o - rose.dst", 0, want_shv, ""},
      {"--thumbnail 48 - - < rose.dst", 0, want_png, ""},
      {"--info - < rose.dst", 0, "*", ""},
      // Three designs: refused before any is written, in one line.
      {"--split -o - - < '" + garden + "'", 1, "", "sends one file to standard output"},
      // The format comes from the bytes, not from a name.
      {"--convert - --to shv -o - < rose.jef", 0, "*", ""},
      {"--convert - --to shv -o - < /dev/null", 1, "", "(standard input): cannot read"},
      {"--convert - --to shv -o -", 1, "", "nothing came in"},
      {"--convert --to dst -o - rose.shv rose.dst", 2, "", "give one input"},
      {"--convert -o - rose.shv", 2, "", "-o - needs --to"},
      {"--convert - --to shv", 2, "", "add -o FILE, or -o - for standard output"},
      {"--convert --json --to shv -o - rose.dst", 2, "", "--json and -o -"},
      {"--preview - < rose.dst", 2, "", "give the file, not '-'"},
      {"--preview rose.dst -o -", 2, "", "'-' is none"},
      {"--info - - < rose.dst", 2, "", "give it alone"},
      {"--split -O - rose.shv", 2, "", "-O - names no folder"},
      {"--convert --to dst -O out - < rose.dst", 2, "", "add -o FILE"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Ran r = run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    if (c.out != "*") {
      EXPECT_TRUE(r.out == c.out) << r.out.size() << " bytes on standard output";
    }
    EXPECT_THAT(r.err, testing::HasSubstr(c.err_has));
    EXPECT_EQ(dir.files(), before);
  }
  // What --info finds in the bytes is what it finds in the file.
  const Ran piped = run_in(dir, "--info - < rose.dst");
  EXPECT_EQ(piped.out.substr(piped.out.find('\n')), info.substr(info.find('\n')));
}

// A thumbnail's longer side is the size asked for whichever way the design
// lies, down to the smallest (every format is drawn by thumbnailer_test.sh).
TEST(ConvertCli, ThumbnailsHaveTheSizeAskedFor) {
  ScopedTempDir dir;
  write_bytes(dir.file("rose.shv"), rose_shv());
  const std::string garden = std::string(KORVANE_SOURCE_DIR) + "/examples/garden.dhv";
  ASSERT_EQ(run_in(dir, "--convert --combine '" + garden + "' -o garden.dst -q").code, 0);
  ASSERT_EQ(run_in(dir, "--convert garden.dst --rotate 90 -o turned.dst -q").code, 0);
  for (const unsigned size : {8u, 256u}) {
    SCOPED_TRACE(size);
    std::optional<DecodedPng> png[2];
    for (const int turned : {0, 1}) {
      const std::string args = "--thumbnail " + std::to_string(size) +
                               (turned ? " turned.dst t.png" : " garden.dst t.png");
      ASSERT_EQ(run_in(dir, args).code, 0);
      png[turned] = decode_png(read_bytes(dir.file("t.png")));
      ASSERT_TRUE(png[turned]);
    }
    EXPECT_EQ(png[0]->height, size);  // the garden is taller than wide
    EXPECT_EQ(png[1]->width, size);
    EXPECT_NEAR(png[1]->height, png[0]->width, 1);
  }
  for (const char* bad : {"--thumbnail 7 rose.shv t.png", "--thumbnail 64.5 rose.shv t.png",
                          "--thumbnail rose.shv t.png", "--thumbnail 64 rose.shv"})
    EXPECT_EQ(run_in(dir, bad).code, 2) << bad;
  EXPECT_EQ(run_in(dir, "--thumbnail 64 rose.shv rose.shv").code, 1);  // never over its input
}

// A folder korvane may not write in (a share, a CD) names the way out. Root
// may write anywhere, so it runs korvane as nobody.
TEST(ConvertCli, AFolderThatCannotBeWrittenPointsToOutputDir) {
  ScopedTempDir dir;
  std::filesystem::create_directory(dir.path() / "ro");
  write_bytes(dir.file("ro/rose.shv"), rose_shv());
  const bool root = ::getuid() == 0;
  if (root && std::system("setpriv --version >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "running as root without setpriv to run as another user";
  using std::filesystem::perms;
  std::filesystem::permissions(dir.path(),
                               perms::owner_all | perms::group_exec | perms::others_exec);
  std::filesystem::permissions(dir.path() / "ro", root ? perms::owner_all | perms::group_exec |
                                                             perms::others_exec | perms::others_read
                                                       : perms::owner_read | perms::owner_exec);
  const struct {
    const char* args;
    const char* says;
  } cases[] = {
      {"--convert ro/rose.shv --to dst", "may not write in that folder: -O DIR puts the files"},
      {"--split ro/rose.shv", ""},  // not a container: nothing to write, no advice
      {"--convert ro/rose.shv --to dst -O ro",
       "may not write in that folder: name another with -O"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const std::string cmd = "cd '" + dir.path().string() + "' && " +
                            (root ? "setpriv --reuid=65534 --regid=65534 --clear-groups " : "") +
                            "'" + KORVANE_EXE + "' " + c.args + " >/dev/null 2>.err";
    EXPECT_NE(std::system(cmd.c_str()), 0);
    const std::string err = slurp(dir.file(".err"));
    if (*c.says)
      EXPECT_THAT(err, testing::HasSubstr(c.says));
    else
      EXPECT_THAT(err, testing::Not(testing::HasSubstr("-O DIR")));
  }
  std::filesystem::permissions(dir.path() / "ro", perms::owner_all);
}

// A folder of designs of any format converts, tells and draws; a plain split
// of it says what it skipped and why.
TEST(ConvertCli, FoldersOfAnyFormat) {
  ScopedTempDir dir;
  std::filesystem::create_directory(dir.path() / "mix");
  write_bytes(dir.file("mix/rose.shv"), rose_shv());
  ASSERT_EQ(run_in(dir, "--convert mix/rose.shv --to dst -o mix/a.dst -q").code, 0);
  ASSERT_EQ(run_in(dir, "--convert mix/rose.shv --to pes -o mix/b.PES -q").code, 0);
  const struct {
    std::string args;
    int code;
    std::vector<std::string> made;  // new files in mix/, sorted
    std::string err_has;
  } cases[] = {
      {"--split mix", 1, {}, "mix: the folder holds no DHV container"},
      {"--split mix", 1, {}, "3 files are designs, not DHV containers: use --convert"},
      {"--convert mix", 0, {"a.shv", "b.shv"}, "mix: skipped 1 SHV design, already in the format"},
      {"--convert mix --to jef", 0, {"a.jef", "b.jef", "rose.jef"}, ""},
      {"--preview mix",
       0,
       {"a-stitches.png", "b-stitches.png", "rose-preview.png", "rose-stitches.png"},
       ""},
  };
  auto listing = [&] {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.path() / "mix"))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const auto before = listing();
    const Ran r = run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_THAT(r.err, testing::HasSubstr(c.err_has));
    std::vector<std::string> made;
    for (const auto& f : listing())
      if (std::find(before.begin(), before.end(), f) == before.end()) made.push_back(f);
    EXPECT_EQ(made, c.made);
    for (const auto& f : made) std::filesystem::remove(dir.path() / "mix" / f);
  }
  const Ran info = run_in(dir, "--info mix");
  EXPECT_EQ(info.code, 0) << info.err;
  EXPECT_EQ(count_of(info.out, "mix/"), 3u) << info.out;
}

#endif  // _WIN32

}  // namespace
}  // namespace kvn::test
