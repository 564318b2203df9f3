#include "formats/shv_layout.hpp"

namespace kvn::formats {

Result<ShvDimensions> read_dimensions(const ByteReader& shv, std::size_t at) {
  ShvDimensions d;
  KORVANE_TRY(head, shv.take<2>(at, "the dimension block"));
  // Only two leading 255s mark the long form; 255, 254 is a short block of 255 rows.
  if (head[0] == kLongDimensionMark && head[1] == kLongDimensionMark) {
    KORVANE_TRY(b, shv.take<kLongDimensionSize>(at, "the long dimension block"));
    d.long_form = true;
    d.scanlines = static_cast<std::uint16_t>(GetShort(field<3, 2>(b)));
    d.pixels = static_cast<std::uint16_t>(GetShort(field<5, 2>(b)));
    d.x_offset = GetShort(field<7, 2>(b));
    d.y_offset = GetShort(field<9, 2>(b));
  } else {
    KORVANE_TRY(b, shv.take<kShortDimensionSize>(at, "the dimension block"));
    d.scanlines = b[0];
    d.pixels = b[1];
    d.x_offset = static_cast<std::int8_t>(b[2]);
    d.y_offset = static_cast<std::int8_t>(b[3]);
  }
  return d;
}

Result<std::size_t> GetShvStitchPos(const ByteReader& shv) {
  KORVANE_TRY(n, shv.u8(kShvNameLengthAt, "the design's name length"));
  const std::size_t dims_at = kShvNameAt + n;
  KORVANE_TRY(d, read_dimensions(shv, dims_at));
  const std::uint64_t after = dims_at + d.block_size() + d.bitmap_size();
  if (after > shv.size())
    return shv.error_at(dims_at, ErrorCode::kDesignTruncated,
                        "its preview of " + std::to_string(d.scanlines) + " x " +
                            std::to_string(d.pixels) + " ends at byte " +
                            std::to_string(shv.base() + after) + ", beyond the design's end (byte " +
                            std::to_string(shv.base() + shv.size()) + ")");
  return static_cast<std::size_t>(after);
}

Result<shvhdr_t> read_shvhdr(const ByteReader& shv, std::size_t at) {
  KORVANE_TRY(b, shv.take<kShvHdrSize>(at, "the design header"));
  shvhdr_t h;
  h.nColors = b[0];
  h.Signature1 = b[1];
  h.Signature2 = b[2];
  h.filler1 = b[3];
  h.Hoop = b[4];
  h.filler2 = static_cast<std::uint16_t>(GetShort(field<5, 2>(b)));
  h.x0 = GetShort(field<7, 2>(b));
  h.y0 = GetShort(field<9, 2>(b));
  h.x1 = GetShort(field<11, 2>(b));
  h.y1 = GetShort(field<13, 2>(b));
  h.Stitches = GetLong(field<15, 4>(b));
  return h;
}

Result<shvcolor_t> read_shvcolor(const ByteReader& shv, std::size_t at) {
  KORVANE_TRY(b, shv.take<kShvColorSize>(at, "a colour record"));
  shvcolor_t c;
  c.Stitches = GetLong(field<0, 4>(b));
  c.Color = b[4];
  c.xpos = GetShort(field<10, 2>(b));
  c.ypos = GetShort(field<12, 2>(b));
  return c;
}

void write_shvhdr(ByteWriter& out, const shvhdr_t& h) {
  out.u8(h.nColors);
  out.u8(h.Signature1);
  out.u8(h.Signature2);
  out.u8(h.filler1);
  out.u8(h.Hoop);
  out.u16(h.filler2);
  out.u16(h.x0);
  out.u16(h.y0);
  out.u16(h.x1);
  out.u16(h.y1);
  out.u32(h.Stitches);
}

void write_shvcolor(ByteWriter& out, const shvcolor_t& c) {
  out.u32(c.Stitches);
  out.u8(c.Color);
  out.zeros(5);  // filler1
  out.u16(c.xpos);
  out.u16(c.ypos);
}

}  // namespace kvn::formats
