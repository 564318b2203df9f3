#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "frontend/inputs.hpp"
#include "korvane/process.hpp"
#include "support/fake_file_system.hpp"
#include "support/temp_dir.hpp"

#ifndef _WIN32
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace kvn::convert {
namespace {

namespace fs = std::filesystem;
using test::ScopedTempDir;

std::vector<std::uint8_t> bytes_of(const std::string& s) { return {s.begin(), s.end()}; }

/// Names under `dir` (at any depth) that look like a temporary of ours.
std::vector<std::string> temporaries_in(const fs::path& dir) {
  std::vector<std::string> found;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.path().filename().string().rfind(kTemporaryPrefix, 0) == 0)
      found.push_back(e.path().string());
  return found;
}

/// A folder, and on POSIX a FIFO and a link to it: names no file may be read from or replaced.
void make_odd_entries(const ScopedTempDir& dir) {
  fs::create_directory(dir.path() / "folder");
#ifndef _WIN32
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
  fs::create_symlink(dir.path() / "pipe", dir.path() / "link-to-pipe");
#endif
}

TEST(Win32ErrorWords, AreLinuxsOwnWords) {
  const struct {
    std::uint32_t code;
    const char* words;
  } cases[] = {
      {112, "No space left on device"},
      {39, "No space left on device"},
      {5, "Permission denied"},
      {2, "No such file or directory"},
      {3, "No such file or directory"},
      {183, "File exists"},
      {80, "File exists"},
      {206, "File name too long"},
      {32, "Device or resource busy"},
      {33, "Device or resource busy"},
      {1816, "Disk quota exceeded"},
      {99999, "Windows error 99999"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(win32_error_words(c.code), c.words) << c.code;
#ifdef __linux__
    // Each phrase is one that strerror() itself gives here.
    bool from_strerror = std::string(c.words).rfind("Windows error", 0) == 0;
    for (int e = 1; e < 134 && !from_strerror; ++e)
      from_strerror = std::string(std::strerror(e)) == c.words;
    EXPECT_TRUE(from_strerror) << c.words;
#endif
  }
}

TEST(FileIo, ReadWholeReadsRegularFilesAndRefusesTheRest) {
  ScopedTempDir dir;
  test::write_bytes(dir.file("garden.dhv"), bytes_of("DHV bytes"));
  make_odd_entries(dir);
  const struct {
    std::string path;
    ErrorCode code;
    std::string detail;
  } cases[] = {
      {dir.file("garden.dhv"), ErrorCode::kOk, ""},
      {dir.file("folder"), ErrorCode::kNotRegularFile, "a directory"},
      {dir.file("missing.dhv"), ErrorCode::kCannotOpen, "No such file or directory"},
#ifndef _WIN32
      // Would block forever if it were opened for reading as a file.
      {dir.file("pipe"), ErrorCode::kNotRegularFile, "a FIFO"},
      {dir.file("link-to-pipe"), ErrorCode::kNotRegularFile, "a FIFO"},
      {"/dev/null", ErrorCode::kNotRegularFile, "a device"},
#else
      {"NUL", ErrorCode::kNotRegularFile, "a device"},
#endif
  };
  for (const auto& c : cases) {
    const auto r = real_file_system().read_whole(c.path);
    if (c.code == ErrorCode::kOk) {
      ASSERT_TRUE(r) << r.error().message();
      EXPECT_EQ(*r, bytes_of("DHV bytes"));
    } else {
      ASSERT_FALSE(r) << c.path;
      EXPECT_EQ(r.error().code, c.code) << r.error().message();
      EXPECT_EQ(r.error().detail, c.detail) << c.path;
    }
  }
}

TEST(FileIo, ReplaceRefusesWhatItCannotSafelyReplaceAndLeavesNothingBehind) {
  ScopedTempDir dir;
  make_odd_entries(dir);
  const struct {
    std::string path;
    ErrorCode code;
    std::string detail;
  } cases[] = {
      {dir.file("folder"), ErrorCode::kNotRegularFile, "a directory"},
      {dir.file("no-such-folder/garden1.shv"), ErrorCode::kCannotWrite,
       "No such file or directory"},
#ifndef _WIN32
      {dir.file("pipe"), ErrorCode::kNotRegularFile, "a FIFO"},
      {dir.file("link-to-pipe"), ErrorCode::kNotRegularFile, "a FIFO"},
      {dir.file(std::string(252, 'n') + ".shv"), ErrorCode::kCannotWrite, "File name too long"},
#else
      {"NUL", ErrorCode::kNotRegularFile, "a device"},
#endif
  };
  for (const auto& c : cases) {
    const Status st = real_file_system().replace(c.path, bytes_of("SHV"));
    ASSERT_FALSE(st) << c.path;
    EXPECT_EQ(st.error().code, c.code) << st.error().message();
    EXPECT_EQ(st.error().detail, c.detail) << c.path;
  }
  EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
#ifndef _WIN32
  EXPECT_TRUE(fs::is_fifo(dir.path() / "pipe"));
  EXPECT_TRUE(fs::is_symlink(dir.path() / "link-to-pipe"));
#endif
  EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{});
}

std::vector<std::string> g_temporaries_seen;

TEST(FileIo, ReplaceWorksForEveryLegalNameLengthAndOverExistingFiles) {
  ScopedTempDir dir;
  fs::create_directory(dir.path() / "sub");
  g_temporaries_seen.clear();
  const auto files =
      make_real_file_system([](const std::string& tmp) { g_temporaries_seen.push_back(tmp); });
  std::vector<std::string> targets;
  for (const std::size_t length : {5u, 234u, 235u, 255u}) {
    const std::string name = std::string(length - 4, 'n') + ".shv";
#ifdef _WIN32
    // Names handed to the ANSI functions have the whole path within MAX_PATH.
    if (dir.path().string().size() + 5 + length >= 260) continue;
#endif
    targets.push_back(dir.file(name));
    targets.push_back(dir.file("sub/" + name));
  }
  for (const auto& target : targets) {
    ASSERT_TRUE(files->replace(target, bytes_of("old"))) << target;
    const Status st = files->replace(target, bytes_of("new content"));
    ASSERT_TRUE(st) << st.error().message();
    const auto back = files->read_whole(target);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, bytes_of("new content"));
  }
  ASSERT_EQ(g_temporaries_seen.size(), 2 * targets.size());
  for (std::size_t i = 0; i < targets.size(); ++i) {
    // Beside the target, and short whatever the target's length.
    const fs::path tmp = g_temporaries_seen[2 * i];
    EXPECT_EQ(tmp.parent_path(), fs::path(targets[i]).parent_path());
    EXPECT_EQ(tmp.filename().string().size(), 21u) << tmp;
  }
  EXPECT_TRUE(files->sync_written());
  EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{});
}

