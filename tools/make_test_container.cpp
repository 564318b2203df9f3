// Writes a DHV container of N opaque designs for the shell tests and the
// start-up benchmark: enough for splitting, which copies designs unread.
//   make_test_container OUT N [BYTES_PER_DESIGN]
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "support/builders.hpp"

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: make_test_container OUT N [BYTES_PER_DESIGN]\n");
    return 2;
  }
  const long designs = std::strtol(argv[2], nullptr, 10);
  const long length = argc == 4 ? std::strtol(argv[3], nullptr, 10) : 4096;
  if (designs < 1 || designs > 100000 || length < 1 || length > (1L << 24)) {
    std::fprintf(stderr, "make_test_container: N must be 1..100000 and BYTES 1..16777216\n");
    return 2;
  }
  kvn::test::DhvBuilder dhv;
  for (long i = 0; i < designs; ++i)
    dhv.add(
        kvn::test::opaque_design(static_cast<std::size_t>(length), static_cast<std::uint8_t>(i)),
        static_cast<std::int16_t>(10 * i), static_cast<std::int16_t>(-5 * i));
  const auto bytes = dhv.bytes();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) {
    std::fprintf(stderr, "make_test_container: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
