// Fitting designs to what each written format holds, the report of what
// changed, and the read-back check of every written file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "formats/format_table.hpp"
#include "formats/jef.hpp"
#include "formats/pattern_read.hpp"
#include "formats/pattern.hpp"
#include "formats/shv_threads.hpp"
#include "korvane/korvane.hpp"

#ifndef _WIN32
#include "support/mini_json.hpp"
#include "support/run_korvane.hpp"
#include "support/temp_dir.hpp"
#endif

namespace kvn::test {
namespace {

using formats::ContentKind;
using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using formats::Thread;

Pattern of_events(std::vector<NeedleEvent> events, std::vector<Thread> threads = {}) {
  Pattern p;
  p.name = "fit";
  p.threads = std::move(threads);
  p.events = std::move(events);
  const NeedleEvent last = p.events.empty() ? NeedleEvent{} : p.events.back();
  p.events.push_back({last.x, last.y, NeedleOp::kEnd});
  return p;
}

// A short running line, so that every design has something to sew.
std::vector<NeedleEvent> running(std::int32_t from_x, std::int32_t y, int stitches) {
  std::vector<NeedleEvent> v;
  for (int i = 0; i < stitches; ++i) v.push_back({from_x + 10 * i, y, NeedleOp::kStitch});
  return v;
}

std::vector<NeedleEvent> cat(std::initializer_list<std::vector<NeedleEvent>> parts) {
  std::vector<NeedleEvent> v;
  for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
  return v;
}

Thread rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  Thread t;
  t.r = r, t.g = g, t.b = b;
  return t;
}

// Blocks of alternating colours, each a few stitches, without threads.
Pattern many_blocks(int blocks) {
  std::vector<NeedleEvent> v;
  for (int b = 0; b < blocks; ++b) {
    if (b > 0) v.push_back({0, 0, NeedleOp::kColourChange});
    v.push_back({0, 0, NeedleOp::kStitch});
    v.push_back({5, 5, NeedleOp::kStitch});
    v.push_back({0, 0, NeedleOp::kStitch});
  }
  return of_events(v);
}

struct FitCase {
  const char* what;
  const char* target;
  Pattern design;
  double min_stitch;
  std::map<std::string, std::size_t> expected;  // code -> count; nothing else may appear
};

std::vector<FitCase> fit_cases() {
  const Thread moss = rgb(0x4C, 0x6B, 0x2A);
  Thread janome_white = rgb(240, 240, 240);
  return {
      {"a fitting design changes nothing", "dst", of_events(running(0, 0, 20)), 0, {}},
      {"stitches longer than a record", "dst",
       of_events(cat({running(0, 0, 3), {{300, 0, NeedleOp::kStitch}, {300, 500, NeedleOp::kStitch}}})),
       0,
       {{"stitches-split", 2}}},
      {"a jump longer than a JEF record", "jef",
       of_events(cat({running(0, 0, 3), {{600, -600, NeedleOp::kJump}}, running(600, -600, 3)})), 0,
       {{"jumps-split", 1}}},
      {"a trim in a format without trims", "dst",
       of_events(cat({running(0, 0, 3), {{20, 0, NeedleOp::kTrim}, {80, 0, NeedleOp::kJump}},
                      running(80, 0, 3)})),
       0,
       {{"trims-as-jumps", 1}}},
      {"trims with nothing to cut", "exp",
       of_events(cat({{{0, 0, NeedleOp::kTrim}}, running(0, 0, 3),
                      {{20, 0, NeedleOp::kTrim}, {20, 0, NeedleOp::kTrim}}, running(40, 0, 2)})),
       0,
       {{"trims-dropped", 2}}},
      {"a stop in a format without stops", "pes",
       of_events(cat({running(0, 0, 3), {{20, 0, NeedleOp::kStop}}, running(20, 0, 3)}),
                 {rgb(0, 0, 0)}),
       0,
       {{"stops-as-colour-changes", 1}}},
      {"colours off the Janome chart", "jef",
       of_events(cat({running(0, 0, 3), {{20, 0, NeedleOp::kColourChange}}, running(20, 0, 3),
                      {{40, 0, NeedleOp::kColourChange}}, running(40, 0, 3)}),
                 {moss, formats::janome_thread_for(janome_white), rgb(1, 2, 250)}),
       0,
       {{"colours-matched", 2}}},
      {"more colour blocks than PEC counts", "pec", many_blocks(300), 0,
       {{"colours-merged", 45}}},
      {"stitches shorter than --min-stitch", "dst",
       of_events({{0, 0, NeedleOp::kStitch}, {1, 1, NeedleOp::kStitch}, {2, 2, NeedleOp::kStitch},
                  {30, 0, NeedleOp::kStitch}, {31, 0, NeedleOp::kStitch}}),
       0.3,
       {{"short-stitches-dropped", 3}}},
      {"a colour block with nothing to sew in SHV", "shv",
       of_events(cat({running(0, 0, 3), {{20, 0, NeedleOp::kColourChange}},
                      {{20, 0, NeedleOp::kColourChange}}, running(20, 0, 3),
                      {{40, 0, NeedleOp::kColourChange}}}),
                 {formats::thread_for_shv_code(1), formats::thread_for_shv_code(2),
                  formats::thread_for_shv_code(3), formats::thread_for_shv_code(4)}),
       0,
       {{"empty-blocks-dropped", 2}}},
      {"SHV keeps the codes it was read with", "shv",
       of_events(running(0, 0, 5), {[] {
                   Thread t = formats::thread_for_shv_code(6);
                   return t;
                 }()}),
       0,
       {}},
  };
}

// Each kind of change is reported with its count, nothing else is, and the
// writer then writes a file whose read-back matches the fitted design.
TEST(Fitting, ReportsEachChangeAndTheWrittenFilePassesTheCheck) {
  for (auto& c : fit_cases()) {
    SCOPED_TRACE(c.what);
    const formats::Format* f = formats::format_named(c.target);
    ASSERT_NE(f, nullptr);
    std::vector<Adjustment> adjustments;
    ConvertOptions options;
    options.min_stitch = c.min_stitch;
    auto fitted = convert::fit_to_limits(c.design, *f, options, adjustments);
    ASSERT_TRUE(fitted) << fitted.error().message();
    std::map<std::string, std::size_t> got;
    for (const auto& a : adjustments) {
      got[a.code] = a.count;
      EXPECT_FALSE(a.sentence.empty());
    }
    EXPECT_EQ(got, c.expected);
    const auto& lim = f->limits;
    std::int32_t x = 0, y = 0;
    for (const auto& e : fitted->events) {
      const std::int32_t most = e.op == NeedleOp::kStitch ? lim.longest_stitch
                                : e.op == NeedleOp::kJump ? lim.longest_jump
                                                          : 0;
      if (most > 0) {
        EXPECT_LE(std::abs(e.x - x), most);
        EXPECT_LE(std::abs(e.y - y), most);
      }
      x = e.x;
      y = e.y;
    }
    auto image = convert::write_pattern(*fitted, f->kind, "out");
    ASSERT_TRUE(image) << image.error().message();
    auto checked = convert::check_written(*image, *fitted, *f, "out");
    EXPECT_TRUE(checked) << checked.error().message();
  }
}

TEST(Fitting, TheWorstColourMatchIsNamed) {
  const Pattern p = of_events(running(0, 0, 3), {rgb(0x4C, 0x6B, 0x2A)});
  std::vector<Adjustment> adjustments;
  auto fitted = convert::fit_to_limits(p, *formats::format_named("jef"), {}, adjustments);
  ASSERT_TRUE(fitted);
  ASSERT_EQ(adjustments.size(), 1u);
  EXPECT_NE(adjustments[0].sentence.find("#4C6B2A"), std::string::npos) << adjustments[0].sentence;
  EXPECT_NE(adjustments[0].sentence.find("\xCE\x94" "E "), std::string::npos);
}

// The check must see what a writer got wrong: one changed byte, one
// different stitch, early or deep in a long design (where the file is
// compared as it is decoded, a chunk at a time).
TEST(Fitting, TheCheckFindsADifferentStitch) {
  const Pattern p = of_events(running(0, 0, 3000));
  for (const char* target : {"dst", "exp", "jef", "pec", "shv"}) {
    for (const std::size_t changed : {std::size_t{150}, std::size_t{2600}}) {
      SCOPED_TRACE(std::string(target) + " " + std::to_string(changed));
      const formats::Format* f = formats::format_named(target);
      std::vector<Adjustment> adjustments;
      auto fitted = convert::fit_to_limits(p, *f, {}, adjustments);
      ASSERT_TRUE(fitted);
      Pattern other = *fitted;
      const auto moved = other.events[changed];
      other.events[changed] = {moved.x, moved.y + 1, moved.op};
      auto image = convert::write_pattern(other, f->kind, "out");
      ASSERT_TRUE(image);
      auto checked = convert::check_written(*image, *fitted, *f, "out");
      ASSERT_FALSE(checked);
      EXPECT_NE(checked.error().message().find("needle event " + std::to_string(changed + 1) + " "),
                std::string::npos)
          << checked.error().message();
    }
  }
}

// Readers that hand their events over in chunks must give the events the
// whole read gives, where DST's runs of jumps (turned into trims, or dropped
// when they come back) straddle a chunk's end or outlast a chunk.
TEST(Fitting, ChunkedReadsGiveTheWholeReadsEvents) {
  struct Collect final : formats::EventSink {
    std::vector<NeedleEvent> events;
    void take(std::span<const NeedleEvent> e) override { events.insert(events.end(), e.begin(), e.end()); }
  };
  std::vector<NeedleEvent> trims, wander;
  for (int i = 0; i < 6000; ++i) {
    const std::int32_t x = 10 * (i % 40), y = 10 * (i / 40);
    trims.push_back({x, y, NeedleOp::kStitch});
    // A trim after each of the first stitches: some run then meets every
    // place a chunk can end.
    if (i < 3000 || i % 37 == 0) trims.push_back({x, y, NeedleOp::kTrim});
    if (i % 1500 == 0) trims.push_back({x, y, NeedleOp::kColourChange});
  }
  // 5,000 jumps in a row, back and forth, then back to where the run began
  // (so that it is dropped): one run, longer than a chunk.
  for (int i = 0; i < 5000; ++i) wander.push_back({10 * (i % 2), 0, NeedleOp::kJump});
  wander.push_back({990, 0, NeedleOp::kJump});
  const std::vector<Thread> five(5, rgb(200, 40, 40));
  const std::vector<Pattern> designs = {
      of_events(trims, five),
      of_events(cat({running(0, 0, 100), wander, running(0, 0, 3000)})),
      of_events(cat({running(0, 0, 100), wander})),
  };
  for (const char* target : {"dst", "jef", "shv"}) {
    const formats::Format* f = formats::format_named(target);
    const auto read_events = formats::event_reader(f->kind);
    ASSERT_NE(read_events, nullptr) << target;
    for (std::size_t d = 0; d < designs.size(); ++d) {
      SCOPED_TRACE(std::string(target) + " design " + std::to_string(d));
      std::vector<Adjustment> adjustments;
      auto fitted = convert::fit_to_limits(designs[d], *f, {}, adjustments);
      ASSERT_TRUE(fitted);
      auto image = convert::write_pattern(*fitted, f->kind, "out");
      ASSERT_TRUE(image) << image.error().message();
      auto whole = f->read(formats::ByteReader(*image, "out"));
      ASSERT_TRUE(whole) << whole.error().message();
      Collect sink;
      auto rest = read_events(formats::ByteReader(*image, "out"), sink);
      ASSERT_TRUE(rest) << rest.error().message();
      EXPECT_TRUE(rest->events.empty());
      rest->events = sink.events;
      EXPECT_TRUE(*rest == *whole);
      EXPECT_TRUE(convert::check_written(*image, *fitted, *f, "out"));
    }
  }
}

#ifndef _WIN32
// A writer whose bytes are damaged on the way fails the conversion, and no
// file is left behind.
TEST(Fitting, DamagedOutputIsCaughtAndNothingWritten) {
  // Short enough for every target's hoop; the damage falls among the last
  // stitches, past any header.
  const Pattern p = of_events(running(0, 0, 150));
  for (const char* target : {"dst", "exp", "jef"}) {
    SCOPED_TRACE(target);
    ScopedTempDir dir;
    auto input = convert::write_pattern(p, ContentKind::kDst, "in.dst");
    ASSERT_TRUE(input);
    write_bytes(dir.file("in.dst"), *input);
    convert::damage_written_for_tests([](std::vector<std::uint8_t>& bytes, const formats::Format&) {
      bytes[bytes.size() - 8] ^= 0x01;
    });
    const std::string out = dir.file(std::string("out.") + target);
    ConvertOptions to_target;
    to_target.to = target;
    Invocation run(Conversion::kConvert, {dir.file("in.dst")}, out, to_target);
    ASSERT_TRUE(run.refusals().empty());
    auto r = run.convert(0);
    convert::damage_written_for_tests({});
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message().find("nothing was written"), std::string::npos)
        << r.error().message();
    EXPECT_EQ(dir.files(), std::vector<std::string>{"in.dst"});
    // Undamaged, the same conversion writes its file and says it was checked.
    Invocation again(Conversion::kConvert, {dir.file("in.dst")}, out, to_target);
    auto ok = again.convert(0);
    ASSERT_TRUE(ok) << ok.error().message();
    ASSERT_EQ(ok->reports.size(), 1u);
    EXPECT_TRUE(ok->reports[0].checked);
  }
}

