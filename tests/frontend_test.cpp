#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "frontend/app.hpp"
#include "frontend/options.hpp"
#include "support/builders.hpp"
#include "support/temp_dir.hpp"

namespace kvn::frontend {
namespace {

using test::Bytes;
using test::DhvBuilder;

// What the user will answer, and what the user saw, in order.
struct Script {
  std::optional<std::string> choice;
  bool answer = false;
  std::vector<std::string> shown;
};

class FakeDialogs final : public Dialogs {
 public:
  explicit FakeDialogs(Script& s) : s_(s) {}
  std::optional<std::string> open_file() override {
    s_.shown.push_back("open");
    return s_.choice;
  }
  void show_failure(const std::string& path) override { s_.shown.push_back("failed " + path); }
  bool ask_combine(const std::string& path) override {
    s_.shown.push_back("ask " + path);
    return s_.answer;
  }

 private:
  Script& s_;
};

struct Outcome {
  int code;
  std::string out, err;
  std::vector<std::string> shown;
};

Outcome run_with(const std::vector<std::string>& args, std::optional<std::string> choice,
                 bool answer) {
  std::ostringstream out, err;
  Script script{std::move(choice), answer, {}};
  const int code =
      run(args, out, err, [&](DialogChoice) { return std::make_unique<FakeDialogs>(script); });
  return {code, out.str(), err.str(), script.shown};
}

std::string banner() {
  std::ostringstream b;
  print_banner(b);
  return b.str();
}

TEST(DialogFlow, FollowsTheUsersAnswers) {
  test::ScopedTempDir dir;
  const std::string one = dir.file("one.dhv");
  const std::string two = dir.file("two.dhv");
  const std::string bad = dir.file("bad.dhv");
  test::write_bytes(one, DhvBuilder{}.add(test::opaque_design(30, 1)).bytes());
  test::write_bytes(
      two, DhvBuilder{}.add(test::opaque_design(30, 1)).add(test::opaque_design(9, 2)).bytes());
  test::write_bytes(bad, Bytes(50, 0));
  struct Case {
    const char* name;
    std::optional<std::string> choice;
    bool yes;
    int code;
    std::vector<std::string> shown;
    const char* error_line;
  };
  const Case cases[] = {
      {"Cancel", std::nullopt, false, 0, {"open"}, ""},
      {"SplitFails", bad, true, 1, {"open", "failed " + bad}, "korvane aborted with error #-1\n"},
      {"No", two, false, 0, {"open", "ask " + two}, ""},
      {"YesOnOneDesign", one, true, 0, {"open", "ask " + one}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = run_with({}, c.choice, c.yes);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.shown, c.shown);
    EXPECT_EQ(r.out, banner() + c.error_line);
  }
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"bad.dhv", "one.dhv", "one.shv", "two.dhv",
                                                   "two001.shv", "two002.shv"}));
}

TEST(DialogFlow, YesCombinesTheSameContainerAndAFailedCombineIsShown) {
  test::ScopedTempDir dir;
  const std::string garden = dir.file("garden.dhv");
  test::write_bytes(garden,
                    test::read_bytes(std::string(KORVANE_SOURCE_DIR) + "/examples/garden.dhv"));
  const Outcome yes = run_with({}, garden, true);
  EXPECT_EQ(yes.code, 0) << yes.err;
  EXPECT_EQ(yes.shown, (std::vector<std::string>{"open", "ask " + garden}));
  EXPECT_EQ(yes.out, banner());
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"garden.dhv", "garden.shv", "garden001.shv",
                                                   "garden002.shv", "garden003.shv"}));

  // Opaque designs split fine but cannot be combined: the user is told, as for a failed split.
  const std::string opaque = dir.file("opaque.dhv");
  test::write_bytes(
      opaque, DhvBuilder{}.add(test::opaque_design(30, 1)).add(test::opaque_design(9, 2)).bytes());
  const Outcome failed = run_with({}, opaque, true);
  EXPECT_EQ(failed.code, 1);
  EXPECT_EQ(failed.shown, (std::vector<std::string>{"open", "ask " + opaque, "failed " + opaque}));
  EXPECT_EQ(failed.out, banner() + "korvane aborted with error #-1\n");
  EXPECT_NE(failed.err.find("opaque.dhv"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir.file("opaque.shv")));
}

TEST(CommandLine, SplitsOnlyTheFirstArgumentAndNeverAsks) {
  test::ScopedTempDir dir;
  const std::string two = dir.file("two.dhv");
  test::write_bytes(
      two, DhvBuilder{}.add(test::opaque_design(30, 1)).add(test::opaque_design(9, 2)).bytes());
  const Outcome ok = run_with({two, dir.file("missing.dhv"), "--help"}, std::nullopt, true);
  EXPECT_EQ(ok.code, 0);
  EXPECT_TRUE(ok.shown.empty());
  EXPECT_EQ(ok.out, banner());
  EXPECT_EQ(dir.files(), (std::vector<std::string>{"two.dhv", "two001.shv", "two002.shv"}));

  const Outcome missing = run_with({dir.file("missing.dhv"), two}, std::nullopt, true);
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.out, banner() + "korvane aborted with error #-1\n");
  EXPECT_EQ(missing.err, "korvane: " + dir.file("missing.dhv") +
                             ": cannot open the file: No such file or directory\n");
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
}

TEST(TerminalDialogs, AsksAgainForAMissingFileAndReadsOnlyYesAsYes) {
  test::ScopedTempDir dir;
  const std::string real = dir.file("g.dhv");
  test::write_bytes(real, {1});
  std::istringstream in(dir.file("nope.dhv") + "\n" + dir.path().string() + "\n" + real +
                        "\nmaybe\n");
  std::ostringstream out;
  auto d = make_terminal_dialogs(in, out);
  EXPECT_EQ(d->open_file(), real);
  EXPECT_FALSE(d->ask_combine(real));  // "maybe"
  EXPECT_FALSE(d->ask_combine(real));  // end of input
  const std::string shown = out.str();
  EXPECT_EQ(shown.rfind("Select DHV file to convert\nViking, Husqvarna (*.DHV)\n", 0), 0u);
  EXPECT_NE(shown.find("KORVANE created design(s) from:\n" + real + "\n\nNeed to combine?"),
            std::string::npos);

  for (const auto& [answer, yes] : {std::pair{"yes\n", true}, std::pair{" Y \n", true},
                                    std::pair{"no\n", false}, std::pair{"\n", false}}) {
    std::istringstream a(answer);
    EXPECT_EQ(make_terminal_dialogs(a, out)->ask_combine(real), yes) << answer;
  }
  std::istringstream cancel("\n");
  EXPECT_EQ(make_terminal_dialogs(cancel, out)->open_file(), std::nullopt);
  std::istringstream eof("");
  EXPECT_EQ(make_terminal_dialogs(eof, out)->open_file(), std::nullopt);
}

}  // namespace
}  // namespace kvn::frontend
