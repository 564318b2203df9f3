// The native side of the page's speed figure: the page's own C interface
// (src/web) compiled natively, timed in-process on the same work the page
// does, so the ratio compares only the code generation.
//   web_native_bench FILE split|combine RUNS  ->  "median_us N"
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "web/web_api.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: web_native_bench FILE split|combine RUNS\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const std::string mode = argv[2];
  const long runs = std::max(1L, std::strtol(argv[3], nullptr, 10));
  auto* const entry = mode == "combine" ? kvw_combine : kvw_split;
  std::vector<double> us;
  for (long i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    const int r = entry(argv[1], bytes.data(), static_cast<std::int32_t>(bytes.size()));
    const auto t1 = std::chrono::steady_clock::now();
    if (r != 0) {
      std::fprintf(stderr, "web_native_bench: %s\n", kvw_error());
      return 1;
    }
    kvw_clear();
    us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  std::sort(us.begin(), us.end());
  std::printf("median_us %.1f\n", us[us.size() / 2]);
  return 0;
}
