// The format table against everything that lists formats, and every writer
// in it against its own reader.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "convert/pattern_write.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern_read.hpp"
#include "inspect/survey.hpp"
#include "support/mini_json.hpp"
#include "support/pattern_views.hpp"
#include "support/reference_design.hpp"
#include "support/temp_dir.hpp"
#include "tools/pattern_gen.hpp"
#ifndef _WIN32
#include "support/run_korvane.hpp"
#endif

namespace kvn::test {
namespace {

using formats::ContentKind;
using formats::Format;
using formats::NeedleOp;

// The format names in `s`: its words of three capitals and digits.
std::vector<std::string> format_names(const std::string& s) {
  std::vector<std::string> v;
  std::string word;
  for (const char c : s + " ") {
    if (std::isalnum(static_cast<unsigned char>(c))) {
      word += c;
      continue;
    }
    if (word.size() == 3 && std::isupper(static_cast<unsigned char>(word[0])) &&
        std::all_of(word.begin(), word.end(), [](char w) {
          return std::isupper(static_cast<unsigned char>(w)) || std::isdigit(static_cast<unsigned char>(w));
        }))
      v.push_back(word);
    word.clear();
  }
  return v;
}

TEST(FormatTable, NamesKindsAndExtensionsLeadBackToTheirRow) {
  std::set<std::string> extensions;
  for (const auto& f : formats::format_table()) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(formats::format_of(f.kind), &f);
    EXPECT_EQ(formats::kind_name(f.kind), std::string(f.noun));
    EXPECT_EQ(std::string(f.noun).rfind(f.name, 0), 0u);
    ASSERT_FALSE(f.extensions.empty());
    for (const auto ext : f.extensions) {
      EXPECT_TRUE(extensions.insert(std::string(ext)).second) << ext << " names two formats";
      std::string upper(ext);
      std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
      EXPECT_EQ(formats::format_named(ext), &f);
      EXPECT_EQ(formats::format_named("garden." + upper), &f);
    }
    EXPECT_EQ(convert::writable_format_named(f.extensions.front()), f.writable ? &f : nullptr);
    // A row read as a design is one the survey reads; one only recognised
    // says why it is not read.
    EXPECT_EQ(inspect::pattern_readable(f.kind), f.read != nullptr);
    if (f.family == formats::Family::kOther && !f.read) {
      EXPECT_NE(f.unreadable, nullptr);
    }
  }
  EXPECT_EQ(formats::format_named("vp5"), nullptr);
  EXPECT_EQ(formats::format_of(ContentKind::kUnknown), nullptr);
}

// Adding a row adds a round trip here: every format written and read is
// written from generated designs and read back by its own reader.
// Where the needle goes down. A jump the format can only say as a stitch is
// one where it lands, unless it leads to where a colour block starts.
std::vector<std::pair<int, int>> sewn(const Format& f, const formats::Pattern& q, bool as_written) {
  std::vector<std::pair<int, int>> v;
  std::int32_t x = 0, y = 0;
  bool in_block = false;
  for (const auto& e : q.events) {
    if (e.op == NeedleOp::kColourChange) in_block = false;
    if (e.op == NeedleOp::kStitch || e.op == NeedleOp::kTrim) in_block = true;
    const bool short_jump = as_written && in_block && e.op == NeedleOp::kJump &&
                            (e.x != x || e.y != y) && std::abs(e.x - x) <= f.limits.shortest_jump &&
                            std::abs(e.y - y) <= f.limits.shortest_jump;
    if (e.op == NeedleOp::kStitch || short_jump) v.emplace_back(e.x, e.y);
    x = e.x;
    y = e.y;
  }
  return v;
}

// After which stitch of which block each trim cuts; a trim before any
// stitch of its block, or after another, cuts nothing.
std::vector<std::pair<std::size_t, std::size_t>> trims_of(const formats::Pattern& q) {
  std::vector<std::pair<std::size_t, std::size_t>> v;
  std::size_t block = 0, stitches = 0;
  bool cut = true;
  for (const auto& e : q.events) {
    if (e.op == NeedleOp::kColourChange) ++block, stitches = 0, cut = true;
    if (e.op == NeedleOp::kStitch) ++stitches, cut = false;
    if (e.op == NeedleOp::kTrim && !cut) {
      v.emplace_back(block, stitches);
      cut = true;
    }
  }
  return v;
}

TEST(FormatTable, EveryWriterReadsBackWithItsOwnReader) {
  // Shapes that test a writer's records: long runs, many blocks, steps of a
  // few units, no trims at all, and a block for every stitch.
  const struct {
    const char* what;
    example::PatternShape shape;
  } shapes[] = {
      {"one block", {.stitches = 300, .blocks = 1}},
      {"many blocks", {.stitches = 2000, .blocks = 12}},
      {"short steps", {.stitches = 500, .blocks = 3, .max_stitch = 5, .max_jump = 9}},
      {"no trims", {.stitches = 800, .blocks = 4, .trims = false}},
      {"block per stitch", {.stitches = 6, .blocks = 6}},
  };
  int tried = 0;
  for (const auto& f : formats::format_table()) {
    if (!f.writable || !f.read) continue;
    for (const auto& s : shapes) {
      for (std::uint32_t seed = 1; seed <= 8; ++seed) {
        SCOPED_TRACE(std::string(f.name) + " " + s.what + " seed " + std::to_string(seed));
        example::PatternShape shape = s.shape;
        shape.seed = seed;
        shape.threads = f.limits.colours;
        shape.max_stitch = std::min<std::int32_t>(shape.max_stitch, f.limits.longest_stitch);
        const auto p = example::generated_pattern(shape);
        const auto image = convert::write_pattern(p, f.kind, "gen");
        ASSERT_TRUE(image.has_value()) << image.error().message();
        EXPECT_EQ(formats::recognise_kind(*image), f.kind);
        const auto back = f.read(formats::ByteReader(*image, "gen"));
        ASSERT_TRUE(back.has_value()) << back.error().message();
        EXPECT_EQ(sewn(f, *back, false), sewn(f, p, true));
        EXPECT_EQ(formats::block_count(*back), formats::block_count(p));
        EXPECT_TRUE(formats::check_pattern(*back, "gen"));
        // A jump the format says as a stitch moves the trims after it along;
        // of the formats that write trims as jumps, DST's reader takes the
        // runs of jumps for the trims they stand for.
        if (f.limits.shortest_jump == 0) {
          EXPECT_EQ(stitches_by_block(*back), stitches_by_block(p));
          if (f.limits.trims || f.kind == ContentKind::kDst) {
            EXPECT_EQ(trims_of(*back), trims_of(p));
          }
        }
        EXPECT_EQ(back->events.back(), p.events.back());  // it ends where it ended
        ++tried;
      }
    }
  }
  EXPECT_GE(tried, 4 * 8 * 5);
}

// Every real design, written by each writer whose format stores colours,
// reads back with the same stitches in the same blocks; the compressed
// formats come out smaller than their sections would be plain.
TEST(FormatTable, RealDesignsReadBackFromEveryWriter) {
  const auto root = real_designs_dir();
  if (!root) GTEST_SKIP() << "the real designs (../shared/realdesigns) are not here";
  int tried = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(*root)) {
    if (!entry.is_regular_file() || entry.path().parent_path().filename() == "reference") continue;
    const auto bytes = read_bytes(entry.path().string());
    const auto kind = formats::recognise_kind(bytes);
    const Format* source = formats::format_of(kind);
    if (!source || !source->read || source->family != formats::Family::kOther) continue;
    const auto p = formats::read_pattern(formats::ByteReader(bytes, "real"), kind);
    if (!p) continue;
    for (const auto& f : formats::format_table()) {
      if (!f.writable || !f.read || !f.write || !f.limits.colours) continue;
      SCOPED_TRACE(entry.path().filename().string() + " as " + f.name);
      const auto image = convert::write_pattern(*p, f.kind, "real");
      ASSERT_TRUE(image.has_value()) << image.error().message();
      const auto back = f.read(formats::ByteReader(*image, "real"));
      ASSERT_TRUE(back.has_value()) << back.error().message();
      // Stitches longer than the format's records come back split.
      std::int32_t x = 0, y = 0, longest = 0;
      for (const auto& e : p->events) {
        if (e.op == NeedleOp::kStitch)
          longest = std::max<std::int32_t>({longest, std::abs(e.x - x), std::abs(e.y - y)});
        x = e.x;
        y = e.y;
      }
      if (longest <= f.limits.longest_stitch) {
        EXPECT_EQ(sewn(f, *back, false), sewn(f, *p, true));
      }
      // A format without stops turns each into a change to the same thread.
      const auto stops =
          f.limits.stops ? 0 : std::count_if(p->events.begin(), p->events.end(), [](const auto& e) {
            return e.op == NeedleOp::kStop;
          });
      EXPECT_EQ(formats::block_count(*back),
                formats::block_count(*p) + static_cast<std::size_t>(stops));
      if (f.kind == ContentKind::kHus && p->events.size() > 100) {
        const std::size_t records =
            image->at(4) | std::size_t{image->at(5)} << 8 | std::size_t{image->at(6)} << 16;
        EXPECT_LT(image->size(), 3 * records);
      }
      ++tried;
    }
  }
  EXPECT_GT(tried, 100);
}

