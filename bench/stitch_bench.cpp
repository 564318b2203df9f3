// GetXY over the largest colour block the HUC layout holds, in words per second.
#include <benchmark/benchmark.h>

#include "formats/huc_layout.hpp"
#include "formats/stitch.hpp"
#include "support/design_builders.hpp"

namespace {

void BM_GetXY(benchmark::State& state) {
  const auto words = static_cast<std::uint32_t>(state.range(0));
  const kvn::test::Bytes huc = kvn::test::full_range_huc(words);
  const auto block = std::span<const std::uint8_t>(huc).subspan(kvn::formats::huc_stream_at(1));
  for (auto _ : state) {
    std::int16_t x = 0, y = 0;
    kvn::formats::GetXY(block, static_cast<std::int32_t>(words), &x, &y);
    benchmark::DoNotOptimize(x);
    benchmark::DoNotOptimize(y);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * words);
}
BENCHMARK(BM_GetXY)->Arg(1024)->Arg(65535);

}  // namespace
