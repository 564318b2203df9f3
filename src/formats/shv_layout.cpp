#include "formats/shv_layout.hpp"

#include <array>

namespace kvn::formats {
namespace {

// Records are assembled at their named offsets and appended whole, so a
// writer places each field exactly where the reader takes it from.
template <std::size_t N>
class Record {
 public:
  template <std::size_t At>
  void u8(std::uint8_t v) {
    static_assert(At < N, "field lies outside its record");
    b_[At] = v;
  }
  template <std::size_t At>
  void u16(std::int32_t v) {
    static_assert(At + 2 <= N, "field lies outside its record");
    PutShort(b_, At, v);
  }
  template <std::size_t At>
  void u32(std::uint32_t v) {
    u16<At>(static_cast<std::int32_t>(v >> 16));
    u16<At + 2>(static_cast<std::int32_t>(v & 0xFFFF));
  }
  void append_to(ByteWriter& out) const { out.bytes(b_); }

 private:
  std::array<std::uint8_t, N> b_{};
};

template <std::size_t At, std::size_t N>
std::int16_t s16_at(std::span<const std::uint8_t, N> b) {
  return GetShort(field<At, 2>(b));
}

template <std::size_t At, std::size_t N>
std::uint16_t u16_at(std::span<const std::uint8_t, N> b) {
  return static_cast<std::uint16_t>(GetShort(field<At, 2>(b)));
}

// Dimension values are whole millimetres; extents are tenths.
constexpr std::int32_t kTenths = 10;

}  // namespace

ShvDimensions dimensions_for_extents(std::int16_t x0, std::int16_t y0, std::int16_t x1,
                                     std::int16_t y1) {
  // Rounded outward to whole millimetres; division truncates toward zero.
  std::int32_t scanlines = (std::int32_t{x0} + 9) / kTenths - (std::int32_t{x1} - 9) / kTenths;
  std::int32_t pixels = (std::int32_t{y0} + 9) / kTenths - (std::int32_t{y1} - 9) / kTenths;
  // Extents that miss the start point can make a count negative; its low byte
  // would describe a bitmap that is not there.
  if (scanlines < 0) scanlines = 0;
  if (pixels < 0) pixels = 0;
  const std::int32_t x_offset = -(std::int32_t{x1} / kTenths);
  const std::int32_t y_offset = -(std::int32_t{y1} / kTenths);
  ShvDimensions d;
  // A short block beginning 255, 255 would read back as the long-form mark.
  d.long_form = scanlines > kMaxShortCount || pixels > kMaxShortCount ||
                (scanlines == kMaxShortCount && pixels == kMaxShortCount);
  // 16-bit extents give counts below 6,555 and offsets within +-3,277.
  d.scanlines = static_cast<std::uint16_t>(scanlines);
  d.pixels = static_cast<std::uint16_t>(pixels);
  // The short form keeps only the low byte of an offset.
  d.x_offset = d.long_form ? wrap16(x_offset) : static_cast<std::int8_t>(x_offset & 0xFF);
  d.y_offset = d.long_form ? wrap16(y_offset) : static_cast<std::int8_t>(y_offset & 0xFF);
  return d;
}

Result<ShvDimensions> read_dimensions(const ByteReader& shv, std::size_t at) {
  ShvDimensions d;
  KORVANE_TRY(head, shv.take<2>(at, "the dimension block"));
  // Only two leading 255s mark the long form; 255, 254 is a short block of 255 rows.
  if (head[long_dims_at::kMark1] == kLongDimensionMark &&
      head[long_dims_at::kMark2] == kLongDimensionMark) {
    KORVANE_TRY(b, shv.take<kLongDimensionSize>(at, "the long dimension block"));
    d.long_form = true;
    d.scanlines = u16_at<long_dims_at::kScanlines>(b);
    d.pixels = u16_at<long_dims_at::kPixels>(b);
    d.x_offset = s16_at<long_dims_at::kXOffset>(b);
    d.y_offset = s16_at<long_dims_at::kYOffset>(b);
  } else {
    KORVANE_TRY(b, shv.take<kShortDimensionSize>(at, "the dimension block"));
    d.scanlines = b[short_dims_at::kScanlines];
    d.pixels = b[short_dims_at::kPixels];
    d.x_offset = static_cast<std::int8_t>(b[short_dims_at::kXOffset]);
    d.y_offset = static_cast<std::int8_t>(b[short_dims_at::kYOffset]);
  }
  return d;
}

void write_dimensions(ByteWriter& out, const ShvDimensions& d) {
  if (d.long_form) {
    Record<kLongDimensionSize> r;
    r.u8<long_dims_at::kMark1>(kLongDimensionMark);
    r.u8<long_dims_at::kMark2>(kLongDimensionMark);
    r.u8<long_dims_at::kVersion>(kLongDimensionVersion);
    r.u16<long_dims_at::kScanlines>(d.scanlines);
    r.u16<long_dims_at::kPixels>(d.pixels);
    r.u16<long_dims_at::kXOffset>(d.x_offset);
    r.u16<long_dims_at::kYOffset>(d.y_offset);
    r.u16<long_dims_at::kXOffsetAgain>(d.x_offset);
    r.u16<long_dims_at::kYOffsetAgain>(d.y_offset);
    r.append_to(out);
    return;
  }
  const auto low = [](std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); };
  Record<kShortDimensionSize> r;
  r.u8<short_dims_at::kScanlines>(low(d.scanlines));
  r.u8<short_dims_at::kPixels>(low(d.pixels));
  r.u8<short_dims_at::kXOffset>(low(d.x_offset));
  r.u8<short_dims_at::kYOffset>(low(d.y_offset));
  r.u8<short_dims_at::kXOffsetAgain>(low(d.x_offset));
  r.u8<short_dims_at::kYOffsetAgain>(low(d.y_offset));
  r.append_to(out);
}

