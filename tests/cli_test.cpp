// Runs the built program as a user would, through a POSIX shell.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/builders.hpp"
#include "support/run_korvane.hpp"
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
      {"--dialogs=terminal", "\n", 0, "", "Select DHV file to convert"},
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

}  // namespace
}  // namespace kvn::test
#endif
