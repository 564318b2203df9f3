#include "shvgen/shv_writer.hpp"

#include <cstdio>

#include "formats/byte_writer.hpp"
#include "formats/hoop.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/shv_pattern.hpp"
#include "shvgen/preview.hpp"

namespace kvn::shvgen {
namespace {

using formats::ByteReader;
using formats::ByteWriter;

// huchdr_t::Hoop carries a hoop option in bits 0-1; a set option is marked with
// 0x80 and replaces the code of the classes that take one by option | 0x30.
constexpr std::uint8_t kHoopOptionBits = 0x03;
constexpr std::uint8_t kHoopOptionMark = 0x80;
constexpr std::uint8_t kHoopOptionClass = 0x30;

std::span<const std::uint8_t> as_bytes(std::string_view s) {
  return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Checks the size of the whole image and writes `d` up to its stream (all of
// it with `with_stream`), the preview drawn in place from the colour records
// and the stream: a bitmap of its own would double the memory of the largest
// designs, whose preview is most of the image.
Result<std::vector<std::uint8_t>> lay_out(formats::ShvDesign& d, const std::string& file,
                                          bool with_stream = true) {
  const std::uint64_t total = formats::shv_design_size(d);
  if (total > kMaxShvImage)
    return make_error(ErrorCode::kTooManyWords, file,
                      "the SHV design would be " + std::to_string(total) + " bytes");
  const auto stream = d.stream;
  const auto trailing = d.trailing;
  if (!with_stream) d.stream = d.trailing = {};
  d.bitmap = {};
  ByteWriter out(static_cast<std::size_t>(formats::shv_design_size(d)));
  formats::write_shv_design(out, d);
  d.stream = stream;
  d.trailing = trailing;
  auto image = out.take();
  // The preview rows run along x: the renderer's `pixels` (rows) is our
  // `scanlines`, its `scanlines` (cells per row) our `pixels`.
  const auto bitmap = std::span(image).subspan(static_cast<std::size_t>(formats::shv_bitmap_at(d)),
                                               static_cast<std::size_t>(d.dimensions.bitmap_size()));
  draw_preview(bitmap, {d.header.x0, d.header.y0, d.header.x1, d.header.y1}, d.colours, d.stream,
               d.dimensions.scanlines, d.dimensions.pixels);
  return image;
}

}  // namespace

std::uint8_t hoop_code(std::int32_t width, std::int32_t height, std::uint8_t huc_hoop) {
  std::uint8_t option = huc_hoop & kHoopOptionBits;
  if (option != 0) option |= kHoopOptionMark;
  // Width is always the x extent: a design is never turned to fit a hoop.
  const std::size_t i = formats::hoop_class_index(width, height);
  if (i == formats::kHoopClassCount) return formats::kHoopLargerCode;
  const auto& c = formats::kHoopClasses[i];
  if (c.takes_option && option != 0) return static_cast<std::uint8_t>(option | kHoopOptionClass);
  return c.code;
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

  formats::ShvDesign d;
  d.header_text = as_bytes(kShvHeaderText);
  d.name = as_bytes(design_name.substr(0, kMaxDesignName));
  d.dimensions = formats::dimensions_for_extents(hdr.x0, hdr.y0, hdr.x1, hdr.y1);
  d.header.nColors = hdr.nColors;
  d.header.Hoop = hoop_code(std::int32_t{hdr.x0} - hdr.x1, std::int32_t{hdr.y0} - hdr.y1, hdr.Hoop);
  d.header.x0 = hdr.x0;
  d.header.y0 = hdr.y0;
  d.header.x1 = hdr.x1;
  d.header.y1 = hdr.y1;
  d.header.Stitches = hdr.Stitches;
  d.colours.reserve(hdr.nColors);
  for (std::size_t i = 0; i < hdr.nColors; ++i) {
    KORVANE_TRY(c, formats::read_huccolor(huc, i));
    d.colours.push_back({c.Stitches, c.Color, c.xpos, c.ypos});
  }
  d.stream = stream;
  return lay_out(d, huc.file());
}

namespace {

formats::ShvDesign design_of(const formats::Pattern& p, const formats::ShvEncoding& e) {
  formats::ShvDesign d;
  d.header_text = as_bytes(kShvHeaderText);
  d.name = as_bytes(std::string_view(p.name).substr(0, kMaxDesignName));
  d.dimensions = formats::dimensions_for_extents(e.x0, e.y0, e.x1, e.y1);
  d.header.nColors = static_cast<std::uint8_t>(e.colours.size());
  d.header.Hoop = hoop_code(std::int32_t{e.x0} - e.x1, std::int32_t{e.y0} - e.y1, 0);
  d.header.x0 = e.x0;
  d.header.y0 = e.y0;
  d.header.x1 = e.x1;
  d.header.y1 = e.y1;
  d.header.Stitches = e.words;
  d.colours = e.colours;
  d.stream = e.stream;
  return d;
}

}  // namespace

Result<std::vector<std::uint8_t>> write_shv(const formats::Pattern& p, const std::string& file) {
  auto ok = formats::check_pattern(p, file);
  if (!ok) return ok.error();
  KORVANE_TRY(e, formats::encode_shv(p, file));
  auto d = design_of(p, e);
  return lay_out(d, file);
}

Result<ShvPieces> write_shv_pieces(const formats::Pattern& p, const std::string& file) {
  auto ok = formats::check_pattern(p, file);
  if (!ok) return ok.error();
  KORVANE_TRY(e, formats::encode_shv(p, file));
  auto d = design_of(p, e);
  KORVANE_TRY(head, lay_out(d, file, false));
  return ShvPieces{std::move(head), std::move(e.stream)};
}

}  // namespace kvn::shvgen
