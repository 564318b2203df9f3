// MakeShvBmp on a design of 65,535 words spanning the whole 16-bit range, up
// to the largest preview the SHV writer produces (6,554 x 6,554 cells).
#include <benchmark/benchmark.h>

#include <vector>

#include "shvgen/preview.hpp"
#include "support/design_builders.hpp"

namespace {

void BM_MakeShvBmp(benchmark::State& state) {
  const auto pixels = static_cast<std::int32_t>(state.range(0));
  const auto scanlines = static_cast<std::int32_t>(state.range(1));
  const kvn::test::Bytes huc = kvn::test::full_range_huc(65535);
  std::vector<std::uint8_t> out(static_cast<std::size_t>(pixels) *
                                static_cast<std::size_t>((scanlines + 1) / 2));
  for (auto _ : state) {
    kvn::shvgen::MakeShvBmp(out, huc, pixels, scanlines);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                          static_cast<std::int64_t>(out.size()));
}
BENCHMARK(BM_MakeShvBmp)
    ->Args({100, 100})
    ->Args({1000, 1000})
    ->Args({6554, 6554})
    ->Unit(benchmark::kMillisecond);

}  // namespace
