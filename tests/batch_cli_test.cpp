// Batches, --info and --preview through the built program, as a user runs them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "frontend/progress.hpp"
#include "support/builders.hpp"
#include "support/sample_designs.hpp"

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <map>

#include "support/mini_json.hpp"
#include "support/png_decode.hpp"
#include "support/run_korvane.hpp"
#include "support/temp_dir.hpp"
#endif

namespace kvn::test {
namespace {

TEST(Progress, ShowsOnlyForBatchesOfMoreThanTwentyFiles) {
  std::ostringstream small;
  {
    frontend::Progress p(small, frontend::kProgressAbove, true);
    p.show(1, "a.dhv");
  }
  EXPECT_EQ(small.str(), "");

  std::ostringstream off;
  {
    frontend::Progress p(off, 100, false);
    p.show(1, "a.dhv");
  }
  EXPECT_EQ(off.str(), "");

  std::ostringstream big;
  frontend::Progress p(big, 21, true);
  p.show(9, "long-name.dhv");
  p.show(10, "b.dhv");
  const std::string first = "\rkorvane: file 9 of 21: long-name.dhv";
  const std::string second = "korvane: file 10 of 21: b.dhv";
  // A shorter line blanks what is left of the longer one.
  EXPECT_EQ(big.str(), first + "\r" + second + std::string(first.size() - 1 - second.size(), ' ') +
                           "\r" + second);
  big.str("");
  p.clear();
  EXPECT_EQ(big.str(), "\r" + std::string(second.size(), ' ') + "\r");
  big.str("");
  p.clear();
  EXPECT_EQ(big.str(), "");
}

#ifndef _WIN32

class Batch : public testing::Test {
 protected:
  void SetUp() override {
    write_bytes(dir_.file("rose.shv"), rose_shv());
    write_bytes(dir_.file("garden.dhv"), DhvBuilder{}
                                             .name("garden")
                                             .add(rose_shv(), 100, -50)
                                             .add(one_stitch_shv(0, 10, 0))
                                             .bytes());
    write_bytes(dir_.file("bad.dhv"), noise(200, 9));
  }
  std::vector<std::string> files() const {
    std::vector<std::string> out;
    for (const auto& f : dir_.files())
      if (f[0] != '.') out.push_back(f);
    return out;
  }
  const std::vector<std::string> inputs_ = {"bad.dhv", "garden.dhv", "rose.shv"};
  ScopedTempDir dir_;
};

TEST_F(Batch, EachFileRunsAndOneFailureMakesTheExitCodeOne) {
  struct Case {
    const char* args;
    int code;
    std::vector<const char*> out_has;
    const char* err_has;
    std::vector<std::string> written;
  };
  const Case cases[] = {
      {"--info rose.shv bad.dhv garden.dhv",
       1,
       {"rose.shv: SHV design \"rose\", ", "garden.dhv: DHV container \"garden\", 2 designs, "},
       "korvane: bad.dhv: not a file korvane knows",
       {}},
      {"--info rose.shv garden.dhv", 0, {"  1  rose  39.2 x 40.0  100 x 100  0x30"}, "", {}},
      {"--combine garden.dhv bad.dhv",
       1,
       {"garden.dhv: wrote garden.shv\n", "korvane aborted with error #-1\n"},
       "korvane: bad.dhv: ",
       {"garden.shv"}},
      // Options mode without a command splits.
      {"-- bad.dhv garden.dhv",
       1,
       {"garden.dhv: wrote garden001.shv, garden002.shv\n"},
       "korvane: bad.dhv: ",
       {"garden001.shv", "garden002.shv"}},
      {"--info --json rose.shv", 0, {"\"files\""}, "", {}},
      {"--json --preview rose.shv", 2, {}, "--json goes with --info", {}},
      {"--info -o x rose.shv", 2, {}, "takes no -o", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Ran r = run_in(dir_, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    for (const char* s : c.out_has) EXPECT_THAT(r.out, testing::HasSubstr(s));
    EXPECT_THAT(r.err, testing::HasSubstr(c.err_has));
    std::vector<std::string> expected = c.written;
    expected.insert(expected.end(), inputs_.begin(), inputs_.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(files(), expected);
    for (const auto& f : c.written) std::remove(dir_.file(f).c_str());
  }
}

TEST_F(Batch, InfoPrintsNoBannerSoItsOutputCanBeRead) {
  const Ran table = run_in(dir_, "--info rose.shv");
  EXPECT_THAT(table.out, testing::StartsWith("rose.shv: SHV design"));
  const Ran json = run_in(dir_, "--info --json garden.dhv bad.dhv rose.shv");
  EXPECT_EQ(json.code, 1);
  const auto doc = parse_json(json.out);
  ASSERT_TRUE(doc.has_value()) << json.out;
  const auto& files = (*doc)["files"];
  ASSERT_EQ(files.items.size(), 3u);
  EXPECT_EQ(files[0]["designs"][0]["placement_mm"]["y"].text, "-5.0");
  EXPECT_FALSE(files[1]["ok"].boolean);
  EXPECT_THAT(files[1]["error"].text, testing::StartsWith("bad.dhv: not a file korvane knows"));
  EXPECT_EQ(files[2]["kind"].text, "design");
  EXPECT_EQ(files[2]["designs"][0]["stitch_words"].integer(), 8);
  // The failure is told on standard error as well, as everywhere else.
  EXPECT_THAT(json.err, testing::StartsWith("korvane: bad.dhv: not a file korvane knows"));
}

TEST_F(Batch, PreviewWritesDecodablePicturesIntoTheDirectory) {
  std::filesystem::create_directory(dir_.path() / "pics");
  const Ran r = run_in(dir_, "--preview garden.dhv bad.dhv rose.shv -o pics");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_THAT(
      r.out,
      testing::HasSubstr(
          "garden.dhv: wrote pics/garden-preview-001.png, pics/garden-stitches-001.png, "
          "pics/garden-preview-002.png, pics/garden-stitches-002.png, pics/garden-layout.png\n"));
  EXPECT_THAT(
      r.out, testing::HasSubstr("rose.shv: wrote pics/rose-preview.png, pics/rose-stitches.png\n"));
  EXPECT_THAT(r.err, testing::HasSubstr("korvane: bad.dhv: "));
  EXPECT_EQ(files(), inputs_);  // nothing beside the inputs
#ifdef KORVANE_HAVE_PNG
  const auto preview = decode_png(read_bytes(dir_.file("pics/rose-preview.png")));
  ASSERT_TRUE(preview.has_value());
  // rose's stored preview is 40 x 40, scaled by 12 to fit 512.
  EXPECT_EQ(preview->width, 480u);
  EXPECT_EQ(preview->height, 480u);
  for (const char* f : {"pics/garden-layout.png", "pics/garden-stitches-002.png"})
    EXPECT_TRUE(decode_png(read_bytes(dir_.file(f))).has_value()) << f;
#endif
}

// As Windows passes the files dropped on the program: every argument is a file.
TEST_F(Batch, APlainFirstArgumentMakesEveryArgumentAContainer) {
  const Ran r = run_in(dir_, "garden.dhv --info");
  EXPECT_EQ(r.code, 1) << r.err;
  EXPECT_THAT(r.out, testing::Not(testing::HasSubstr("DHV container")));
  EXPECT_THAT(r.out, testing::HasSubstr("\ngarden.dhv: wrote garden001.shv, garden002.shv\n"
                                        "--info: korvane aborted with error #-1\n"
                                        "1 file converted, 1 failed\n"));
  EXPECT_EQ(r.err, "korvane: --info: cannot open the file: No such file or directory\n");
  EXPECT_EQ(files(), (std::vector<std::string>{"bad.dhv", "garden.dhv", "garden001.shv",
                                               "garden002.shv", "rose.shv"}));
}

// Folders, --output-dir, quiet runs and collisions, each from a fresh folder:
// designs/ holds a.dhv and b.DHV (two designs each), designs/sub/c.dhv,
// designs/bad.dhv and -dash.dhv; other/a.dhv shares a's name.
TEST(Batches, FoldersOutputDirsAndCollisions) {
  struct Case {
    const char* args;
    int code;
    std::vector<std::string> out_lines;  // standard output, line by line
    const char* err_has;
    std::vector<std::string> made;  // files beyond the inputs, sorted
  };
  const std::vector<std::string> ab = {"out/a001.shv", "out/a002.shv", "out/b001.shv",
                                       "out/b002.shv"};
  const Case cases[] = {
      {"-O out designs",
       1,
       {"designs/a.dhv: wrote out/a001.shv, out/a002.shv",
        "designs/b.DHV: wrote out/b001.shv, out/b002.shv",
        "designs/bad.dhv: korvane aborted with error #-1", "2 files converted, 1 failed"},
       "korvane: designs/bad.dhv: ",
       ab},
      {"--recursive --output-dir=out designs/sub",
       0,
       {"designs/sub/c.dhv: wrote out/c001.shv, out/c002.shv"},
       "",
       {"out/c001.shv", "out/c002.shv"}},
      {"-q -Onew/deeper designs/a.dhv designs/b.DHV",
       0,
       {},
       "",
       {"new/deeper/a001.shv", "new/deeper/a002.shv", "new/deeper/b001.shv",
        "new/deeper/b002.shv"}},
      {"-q designs/a.dhv designs/bad.dhv",
       1,
       {"designs/bad.dhv: korvane aborted with error #-1", "1 file converted, 1 failed"},
       "designs/bad.dhv",
       {"designs/a001.shv", "designs/a002.shv"}},
      // Two inputs of one name would write one file twice: nothing is written.
      {"-O out designs/a.dhv other/a.dhv",
       1,
       {"korvane aborted with error #-1"},
       "out/a001.shv",
       {"out"}},
      {"empty",
       1,
       {"korvane aborted with error #-1"},
       "empty: the folder holds no DHV container",
       {}},
      {"-- -dash.dhv",
       0,
       {"-dash.dhv: wrote -dash001.shv, -dash002.shv"},
       "",
       {"-dash001.shv", "-dash002.shv"}},
      {"'' designs/a.dhv",
       1,
       {"\"\": korvane aborted with error #-1",
        "designs/a.dhv: wrote designs/a001.shv, designs/a002.shv", "1 file converted, 1 failed"},
       "korvane: the file name is empty",
       {"designs/a001.shv", "designs/a002.shv"}},
      {"-O designs/a.dhv designs/b.DHV",
       1,
       {"korvane aborted with error #-1"},
       "designs/a.dhv",
       {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    ScopedTempDir dir;
    namespace fs = std::filesystem;
    for (const char* d : {"designs/sub", "other", "empty"}) fs::create_directories(dir.path() / d);
    const auto two = DhvBuilder{}.add(rose_shv(), 100, -50).add(one_stitch_shv(0, 10, 0)).bytes();
    for (const char* f :
         {"designs/a.dhv", "designs/b.DHV", "designs/sub/c.dhv", "other/a.dhv", "-dash.dhv"})
      write_bytes(dir.file(f), two);
    write_bytes(dir.file("designs/bad.dhv"), noise(200, 9));
    std::vector<std::string> before;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
      before.push_back(fs::relative(e.path(), dir.path()).generic_string());

    const Ran r = run_in(dir, c.args);
    EXPECT_EQ(r.code, c.code) << r.err;
    std::string expected_out;
    for (const auto& line : c.out_lines) expected_out += line + "\n";
    // The banner comes first in the classic form only.
    const std::string banner_end = "korvane@korvane.invalid\n";
    const auto after_banner = r.out.find(banner_end);
    EXPECT_EQ(after_banner != std::string::npos, c.args[0] != '-');
    EXPECT_EQ(
        after_banner == std::string::npos ? r.out : r.out.substr(after_banner + banner_end.size()),
        expected_out);
    EXPECT_THAT(r.err, testing::HasSubstr(c.err_has));
    std::vector<std::string> made;
    for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
      const std::string name = fs::relative(e.path(), dir.path()).generic_string();
      if (std::find(before.begin(), before.end(), name) == before.end() && name[0] != '.' &&
          (e.is_regular_file() || fs::is_empty(e.path())))
        made.push_back(name);
    }
    std::sort(made.begin(), made.end());
    EXPECT_EQ(made, c.made);
  }
}

// Everything under `dir`: kind, and a digest of the contents or the link target.
std::map<std::string, std::string> snapshot(const ScopedTempDir& dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(dir.path())) {
    const std::string name = fs::relative(e.path(), dir.path()).string();
    if (e.is_symlink())
      out[name] = "link " + fs::read_symlink(e.path()).string();
    else if (e.is_regular_file())
      out[name] = std::to_string(std::hash<std::string>{}(slurp(e.path().string())));
    else
      out[name] = e.is_directory() ? "dir" : "other";
  }
  return out;
}

TEST(Refusals, NothingIsWrittenWhenAnyOutputOfTheRunIsRefused) {
  struct Case {
    const char* prepare;  // shell commands run in the folder first
    const char* args;
    const char* reason;  // on every line
    std::size_t lines;
  };
  const char* const kInput = "refusing to overwrite the input file";
  const char* const kTwice = "two outputs of this run would have the same name";
  const char* const kEmpty = "the output name is empty";
  const char* const kNotRegular = "not a regular file";
  const Case cases[] = {
      {"cp two.dhv one.shv", "--split one.dhv one.shv", kInput, 1},
      {"ln -s two.dhv one.shv", "--split one.dhv two.dhv", kInput, 1},
      {"ln two.dhv one.shv", "--split one.dhv two.dhv", kInput, 1},
      {"ln -s ../garden.dhv sub/g.shv", "--combine garden.dhv -o sub/g.shv", kInput, 1},
      {"", "--split garden.dhv garden.old", kTwice, 2},
      {"", "--combine garden.dhv garden.old", kTwice, 1},
      {"", "--preview a/garden.dhv b/garden.dhv -o pics", kTwice, 5},
      {"", "--split two.dhv -o ''", kEmpty, 1},
      {"", "--combine two.dhv -o ''", kEmpty, 1},
      {"", "--huc plan.huc -o ''", kEmpty, 1},
      {"", "--preview two.dhv garden.dhv -o ''", kEmpty, 2},
      {"", "--combine garden.dhv -o /dev/null", kNotRegular, 1},
      {"mkfifo f.shv", "--split one.dhv -o f.shv", kNotRegular, 1},
      {"", "--combine garden.dhv -o sub", kNotRegular, 1},
      // One refusal stops the inputs that had none as well.
      {"mkdir garden002.shv", "--split one.dhv two.dhv garden.dhv", kNotRegular, 1},
  };
  const Bytes two = DhvBuilder{}.name("two").add(rose_shv()).add(one_stitch_shv(0, 10, 0)).bytes();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    ScopedTempDir dir;
    for (const char* d : {"a", "b", "pics", "sub"})
      std::filesystem::create_directory(dir.path() / d);
    write_bytes(dir.file("one.dhv"), DhvBuilder{}.name("one").add(rose_shv()).bytes());
    for (const char* f : {"two.dhv", "garden.dhv", "garden.old", "a/garden.dhv", "b/garden.dhv"})
      write_bytes(dir.file(f), two);
    write_bytes(dir.file("plan.huc"), {1, 2, 3});
    ASSERT_EQ(
        std::system(
            ("cd '" + dir.path().string() + "' && " + (*c.prepare ? c.prepare : "true")).c_str()),
        0);
    const auto before = snapshot(dir);

    const Ran r = run_in(dir, c.args);
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_EQ(snapshot(dir), before);
    EXPECT_THAT(r.out, testing::Not(testing::HasSubstr("wrote")));
    EXPECT_THAT(r.out, testing::HasSubstr("korvane aborted with error #-1\n"));
    std::istringstream err(r.err);
    std::size_t lines = 0;
    for (std::string line; std::getline(err, line); ++lines) {
      EXPECT_THAT(line, testing::StartsWith("korvane: "));
      EXPECT_THAT(line, testing::HasSubstr(c.reason));
    }
    EXPECT_EQ(lines, c.lines) << r.err;
  }
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// What bash offers for the words typed so far (the last one being completed),
// with the completion script sourced alone, in `dir`.
std::vector<std::string> completions(const ScopedTempDir& dir,
                                     const std::vector<std::string>& words) {
  // korvane on the PATH, as when installed: --to asks it what it writes.
  std::string script = "PATH='" + std::filesystem::path(KORVANE_EXE).parent_path().string() +
                       "':$PATH\nsource '" KORVANE_SOURCE_DIR
                       "/completions/korvane.bash'\nCOMP_WORDS=(";
  for (const auto& w : words) script += " '" + w + "'";
  script += ")\nCOMP_CWORD=" + std::to_string(words.size() - 1) +
            "\n_korvane\nprintf '%s\\n' \"${COMPREPLY[@]}\" | sort\n";
  { std::ofstream(dir.file(".complete")) << script; }
  const std::string cmd = "cd '" + dir.path().string() + "' && bash .complete >.out 2>.err";
  std::system(cmd.c_str());
  std::vector<std::string> out;
  std::istringstream in(slurp(dir.file(".out")));
  for (std::string line; std::getline(in, line);)
    if (!line.empty()) out.push_back(line);
  for (const char* f : {".complete", ".out", ".err"}) std::remove(dir.file(f).c_str());
  return out;
}

TEST_F(Batch, BashCompletesOptionsAndTheFilesEachCommandReads) {
  write_bytes(dir_.file("plan.HUC"), {1});
  write_bytes(dir_.file("star.Dst"), {1});
  write_bytes(dir_.file("notes.txt"), {1});
  std::filesystem::create_directory(dir_.path() / "pics");
  using V = std::vector<std::string>;
  const std::pair<V, V> cases[] = {
      {{"korvane", "--in"}, {"--info"}},
      {{"korvane", "--p"}, {"--preview"}},
      {{"korvane", "--dialogs", "=", ""}, {"auto", "gtk", "terminal"}},
      {{"korvane", "--dialogs", "=", "t"}, {"terminal"}},
      // After the value, the files the dialogs convert.
      {{"korvane", "--dialogs", "=", "gtk", ""}, {"bad.dhv", "garden.dhv", "pics", "rose.shv"}},
      {{"korvane", "-O", ""}, {"pics"}},
      {{"korvane", "--output-dir", "=", "p"}, {"pics"}},
      // --info, --preview and --convert read designs of every format.
      {{"korvane", "--info", ""},
       {"bad.dhv", "garden.dhv", "pics", "plan.HUC", "rose.shv", "star.Dst"}},
      {{"korvane", "--split", ""}, {"bad.dhv", "garden.dhv", "pics", "rose.shv"}},
      {{"korvane", "--huc", ""}, {"pics", "plan.HUC"}},
      {{"korvane", "--convert", "x.pes", "--to", "s"}, {"sew", "shv", "svg"}},
      {{"korvane", "--preview", "garden.dhv", "-o", ""}, {"pics"}},
  };
  for (const auto& [words, offered] : cases) {
    SCOPED_TRACE(words[1] + " " + words.back());
    EXPECT_EQ(completions(dir_, words), offered);
  }
}

TEST(Shipped, ManualPageIsCleanRoff) {
  if (std::system("command -v groff >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "groff is not installed";
  ScopedTempDir dir;
  const std::string cmd = "groff -man -Tutf8 -ww -z '" KORVANE_SOURCE_DIR "/man/korvane.1' 2>'" +
                          dir.file("warnings") + "'";
  EXPECT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(slurp(dir.file("warnings")), "");
}

TEST(Shipped, InstallPutsTheManualAndCompletionInPlace) {
  // The build tree is three levels above the program: <build>/src/frontend/korvane.
  const auto build = std::filesystem::path(KORVANE_EXE).parent_path().parent_path().parent_path();
  ScopedTempDir prefix;
  const std::string cmd = "cmake --install '" + build.string() + "' --prefix '" +
                          prefix.path().string() + "' >/dev/null";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_TRUE(std::filesystem::exists(prefix.path() / "bin/korvane"));
  EXPECT_EQ(read_bytes((prefix.path() / "share/man/man1/korvane.1").string()),
            read_bytes(KORVANE_SOURCE_DIR "/man/korvane.1"));
  EXPECT_TRUE(std::filesystem::exists(prefix.path() / "share/bash-completion/completions/korvane"));
}

#endif  // _WIN32

}  // namespace
}  // namespace kvn::test
