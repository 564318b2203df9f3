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
  auto inside = [&s](ShvSection section, std::uint64_t, std::uint64_t bytes,
                     const ShvPrelude&) -> Status {
    static constexpr const char* kNeeds[] = {
        "its header text and name length need", "its name needs", "its dimension block needs",
        "its preview needs", "its header needs"};
    KORVANE_TRY(at, s.take(bytes, kNeeds[static_cast<std::size_t>(section)]));
    (void)at;
    return Ok{};
  };
  KORVANE_TRY(p, walk_shv_prelude(shv, inside));
  // Every section has been taken above, so each lies inside the image.
  KORVANE_TRY(text, shv.span_at(0, kShvHeaderTextSize, "its header text"));
  d.header_text = text;
  KORVANE_TRY(name, shv.span_at(kShvNameAt, p.name_size, "its name"));
  d.name = name;
  d.dimensions_at = p.dimensions_at;
  d.dimensions = p.dimensions;
  KORVANE_TRY(bitmap, shv.span_at(static_cast<std::size_t>(p.bitmap_at),
                                  static_cast<std::size_t>(p.dimensions.bitmap_size()),
                                  "its preview"));
  d.bitmap = bitmap;
  d.header_at = static_cast<std::size_t>(p.header_at);
  const shvhdr_t& h = *p.header;
  d.header = h;
  KORVANE_TRY(table_at, s.take(std::uint64_t{kShvColorSize} * h.nColors, "its colour table needs"));
  d.colours.reserve(h.nColors);
  for (std::size_t c = 0; c < h.nColors; ++c) {
    KORVANE_TRY(colour, read_shvcolor(shv, table_at + c * kShvColorSize));
    d.colours.push_back(colour);
  }
  KORVANE_TRY(stream_at, s.take(2 * std::uint64_t{h.Stitches}, "its stitches need"));
  const std::size_t stream_bytes = 2 * std::size_t{h.Stitches};
  KORVANE_TRY(stream, shv.span_at(stream_at, stream_bytes, "its stitches"));
  d.stream = stream;
  KORVANE_TRY(trailing, shv.span_at(stream_at + stream_bytes,
                                    shv.size() - (stream_at + stream_bytes), "what follows"));
  d.trailing = trailing;
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
