#include "formats/huc_layout.hpp"

#include "formats/error.hpp"

#include <cstdio>
#include <string>

namespace kvn::formats {

Result<huchdr_t> read_huchdr(const ByteReader& huc) {
  KORVANE_TRY(b, huc.take<kHucHdrSize>(0, "the HUC header"));
  huchdr_t h;
  h.nColors = b[0];
  h.Signature = b[1];
  h.Hoop = b[2];
  for (std::size_t i = 0; i < kHucNameSize; ++i) h.Name[i] = b[3 + i];
  h.x0 = GetShort(field<19, 2>(b));
  h.y0 = GetShort(field<21, 2>(b));
  h.x1 = GetShort(field<23, 2>(b));
  h.y1 = GetShort(field<25, 2>(b));
  h.Stitches = static_cast<std::uint16_t>(GetShort(field<27, 2>(b)));
  return h;
}

Status check_huc_image(const ByteReader& huc) {
  if (huc.size() < kHucHdrSize)
    return make_error(ErrorCode::kHucTooShort, huc.file(),
                      std::to_string(huc.size()) + " bytes, but its header alone needs " +
                          std::to_string(kHucHdrSize));
  KORVANE_TRY(h, read_huchdr(huc));
  if (h.Signature != kHucSignature) {
    char found[8];
    std::snprintf(found, sizeof found, "0x%02X", h.Signature);
    return huc.error_at(1, ErrorCode::kBadSignature,
                        std::string("byte 1 holds ") + found +
                            " where a HUC design holds 0xC4");
  }
  const std::size_t stream_at = huc_stream_at(h.nColors);
  if (huc.size() < stream_at)
    return make_error(ErrorCode::kHucTooShort, huc.file(),
                      std::to_string(huc.size()) + " bytes, but its header and " +
                          std::to_string(h.nColors) + " colour records need " +
                          std::to_string(stream_at));
  const std::uint64_t stream_bytes = 2 * std::uint64_t{h.Stitches};
  if (huc.size() - stream_at < stream_bytes)
    return huc.error_at(stream_at, ErrorCode::kHucTooShort,
                        "its header counts " + std::to_string(h.Stitches) +
                            " stitch words, which need " + std::to_string(stream_bytes) +
                            " bytes after the colour table; " +
                            bytes_there(huc.size() - stream_at));
  return Ok{};
}

Result<huccolor_t> read_huccolor(const ByteReader& huc, std::size_t i) {
  KORVANE_TRY(b, huc.take<kHucColorSize>(huc_color_at(i), "a HUC colour record"));
  huccolor_t c;
  c.Stitches = static_cast<std::uint16_t>(GetShort(field<0, 2>(b)));
  c.Color = b[2];
  c.xpos = GetShort(field<3, 2>(b));
  c.ypos = GetShort(field<5, 2>(b));
  return c;
}

void write_huchdr(ByteWriter& out, const huchdr_t& h) {
  out.u8(h.nColors);
  out.u8(h.Signature);
  out.u8(h.Hoop);
  out.bytes(h.Name);
  out.u16(h.x0);
  out.u16(h.y0);
  out.u16(h.x1);
  out.u16(h.y1);
  out.u16(h.Stitches);
}

void write_huccolor(ByteWriter& out, const huccolor_t& c) {
  out.u16(c.Stitches);
  out.u8(c.Color);
  out.u16(c.xpos);
  out.u16(c.ypos);
}

}  // namespace kvn::formats
