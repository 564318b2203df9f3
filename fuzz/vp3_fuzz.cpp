// Reading arbitrary bytes as a VP3 design: a reading is sound, and every
// event comes from at least two bytes of the input (a block start from its
// block head, a stitch from its record).
#include "formats/vp3.hpp"
#include "fuzz/read_pattern_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kvn::fuzz::Bytes in(data, data + size);
  const auto p = kvn::formats::read_vp3(kvn::formats::ByteReader(in, "in.vp3"));
  kvn::fuzz::check_read_pattern(p, size / 2 + 1);
  return 0;
}
