// Writes the generated design the whole-process conversion benchmarks run on
// (the same one convert_bench reads in process), in the format each output's
// extension names.
//   make_bench_pattern STITCHES OUT.dst [OUT.pes OUT.shv ...]
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/file_io.hpp"
#include "convert/pattern_write.hpp"
#include "tools/pattern_gen.hpp"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make_bench_pattern STITCHES OUT.ext...\n");
    return 2;
  }
  kvn::example::PatternShape shape;
  shape.stitches = std::strtoul(argv[1], nullptr, 10);
  shape.blocks = 12;
  auto design = kvn::example::generated_pattern(shape);
  design.name = "bench";
  for (int i = 2; i < argc; ++i) {
    const std::string out = argv[i];
    const auto format = kvn::convert::writable_format_named(out);
    if (!format) {
      std::fprintf(stderr, "make_bench_pattern: %s: no format korvane writes\n", out.c_str());
      return 2;
    }
    auto image = kvn::convert::write_pattern(design, format->kind, out);
    if (!image) {
      std::fprintf(stderr, "make_bench_pattern: %s\n", image.error().message().c_str());
      return 1;
    }
    auto st = kvn::convert::real_file_system().replace(out, *image);
    if (!st) {
      std::fprintf(stderr, "make_bench_pattern: %s\n", st.error().message().c_str());
      return 1;
    }
  }
  return 0;
}
