// Reading and writing stitch patterns in process, in needle events per
// second: a generated design of 100,000 stitches in 12 colour blocks, written
// once as PES (and JEF) and then read (or written) over and over.
#include <benchmark/benchmark.h>

#include "formats/jef.hpp"
#include "formats/pes.hpp"
#include "tools/pattern_gen.hpp"

namespace {

constexpr std::uint32_t kStitches = 100'000;

const kvn::formats::Pattern& design() {
  static const auto p = kvn::example::generated_pattern(
      {.stitches = kStitches, .blocks = 12, .max_stitch = 60, .threads = true, .seed = 42});
  return p;
}

template <typename Write, typename Read>
void read_bench(benchmark::State& state, Write write, Read read) {
  const auto image = write(design(), "bench");
  if (!image) {
    state.SkipWithError(image.error().message().c_str());
    return;
  }
  std::size_t events = 0;
  for (auto _ : state) {
    auto p = read(kvn::formats::ByteReader(*image, "bench"));
    if (!p) {
      state.SkipWithError(p.error().message().c_str());
      return;
    }
    events = p->events.size();
    benchmark::DoNotOptimize(p->events.data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events));
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(image->size()));
}

void BM_ReadPes(benchmark::State& state) {
  read_bench(state, kvn::formats::write_pes, kvn::formats::read_pes);
}
BENCHMARK(BM_ReadPes);

void BM_ReadJef(benchmark::State& state) {
  read_bench(state, kvn::formats::write_jef, kvn::formats::read_jef);
}
BENCHMARK(BM_ReadJef);

template <typename Write>
void write_bench(benchmark::State& state, Write write) {
  for (auto _ : state) {
    auto image = write(design(), "bench");
    benchmark::DoNotOptimize(image->data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(design().events.size()));
}

void BM_WritePes(benchmark::State& state) { write_bench(state, kvn::formats::write_pes); }
BENCHMARK(BM_WritePes);

void BM_WriteJef(benchmark::State& state) { write_bench(state, kvn::formats::write_jef); }
BENCHMARK(BM_WriteJef);

}  // namespace
