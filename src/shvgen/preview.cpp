#include "shvgen/preview.hpp"

#include <algorithm>
#include <limits>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "shvgen/colour_tables.hpp"

namespace kvn::shvgen {
namespace {

using formats::ByteReader;
using formats::RecordKind;
using formats::WalkStep;

constexpr bool fits_int(std::int64_t v) {
  return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}

std::int64_t abs64(std::int64_t v) { return v < 0 ? -v : v; }

}  // namespace

namespace {

// Sets one cell; `row_bytes` is preview_row_size(d.scanlines), worked out once
// per drawing rather than per cell.
inline void plot(Q2PARAM& d, std::uint64_t row_bytes, int X, int Y) {
  const std::int64_t gx = std::int64_t{X} + d.oX1;
  const std::int64_t gy = std::int64_t{Y} + d.oY1;
  if (gx < 0 || gx >= d.pixels || gy < 0 || gy >= d.scanlines) return;
  // Straight into the packed, turned layout: column gx is output row gx, and
  // line gy is pixel scanlines - 1 - gy of that row.
  const std::int64_t c = d.scanlines - 1 - gy;
  const std::uint64_t at =
      static_cast<std::uint64_t>(gx) * row_bytes + static_cast<std::uint64_t>(c / 2);
  if (at >= d.ppic.size()) return;
  std::uint8_t& b = d.ppic[static_cast<std::size_t>(at)];
  // Even pixels take the high nibble. Without a branch: along a line that
  // runs up the design, even and odd alternate at every point.
  const unsigned shift = (c % 2 == 0) ? 4U : 0U;
  const unsigned v = (d.color & 0x0FU) << shift;
  b = static_cast<std::uint8_t>((b & ~(0x0FU << shift)) | v);
}

}  // namespace

void KORVANE_CALLBACK ShvLineDDAProc(int X, int Y, std::intptr_t lpData) {
  auto& d = *reinterpret_cast<Q2PARAM*>(lpData);
  plot(d, formats::preview_row_size(static_cast<std::uint64_t>(d.scanlines)), X, Y);
}

void MakeShvBmp(std::span<std::uint8_t> pshvout, std::span<const std::uint8_t> phuc,
                std::int32_t pixels, std::int32_t scanlines) {
  if (pixels <= 0 || scanlines <= 0) return;
  const std::uint64_t area = static_cast<std::uint64_t>(pixels) *
                             formats::preview_row_size(static_cast<std::uint64_t>(scanlines));
  if (area > pshvout.size()) return;
  const auto out = pshvout.first(static_cast<std::size_t>(area));
  std::fill(out.begin(), out.end(), std::uint8_t{0});

  const ByteReader huc(phuc, "");
  const auto hdr = formats::read_huchdr(huc);
  if (!hdr) return;
  const std::size_t stream_at = formats::huc_stream_at(hdr->nColors);
  if (!huc.contains(stream_at, 0)) return;
  // The colour table lies before the stream, so every record is there.
  std::vector<formats::shvcolor_t> colours;
  colours.reserve(hdr->nColors);
  for (std::size_t i = 0; i < hdr->nColors; ++i) {
    const auto rec = formats::read_huccolor(huc, i);
    if (!rec) return;
    colours.push_back({rec->Stitches, rec->Color, rec->xpos, rec->ypos});
  }
  draw_preview(out, {hdr->x0, hdr->y0, hdr->x1, hdr->y1}, colours, huc.bytes().subspan(stream_at),
               pixels, scanlines);
}

void draw_preview(std::span<std::uint8_t> out, const PreviewExtents& e,
                  std::span<const formats::shvcolor_t> colours,
                  std::span<const std::uint8_t> stream, std::int32_t pixels,
                  std::int32_t scanlines) {
  if (pixels <= 0 || scanlines <= 0) return;
  const std::uint64_t area = static_cast<std::uint64_t>(pixels) *
                             formats::preview_row_size(static_cast<std::uint64_t>(scanlines));
  if (area > out.size()) return;

  // The box is symmetric about the start point. In 32 bits or more: twice a
  // 16-bit extent does not fit in 16 bits.
  const std::int64_t width = 2 * std::max(abs64(e.x0), abs64(e.x1));
  const std::int64_t height = 2 * std::max(abs64(e.y0), abs64(e.y1));
  const std::int64_t factorx = (width + pixels - 1) / pixels;
  const std::int64_t factory = (height + scanlines - 1) / scanlines;
  if (factorx == 0 || factory == 0) return;

  Q2PARAM data;
  data.ppic = out.first(static_cast<std::size_t>(area));
  data.oX1 = static_cast<std::int32_t>((pixels - (width + factorx - 1) / factorx) / 2);
  data.oY1 = static_cast<std::int32_t>((scanlines - (height + factory - 1) / factory) / 2);
  data.scanlines = scanlines;
  data.pixels = pixels;
  const auto row_bytes = formats::preview_row_size(static_cast<std::uint64_t>(scanlines));

  // The start point, placed from the extents. The running position is kept
  // wide: it starts at half the box, so 16 bits would wrap for designs that
  // reach more than 16,383 from their start point.
  std::int64_t x0 = e.x0, x1 = e.x1, y0 = e.y0, y1 = e.y1;
  if (x0 < 0) std::swap(x0, x1);
  if (y0 < 0) std::swap(y0, y1);
  const std::int64_t x = std::max(-x1, x0);
  const std::int64_t y = std::max(-y1, y0);

  // The walk stops at a block the stream cuts short: nothing after it can be drawn.
  // A 64-bit division costs more than drawing the stitch's cells, so
  // positions that fit an int divide as ints, and a stitch that starts where
  // the last one ended takes that one's cell.
  auto cell = [](std::int64_t v, std::int64_t factor) {
    if (fits_int(v) && fits_int(factor))
      return std::int64_t{static_cast<int>(v) / static_cast<int>(factor)};
    return v / factor;
  };
  std::int64_t last_x = 0, last_y = 0, last_cx = cell(0, factorx), last_cy = cell(0, factory);
  std::size_t last_block = colours.size();
  formats::walk_blocks(stream, colours, x, y, [&](const WalkStep& s) {
    if (s.record.kind != RecordKind::kStitch) return;
    if (s.block != last_block) {
      last_block = s.block;
      data.color = pixel_for_colour(colours[s.block].Color);
    }
    const std::int64_t cx1 = s.x0 == last_x ? last_cx : cell(s.x0, factorx);
    const std::int64_t cy1 = s.y0 == last_y ? last_cy : cell(s.y0, factory);
    const std::int64_t cx2 = cell(s.x1, factorx), cy2 = cell(s.y1, factory);
    last_x = s.x1;
    last_y = s.y1;
    last_cx = cx2;
    last_cy = cy2;
    // A stitch spans at most 128 cells, so an end beyond int lies far off the grid.
    if (fits_int(cx1) && fits_int(cy1) && fits_int(cx2) && fits_int(cy2)) {
      plot(data, row_bytes, static_cast<int>(cx2), static_cast<int>(cy2));
#ifdef _WIN32
      // GDI's own stepping, called per point as it requires.
      line_dda(static_cast<int>(cx1), static_cast<int>(cy1), static_cast<int>(cx2),
               static_cast<int>(cy2), ShvLineDDAProc, reinterpret_cast<std::intptr_t>(&data));
#else
      dda_points(static_cast<int>(cx1), static_cast<int>(cy1), static_cast<int>(cx2),
                 static_cast<int>(cy2), [&](int px, int py) { plot(data, row_bytes, px, py); });
#endif
    }
  });
}

}  // namespace kvn::shvgen
