// Reading arbitrary bytes as a HUS or VIP design (the last byte chooses), or
// expanding them as one compressed section of the size the two bytes before
// it give, or compressing them (mode 3). A reading is sound and holds at most two
// events per stitch; an expansion is exactly the size asked for; what is
// compressed expands to the same bytes.
#include "formats/hus.hpp"
#include "formats/husvip_compress.hpp"
#include "fuzz/read_pattern_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const auto split = kvn::fuzz::take_mode(data, size);
  if (!split) return 0;
  const auto& body = split->body;
  switch (split->mode % 4) {
    case 0:
      kvn::fuzz::check_read_pattern(f::read_hus(f::ByteReader(body, "in.hus")),
                                    2 * f::kMaxExpandedSection + 1);
      break;
    case 1:
      kvn::fuzz::check_read_pattern(f::read_vip(f::ByteReader(body, "in.vip")),
                                    2 * f::kMaxExpandedSection + 1);
      break;
    case 3: {
      const auto packed = f::compress_husvip(body);
      const auto back =
          f::expand_husvip(f::ByteReader(packed, "out.hus"), body.size(), "the section");
      KORVANE_FUZZ_CHECK(back && *back == body, "a compressed section does not expand to itself");
      break;
    }
    default: {
      if (body.size() < 2) return 0;
      const std::size_t expected = body[body.size() - 2] | (std::size_t{body.back()} << 8);
      const kvn::fuzz::Bytes stream(body.begin(), body.end() - 2);
      const auto out = f::expand_husvip(f::ByteReader(stream, "in.hus"), expected, "the section");
      if (out) KORVANE_FUZZ_CHECK(out->size() == expected, "an expansion of the wrong size");
      break;
    }
  }
  return 0;
}
