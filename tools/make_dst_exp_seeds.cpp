// Writes the seed corpus of the DST/EXP fuzz target: small generated designs
// in each format, each file followed by the mode byte that picks its reader.
//   korvane_make_dst_exp_seeds DIR
#include <cstdio>
#include <fstream>
#include <string>

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "tools/pattern_gen.hpp"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvane_make_dst_exp_seeds DIR\n");
    return 2;
  }
  namespace f = kvn::formats;
  struct Seed {
    const char* name;
    kvn::example::PatternShape shape;
  };
  const Seed seeds[] = {
      {"one_block", {.stitches = 40, .blocks = 1, .seed = 1}},
      {"three_blocks", {.stitches = 90, .blocks = 3, .seed = 2}},
      {"short_steps", {.stitches = 60, .blocks = 2, .max_stitch = 6, .max_jump = 12, .seed = 3}},
      {"long_jumps", {.stitches = 60, .blocks = 2, .max_jump = 2000, .seed = 4}},
  };
  for (const auto& s : seeds) {
    const auto p = kvn::example::generated_pattern(s.shape);
    for (const bool dst : {true, false}) {
      auto bytes = dst ? f::write_dst(p, s.name) : f::write_exp(p, s.name);
      if (!bytes) {
        std::fprintf(stderr, "%s\n", bytes.error().message().c_str());
        return 1;
      }
      bytes->push_back(dst ? 0 : 1);  // the mode byte: even reads DST, odd EXP
      const std::string path = std::string(argv[1]) + "/" + s.name + (dst ? "_dst" : "_exp");
      std::ofstream out(path, std::ios::binary);
      out.write(reinterpret_cast<const char*>(bytes->data()),
                static_cast<std::streamsize>(bytes->size()));
      if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return 1;
      }
    }
  }
  return 0;
}
