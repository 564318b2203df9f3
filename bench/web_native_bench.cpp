// The native side of the page's speed figure: the page's own C interface
// (src/web) compiled natively, timed in-process on the same work the page
// does, so the ratio compares only the code generation.
//   web_native_bench FILE split|combine|picture|realistic|convert-FORMAT SAMPLES  ->  "median_us N"
// (picture: the layout of a container, or a design's stitches; realistic: the
// same drawn as threads on fabric)
// Timed as web_bench.cjs times the module: warmed up, each sample repeating
// the job with its kvw_clear until it spans about 2 ms.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "web/web_api.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kSampleUs = 2000;
constexpr auto kWarm = std::chrono::milliseconds(300);

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr,
                 "usage: web_native_bench FILE split|combine|picture|realistic|convert-FORMAT SAMPLES\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
  const std::string mode = argv[2];
  const long samples = std::max(1L, std::strtol(argv[3], nullptr, 10));
  const std::string to = mode.starts_with("convert-") ? mode.substr(8) : "";
  const auto size = static_cast<std::int32_t>(bytes.size());
  const auto entry = [&] {
    if (!to.empty()) return kvw_convert(argv[1], bytes.data(), size, to.c_str(), 0);
    if (mode == "picture" || mode == "realistic")
      return (mode == "picture" ? kvw_picture : kvw_realistic)(
          argv[1], bytes.data(), size, kvw_recognise(bytes.data(), size) == 1 ? -1 : 0);
    return (mode == "combine" ? kvw_combine : kvw_split)(argv[1], bytes.data(), size);
  };
  bool failed = false;
  const auto batch = [&](long reps) {
    const auto t0 = Clock::now();
    for (long i = 0; i < reps && !failed; ++i) {
      failed = entry() != 0;
      if (!failed) kvw_clear();
    }
    return std::chrono::duration<double, std::micro>(Clock::now() - t0).count();
  };
  long reps = 1;
  for (const auto until = Clock::now() + kWarm; Clock::now() < until && !failed;) {
    const double us = batch(reps);
    if (us < kSampleUs)
      reps = std::max(reps + 1, std::lround(std::ceil(static_cast<double>(reps) * kSampleUs /
                                                      std::max(us, 0.001))));
  }
  std::vector<double> us;
  for (long i = 0; i < samples && !failed; ++i)
    us.push_back(batch(reps) / static_cast<double>(reps));
  if (failed) {
    std::fprintf(stderr, "web_native_bench: %s\n", kvw_error());
    return 1;
  }
  std::sort(us.begin(), us.end());
  std::printf("median_us %.2f reps %ld min_us %.2f\n", us[us.size() / 2], reps, us.front());
  return 0;
}
