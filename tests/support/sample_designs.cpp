#include "support/sample_designs.hpp"

#include <algorithm>
#include <cstdlib>

#include "formats/byte_reader.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::test {

Bytes written_shv(const HucBuilder& huc, const std::string& name) {
  const Bytes image = huc.bytes();
  auto shv = shvgen::build_shv(formats::ByteReader(image, "sample.huc"), name);
  if (!shv) std::abort();  // a sample that the writer refuses is a broken test
  return *shv;
}

Bytes rose_shv() {
  return written_shv(HucBuilder{}
                         .extents(255, 100, -137, -300)
                         .colour(5, cat({rec(0, 0), rec(10, 0), rec(0, 10)}))
                         .colour(33, cat({long_move(-10, -10), rec(5, 5)})),
                     "rose");
}

Bytes one_stitch_shv(std::uint8_t code, std::int8_t dx, std::int8_t dy, const std::string& name) {
  return written_shv(HucBuilder{}
                         .extents(std::max<std::int16_t>(dx, 0), std::max<std::int16_t>(dy, 0),
                                  std::min<std::int16_t>(dx, 0), std::min<std::int16_t>(dy, 0))
                         .colour(code, cat({rec(0, 0), rec(dx, dy)})),
                     name);
}

}  // namespace kvn::test