#ifndef _WIN32
// Replacing outputs reuses the files they leave behind: no such reuse may
// carry an old file's bytes, links or rights into another output.
TEST(FileIo, ReplacingManyOutputsGivesEachExactlyItsBytesAndTouchesNoSharedFile) {
  ScopedTempDir dir;
  const auto files = make_real_file_system();
  const mode_t mask = ::umask(0);
  ::umask(mask);
  const auto old_bytes = bytes_of(std::string(5000, 'o'));
  struct Old {
    const char* name;
    mode_t mode;
    bool linked;
  };
  const Old olds[] = {{"a.shv", 0666 & ~mask, false}, {"b.shv", 0600, false},
                      {"c.shv", 0666 & ~mask, true},  {"d.shv", 0666 & ~mask, false},
                      {"e.shv", 0666 & ~mask, false}, {"f.shv", 0640, false}};
  for (const auto& o : olds) {
    ASSERT_TRUE(files->replace(dir.file(o.name), old_bytes));
    ASSERT_EQ(::chmod(dir.file(o.name).c_str(), o.mode), 0);
    if (o.linked) fs::create_hard_link(dir.file(o.name), dir.file(std::string("keep-") + o.name));
  }
  for (const auto& o : olds) {
    ASSERT_TRUE(files->replace(dir.file(o.name), bytes_of(std::string("new ") + o.name)));
  }
  ASSERT_TRUE(files->sync_written());
  for (const auto& o : olds) {
    EXPECT_EQ(*files->read_whole(dir.file(o.name)), bytes_of(std::string("new ") + o.name));
    struct stat st {};
    ASSERT_EQ(::stat(dir.file(o.name).c_str(), &st), 0);
    // Each keeps its own rights: none reaches another through a reused file.
    EXPECT_EQ(st.st_mode & 07777, o.mode) << o.name;
    EXPECT_EQ(st.st_nlink, 1u) << o.name;
    if (o.linked) {
      EXPECT_EQ(*files->read_whole(dir.file(std::string("keep-") + o.name)), old_bytes);
    }
  }
  EXPECT_EQ(temporaries_in(dir.path()), std::vector<std::string>{});
}
#endif

