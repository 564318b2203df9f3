#include "inspect/pictures.hpp"

#include <algorithm>

#include "formats/byte_reader.hpp"
#include "formats/stitch.hpp"
#include "shvgen/colour_tables.hpp"
#include "shvgen/line_dda.hpp"

namespace kvn::inspect {
namespace {

using shvgen::line_dda;
using shvgen::pixel_for_colour;

using formats::wrap16;

Picture blank(std::uint32_t width, std::uint32_t height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.pixels.assign(std::size_t{width} * height, kBackgroundIndex);
  return p;
}

// Walks every colour block of the design's stream from the start point, as
// the preview renderer does, and reports each stitch, its ends with the 16-bit
// wrap of the stream, with its block's preview value.
template <class OnStitch>
void walk_stitches(const formats::ShvDesign& d, OnStitch&& on_stitch) {
  formats::walk_blocks(d.stream, d.colours, 0, 0, [&](const formats::WalkStep& s) {
    if (s.record.kind != formats::RecordKind::kStitch) return;
    on_stitch(wrap16(s.x0), wrap16(s.y0), wrap16(s.x1), wrap16(s.y1),
              pixel_for_colour(d.colours[s.block].Color));
  });
}

// The design area a drawing covers, in tenths of a millimetre.
struct Box {
  std::int64_t minx = 0, miny = 0, maxx = 0, maxy = 0;  // starts at the start point
  void add(std::int64_t x, std::int64_t y) {
    minx = std::min(minx, x);
    maxx = std::max(maxx, x);
    miny = std::min(miny, y);
    maxy = std::max(maxy, y);
  }
};

class Canvas {
 public:
  explicit Canvas(const Box& box) : box_(box) {
    const std::int64_t span = std::max(box.maxx - box.minx, box.maxy - box.miny);
    if (span * num_ / den_ > kMaxDrawingSide) {
      num_ = kMaxDrawingSide;
      den_ = span;
    }
    picture_ =
        blank(static_cast<std::uint32_t>(2 * kDrawingMargin + scaled(box.maxx - box.minx) + 1),
              static_cast<std::uint32_t>(2 * kDrawingMargin + scaled(box.maxy - box.miny) + 1));
  }

  // Column of design x, row of design y: x to the right, y up.
  int column(std::int64_t x) const {
    return static_cast<int>(kDrawingMargin + scaled(x - box_.minx));
  }
  int row(std::int64_t y) const { return static_cast<int>(kDrawingMargin + scaled(box_.maxy - y)); }

  void plot(int px, int py, std::uint8_t value) {
    if (px < 0 || py < 0 || static_cast<std::uint32_t>(px) >= picture_.width ||
        static_cast<std::uint32_t>(py) >= picture_.height)
      return;
    picture_.pixels[static_cast<std::size_t>(py) * picture_.width + static_cast<std::size_t>(px)] =
        value;
  }

  // The line routine reports the start point but not the end point: that one is set here.
  void line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
            std::uint8_t value) {
    Pen pen{this, value};
    line_dda(column(x0), row(y0), column(x1), row(y1), &Canvas::plot_point,
             reinterpret_cast<std::intptr_t>(&pen));
    plot(column(x1), row(y1), value);
  }

  Picture take() { return std::move(picture_); }

 private:
  struct Pen {
    Canvas* canvas;
    std::uint8_t value;
  };
  static void KORVANE_CALLBACK plot_point(int X, int Y, std::intptr_t lpData) {
    const auto* pen = reinterpret_cast<const Pen*>(lpData);
    pen->canvas->plot(X, Y, pen->value);
  }

  std::int64_t scaled(std::int64_t tenths) const { return tenths * num_ / den_; }

  Box box_;
  std::int64_t num_ = kPixelsPerFiveTenths;
  std::int64_t den_ = 5;
  Picture picture_;
};

}  // namespace

