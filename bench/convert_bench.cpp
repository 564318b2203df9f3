// The conversions people run most, in process: a generated design of 100,000
// stitches read from one format and written in another, in needle events per
// second (each event read once and written once). The SHV side includes
// drawing the preview the image carries, as `korvane --convert` does.
#include <benchmark/benchmark.h>

#include <cstdio>

#include "convert/pattern_write.hpp"
#include "formats/dst.hpp"
#include "formats/pes.hpp"
#include "formats/shv_pattern.hpp"
#include "korvane/korvane.hpp"
#include "shvgen/shv_writer.hpp"
#include "support/fake_file_system.hpp"
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

// The floor of a batch run, `korvane --convert in/*.dst -O out`: the designs
// convert_batch_vs_cp.sh makes (as make_bench_pattern --batch makes them),
// planned and converted by one run as the command does, output check
// included, with every file kept in memory. What the whole process costs
// beyond this is its start-up and the files themselves. (No "To" in its
// name: bench/run reports every BM_<from>To<to> as one format pair.)
void BM_BatchDstShvInMemory(benchmark::State& state) {
  const auto designs = static_cast<unsigned>(state.range(0));
  kvn::test::FakeFileSystem fs;
  std::vector<std::string> inputs;
  kvn::example::PatternShape shape;
  shape.stitches = static_cast<std::size_t>(state.range(1));
  shape.blocks = 8;
  shape.max_stitch = 40;
  shape.threads = true;
  for (unsigned i = 1; i <= designs; ++i) {
    shape.seed = i;
    char name[32];
    std::snprintf(name, sizeof name, "in/design%03u.dst", i);
    auto dst = kvn::convert::write_pattern(kvn::example::generated_pattern(shape),
                                           f::ContentKind::kDst, name);
    if (!dst) {
      state.SkipWithError(dst.error().message().c_str());
      return;
    }
    fs.files[name] = std::move(*dst);
    inputs.emplace_back(name);
  }
  fs.folders.insert("out");
  for (auto _ : state) {
    state.PauseTiming();
    std::erase_if(fs.files, [](const auto& file) { return file.first.rfind("out/", 0) == 0; });
    state.ResumeTiming();
    kvn::Invocation run(fs, kvn::Conversion::kConvert, inputs, std::nullopt, {}, "out");
    if (!run.refusals().empty()) {
      state.SkipWithError(run.refusals().front().message().c_str());
      return;
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
      if (auto r = run.convert(i); !r) {
        state.SkipWithError(r.error().message().c_str());
        return;
      }
    }
    if (auto st = run.finish(); !st) {
      state.SkipWithError(st.error().message().c_str());
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * designs);
}
BENCHMARK(BM_BatchDstShvInMemory)->Args({200, 15000})->Unit(benchmark::kMillisecond);

}  // namespace
