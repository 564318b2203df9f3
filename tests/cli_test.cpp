// Runs the built program as a user would, through a POSIX shell.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/builders.hpp"
#include "support/run_korvane.hpp"
#include "support/sample_designs.hpp"
#include "support/temp_dir.hpp"

namespace kvn::test {
namespace {

TEST(Cli, ExitCodesAndStreamsMatchWhatUsersAreTold) {
  ScopedTempDir dir;
  write_bytes(dir.file("g.dhv"),
              DhvBuilder{}.add(opaque_design(20, 1)).add(opaque_design(5, 2)).bytes());
  struct Case {
    const char* args;
    const char* input;
    int code;
    const char* out_has;
    const char* err_has;
  };
  const Case cases[] = {
      {"g.dhv", "", 0, "KORVANE conversion utility version 1.0", ""},
      {"missing.dhv extra", "", 1, "korvane aborted with error #-1\n",
       "korvane: missing.dhv: cannot open the file"},
      {"--version", "", 0, "korvane 1.0.0", ""},
      {"--help", "", 0, "korvane FILE...", ""},
      {"--bogus", "", 2, "", "unknown option '--bogus'"},
      {"--split missing.dhv g.dhv", "", 1, "g.dhv: wrote g001.shv, g002.shv",
       "missing.dhv: cannot open"},
      {"--dialogs=terminal", "\n", 0, "", "Select designs to convert"},
      {"--dialogs=terminal", "g.dhv\nno\n", 0, "g.dhv: wrote g001.shv, g002.shv\n",
       "These designs cannot be combined:"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const Ran r = run_in(dir, c.args, c.input);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.out.find(c.out_has), std::string::npos) << r.out;
    EXPECT_NE(r.err.find(c.err_has), std::string::npos) << r.err;
  }
  EXPECT_EQ(read_bytes(dir.file("g002.shv")), opaque_design(5, 2));
}

// What the shell finds after the run is the verdict: a link still a link,
// the file behind it written, a protected file untouched, rights kept.
TEST(Cli, OutputsAreWrittenThroughLinksAndNeverWidenedOrLostSilently) {
  const char* const kOld = "printf old >";
  struct Attack {
    std::string setup;  // shell commands run in the folder first
    std::string args;
    const char* out_to;
    int code;
    const char* err_has;
    std::string after;     // a shell test that must hold afterwards
    bool as_user = false;  // root may write any folder
  };
  const std::string json = "--convert rose.shv --to json -o ";
  const Attack attacks[] = {
      {std::string("mkdir sub && ") + kOld + " sub/real.json && ln -s sub/real.json l.json",
       json + "l.json", ".out", 0, "",
       "test -L l.json && grep -q events sub/real.json && [ \"$(ls -A sub)\" = real.json ]"},
      {"ln -s nowhere.json l.json", json + "l.json", ".out", 1,
       "korvane: l.json: cannot write the file: it is a link to nowhere.json, which does not exist",
       "test -L l.json && ! test -e nowhere.json"},
      {"mkdir ro && ln -s ro/x.json l.json && " + std::string(kOld) +
           " ro/x.json && chmod 555 ro && chmod 666 ro/x.json",
       json + "l.json", ".out", 1,
       "l.json: cannot write the file: it is a link to ro/x.json, in a folder",
       "[ \"$(cat ro/x.json)\" = old ]", true},
      {std::string(kOld) + " p.json && chmod 600 p.json", json + "p.json", ".out", 0, "",
       "[ $(stat -c %a p.json) = 600 ] && grep -q events p.json"},
      {std::string(kOld) + " p.json && chmod 444 p.json", json + "p.json", ".out", 1,
       "korvane: p.json: cannot write the file: it is write-protected",
       "[ \"$(cat p.json)\" = old ]"},
      {std::string(kOld) + " p.json && chmod 444 p.json", json + "p.json --force", ".out", 0, "",
       "[ $(stat -c %a p.json) = 444 ] && grep -q events p.json"},
      // The way /dev/stdout leads to wherever standard output went.
      {"ln -s /proc/self/fd/1 so", json + "so", "o.txt", 1,
       "so: not a regular file: it leads to a file a program has open",
       "test -L so && ! grep -q events o.txt"},
      {"", "--help", "/dev/full", 1, "(standard output): cannot write the file", ""},
      {"", "--version", "/dev/full", 1, "(standard output): cannot write the file", ""},
      {"", "--formats", "/dev/full", 1, "(standard output): cannot write the file", ""},
      {"", "--split g.dhv", "/dev/full", 1, "(standard output): cannot write the file",
       "test -s g002.shv"},
      {"", json + "r.json", "/dev/full", 1, "(standard output): cannot write the file",
       "test -s r.json"},
      {"", "--convert rose.shv -o ''", ".out", 1, "korvane: rose.shv: the output name is empty",
       ""},
      {"", "--split g.dhv -O ''", ".out", 1, "korvane: -O '' names no folder", ""},
      {"", "--info /proc/self/status", ".out", 1, "/proc/self/status: not a file korvane knows",
       ""},
  };
  for (const auto& a : attacks) {
    SCOPED_TRACE(a.setup + " / " + a.args + " >" + a.out_to);
    if (a.as_user && ::geteuid() == 0) continue;
    ScopedTempDir dir;
    write_bytes(dir.file("rose.shv"), rose_shv());
    write_bytes(dir.file("g.dhv"),
                DhvBuilder{}.add(opaque_design(20, 1)).add(opaque_design(5, 2)).bytes());
    const std::string in_dir = "cd '" + dir.path().string() + "' && ";
    if (!a.setup.empty()) {
      ASSERT_EQ(std::system((in_dir + a.setup).c_str()), 0);
    }
    const Ran r = run_in(dir, a.args, "", a.out_to);
    EXPECT_EQ(r.code, a.code) << r.err;
    EXPECT_NE(r.err.find(a.err_has), std::string::npos) << r.err;
    if (!a.after.empty()) {
      EXPECT_EQ(std::system((in_dir + a.after).c_str()), 0) << a.after;
    }
    EXPECT_EQ(std::system((in_dir + "chmod -R u+w .").c_str()), 0);
  }
}

}  // namespace
}  // namespace kvn::test
#endif
