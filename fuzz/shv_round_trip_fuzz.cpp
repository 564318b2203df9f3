// Patterns in the SHV reader's own form, drawn from arbitrary bytes, written
// as SHV and read back: the same needle events, long stitches split into the
// fewest equal steps along their lines; more than 255 colour blocks refused.
#include <string>

#include "formats/shv_pattern.hpp"
#include "fuzz/fuzz_check.hpp"
#include "shvgen/shv_writer.hpp"
#include "support/shv_round_trip.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const kvn::fuzz::Bytes bytes(data, data + size);
  const f::Pattern p = kvn::test::shv_shaped_pattern(bytes);
  const auto shv = kvn::shvgen::write_shv(p, "out.shv");
  if (f::block_count(p) > 255) {
    KORVANE_FUZZ_CHECK(!shv && shv.error().code == kvn::ErrorCode::kTooManyColours,
                       "more than 255 colour blocks were not refused");
    return 0;
  }
  KORVANE_FUZZ_CHECK(shv.has_value(), "writing failed: " + shv.error().message());
  const auto back = f::read_shv(f::ByteReader(*shv, "out.shv"));
  KORVANE_FUZZ_CHECK(back.has_value(), "korvane's own SHV did not read back");
  const std::string diff = kvn::test::shv_round_trip_difference(p, *back);
  KORVANE_FUZZ_CHECK(diff.empty(), diff);
  return 0;
}