Result<std::size_t> GetShvStitchPos(const ByteReader& shv) {
  // Only the preview is checked here: the name and the dimension block are
  // read, so a cut one fails with the reader's own words.
  auto preview_inside = [&shv](ShvSection section, std::uint64_t at, std::uint64_t bytes,
                               const ShvPrelude& p) -> Status {
    if (section != ShvSection::kBitmap) return Ok{};
    const std::uint64_t after = at + bytes;
    KORVANE_FAIL_AT(after > shv.size(), shv, p.dimensions_at, ErrorCode::kDesignTruncated,
                    "its preview of " + std::to_string(p.dimensions.scanlines) + " x " +
                        std::to_string(p.dimensions.pixels) + " ends at byte " +
                        std::to_string(shv.base() + after) + ", beyond the design's end (byte " +
                        std::to_string(shv.base() + shv.size()) + ")");
    return Ok{};
  };
  KORVANE_TRY(p, walk_shv_prelude(shv, preview_inside));
  return static_cast<std::size_t>(p.header_at);
}

Result<shvhdr_t> read_shvhdr(const ByteReader& shv, std::size_t at) {
  KORVANE_TRY(b, shv.take<kShvHdrSize>(at, "the design header"));
  shvhdr_t h;
  h.nColors = b[shvhdr_at::kNColors];
  h.Signature1 = b[shvhdr_at::kSignature1];
  h.Signature2 = b[shvhdr_at::kSignature2];
  h.filler1 = b[shvhdr_at::kFiller1];
  h.Hoop = b[shvhdr_at::kHoop];
  h.filler2 = u16_at<shvhdr_at::kFiller2>(b);
  h.x0 = s16_at<shvhdr_at::kX0>(b);
  h.y0 = s16_at<shvhdr_at::kY0>(b);
  h.x1 = s16_at<shvhdr_at::kX1>(b);
  h.y1 = s16_at<shvhdr_at::kY1>(b);
  h.Stitches = GetLong(field<shvhdr_at::kStitches, 4>(b));
  return h;
}

Result<shvcolor_t> read_shvcolor(const ByteReader& shv, std::size_t at) {
  KORVANE_TRY(b, shv.take<kShvColorSize>(at, "a colour record"));
  shvcolor_t c;
  c.Stitches = GetLong(field<shvcolor_at::kStitches, 4>(b));
  c.Color = b[shvcolor_at::kColor];
  c.xpos = s16_at<shvcolor_at::kXpos>(b);
  c.ypos = s16_at<shvcolor_at::kYpos>(b);
  return c;
}

void write_shvhdr(ByteWriter& out, const shvhdr_t& h) {
  Record<kShvHdrSize> r;
  r.u8<shvhdr_at::kNColors>(h.nColors);
  r.u8<shvhdr_at::kSignature1>(h.Signature1);
  r.u8<shvhdr_at::kSignature2>(h.Signature2);
  r.u8<shvhdr_at::kFiller1>(h.filler1);
  r.u8<shvhdr_at::kHoop>(h.Hoop);
  r.u16<shvhdr_at::kFiller2>(h.filler2);
  r.u16<shvhdr_at::kX0>(h.x0);
  r.u16<shvhdr_at::kY0>(h.y0);
  r.u16<shvhdr_at::kX1>(h.x1);
  r.u16<shvhdr_at::kY1>(h.y1);
  r.u32<shvhdr_at::kStitches>(h.Stitches);
  r.append_to(out);
}

void write_shvcolor(ByteWriter& out, const shvcolor_t& c) {
  Record<kShvColorSize> r;
  r.u32<shvcolor_at::kStitches>(c.Stitches);
  r.u8<shvcolor_at::kColor>(c.Color);
  r.u16<shvcolor_at::kXpos>(c.xpos);
  r.u16<shvcolor_at::kYpos>(c.ypos);
  r.append_to(out);
}

}  // namespace kvn::formats