TEST(FileIo, IdentifyTellsFilesApartHoweverTheyAreNamed) {
  ScopedTempDir dir;
  test::write_bytes(dir.file("a.shv"), bytes_of("a"));
  test::write_bytes(dir.file("b.shv"), bytes_of("a"));
  FileSystem& files = real_file_system();
  const std::string a = dir.file("a.shv");
  const std::string a_again = (dir.path() / "." / "a.shv").string();
#ifndef _WIN32
  fs::create_hard_link(a, dir.path() / "hard.shv");
  fs::create_symlink(a, dir.path() / "soft.shv");
  ASSERT_EQ(mkfifo(dir.file("pipe").c_str(), 0600), 0);
#endif
  const struct {
    std::string x, y;
    bool same;
  } cases[] = {
      {a, a_again, true},
      {a, dir.file("b.shv"), false},
      {dir.file("missing.shv"), dir.file("missing.shv"), false},
#ifndef _WIN32
      {a, dir.file("hard.shv"), true},
      {a, dir.file("soft.shv"), true},
#endif
  };
  for (const auto& c : cases) EXPECT_EQ(files.same_file(c.x, c.y), c.same) << c.x << " / " << c.y;
  EXPECT_EQ(files.identify(a).type, FileType::kRegular);
  EXPECT_EQ(files.identify(dir.path().string()).type, FileType::kDirectory);
  EXPECT_EQ(files.identify(dir.file("missing.shv")).type, FileType::kMissing);
#ifndef _WIN32
  EXPECT_EQ(files.identify(dir.file("pipe")).type, FileType::kOther);
#endif
}