// Documents of a design of many thousand stitches are far longer than one
// piece of writing: the file must hold exactly what the writer makes whole.
TEST(Fitting, LongDocumentsReachTheirFileWholeAndUnchanged) {
  std::vector<NeedleEvent> events;
  for (std::int32_t i = 0; i < 30000; ++i) {
    events.push_back({i % 100 * 10, i / 100 % 100 * 10, NeedleOp::kStitch});
    if (i % 10000 == 9999) events.push_back({events.back().x, events.back().y, NeedleOp::kColourChange});
  }
  ScopedTempDir dir;
  auto input = convert::write_pattern(of_events(events), ContentKind::kDst, "in.dst");
  ASSERT_TRUE(input);
  write_bytes(dir.file("in.dst"), *input);
  auto read = formats::read_pattern(formats::ByteReader(*input, "in.dst"), ContentKind::kDst);
  ASSERT_TRUE(read);
  for (const auto kind : {ContentKind::kJson, ContentKind::kSvg, ContentKind::kCsv}) {
    const auto* f = formats::format_of(kind);
    SCOPED_TRACE(f->name);
    ConvertOptions to_target;
    to_target.to = std::string(f->extensions.front());
    const std::string out = dir.file("out." + to_target.to);
    Invocation run(Conversion::kConvert, {dir.file("in.dst")}, out, to_target);
    ASSERT_TRUE(run.refusals().empty());
    auto r = run.convert(0);
    ASSERT_TRUE(r) << r.error().message();
    const auto whole = convert::write_pattern(*read, kind, out);
    ASSERT_TRUE(whole);
    ASSERT_GT(whole->size(), 3u << 16);  // several pieces of writing
    EXPECT_TRUE(read_bytes(out) == *whole);
  }
}

