#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <utility>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "formats/format_table.hpp"
#include "frontend/app.hpp"
#include "frontend/file_types.hpp"
#include "frontend/options.hpp"
#include "frontend/standard_streams.hpp"
#include "korvane/survey.hpp"
#include "support/builders.hpp"
#include "support/sample_designs.hpp"
#include "support/temp_dir.hpp"

namespace kvn::frontend {
namespace {

#ifdef _WIN32
constexpr const char* kSeparator = "\\";
#else
constexpr const char* kSeparator = "/";
#endif

using test::Bytes;
using test::DhvBuilder;

// What the user will answer, and what the user saw, in order.
struct Script {
  std::optional<std::string> choice;
  bool answer = false;
  std::vector<std::string> shown;
  std::optional<SaveAnswer> save;      // what the save dialog answers
  std::optional<std::string> folder;   // what the folder dialog answers
  std::vector<SaveRequest> requests;   // what the save dialog was asked
};

// Records each box as its caption's first word after KORVANE and the path:
// "created /tmp/x/two.dhv"; the texts themselves are kept for closer checks.
class FakeDialogs final : public Dialogs {
 public:
  explicit FakeDialogs(Script& s) : s_(s) {}
  std::vector<std::string> open_files(const std::vector<FileType>& /*types*/) override {
    s_.shown.push_back("open");
    return s_.choice ? std::vector<std::string>{*s_.choice} : std::vector<std::string>{};
  }
  void show(const Box& box) override { s_.shown.push_back(record("show", box)); }
  std::optional<SaveAnswer> save_file(const SaveRequest& request) override {
    s_.shown.push_back("save");
    s_.requests.push_back(request);
    return s_.save;
  }
  std::optional<std::string> choose_folder(const std::string& /*title*/,
                                           const std::string& /*start*/) override {
    s_.shown.push_back("folder");
    // Once: a run that forgot the folder would have to ask again.
    return std::exchange(s_.folder, std::nullopt);
  }
  bool ask(const Box& box) override {
    s_.shown.push_back(record("ask", box));
    return s_.answer;
  }
  static inline std::vector<Box> boxes;

 private:
  static std::string record(const char* how, const Box& box) {
    boxes.push_back(box);
    const auto start = box.caption.find(' ') + 1;
    std::string word = box.caption.substr(start, box.caption.find(' ', start) - start);
    if (word == "did")
      word = box.caption.find("combine") != std::string::npos ? "uncombined" : "failed";
    const auto line2 = box.text.find('\n') + 1;
    return std::string(how) + " " + word + " " +
           box.text.substr(line2, box.text.find('\n', line2) - line2);
  }
  Script& s_;
};

struct Outcome {
  int code;
  std::string out, err;
  std::vector<std::string> shown;
  std::vector<SaveRequest> requests;
};

Outcome run_with(const std::vector<std::string>& args, std::optional<std::string> choice,
                 bool answer, Script script = {}) {
  FakeDialogs::boxes.clear();
  std::ostringstream out, err;
  script.choice = std::move(choice);
  script.answer = answer;
  const int code =
      run(args, out, err, [&](DialogChoice) { return std::make_unique<FakeDialogs>(script); });
  return {code, out.str(), err.str(), script.shown, script.requests};
}

// A design in any format the table writes, from stitches along x.
void write_design(const std::string& path, const char* format, int width, int height) {
  formats::Pattern p;
  for (int x = 0; x <= width; x += 25) p.events.push_back({x, (x / 25) % 2 ? height : 0});
  const auto bytes = formats::format_named(format)->write(p, path);
  ASSERT_TRUE(bytes);
  test::write_bytes(path, *bytes);
}

// A folder no one can write in, root included (chattr +i), undone at the end.
class LockedFolder {
 public:
  explicit LockedFolder(std::filesystem::path dir) : dir_(std::move(dir)) {
#ifndef _WIN32
    const std::string quoted = "'" + dir_.string() + "'";
    locked_ = ::geteuid() == 0
                  ? std::system(("chattr +i " + quoted + " 2>/dev/null").c_str()) == 0
                  : std::system(("chmod 555 " + quoted).c_str()) == 0;
    if (locked_) {
      std::error_code ec;
      std::filesystem::create_directory(dir_ / "probe", ec);
      locked_ = static_cast<bool>(ec);  // the lock holds only if that failed
    }
#endif
  }
  ~LockedFolder() {
#ifndef _WIN32
    const std::string quoted = "'" + dir_.string() + "'";
    (void)std::system(("chattr -i " + quoted + " 2>/dev/null; chmod 755 " + quoted).c_str());
#endif
  }
  bool locked() const { return locked_; }

