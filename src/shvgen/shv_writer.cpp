#include "shvgen/shv_writer.hpp"

#include <cstdio>

#include "formats/byte_writer.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_layout.hpp"
#include "shvgen/preview.hpp"

namespace kvn::shvgen {
namespace {

using formats::ByteReader;
using formats::ByteWriter;

// Hoop classes (shvhdr_t::Hoop), by the largest design each one takes.
constexpr std::uint8_t kHoop100x100 = 0x30;
constexpr std::uint8_t kHoop100x170 = 0x10;
constexpr std::uint8_t kHoop150x150 = 0x50;
constexpr std::uint8_t kHoop150x240 = 0x90;
constexpr std::uint8_t kHoop150x360 = 0xB7;
constexpr std::uint8_t kHoopLarger = 0x00;
// huchdr_t::Hoop carries a hoop option in bits 0-1; a set option is marked with
// 0x80 and replaces the code of the two 150 mm wide classes by option | 0x30.
constexpr std::uint8_t kHoopOptionBits = 0x03;
constexpr std::uint8_t kHoopOptionMark = 0x80;
constexpr std::uint8_t kHoopOptionClass = 0x30;

// Dimension values are whole millimetres; extents are tenths.
constexpr std::int32_t kTenths = 10;

}  // namespace

DimensionValues dimension_values(std::int16_t x0, std::int16_t y0, std::int16_t x1,
                                 std::int16_t y1) {
  DimensionValues d;
  // Rounded outward to whole millimetres; division truncates toward zero.
  d.scanlines = (std::int32_t{x0} + 9) / kTenths - (std::int32_t{x1} - 9) / kTenths;
  d.pixels = (std::int32_t{y0} + 9) / kTenths - (std::int32_t{y1} - 9) / kTenths;
  // Extents that miss the start point can make a count negative; its low byte
  // would describe a bitmap that is not there.
  if (d.scanlines < 0) d.scanlines = 0;
  if (d.pixels < 0) d.pixels = 0;
  d.x_offset = -(std::int32_t{x1} / kTenths);
  d.y_offset = -(std::int32_t{y1} / kTenths);
  // A short block beginning 255, 255 would read back as the long-form mark.
  d.long_form = d.scanlines > kMaxShortCount || d.pixels > kMaxShortCount ||
                (d.scanlines == kMaxShortCount && d.pixels == kMaxShortCount);
  return d;
}

std::uint8_t hoop_code(std::int32_t width, std::int32_t height, std::uint8_t huc_hoop) {
  std::uint8_t option = huc_hoop & kHoopOptionBits;
  if (option != 0) option |= kHoopOptionMark;
  const auto wide = static_cast<std::uint8_t>(option | kHoopOptionClass);
  // Width is always the x extent: a design is never turned to fit a hoop.
  if (width <= 1000 && height <= 1000) return kHoop100x100;
  if (width <= 1000 && height <= 1700) return kHoop100x170;
  if (width <= 1500 && height <= 1500) return option ? wide : kHoop150x150;
  if (width <= 1500 && height <= 2400) return option ? wide : kHoop150x240;
  if (width <= 1500 && height <= 3600) return kHoop150x360;
  return kHoopLarger;
}

std::string size_name(std::uint32_t shucin) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(shucin));
  return buf;
}

Result<std::vector<std::uint8_t>> build_shv(const ByteReader& huc, std::string_view design_name) {
  if (huc.size() < formats::kHucHdrSize)
    return make_error(ErrorCode::kHucTooShort, huc.file(),
                      std::to_string(huc.size()) + " bytes, but its header alone needs " +
                          std::to_string(formats::kHucHdrSize));
  KORVANE_TRY(hdr, formats::read_huchdr(huc));
  const std::size_t stream_at = formats::huc_stream_at(hdr.nColors);
  if (huc.size() < stream_at)
    return make_error(ErrorCode::kHucTooShort, huc.file(),
                      std::to_string(huc.size()) + " bytes, but its header and " +
                          std::to_string(hdr.nColors) + " colour records need " +
                          std::to_string(stream_at));
  const auto stream = huc.bytes().subspan(stream_at);

  const std::string_view name = design_name.substr(0, kMaxDesignName);
  const DimensionValues dims = dimension_values(hdr.x0, hdr.y0, hdr.x1, hdr.y1);
  const std::uint64_t bitmap_size =
      static_cast<std::uint64_t>(dims.scanlines) * ((static_cast<std::uint64_t>(dims.pixels) + 1) / 2);
  const std::size_t dims_size =
      dims.long_form ? formats::kLongDimensionSize : formats::kShortDimensionSize;
  const std::uint64_t total = formats::kShvNameAt + name.size() + dims_size + bitmap_size +
                              formats::kShvHdrSize + formats::kShvColorSize * hdr.nColors +
                              stream.size();
  if (total > kMaxShvImage)
    return make_error(ErrorCode::kTooManyWords, huc.file(),
                      "the SHV design would be " + std::to_string(total) + " bytes");

  ByteWriter out(static_cast<std::size_t>(total));
  out.bytes({reinterpret_cast<const std::uint8_t*>(kShvHeaderText.data()), kShvHeaderText.size()});
  out.zeros(formats::kShvHeaderTextSize - kShvHeaderText.size());
  out.u8(static_cast<std::uint8_t>(name.size()));
  out.bytes({reinterpret_cast<const std::uint8_t*>(name.data()), name.size()});

  if (dims.long_form) {
    out.u8(formats::kLongDimensionMark);
    out.u8(formats::kLongDimensionMark);
    out.u8(formats::kLongDimensionVersion);
    for (std::int32_t v : {dims.scanlines, dims.pixels, dims.x_offset, dims.y_offset,
                           dims.x_offset, dims.y_offset})
      out.u16(v);
  } else {
    for (std::int32_t v : {dims.scanlines, dims.pixels, dims.x_offset, dims.y_offset,
                           dims.x_offset, dims.y_offset})
      out.u8(static_cast<std::uint8_t>(v & 0xFF));  // counts <= 255; offsets by their low byte
  }

  // The preview rows run along x: the renderer's `pixels` (rows) is our
  // `scanlines`, its `scanlines` (cells per row) our `pixels`.
  const std::size_t bitmap_at = out.size();
  out.zeros(static_cast<std::size_t>(bitmap_size));
  MakeShvBmp(out.view().subspan(bitmap_at, static_cast<std::size_t>(bitmap_size)), huc.bytes(),
             dims.scanlines, dims.pixels);

  formats::shvhdr_t h;
  h.nColors = hdr.nColors;
  h.Hoop = hoop_code(std::int32_t{hdr.x0} - hdr.x1, std::int32_t{hdr.y0} - hdr.y1, hdr.Hoop);
  h.x0 = hdr.x0;
  h.y0 = hdr.y0;
  h.x1 = hdr.x1;
  h.y1 = hdr.y1;
  h.Stitches = hdr.Stitches;
  formats::write_shvhdr(out, h);
  for (std::size_t i = 0; i < hdr.nColors; ++i) {
    KORVANE_TRY(c, formats::read_huccolor(huc, i));
    formats::shvcolor_t s;
    s.Stitches = c.Stitches;
    s.Color = c.Color;
    s.xpos = c.xpos;
    s.ypos = c.ypos;
    formats::write_shvcolor(out, s);
  }
  out.bytes(stream);
  return out.take();
}

}  // namespace kvn::shvgen
