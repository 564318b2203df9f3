// Reading plus writing a generated design of 100,000 stitches in DST and EXP,
// in process: needle events per second (each event read once and written once).
#include <benchmark/benchmark.h>

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "tools/pattern_gen.hpp"

namespace {

namespace f = kvn::formats;

template <auto Read, auto Write>
void read_write(benchmark::State& state) {
  kvn::example::PatternShape shape;
  shape.stitches = static_cast<std::size_t>(state.range(0));
  shape.blocks = 12;
  const auto design = kvn::example::generated_pattern(shape);
  const auto bytes = Write(design, "bench");
  if (!bytes) {
    state.SkipWithError(bytes.error().message().c_str());
    return;
  }
  std::size_t events = 0;
  for (auto _ : state) {
    auto p = Read(f::ByteReader(*bytes, "bench"));
    auto out = Write(*p, "bench");
    events = p->events.size();
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events));
  state.counters["bytes"] = static_cast<double>(bytes->size());
}

void BM_DstReadWrite(benchmark::State& state) { read_write<f::read_dst, f::write_dst>(state); }
void BM_ExpReadWrite(benchmark::State& state) { read_write<f::read_exp, f::write_exp>(state); }
BENCHMARK(BM_DstReadWrite)->Arg(100000);
BENCHMARK(BM_ExpReadWrite)->Arg(100000);

}  // namespace