 private:
  std::filesystem::path dir_;
  bool locked_ = false;
};

std::string banner() {
  std::ostringstream b;
  print_banner(b);
  return b.str();
}

TEST(DialogFlow, EveryBoxSaysWhatHappenedAndWhy) {
  test::ScopedTempDir dir;
  const std::string one = dir.file("one.dhv");
  const std::string opaque = dir.file("opaque.dhv");
  const std::string bad = dir.file("bad.dhv");
  const std::string garden = dir.file("garden.dhv");
  test::write_bytes(one, DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  // Opaque designs split fine but cannot be combined.
  test::write_bytes(
      opaque, DhvBuilder{}.add(test::opaque_design(30, 1)).add(test::opaque_design(9, 2)).bytes());
  test::write_bytes(bad, Bytes(50, 0));
  test::write_bytes(garden,
                    test::read_bytes(std::string(KORVANE_SOURCE_DIR) + "/examples/garden.dhv"));
  // Two roses 200 mm apart: wider than every hoop.
  const std::string wide = dir.file("wide.dhv");
  test::write_bytes(
      wide, DhvBuilder{}.add(test::rose_shv(), -1000, 0).add(test::rose_shv(), 1000, 0).bytes());
  const std::string in_dir = "Written in " + dir.path().string() + kSeparator + ":\n";
  struct Case {
    const char* name;
    std::optional<std::string> choice;
    bool yes;
    int code;
    std::vector<std::string> shown;
    std::string out;                                     // after the banner
    std::vector<std::pair<BoxIcon, std::string>> texts;  // each box's icon and text after the path
  };
  const Case cases[] = {
      {"Cancel", std::nullopt, false, 0, {"open"}, "", {}},
      {"SplitFails",
       bad,
       true,
       1,
       {"open", "show failed " + bad},
       "korvane aborted with error #-1\n",
       {{BoxIcon::kWarning, "the file ends too early"}}},
      {"CannotCombineIsToldNotAsked",
       opaque,
       true,
       0,
       {"open", "show created " + opaque},
       opaque + ": wrote " + dir.file("opaque001.shv") + ", " + dir.file("opaque002.shv") + "\n",
       {{BoxIcon::kInformation, in_dir + "opaque001.shv, opaque002.shv\n\n"
                                         "These designs cannot be combined:\n"}}},
      {"No",
       garden,
       false,
       0,
       {"open", "ask created " + garden},
       garden + ": wrote " + dir.file("garden001.shv") + ", " + dir.file("garden002.shv") + ", " +
           dir.file("garden003.shv") + "\n",
       {{BoxIcon::kInformation, in_dir + "3 designs: garden001.shv \u2026 garden003.shv\n\n"
                                         "Need to combine?"}}},
      {"WideLayoutWarnsBeforeAsking",
       wide,
       false,
       0,
       {"open", "ask created " + wide},
       "",
       {{BoxIcon::kInformation, in_dir + "wide001.shv, wide002.shv\n\n"
                                         "Combined, the designs measure 239.2 x 40.0 mm: "
                                         "larger than the largest hoop (150 x 360 mm).\n\n"
                                         "Need to combine?"}}},
      {"YesOnOneDesign",
       one,
       true,
       0,
       {"open", "ask created " + one, "show combined " + one},
       one + ": wrote " + dir.file("one.shv") + "\n" + one + ": wrote " + dir.file("one.shv") +
           "\n",
       {{BoxIcon::kInformation, in_dir + "one.shv\n\nNeed to combine?"},
        {BoxIcon::kInformation, in_dir + "one.shv"}}},
      {"Yes",
       garden,
       true,
       0,
       {"open", "ask created " + garden, "show combined " + garden},
       "",
       {{BoxIcon::kInformation, ""}, {BoxIcon::kInformation, in_dir + "garden.shv"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = run_with({}, c.choice, c.yes);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_EQ(r.shown, c.shown);
    EXPECT_EQ(r.out.substr(0, banner().size()), banner());
    if (!c.out.empty()) {
      EXPECT_EQ(r.out.substr(banner().size()), c.out);
    }
    ASSERT_EQ(FakeDialogs::boxes.size(), c.texts.size());
    for (std::size_t i = 0; i < c.texts.size(); ++i) {
      const Box& b = FakeDialogs::boxes[i];
      EXPECT_EQ(b.icon, c.texts[i].first);
      // The caption's statement opens the text, then the path.
      EXPECT_EQ(b.text.rfind(b.caption + "\n" + *c.choice + "\n\n", 0), 0u) << b.text;
      EXPECT_NE(b.text.find(c.texts[i].second), std::string::npos) << b.text;
    }
  }
  EXPECT_EQ(dir.files(),
            (std::vector<std::string>{"bad.dhv", "garden.dhv", "garden.shv", "garden001.shv",
                                      "garden002.shv", "garden003.shv", "one.dhv", "one.shv",
                                      "opaque.dhv", "opaque001.shv", "opaque002.shv", "wide.dhv",
                                      "wide001.shv", "wide002.shv"}));
}

// Every kind of design goes the way its kind asks, and the boxes say what was
// written and what changed.
TEST(DialogFlow, EveryKindOfDesignGoesItsOwnWay) {
  test::ScopedTempDir dir;
  const std::string rose = dir.file("rose.dst"), wide = dir.file("wide.dst");
  write_design(rose, "dst", 300, 200);
  write_design(wide, "dst", 2225, 514);  // fits no hoop as it lies, turned it does
  test::write_bytes(dir.file("rose.dhv"), DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  const std::string star = dir.file("star.shv");
  test::write_bytes(star, test::rose_shv());
  std::filesystem::create_directories(dir.path() / "mixed");
  std::filesystem::create_directories(dir.path() / "locked");
  std::filesystem::create_directories(dir.path() / "elsewhere");
  const std::string mixed = dir.file("mixed"), locked = dir.file("locked");
  const std::string elsewhere = dir.file("elsewhere");
  write_design(mixed + "/a.dst", "dst", 300, 200);
  write_design(mixed + "/a.exp", "exp", 300, 200);  // the same SHV name: must not replace a.shv
  test::write_bytes(mixed + "/a.dhv", DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  test::write_bytes(mixed + "/b.dhv", DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  test::write_bytes(mixed + "/c.shv", test::rose_shv());
  test::write_bytes(mixed + "/notes.txt", {'x'});
  write_design(locked + "/one.dst", "dst", 300, 200);
  write_design(locked + "/two.dst", "dst", 300, 200);
  std::vector<std::string> formats;
  const auto types = save_file_types(&formats);
  const std::size_t dst_type =
      static_cast<std::size_t>(std::find(formats.begin(), formats.end(), "dst") - formats.begin());

  struct Case {
    const char* name;
    std::vector<std::string> args;
    bool yes;
    std::optional<SaveAnswer> save;
    std::optional<std::string> folder;
    int code;
    std::vector<std::string> shown;
    std::vector<std::string> box_says;  // in the boxes' texts, in order
    std::vector<std::string> files;     // there afterwards
    bool needs_lock = false;
  };
  const Case cases[] = {
      {"DesignConvertsToShv", {rose}, false, std::nullopt, std::nullopt, 0,
       {"show converted " + rose},
       {"rose.shv", "Read back after writing: it holds the design."},
       {dir.file("rose.shv")}},
      {"ShvAsksAndGoesToTheChosenType", {star}, true,
       SaveAnswer{dir.file("star.dst"), dst_type}, std::nullopt, 0,
       {"ask opened " + star, "save", "show converted " + star},
       {"colours: ", "Convert it to another format?", "star.dst"},
       {dir.file("star.dst")}},
      {"ShvNotConvertedOnNo", {star}, false, std::nullopt, std::nullopt, 0, {"ask opened " + star}, {}, {}},
      {"TooLargeTurnsOnYes", {wide}, true, std::nullopt, std::nullopt, 0,
       {"ask found " + wide, "show converted " + wide},
       {"222.5 x 51.4 mm", "fits the 150 x 240 mm hoop", "Turn it to fit?", "turned by 90"},
       {dir.file("wide.shv")}},
      {"MixedFolderGivesOneSummary", {mixed}, false, std::nullopt, std::nullopt, 1,
       {"ask created " + mixed + kSeparator + "a.dhv", "ask created " + mixed + kSeparator + "b.dhv",
        "show finished 2 files converted, 2 NOT converted, 1 left as it is"},
       {"a.dhv: split into 1 design", "a.dst: NOT converted: a.shv was written from another design",
        "a.exp: NOT converted", "b.dhv: split into 1 design", "c.shv: left as it is"},
       {mixed + "/a.shv", mixed + "/b.shv"}},
      {"ContainerAfterADesignOfItsName", {rose, dir.file("rose.dhv")}, true, std::nullopt,
       std::nullopt, 1,
       {"show finished 1 file converted, 1 NOT converted"},
       {"rose.dst: wrote rose.shv", "rose.dhv: NOT split: rose.shv was written"},
       {dir.file("rose.shv")}},
      {"LockedFolderOffersAnotherAndKeepsIt", {locked + "/one.dst", locked + "/two.dst"}, true,
       std::nullopt, elsewhere, 0,
       {"ask cannot " + locked + kSeparator, "folder", "show finished 2 files converted"},
       {"korvane cannot write one.shv there", "one.dst: wrote one.shv", "two.dst: wrote two.shv"},
       {elsewhere + "/one.shv", elsewhere + "/two.shv"},
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<LockedFolder> lock;
    if (c.needs_lock) {
      lock.emplace(locked);
      if (!lock->locked()) {
        std::cout << "skipped " << c.name << ": cannot make a folder unwritable here\n";
        continue;
      }
    }
    std::vector<std::string> args{"--dialogs=terminal"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Script script;
    script.save = c.save;
    script.folder = c.folder;
    const Outcome r = run_with(args, std::nullopt, c.yes, script);
    EXPECT_EQ(r.code, c.code) << r.err;
    // The save dialog offers every type written, DST first, named and placed as the design.
    for (const auto& q : r.requests) {
      EXPECT_EQ(q.types.size(), types.size());
      EXPECT_EQ(q.type, dst_type);
      EXPECT_EQ(q.name, "star");
      EXPECT_EQ(q.folder, dir.path().string() + kSeparator);
    }
    EXPECT_EQ(r.shown, c.shown) << r.err;
    std::string said;
    for (const auto& b : FakeDialogs::boxes) said += b.text + "\n";
    std::size_t at = 0;
    for (const auto& s : c.box_says) {
      const auto found = said.find(s, at);
      EXPECT_NE(found, std::string::npos) << s << " not in\n" << said;
      if (found != std::string::npos) at = found;
    }
    for (const auto& f : c.files) {
      EXPECT_TRUE(std::filesystem::is_regular_file(f)) << f;
      if (f.ends_with(".dst") || f.ends_with(".shv")) {
        const auto info = survey_file(f);
        ASSERT_TRUE(info) << info.error().message();
        EXPECT_EQ(info->kind, f.ends_with(".shv") ? FileKind::kDesign : FileKind::kPattern) << f;
      }
    }
  }
  EXPECT_FALSE(std::filesystem::exists(mixed + "/notes.shv"));
}

// Explorer starts korvane with a console of its own, which is released at
// once: files given the classic way must reach the dialogs, or nobody sees
// what happened. From a console, or with options typed, nothing changes.
TEST(StartFromExplorer, ClassicFilesGoToTheDialogsOnlyWithoutAConsole) {
  using Args = std::vector<std::string>;
  const struct {
    const char* name;
    Args args;
    bool own_console;
    Args expected;
  } kCases[] = {
      {"DroppedFile", {"C:\\d\\garden.dhv"}, true, {"--dialogs", "--", "C:\\d\\garden.dhv"}},
      {"SeveralDropped", {"a.dhv", "b.dhv"}, true, {"--dialogs", "--", "a.dhv", "b.dhv"}},
      {"LaterDashNameStaysAName",
       {"a.dhv", "-b.dhv"},
       true,
       {"--dialogs", "--", "a.dhv", "-b.dhv"}},
      {"EmptyNameStillShownInABox", {"", "a.dhv"}, true, {"--dialogs", "--", "", "a.dhv"}},
      {"DoubleClickedAlone", {}, true, {}},
      {"OptionsFromAShortcut", {"--info", "a.dhv"}, true, {"--info", "a.dhv"}},
      {"DialogsAlready", {"--dialogs", "a.dhv"}, true, {"--dialogs", "a.dhv"}},
      {"FromCmd", {"a.dhv", "b.dhv"}, false, {"a.dhv", "b.dhv"}},
      {"FromCmdWithOptions", {"--split", "a.dhv"}, false, {"--split", "a.dhv"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(arguments_for_start(c.args, c.own_console), c.expected);
  }

  // The whole way: dropped containers are split and the boxes say so, with
  // no open dialog and no banner.
  test::ScopedTempDir dir;
  const std::string one = dir.file("one.dhv");
  const std::string bad = dir.file("bad.dhv");
  test::write_bytes(one, DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  test::write_bytes(bad, Bytes(50, 0));
  const Outcome r = run_with(arguments_for_start({one, bad}, true), std::nullopt, false);
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_EQ(r.shown, (std::vector<std::string>{"ask created " + one, "show failed " + bad}));
  EXPECT_EQ(r.out.find("KORVANE conversion utility"), std::string::npos) << r.out;
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"bad.dhv", "one.dhv", "one.shv"}));
}

TEST(DialogFlow, GivenFilesSkipTheOpenDialogAndAFailedCombineKeepsTheSplit) {
  test::ScopedTempDir dir;
  const std::string garden = dir.file("garden.dhv");
  test::write_bytes(garden,
                    test::read_bytes(std::string(KORVANE_SOURCE_DIR) + "/examples/garden.dhv"));
  // A folder where the combined design belongs: the split succeeds, the combine cannot write.
  std::filesystem::create_directory(dir.file("garden.shv"));
  const Outcome r =
      run_with({"--dialogs=terminal", garden, dir.file("missing.dhv")}, std::nullopt, true);
  EXPECT_EQ(r.code, 1);
  const std::vector<std::string> shown = {"ask created " + garden, "show uncombined " + garden,
                                          "show failed " + dir.file("missing.dhv")};
  EXPECT_EQ(r.shown, shown);
  ASSERT_EQ(FakeDialogs::boxes.size(), 3u);
  const std::string& failed = FakeDialogs::boxes[1].text;
  EXPECT_NE(failed.find("Combining failed:\n"), std::string::npos) << failed;
  EXPECT_NE(failed.find("The split designs were written all the same.\nWritten in " +
                        dir.path().string() + kSeparator + ":\n3 designs: garden001.shv"),
            std::string::npos)
      << failed;
  EXPECT_EQ(FakeDialogs::boxes[1].icon, BoxIcon::kWarning);
  EXPECT_NE(FakeDialogs::boxes[2].text.find("cannot open the file"), std::string::npos);
  // No banner in options mode.
  EXPECT_EQ(r.out.find("KORVANE conversion utility"), std::string::npos);
}

TEST(CommandLine, ConvertsEveryFileGivenAndNeverAsks) {
  test::ScopedTempDir dir;
  const std::string two = dir.file("two.dhv");
  const std::string missing = dir.file("missing.dhv");
  test::write_bytes(
      two, DhvBuilder{}.add(test::opaque_design(30, 1)).add(test::opaque_design(9, 2)).bytes());
  const Outcome both = run_with({missing, two}, std::nullopt, true);
  EXPECT_EQ(both.code, 1);
  EXPECT_TRUE(both.shown.empty());
  EXPECT_EQ(both.out, banner() + missing + ": korvane aborted with error #-1\n" + two + ": wrote " +
                          dir.file("two001.shv") + ", " + dir.file("two002.shv") +
                          "\n1 file converted, 1 failed\n");
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"two.dhv", "two001.shv", "two002.shv"}));

  // One file alone keeps the bare error line.
  const Outcome alone = run_with({missing}, std::nullopt, true);
  EXPECT_EQ(alone.code, 1);
  EXPECT_EQ(alone.out, banner() + "korvane aborted with error #-1\n");
  EXPECT_EQ(alone.err,
            "korvane: " + missing + ": cannot open the file: No such file or directory\n");
}

TEST(Options, ReadsCommandsAndRefusesMistakes) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    Command command;
  };
  const Case cases[] = {
      {{"--help"}, true, Command::kHelp},
      {{"--combine", "a.dhv", "-o", "x.shv"}, true, Command::kCombine},
      {{"--split", "a.dhv", "b.dhv"}, true, Command::kSplit},
      {{"--huc", "a.huc"}, true, Command::kHuc},
      {{"--dialogs=terminal"}, true, Command::kDialogs},
      {{"--dialogs=qt"}, false, Command::kHelp},
      {{"--combine"}, false, Command::kHelp},
      {{"--split", "a", "b", "-o", "x"}, false, Command::kHelp},
      {{"--frobnicate", "a"}, false, Command::kHelp},
      {{"--split", "a", "--combine", "b"}, false, Command::kHelp},
      {{"-o"}, false, Command::kHelp},
      {{"--dialogs=gtk", "a.dhv"}, true, Command::kDialogs},
      {{"--dialogs=gtk", "-O", "d"}, false, Command::kHelp},
      {{"-o", "x", "-O", "d", "a"}, false, Command::kHelp},
      {{"--output-dir"}, false, Command::kHelp},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args[0] + (c.args.size() > 1 ? " " + c.args[1] : ""));
    std::string problem;
    const auto o = parse_options(c.args, problem);
    ASSERT_EQ(o.has_value(), c.ok) << problem;
    if (o)
      EXPECT_EQ(o->command, c.command);
    else
      EXPECT_FALSE(problem.empty());
  }

  // Each GNU spelling of a value, and "--" before names that look like options.
  struct Spelling {
    std::vector<std::string> args;
    std::optional<std::string> output, output_dir;
    std::vector<std::string> files;
  };
  const Spelling spellings[] = {
      {{"--output=x.shv", "a"}, "x.shv", {}, {"a"}},
      {{"-ox.shv", "a"}, "x.shv", {}, {"a"}},
      {{"a", "--output", "x.shv"}, "x.shv", {}, {"a"}},
      {{"-Oout", "a", "b"}, {}, "out", {"a", "b"}},
      {{"--output-dir=out", "a"}, {}, "out", {"a"}},
      {{"--output-dir", "o d", "-q", "-r", "a"}, {}, "o d", {"a"}},
      {{"-O", "-x", "--", "-a", "--output=b"}, {}, "-x", {"-a", "--output=b"}},
  };
  for (const auto& c : spellings) {
    SCOPED_TRACE(c.args[0]);
    std::string problem;
    const auto o = parse_options(c.args, problem);
    ASSERT_TRUE(o) << problem;
    EXPECT_EQ(o->output, c.output);
    EXPECT_EQ(o->output_dir, c.output_dir);
    EXPECT_EQ(o->files, c.files);
  }
}

// What reaches the drawing must be a sane width, scale and colour, and only
// where a picture is drawn.
TEST(Options, PictureAndWorksheetOptionsAreCheckedAndOnlyWhereTheyApply) {
  struct Case {
    std::vector<std::string> args;
    bool ok;
    double width_mm, px_per_mm;
    bool lines, transparent;
    unsigned char r;
  };
  const Case cases[] = {
      {{"--preview", "a"}, true, 0.4, 10, false, false, 0xFF},
      {{"--preview", "--style=lines", "--scale", "4.5", "a"}, true, 0.4, 4.5, true, false, 0xFF},
      {{"--preview", "--thread-weight", "60", "--fabric=#102030", "a"}, true, 0.33, 10, false, false, 0x10},
      {{"--worksheet", "--thread-width=0.5", "--fabric", "none", "--speed", "700", "a"}, true, 0.5, 10, false, true, 0xFF},
      {{"--preview", "--thread-weight", "50", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--scale", "0", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--scale", "nan", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--thread-width", "9", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--fabric", "purple", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--style", "fancy", "a"}, false, 0, 0, false, false, 0},
      {{"--worksheet", "--style", "lines", "a"}, false, 0, 0, false, false, 0},
      {{"--info", "--scale", "10", "a"}, false, 0, 0, false, false, 0},
      {{"--preview", "--speed", "400", "a"}, false, 0, 0, false, false, 0},
      {{"--worksheet", "--take-up", "0.5", "a"}, false, 0, 0, false, false, 0},
  };
  for (const auto& c : cases) {
    std::string trace;
    for (const auto& a : c.args) trace.append(a).append(" ");
    SCOPED_TRACE(trace);
    std::string problem;
    const auto o = parse_options(c.args, problem);
    ASSERT_EQ(o.has_value(), c.ok) << problem;
    if (!o) continue;
    EXPECT_DOUBLE_EQ(o->picture.thread_width_mm, c.width_mm);
    EXPECT_DOUBLE_EQ(o->picture.pixels_per_mm, c.px_per_mm);
    EXPECT_EQ(o->picture.lines, c.lines);
    EXPECT_EQ(o->picture.transparent, c.transparent);
    EXPECT_EQ(o->picture.fabric_r, c.r);
  }
}

TEST(TerminalDialogs, TakesPathsAsAShellWritesThemAndAsksUntilYesOrNo) {
  test::ScopedTempDir dir;
  const std::string real = dir.file("g.dhv");
  const std::string spaced = dir.file("my garden.dhv");
  test::write_bytes(real, {1});
  test::write_bytes(spaced, {1});
  const Box question{"KORVANE created design(s) from:",
                     "KORVANE created design(s) from:\n" + real + "\n\nNeed to combine?"};
  struct Case {
    const char* name;
    std::string typed;
    std::vector<std::string> chosen;
  };
  const Case cases[] = {
      {"MissingThenFolderThenFile",
       dir.file("nope.dhv") + "\n" + dir.path().string() + "\n" + real + "\n",
       {real}},
      {"SingleQuoted", "'" + spaced + "' \n", {spaced}},
      {"DoubleQuotedPair", "\"" + real + "\" \"" + spaced + "\"\n", {real, spaced}},
#ifndef _WIN32
      {"Escaped", dir.path().string() + "/my\\ garden.dhv\r\n", {spaced}},
#endif
      {"BlanksAsTyped", spaced + "\n", {spaced}},
      {"Cancel", "\n", {}},
      {"EndOfInput", "", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::istringstream in(c.typed);
    std::ostringstream out;
    EXPECT_EQ(make_terminal_dialogs(in, out)->open_files({}), c.chosen);
    EXPECT_EQ(out.str().rfind("Select designs to convert\n", 0), 0u);
  }
  // "~" is the home folder, as in a shell.
  const char* home = std::getenv("HOME");
  if (home != nullptr && std::filesystem::path(real).string().rfind(home, 0) == 0) {
    std::istringstream in("~" + real.substr(std::string(home).size()) + "\n");
    std::ostringstream out;
    EXPECT_EQ(make_terminal_dialogs(in, out)->open_files({}), std::vector<std::string>{real});
  }

  // The save prompt: a number picks the type, a bare name goes beside the
  // design, and the type's extension is added where the name lacks it.
  const SaveRequest request{"Convert the design to", dir.path().string(), "star",
                            {{"SHV designs", {"shv"}}, {"DST designs", {"dst"}}}, 1};
  const std::string beside = dir.path().string() + kSeparator;
  const struct {
    const char* typed;
    std::optional<std::string> path;
    std::size_t type;
  } saves[] = {
      {"\n\n", beside + "star.dst", 1},
      {"1\nmine\n", beside + "mine.shv", 0},
      {"7\n2\nmine.DST\n", beside + "mine.DST", 1},
      {"0\n", std::nullopt, 0},
      {"\n-\n", std::nullopt, 0},
      {"", std::nullopt, 0},
  };
  for (const auto& c : saves) {
    SCOPED_TRACE(c.typed);
    std::istringstream in(c.typed);
    std::ostringstream out;
    const auto answer = make_terminal_dialogs(in, out)->save_file(request);
    ASSERT_EQ(answer.has_value(), c.path.has_value()) << out.str();
    if (answer) {
      EXPECT_EQ(answer->path, *c.path);
      EXPECT_EQ(answer->type, c.type);
    }
  }

  for (const auto& [answer, yes] :
       {std::pair{"yes\n", true}, std::pair{" Y \n", true}, std::pair{"no\n", false},
        std::pair{"maybe\n\nYES\n", true}, std::pair{"maybe\n", false}}) {
    std::istringstream a(answer);
    std::ostringstream shown;
    EXPECT_EQ(make_terminal_dialogs(a, shown)->ask(question), yes) << answer;
    EXPECT_EQ(shown.str().rfind(question.text + " [yes/no] ", 0), 0u);
    EXPECT_EQ(shown.str().find("Please answer yes or no") != std::string::npos,
              std::string(answer).rfind("maybe", 0) == 0);
  }
}

// A file written from the command line goes to the disk as it is made;
// gathered whole, a document of millions of stitches took many times the
// design's memory. Standard output cannot be taken back: it is gathered and
// checked before anything goes out.
TEST(StandardStreams, FilesAreStreamedAndStandardOutputIsCheckedFirst) {
  struct Disk final : convert::FileSystem {
    int streamed = 0;
    Result<std::vector<std::uint8_t>> read_whole(const std::string& p) override {
      return make_error(ErrorCode::kCannotOpen, p, "No such file");
    }
    Status replace(const std::string&, std::span<const std::uint8_t>, bool) override {
      return Ok{};
    }
    Status replace_streamed(const std::string&, const convert::Producer&,
                            const convert::ReadBackCheck&, bool) override {
      ++streamed;
      return Ok{};
    }
    convert::FileIdentity identify(const std::string&) override { return {}; }
    Status sync_written() override { return Ok{}; }
  };
  const struct {
    std::string path;
    bool check_passes;
    int streamed;
    std::string out;
  } cases[] = {
      {"out.json", true, 1, ""}, {kStandardOutput, true, 0, "{}"}, {kStandardOutput, false, 0, ""}};
  for (const auto& c : cases) {
    Disk disk;
    std::istringstream in;
    std::ostringstream out;
    StandardStreams fs(disk, in, out, c.path == kStandardOutput);
    const auto st = fs.replace_streamed(
        c.path,
        [](convert::ByteSink& sink) {
          sink.put(std::vector<std::uint8_t>{'{', '}'});
          return Status(Ok{});
        },
        [&](std::span<const std::uint8_t>) {
          return c.check_passes ? Status(Ok{}) : make_error(ErrorCode::kInternal, "x", "wrong");
        });
    EXPECT_EQ(bool(st), c.check_passes) << c.path;
    EXPECT_EQ(disk.streamed, c.streamed) << c.path;
    EXPECT_EQ(out.str(), c.out) << c.path;
  }
}

}  // namespace
}  // namespace kvn::frontend
