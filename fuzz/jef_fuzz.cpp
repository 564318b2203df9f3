// Reading arbitrary bytes as a JEF design: either a clean error naming the
// file, or a pattern that keeps the model's rules and writes out as JEF to a
// file that reads back to the same stitches, blocks, trims, stops, end and
// thread colours (JEF steps are what the reader read, so nothing is split).
#include "formats/jef.hpp"
#include "fuzz/pattern_fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const kvn::fuzz::Bytes input(data, data + size);
  const auto p = f::read_jef(f::ByteReader(input, "in.jef"));
  kvn::fuzz::check_read(p, "in.jef");
  if (!p) return 0;
  const auto out = f::write_jef(*p, "out.jef");
  KORVANE_FUZZ_CHECK(out.has_value(), out ? "" : out.error().message());
  const auto back = f::read_jef(f::ByteReader(*out, "out.jef"));
  KORVANE_FUZZ_CHECK(back.has_value(), back ? "" : back.error().message());
  kvn::fuzz::check_same_design(*p, *back);
  // A design without colours gets the default threads when written.
  if (p->threads.empty()) return 0;
  kvn::fuzz::check_same_colours(*p, *back);
  return 0;
}