Picture stored_preview_picture(const formats::ShvDesign& design) {
  const std::uint32_t rows = design.dimensions.scanlines;  // along x: columns of the picture
  const std::uint32_t cells = design.dimensions.pixels;    // along y, largest first
  if (rows == 0 || cells == 0) return blank(1, 1);
  const std::uint32_t scale =
      std::clamp<std::uint32_t>(kPreviewSide / std::max(rows, cells), 1, kMaxPreviewScale);
  Picture p = blank(rows * scale, cells * scale);
  const formats::ByteReader bitmap(design.bitmap, "the preview");
  const auto bytes_per_row = static_cast<std::size_t>(formats::preview_row_size(cells));
  for (std::uint32_t r = 0; r < rows; ++r) {
    auto row = bitmap.span_at(r * bytes_per_row, bytes_per_row, "a preview row");
    if (!row) break;  // read_shv_design has sized the bitmap: never taken
    std::uint32_t c = 0;
    for (const std::uint8_t b : *row) {
      for (const std::uint8_t value :
           {static_cast<std::uint8_t>(b >> 4), static_cast<std::uint8_t>(b & 0x0F)}) {
        if (c < cells) {
          for (std::uint32_t dy = 0; dy < scale; ++dy) {
            const std::size_t at = (std::size_t{c} * scale + dy) * p.width + std::size_t{r} * scale;
            std::fill_n(p.pixels.begin() + static_cast<std::ptrdiff_t>(at), scale, value);
          }
        }
        ++c;
      }
    }
  }
  return p;
}

Picture stitch_picture(const formats::ShvDesign& design) {
  Box box;
  walk_stitches(design, [&](std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
                            std::uint8_t) {
    box.add(x0, y0);
    box.add(x1, y1);
  });
  Canvas canvas(box);
  walk_stitches(design, [&](std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
                            std::uint8_t value) { canvas.line(x0, y0, x1, y1, value); });
  return canvas.take();
}

Picture layout_picture(std::span<const PlacedDesign> designs) {
  Box box;
  for (const auto& p : designs) {
    const auto& h = p.design->header;
    box.add(std::int64_t{h.x0} + p.Xoffset, std::int64_t{h.y0} + p.Yoffset);
    box.add(std::int64_t{h.x1} + p.Xoffset, std::int64_t{h.y1} + p.Yoffset);
    walk_stitches(*p.design, [&](std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
                                 std::uint8_t) {
      box.add(std::int64_t{x0} + p.Xoffset, std::int64_t{y0} + p.Yoffset);
      box.add(std::int64_t{x1} + p.Xoffset, std::int64_t{y1} + p.Yoffset);
    });
  }
  Canvas canvas(box);
  for (const auto& p : designs) {
    const auto& h = p.design->header;
    const std::int64_t left = std::int64_t{h.x1} + p.Xoffset,
                       right = std::int64_t{h.x0} + p.Xoffset;
    const std::int64_t bottom = std::int64_t{h.y1} + p.Yoffset,
                       top = std::int64_t{h.y0} + p.Yoffset;
    canvas.line(left, bottom, right, bottom, kOutlineIndex);
    canvas.line(right, bottom, right, top, kOutlineIndex);
    canvas.line(right, top, left, top, kOutlineIndex);
    canvas.line(left, top, left, bottom, kOutlineIndex);
  }
  for (const auto& p : designs) {
    walk_stitches(*p.design, [&](std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1,
                                 std::uint8_t value) {
      canvas.line(std::int64_t{x0} + p.Xoffset, std::int64_t{y0} + p.Yoffset,
                  std::int64_t{x1} + p.Xoffset, std::int64_t{y1} + p.Yoffset, value);
    });
  }
  const int cx = canvas.column(0);
  const int cy = canvas.row(0);
  for (int i = -kMarkArm; i <= kMarkArm; ++i) {
    for (int t = -1; t <= 1; ++t) {
      canvas.plot(cx + i, cy + t, kMarkIndex);
      canvas.plot(cx + t, cy + i, kMarkIndex);
    }
  }
  return canvas.take();
}

}  // namespace kvn::inspect
