// Writes the seed corpora of the stitch-pattern fuzz targets from generated
// designs: PES and PEC in CORPUS_DIR/pes_pec, JEF in CORPUS_DIR/jef, and DST
// and EXP in CORPUS_DIR/dst_exp, each of those followed by the mode byte that
// picks its reader (even DST, odd EXP); and for the formats target, a few
// designs in every format the format table both writes and reads, each
// followed by its kind's number.
//   korvane_make_pattern_seeds CORPUS_DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "convert/pattern_write.hpp"
#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/jef.hpp"
#include "formats/pes.hpp"
#include "tools/pattern_gen.hpp"

namespace {

using Image = kvn::Result<std::vector<std::uint8_t>>;

bool save(const std::string& path, Image image, int mode = -1) {
  if (!image) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), image.error().message().c_str());
    return false;
  }
  if (mode >= 0) image->push_back(static_cast<std::uint8_t>(mode));
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(image->data()),
          static_cast<std::streamsize>(image->size()));
  if (!f) std::fprintf(stderr, "cannot write %s\n", path.c_str());
  return static_cast<bool>(f);
}

struct Seed {
  const char* name;
  kvn::example::PatternShape shape;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvane_make_pattern_seeds CORPUS_DIR\n");
    return 2;
  }
  namespace f = kvn::formats;
  const std::string dir = argv[1];
  for (const char* sub : {"/pes_pec", "/jef", "/dst_exp", "/formats"})
    std::filesystem::create_directories(dir + sub);
  bool ok = true;

  // Short and long stitches (both PEC record forms, split JEF steps), one
  // block and several, stops.
  const Seed threaded[] = {
      {"short_one_block",
       {.stitches = 40, .blocks = 1, .max_stitch = 60, .threads = true, .seed = 1}},
      {"long_stitches",
       {.stitches = 30, .blocks = 2, .max_stitch = 400, .threads = true, .seed = 2}},
      {"many_blocks_stops",
       {.stitches = 80, .blocks = 6, .max_stitch = 120, .threads = true, .stops = true, .seed = 3}},
      {"very_long_jumps",
       {.stitches = 20,
        .blocks = 3,
        .max_stitch = 3000,
        .max_jump = 3000,
        .threads = true,
        .seed = 4}},
  };
  for (const auto& s : threaded) {
    const auto p = kvn::example::generated_pattern(s.shape);
    ok &= save(dir + "/pes_pec/" + s.name + ".pes", f::write_pes(p, s.name));
    ok &= save(dir + "/pes_pec/" + s.name + ".pec", f::write_pec(p, s.name));
    ok &= save(dir + "/jef/" + s.name + ".jef", f::write_jef(p, s.name));
  }

  // DST and EXP keep no colours: plain designs, short steps and long jumps.
  const Seed plain[] = {
      {"one_block", {.stitches = 40, .blocks = 1, .seed = 1}},
      {"three_blocks", {.stitches = 90, .blocks = 3, .seed = 2}},
      {"short_steps", {.stitches = 60, .blocks = 2, .max_stitch = 6, .max_jump = 12, .seed = 3}},
      {"long_jumps", {.stitches = 60, .blocks = 2, .max_jump = 2000, .seed = 4}},
  };
  for (const auto& s : plain) {
    const auto p = kvn::example::generated_pattern(s.shape);
    const std::string base = dir + "/dst_exp/" + s.name;
    ok &= save(base + "_dst", f::write_dst(p, s.name), 0);
    ok &= save(base + "_exp", f::write_exp(p, s.name), 1);
  }

  for (const auto& row : f::format_table()) {
    if (!row.writable || !row.read) continue;
    for (const auto& s : {threaded[0], threaded[2]}) {
      const auto p = kvn::example::generated_pattern(s.shape);
      ok &= save(dir + "/formats/" + std::string(row.extensions.front()) + "_" + s.name,
                 kvn::convert::write_pattern(p, row.kind, s.name), static_cast<int>(row.kind));
    }
  }
  return ok ? 0 : 1;
}
