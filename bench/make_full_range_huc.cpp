// Writes a HUC design file with extents +-32,767 and the given number of
// stream words (65,535 by default): the largest design the layout holds.
#include <cstdio>
#include <cstdlib>

#include "support/design_builders.hpp"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: make_full_range_huc OUT.huc [WORDS]\n");
    return 2;
  }
  const long words = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 65535;
  if (words < 4 || words > 65535) {
    std::fprintf(stderr, "make_full_range_huc: WORDS must lie in 4..65535\n");
    return 2;
  }
  const auto huc = kvn::test::full_range_huc(static_cast<std::uint32_t>(words));
  std::FILE* f = std::fopen(argv[1], "wb");
  if (!f) {
    std::perror(argv[1]);
    return 1;
  }
  const bool ok = std::fwrite(huc.data(), 1, huc.size(), f) == huc.size();
  if (std::fclose(f) != 0 || !ok) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