// The report as scripts read it, and as people read it under "wrote".
TEST(Fitting, TheCommandLineReportsChangesAsTextAndJson) {
  ScopedTempDir dir;
  auto input = convert::write_pattern(
      of_events(cat({running(0, 0, 3), {{20, 0, NeedleOp::kTrim}, {145, 0, NeedleOp::kStitch}}})),
      ContentKind::kExp, "in.exp");
  ASSERT_TRUE(input);
  write_bytes(dir.file("in.exp"), *input);

  const Ran json = run_in(dir, "--convert in.exp --to dst --json");
  ASSERT_EQ(json.code, 0) << json.err;
  const auto doc = parse_json(json.out);
  ASSERT_TRUE(doc) << json.out;
  const auto& conversion = (*doc)["conversions"][0];
  EXPECT_EQ(conversion["input"].text, "in.exp");
  const auto& output = conversion["outputs"][0];
  EXPECT_EQ(output["file"].text, "in.dst");
  EXPECT_TRUE(output["checked"].boolean);
  std::map<std::string, long long> codes;
  for (const auto& a : output["adjustments"].items) codes[a["code"].text] = a["count"].integer();
  EXPECT_EQ(codes, (std::map<std::string, long long>{
                       {"recentred", 1}, {"stitches-split", 1}, {"trims-as-jumps", 1}}));

  const Ran text = run_in(dir, "--convert in.exp --to dst -o again.dst");
  ASSERT_EQ(text.code, 0) << text.err;
  EXPECT_NE(text.out.find("\n  1 stitch longer than 12.1 mm split"), std::string::npos)
      << text.out;
  EXPECT_NE(text.out.find("\n  checked"), std::string::npos) << text.out;
}
#endif

}  // namespace
}  // namespace kvn::test
