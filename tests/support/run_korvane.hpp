// Runs the built program as a user would, through a POSIX shell. Only for
// test programs that define KORVANE_EXE.
#pragma once

#ifndef _WIN32
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "support/temp_dir.hpp"

namespace kvn::test {

struct Ran {
  int code;
  std::string out, err;
};

inline std::string slurp(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream s;
  s << f.rdbuf();
  return s.str();
}

/// Runs korvane with `args` in `dir`, `input` on its standard input; standard
/// output goes to `out_to` (a file in `dir`, or a device such as /dev/full).
inline Ran run_in(const ScopedTempDir& dir, const std::string& args, const std::string& input = "",
                  const std::string& out_to = ".out") {
  const std::string cmd = "cd '" + dir.path().string() + "' && printf '%s' '" + input + "' | '" +
                          KORVANE_EXE + "' " + args + " >" + out_to + " 2>.err";
  const int status = std::system(cmd.c_str());
  Ran r{WIFEXITED(status) ? WEXITSTATUS(status) : -1, slurp(dir.file(".out")),
        slurp(dir.file(".err"))};
  std::remove(dir.file(".out").c_str());
  std::remove(dir.file(".err").c_str());
  return r;
}

}  // namespace kvn::test
#endif