// The manual page's list of what korvane reads is written by hand; it is
// held to the table here.
TEST(FormatTable, ManualPageListsWhatTheTableReads) {
  const std::string man = text_of(read_bytes(KORVANE_SOURCE_DIR "/man/korvane.1"));
  std::vector<std::string> read;
  for (const auto& f : formats::format_table())
    if (f.read || f.family == formats::Family::kContainer) read.emplace_back(f.name);
  const auto reads_at = man.find("reads each file as the format its content shows:");
  ASSERT_NE(reads_at, std::string::npos);
  const std::string reads_part = man.substr(reads_at, man.find(';', reads_at) - reads_at);
  EXPECT_EQ(format_names(reads_part), read) << reads_part;
}

#ifndef _WIN32
std::vector<std::string> writable_names() {
  std::vector<std::string> v;
  for (const auto& f : formats::format_table())
    if (f.writable) v.emplace_back(f.extensions.front());
  return v;
}

TEST(FormatTable, FormatsCommandPrintsEveryRowForPeopleAndScripts) {
  ScopedTempDir dir;
  const Ran text = run_in(dir, "--formats");
  ASSERT_EQ(text.code, 0) << text.err;
  const Ran json = run_in(dir, "--formats --json");
  ASSERT_EQ(json.code, 0) << json.err;
  const auto doc = parse_json(json.out);
  ASSERT_TRUE(doc.has_value()) << json.out;
  const auto rows = formats::format_table();
  ASSERT_EQ((*doc)["formats"].items.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto& f = rows[i];
    const auto& j = (*doc)["formats"][i];
    SCOPED_TRACE(f.name);
    EXPECT_EQ(j["format"].text, f.name);
    EXPECT_EQ(j["extensions"][0].text, f.extensions.front());
    EXPECT_EQ(j["write"].boolean, f.writable);
    if (f.writable) {
      EXPECT_EQ(j["limits"]["longest_stitch"].integer(), f.limits.longest_stitch);
    }
    // One line each for people, the format's name first.
    EXPECT_THAT(text.out, testing::ContainsRegex("\n  " + std::string(f.name) + " +" +
                                                 (f.family == formats::Family::kContainer
                                                      ? "container"
                                                      : "[a-z]+") +
                                                 " +\\." + std::string(f.extensions.front())));
  }
  EXPECT_EQ(run_in(dir, "--formats x.dst").code, 2);

  // The bash completion offers for --to what korvane --formats says it writes.
  const std::string exe_dir = std::filesystem::path(KORVANE_EXE).parent_path().string();
  {
    std::ofstream(dir.file("complete.sh"))
        << "PATH='" << exe_dir << "':$PATH\nsource '" KORVANE_SOURCE_DIR
           "/completions/korvane.bash'\nCOMP_WORDS=(korvane --convert x.dst --to '')\n"
           "COMP_CWORD=4\n_korvane\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n";
  }
  const std::string cmd = "bash '" + dir.file("complete.sh") + "' >'" + dir.file("offered") + "'";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  const Ran offered{0, slurp(dir.file("offered")), ""};
  std::vector<std::string> lines;
  std::istringstream in(offered.out);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  EXPECT_EQ(lines, writable_names()) << offered.err;
  const Ran help = run_in(dir, "--help");
  for (const auto& name : writable_names()) EXPECT_THAT(help.out, testing::HasSubstr(name));
}
#endif

}  // namespace
}  // namespace kvn::test