#ifndef _WIN32
/// Runs `body` in a child process and returns its wait status.
int in_child(const std::function<void()>& body) {
  const pid_t pid = fork();
  if (pid == 0) {
    body();
    _exit(0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return status;
}

int g_signal = 0;

TEST(FileIo, AnInterruptMidWriteRemovesTheTemporaryAndEndsByTheSignal) {
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    ScopedTempDir dir;
    const std::string target = dir.file("garden1.shv");
    test::write_bytes(target, bytes_of("old"));
    g_signal = sig;
    const int status = in_child([&] {
      remove_temporaries_on_interrupt();
      const auto files = make_real_file_system([](const std::string& tmp) {
        if (!fs::exists(tmp)) _exit(3);  // the interrupt would prove nothing
        raise(g_signal);
        _exit(4);  // the signal did not end the program
      });
      (void)files->replace(target, std::vector<std::uint8_t>(1 << 20, 0x5A));
      _exit(5);
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << "signal " << sig << ", exit status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), sig);
    EXPECT_EQ(dir.files(), std::vector<std::string>{"garden1.shv"});
    EXPECT_EQ(test::read_bytes(target), bytes_of("old"));
  }
}

TEST(FileIo, AWriteFailingHalfwayLeavesTheEarlierFileAndNoTemporary) {
  ScopedTempDir dir;
  const std::string target = dir.file("garden1.shv");
  test::write_bytes(target, bytes_of("old"));
  // A file size limit fails the write part of the way in, even for root.
  const int status = in_child([&] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    const Status st = real_file_system().replace(target, std::vector<std::uint8_t>(100000, 1));
    _exit(!st && st.error().code == ErrorCode::kCannotWrite && st.error().detail == "File too large"
              ? 0
              : 6);
  });
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(dir.files(), std::vector<std::string>{"garden1.shv"});
  EXPECT_EQ(test::read_bytes(target), bytes_of("old"));
}

// A file made piece by piece is either all there or not there at all: a
// producer or a check that fails leaves the earlier file and no temporary,
// on the real file system and on one that gathers the bytes first.
TEST(FileIo, AStreamedWriteThatFailsLeavesTheEarlierFileAndNoTemporary) {
  const auto pieces = [](bool fail_after) {
    return [fail_after](ByteSink& sink) -> Status {
      for (const char* piece : {"{\"a\": ", "1, ", "\"b\": 2}"}) sink.put(bytes_of(piece));
      if (fail_after) return make_error(ErrorCode::kInternal, "out.json", "the design ran out");
      return Ok{};
    };
  };
  std::vector<std::uint8_t> seen;
  const ReadBackCheck accept = [&](std::span<const std::uint8_t> b) -> Status {
    seen.assign(b.begin(), b.end());
    return Ok{};
  };
  const ReadBackCheck refuse = [](std::span<const std::uint8_t>) -> Status {
    return make_error(ErrorCode::kInternal, "out.json", "read back, it differs");
  };
  const struct {
    const char* name;
    bool producer_fails;
    const ReadBackCheck* check;
    const char* error;  // nullptr: written
  } cases[] = {
      {"written and checked", false, &accept, nullptr},
      {"written unchecked", false, nullptr, nullptr},
      {"the producer fails part way", true, &accept, "the design ran out"},
      {"the check refuses what it reads back", false, &refuse, "read back, it differs"},
  };
  for (const bool real : {true, false}) {
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.name) + (real ? " (real)" : " (fake)"));
      ScopedTempDir dir;
      test::FakeFileSystem fake;
      FileSystem& fs = real ? real_file_system() : static_cast<FileSystem&>(fake);
      const std::string target = real ? dir.file("out.json") : "out.json";
      if (real)
        test::write_bytes(target, bytes_of("old"));
      else
        fake.files[target] = bytes_of("old");
      seen.clear();
      const Status st =
          fs.replace_streamed(target, pieces(c.producer_fails), c.check ? *c.check : nullptr);
      const auto now = real ? test::read_bytes(target) : fake.files[target];
      if (c.error) {
        ASSERT_FALSE(st);
        EXPECT_EQ(st.error().detail, c.error);
        EXPECT_EQ(now, bytes_of("old"));
      } else {
        ASSERT_TRUE(st) << st.error().message();
        EXPECT_EQ(now, bytes_of("{\"a\": 1, \"b\": 2}"));
        if (c.check) {
          EXPECT_EQ(seen, now);
        }
      }
      if (real) {
        // The file replaced is kept for the next write until the run ends.
        ASSERT_TRUE(fs.sync_written());
        EXPECT_EQ(dir.files(), std::vector<std::string>{"out.json"});
        EXPECT_TRUE(temporaries_in(dir.path()).empty());
      }
    }
  }
}

TEST(FlushOutput, ReportsAFullDiskInPlainWords) {
  std::ofstream full("/dev/full");
  full << "KORVANE";
  const Status st = flush_output(full, "standard output");
  ASSERT_FALSE(st);
  EXPECT_EQ(st.error().code, ErrorCode::kCannotWrite);
  EXPECT_EQ(st.error().detail, "No space left on device");
  EXPECT_NE(st.error().message().find("standard output"), std::string::npos);
  std::ostringstream fine;
  fine << "KORVANE";
  EXPECT_TRUE(flush_output(fine, "standard output"));
}
#endif

