#include "formats/shv_design.hpp"

#include "formats/error.hpp"

#include <algorithm>
#include <string>

namespace kvn::formats {

bool has_shv_signature(const shvhdr_t& h) {
  return h.Signature1 == kShvSignature1 && h.Signature2 == kShvSignature2;
}

namespace {

// Each section of the image in turn must lie inside it; the first that does
// not is named with what it needs and what is there.
class Sections {
 public:
  explicit Sections(const ByteReader& shv) : shv_(shv) {}

  Result<std::size_t> take(std::uint64_t bytes, const char* what) {
    const std::uint64_t there = at_ <= shv_.size() ? shv_.size() - at_ : 0;
    KORVANE_FAIL_IF(
        bytes > there, ErrorCode::kDesignTruncated, shv_.file(),
        std::string(what) + " " + std::to_string(bytes) + " bytes, " + bytes_there(there),
        shv_.base() + std::min<std::uint64_t>(at_, shv_.size()));
    const auto start = static_cast<std::size_t>(at_);
    at_ += bytes;
    return start;
  }

 private:
  const ByteReader& shv_;
  std::uint64_t at_ = 0;
};

}  // namespace

Result<ShvDesign> read_shv_design(const ByteReader& shv) {
  ShvDesign d;
  Sections s(shv);
  KORVANE_TRY(text_at, s.take(kShvNameAt, "its header text and name length need"));
  d.header_text = shv.bytes().subspan(text_at, kShvHeaderTextSize);
  const std::uint8_t n = shv.bytes()[kShvNameLengthAt];
  KORVANE_TRY(name_at, s.take(n, "its name needs"));
  d.name = shv.bytes().subspan(name_at, n);
  d.dimensions_at = kShvNameAt + n;
  // The form is told by its first two bytes; a block cut before them is short.
  const bool long_form = shv.contains(d.dimensions_at, 2) &&
                         shv.bytes()[d.dimensions_at] == kLongDimensionMark &&
                         shv.bytes()[d.dimensions_at + 1] == kLongDimensionMark;
  KORVANE_TRY(dims_at, s.take(long_form ? kLongDimensionSize : kShortDimensionSize,
                              "its dimension block needs"));
  KORVANE_TRY(dims, read_dimensions(shv, dims_at));
  d.dimensions = dims;
  KORVANE_TRY(bitmap_at, s.take(dims.bitmap_size(), "its preview needs"));
  d.bitmap = shv.bytes().subspan(bitmap_at, static_cast<std::size_t>(dims.bitmap_size()));
  KORVANE_TRY(header_at, s.take(kShvHdrSize, "its header needs"));
  d.header_at = header_at;
  KORVANE_TRY(h, read_shvhdr(shv, header_at));
  d.header = h;
  KORVANE_TRY(table_at, s.take(std::uint64_t{kShvColorSize} * h.nColors, "its colour table needs"));
  d.colours.reserve(h.nColors);
  for (std::size_t c = 0; c < h.nColors; ++c) {
    KORVANE_TRY(colour, read_shvcolor(shv, table_at + c * kShvColorSize));
    d.colours.push_back(colour);
  }
  KORVANE_TRY(stream_at, s.take(2 * std::uint64_t{h.Stitches}, "its stitches need"));
  const std::size_t end = stream_at + 2 * std::size_t{h.Stitches};
  d.stream = shv.bytes().subspan(stream_at, end - stream_at);
  d.trailing = shv.bytes().subspan(end);
  return d;
}

std::uint64_t shv_design_size(const ShvDesign& d) {
  return kShvNameAt + std::uint64_t{d.name.size()} + d.dimensions.block_size() +
         d.dimensions.bitmap_size() + kShvHdrSize +
         std::uint64_t{kShvColorSize} * d.colours.size() + d.stream.size() + d.trailing.size();
}

std::uint64_t shv_bitmap_at(const ShvDesign& d) {
  return kShvNameAt + std::uint64_t{d.name.size()} + d.dimensions.block_size();
}

void write_shv_design(ByteWriter& out, const ShvDesign& d) {
  const auto text = d.header_text.first(std::min(d.header_text.size(), kShvHeaderTextSize));
  out.bytes(text);
  out.zeros(kShvHeaderTextSize - text.size());
  out.u8(static_cast<std::uint8_t>(d.name.size()));
  out.bytes(d.name);
  write_dimensions(out, d.dimensions);
  if (d.bitmap.empty())
    out.zeros(static_cast<std::size_t>(d.dimensions.bitmap_size()));
  else
    out.bytes(d.bitmap);
  write_shvhdr(out, d.header);
  for (const auto& c : d.colours) write_shvcolor(out, c);
  out.bytes(d.stream);
  out.bytes(d.trailing);
}

}  // namespace kvn::formats
