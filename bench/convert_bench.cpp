// The conversions people run most, in process: a generated design of 100,000
// stitches read from one format and written in another, in needle events per
// second (each event read once and written once). The SHV side includes
// drawing the preview the image carries, as `korvane --convert` does.
#include <benchmark/benchmark.h>

#include "formats/dst.hpp"
#include "formats/pes.hpp"
#include "formats/shv_pattern.hpp"
#include "shvgen/shv_writer.hpp"
#include "tools/pattern_gen.hpp"

namespace {

namespace f = kvn::formats;

template <auto Make, auto Read, auto Write>
void convert(benchmark::State& state) {
  kvn::example::PatternShape shape;
  shape.stitches = static_cast<std::size_t>(state.range(0));
  shape.blocks = 12;
  auto design = kvn::example::generated_pattern(shape);
  design.name = "bench";
  const auto bytes = Make(design, "bench");
  if (!bytes) {
    state.SkipWithError(bytes.error().message().c_str());
    return;
  }
  std::size_t events = 0;
  std::size_t written = 0;
  for (auto _ : state) {
    auto p = Read(f::ByteReader(*bytes, "bench"));
    if (!p) {
      state.SkipWithError(p.error().message().c_str());
      return;
    }
    auto out = Write(*p, "bench");
    if (!out) {
      state.SkipWithError(out.error().message().c_str());
      return;
    }
    events = p->events.size();
    written = out->size();
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events));
  state.counters["in_bytes"] = static_cast<double>(bytes->size());
  state.counters["out_bytes"] = static_cast<double>(written);
}

void BM_DstToShv(benchmark::State& state) {
  convert<f::write_dst, f::read_dst, kvn::shvgen::write_shv>(state);
}
void BM_PesToShv(benchmark::State& state) {
  convert<f::write_pes, f::read_pes, kvn::shvgen::write_shv>(state);
}
void BM_ShvToDst(benchmark::State& state) {
  convert<kvn::shvgen::write_shv, f::read_shv, f::write_dst>(state);
}
BENCHMARK(BM_DstToShv)->Arg(100000);
BENCHMARK(BM_PesToShv)->Arg(100000);
BENCHMARK(BM_ShvToDst)->Arg(100000);

}  // namespace
