// What reading every written file back costs: the same conversion in process
// (read, fit to the target, write) with and without the read-back check, on a
// generated design of 100,000 stitches. The check's share is
// 1 - unchecked / checked.
#include <benchmark/benchmark.h>

#include "convert/fitting.hpp"
#include "convert/pattern_write.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern_read.hpp"
#include "tools/pattern_gen.hpp"

namespace {

namespace f = kvn::formats;

void convert(benchmark::State& state, const char* from, const char* to, bool checked) {
  kvn::example::PatternShape shape;
  shape.stitches = static_cast<std::size_t>(state.range(0));
  shape.blocks = 12;
  shape.threads = true;
  auto design = kvn::example::generated_pattern(shape);
  design.name = "bench";
  const f::Format* source = f::format_named(from);
  const f::Format* target = f::format_named(to);
  const auto bytes = kvn::convert::write_pattern(design, source->kind, "bench");
  if (!bytes) {
    state.SkipWithError(bytes.error().message().c_str());
    return;
  }
  std::size_t events = 0;
  for (auto _ : state) {
    auto p = f::read_pattern(f::ByteReader(*bytes, "bench"), source->kind);
    if (!p) return state.SkipWithError(p.error().message().c_str());
    std::vector<kvn::Adjustment> adjustments;
    auto fitted = kvn::convert::fit_to_limits(std::move(*p), *target, {}, adjustments);
    if (!fitted) return state.SkipWithError(fitted.error().message().c_str());
    auto out = kvn::convert::write_pattern(*fitted, target->kind, "out");
    if (!out) return state.SkipWithError(out.error().message().c_str());
    if (checked) {
      auto ok = kvn::convert::check_written(*out, *fitted, *target, "out");
      if (!ok) return state.SkipWithError(ok.error().message().c_str());
    }
    events = fitted->events.size();
    benchmark::DoNotOptimize(out->data());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(events));
}

void BM_DstToShv(benchmark::State& s) { convert(s, "dst", "shv", false); }
void BM_DstToShvChecked(benchmark::State& s) { convert(s, "dst", "shv", true); }
void BM_PesToJef(benchmark::State& s) { convert(s, "pes", "jef", false); }
void BM_PesToJefChecked(benchmark::State& s) { convert(s, "pes", "jef", true); }
void BM_ShvToDst(benchmark::State& s) { convert(s, "shv", "dst", false); }
void BM_ShvToDstChecked(benchmark::State& s) { convert(s, "shv", "dst", true); }
BENCHMARK(BM_DstToShv)->Arg(100000);
BENCHMARK(BM_DstToShvChecked)->Arg(100000);
BENCHMARK(BM_PesToJef)->Arg(100000);
BENCHMARK(BM_PesToJefChecked)->Arg(100000);
BENCHMARK(BM_ShvToDst)->Arg(100000);
BENCHMARK(BM_ShvToDstChecked)->Arg(100000);

}  // namespace
