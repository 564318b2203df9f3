// Writes the generated designs the whole-process conversion benchmarks run on.
//   make_bench_pattern STITCHES OUT.dst [OUT.pes OUT.shv ...]
//     the design convert_bench reads in process, in the format each output's
//     extension names
//   make_bench_pattern --batch COUNT STITCHES DIR EXT
//     COUNT different designs DIR/design001.EXT ..., each of its own seed,
//     with stitches of up to 4 mm as designs mostly have
#include <cstdio>
#include <cstdlib>
#include <string>

#include "convert/file_io.hpp"
#include "convert/pattern_write.hpp"
#include "tools/pattern_gen.hpp"

namespace {

int write(const kvn::formats::Pattern& design, const std::string& out) {
  const auto* format = kvn::convert::writable_format_named(out);
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
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::string(argv[1]) == "--batch") {
    const unsigned long count = std::strtoul(argv[2], nullptr, 10);
    kvn::example::PatternShape shape;
    shape.stitches = std::strtoul(argv[3], nullptr, 10);
    shape.blocks = 8;
    shape.max_stitch = 40;
    shape.threads = true;
    for (unsigned long i = 1; i <= count; ++i) {
      shape.seed = static_cast<std::uint32_t>(i);
      auto design = kvn::example::generated_pattern(shape);
      char name[32];
      std::snprintf(name, sizeof name, "/design%03lu.", i);
      if (const int rc = write(design, argv[4] + std::string(name) + argv[5]); rc != 0) return rc;
    }
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: make_bench_pattern STITCHES OUT.ext...\n"
                 "       make_bench_pattern --batch COUNT STITCHES DIR EXT\n");
    return 2;
  }
  kvn::example::PatternShape shape;
  shape.stitches = std::strtoul(argv[1], nullptr, 10);
  shape.blocks = 12;
  auto design = kvn::example::generated_pattern(shape);
  design.name = "bench";
  for (int i = 2; i < argc; ++i)
    if (const int rc = write(design, argv[i]); rc != 0) return rc;
  return 0;
}
