// In-process reading of design files from the disk, timed the way
// libembroidery_read.c (built by open_libraries.sh against the C library) times
// the C library: each file opened, read and decoded into a stitch list RUNS
// times, the median of the process's CPU time printed (on a shared machine
// wall time mostly measures the other processes). Opening and reading the
// file counts, as the C library's reader takes a file name.
//   read_files_bench RUNS FILE...
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: read_files_bench RUNS FILE...\n");
    return 2;
  }
  const auto runs = static_cast<std::size_t>(std::max(1, std::atoi(argv[1])));
  auto& fs = kvn::convert::real_file_system();
  for (int i = 2; i < argc; ++i) {
    const std::string file = argv[i];
    std::vector<double> us;
    std::size_t events = 0;
    for (std::size_t r = 0; r < runs; ++r) {
      const std::clock_t t0 = std::clock();
      auto bytes = fs.read_whole(file);
      if (!bytes) {
        std::fprintf(stderr, "read_files_bench: %s\n", bytes.error().message().c_str());
        return 1;
      }
      const kvn::formats::ByteReader in(*bytes, file);
      auto p = kvn::formats::read_pattern(in, kvn::formats::recognise_kind(in.bytes()));
      const std::clock_t t1 = std::clock();
      if (!p) {
        std::fprintf(stderr, "read_files_bench: %s\n", p.error().message().c_str());
        return 1;
      }
      events = p->events.size();
      us.push_back(1e6 * static_cast<double>(t1 - t0) / CLOCKS_PER_SEC);
    }
    std::nth_element(us.begin(), us.begin() + static_cast<std::ptrdiff_t>(runs / 2), us.end());
    std::printf("%s: %.1f us CPU median of %zu, %zu events\n", file.c_str(), us[runs / 2], runs,
                events);
  }
  return 0;
}