// A folder on the command line stands for its containers, through the file
// system's listing: sorted, any letter case, subfolders only when asked, and
// a folder that yields nothing reported in its place.
TEST(FolderInputs, StandForTheirContainersInOrder) {
  test::FakeFileSystem disk;
  disk.folders = {"in", "in/sub", "only-sub", "only-sub/deep", "locked"};
  for (const char* name : {"in/b.dhv", "in/A.DHV", "in/notes.txt", "in/sub/c.dhv", "in/x.dhv.bak",
                           "only-sub/deep/d.dhv", "locked/e.dhv"})
    disk.files[name] = bytes_of("DHV");
  using Items = std::vector<frontend::InputItem>;
  const std::string no_container = ": the folder holds no DHV container";
  const struct {
    std::vector<std::string> args;
    bool recursive;
    Items expected;
  } cases[] = {
      {{"in"}, false, {{"in/A.DHV", {}}, {"in/b.dhv", {}}}},
      {{"in"}, true, {{"in/A.DHV", {}}, {"in/b.dhv", {}}, {"in/sub/c.dhv", {}}}},
      {{"only-sub"},
       false,
       {{"only-sub", "only-sub" + no_container + " (--recursive looks in its subfolders)"}}},
      {{"only-sub"}, true, {{"only-sub/deep/d.dhv", {}}}},
      {{"in/sub"}, true, {{"in/sub/c.dhv", {}}}},
      // Every argument keeps its place; what is not a folder goes through as given.
      {{"", "plain.dhv", "in"},
       false,
       {{"", "the file name is empty"}, {"plain.dhv", {}}, {"in/A.DHV", {}}, {"in/b.dhv", {}}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args.back() + (c.recursive ? " recursive" : ""));
    EXPECT_EQ(frontend::expand_inputs(c.args, c.recursive, disk), c.expected);
  }
  // Converting takes every design read, but not those already in the format
  // written (they would be their own outputs) nor those korvane cannot read;
  // each leaving out is told.
  disk.folders.insert("mix");
  for (const char* name :
       {"mix/a.dst", "mix/b.PES", "mix/c.shv", "mix/d.vp4", "mix/e.dhv", "mix/f.png", "mix/notes"})
    disk.files[name] = bytes_of("x");
  using frontend::FolderFiles;
  const struct {
    FolderFiles wanted;
    std::string skip;
    std::vector<std::string> files;
    std::vector<std::string> notes;
  } folders[] = {
      {FolderFiles::kContainers,
       "",
       {"mix/e.dhv"},
       {"mix: 4 files are designs, not DHV containers: use --convert to convert them"}},
      {FolderFiles::kDesigns,
       "shv",
       {"mix/a.dst", "mix/b.PES", "mix/e.dhv"},
       {"mix: skipped 1 SHV design, already in the format asked for",
        "mix: skipped 1 VP4 design, which korvane cannot read"}},
      {FolderFiles::kDesigns,
       "",
       {"mix/a.dst", "mix/b.PES", "mix/c.shv", "mix/e.dhv"},
       {"mix: skipped 1 VP4 design, which korvane cannot read"}},
  };
  for (const auto& f : folders) {
    const auto got = frontend::expand_inputs({"mix"}, false, f.wanted, f.skip, disk);
    std::vector<std::string> files;
    for (const auto& item : got.items) files.push_back(item.file);
    EXPECT_EQ(files, f.files);
    EXPECT_EQ(got.notes, f.notes);
  }
  disk.unreadable = {"locked"};
  const Items locked = frontend::expand_inputs({"locked"}, false, disk);
  ASSERT_EQ(locked.size(), 1u);
  EXPECT_EQ(locked[0].file, "locked");
  EXPECT_EQ(locked[0].problem,
            make_error(ErrorCode::kCannotRead, "locked", "Permission denied").message());
}

}  // namespace
}  // namespace kvn::convert
