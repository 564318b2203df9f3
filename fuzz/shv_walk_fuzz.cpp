// Navigating arbitrary bytes as an SHV design image and walking every colour
// block with GetXY. Navigation either refuses or lands inside the image, and
// the C entry points, given only what they are documented to read, agree
// with the bounded ones.
#include <string>

#include "fuzz/fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const kvn::fuzz::Bytes shv(data, data + size);
  const f::ByteReader rd(shv, "in.shv");
  auto at = f::GetShvStitchPos(rd);
  if (!at) return 0;
  KORVANE_FUZZ_CHECK(*at <= shv.size(), "the header lies past the end");
  kvn::fuzz::Bytes copy = shv;
  const auto* c_at = ::GetShvStitchPos(copy.data());
  KORVANE_FUZZ_CHECK(static_cast<std::size_t>(c_at - copy.data()) == *at,
                     "the C GetShvStitchPos disagrees");

  auto hdr = f::read_shvhdr(rd, *at);
  if (!hdr) return 0;
  const std::size_t table = *at + f::kShvHdrSize;
  std::vector<f::shvcolor_t> colours;
  for (std::size_t c = 0; c < hdr->nColors; ++c) {
    auto sc = f::read_shvcolor(rd, table + c * f::kShvColorSize);
    if (!sc) return 0;
    colours.push_back(*sc);
  }
  const std::size_t stream_at = table + f::kShvColorSize * hdr->nColors;
  // The stream runs to the end of the image whatever the counts claim.
  kvn::fuzz::walk_blocks(std::span<const std::uint8_t>(shv).subspan(stream_at), colours);

  auto whole = f::read_shv_design(rd);
  if (whole) {
    KORVANE_FUZZ_CHECK(whole->header_at == *at, "two navigations disagree");
    KORVANE_FUZZ_CHECK(whole->stream.size() == 2 * std::size_t{hdr->Stitches},
                       "the stream is not 2 * Stitches bytes");
  }
  return 0;
}
