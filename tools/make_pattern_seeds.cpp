// Writes small PES, PEC and JEF designs for the fuzz targets' seed corpora:
//   korvane_make_pattern_seeds CORPUS_DIR
// (CORPUS_DIR/pes_pec and CORPUS_DIR/jef must exist).
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "formats/jef.hpp"
#include "formats/pes.hpp"
#include "tools/example_patterns.hpp"

namespace {

bool save(const std::string& path, const kvn::Result<std::vector<std::uint8_t>>& image) {
  if (!image) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), image.error().message().c_str());
    return false;
  }
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(image->data()),
          static_cast<std::streamsize>(image->size()));
  return static_cast<bool>(f);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: korvane_make_pattern_seeds CORPUS_DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  struct Seed {
    const char* name;
    std::uint32_t seed, stitches, blocks;
    std::int32_t reach;
    bool stops;
  };
  // Short and long stitches (both PEC record forms, split JEF steps), one
  // block and several, stops.
  const Seed seeds[] = {
      {"short_one_block", 1, 40, 1, 60, false},
      {"long_stitches", 2, 30, 2, 400, false},
      {"many_blocks_stops", 3, 80, 6, 120, true},
      {"very_long_jumps", 4, 20, 3, 3000, false},
  };
  bool ok = true;
  for (const auto& s : seeds) {
    const auto p = kvn::tools::example_pattern(s.seed, s.stitches, s.blocks, s.reach, s.stops);
    const auto pes = kvn::formats::write_pes(p, s.name);
    ok &= save(dir + "/pes_pec/" + s.name + ".pes", pes);
    if (pes) {
      // A standalone PEC: its own signature before the PES file's PEC section.
      std::vector<std::uint8_t> pec = {'#', 'P', 'E', 'C', '0', '0', '0', '1'};
      pec.insert(pec.end(), pes->begin() + 22, pes->end());
      ok &= save(dir + "/pes_pec/" + s.name + ".pec", pec);
    }
    ok &= save(dir + "/jef/" + s.name + ".jef", kvn::formats::write_jef(p, s.name));
  }
  return ok ? 0 : 1;
}
