#include "formats/shv_design.hpp"

#include <algorithm>
#include <string>

namespace kvn::formats {

bool has_shv_signature(const shvhdr_t& h) {
  return h.Signature1 == kShvSignature1 && h.Signature2 == kShvSignature2;
}

Result<ShvDesign> read_shv_design(const ByteReader& shv) {
  ShvDesign d;
  KORVANE_TRY(n, shv.u8(kShvNameLengthAt, "the design's name length"));
  d.header_text = shv.bytes().first(kShvHeaderTextSize);  // inside: the name length follows it
  KORVANE_TRY(name, shv.span_at(kShvNameAt, n, "the design's name"));
  d.name = name;
  d.dimensions_at = kShvNameAt + n;
  // GetShvStitchPos checks that the dimension block and the bitmap lie inside.
  KORVANE_TRY(at, GetShvStitchPos(shv));
  KORVANE_TRY(dims, read_dimensions(shv, d.dimensions_at));
  d.dimensions = dims;
  const std::size_t bitmap_at = d.dimensions_at + dims.block_size();
  KORVANE_TRY(bitmap, shv.span_at(bitmap_at, at - bitmap_at, "the preview bitmap"));
  d.bitmap = bitmap;
  d.header_at = at;
  KORVANE_TRY(h, read_shvhdr(shv, at));
  d.header = h;

  const std::size_t table_at = at + kShvHdrSize;
  const std::uint64_t stream_at = table_at + std::uint64_t{kShvColorSize} * h.nColors;
  const std::uint64_t stream_end = stream_at + 2 * std::uint64_t{h.Stitches};
  if (stream_end > shv.size())
    return shv.error_at(
        at, ErrorCode::kDesignTruncated,
        "it claims " + std::to_string(h.nColors) + " colours and " + std::to_string(h.Stitches) +
            " stitch words, which end at byte " + std::to_string(shv.base() + stream_end) +
            ", beyond the design's end (byte " + std::to_string(shv.base() + shv.size()) + ")");
  d.colours.reserve(h.nColors);
  for (std::size_t c = 0; c < h.nColors; ++c) {
    KORVANE_TRY(colour, read_shvcolor(shv, table_at + c * kShvColorSize));
    d.colours.push_back(colour);
  }
  const auto end = static_cast<std::size_t>(stream_end);
  d.stream = shv.bytes().subspan(static_cast<std::size_t>(stream_at),
                                 end - static_cast<std::size_t>(stream_at));
  d.trailing = shv.bytes().subspan(end);
  return d;
}

std::uint64_t shv_design_size(const ShvDesign& d) {
  return kShvNameAt + std::uint64_t{d.name.size()} + d.dimensions.block_size() +
         d.dimensions.bitmap_size() + kShvHdrSize +
         std::uint64_t{kShvColorSize} * d.colours.size() + d.stream.size() + d.trailing.size();
}

void write_shv_design(ByteWriter& out, const ShvDesign& d) {
  const auto text = d.header_text.first(std::min(d.header_text.size(), kShvHeaderTextSize));
  out.bytes(text);
  out.zeros(kShvHeaderTextSize - text.size());
  out.u8(static_cast<std::uint8_t>(d.name.size()));
  out.bytes(d.name);
  write_dimensions(out, d.dimensions);
  out.bytes(d.bitmap);
  write_shvhdr(out, d.header);
  for (const auto& c : d.colours) write_shvcolor(out, c);
  out.bytes(d.stream);
  out.bytes(d.trailing);
}

}  // namespace kvn::formats
