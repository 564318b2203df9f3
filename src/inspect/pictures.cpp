#include "inspect/pictures.hpp"

#include "formats/shv_pattern.hpp"

#include <algorithm>

#include "formats/byte_reader.hpp"
#include "formats/hoop.hpp"
#include "formats/pattern_read.hpp"
#include "formats/stitch.hpp"
#include "inspect/bitmap_font.hpp"
#include "inspect/millimetres.hpp"
#include "shvgen/colour_tables.hpp"
#include "shvgen/line_dda.hpp"

namespace kvn::inspect {
namespace {

using formats::NeedleOp;
using formats::Pattern;
using shvgen::dda_points;

// For formats without colours: neighbours differ in hue and in lightness.
constexpr std::array<Rgb, 10> kDefaultThreads = {{
    {0x1F, 0x3A, 0x93},
    {0xE0, 0x30, 0x20},
    {0x20, 0xA0, 0x40},
    {0xF0, 0xC0, 0x10},
    {0x80, 0x30, 0xA0},
    {0x10, 0xB0, 0xC0},
    {0xFF, 0xFF, 0xFF},
    {0x8B, 0x4A, 0x1C},
    {0xF0, 0x70, 0xB0},
    {0x10, 0x10, 0x10},
}};

Picture blank(std::uint32_t width, std::uint32_t height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.palette.assign(kBasePalette.begin(), kBasePalette.end());
  p.pixels.resize(std::size_t{width} * height);
  for (std::uint32_t y = 0; y < height; ++y)
    for (std::uint32_t x = 0; x < width; ++x)
      p.pixels[std::size_t{y} * width + x] =
          ((x / kCheckerSide + y / kCheckerSide) & 1) ? kBackgroundAltIndex : kBackgroundIndex;
  return p;
}

// The palette index of `c` in `p`, added when there is room, else the
// nearest colour already there: a picture has at most 256.
std::uint8_t index_of(Picture& p, const Rgb& c) {
  for (std::size_t i = kFirstColourIndex; i < p.palette.size(); ++i)
    if (p.palette[i] == c) return static_cast<std::uint8_t>(i);
  if (p.palette.size() < 256) {
    p.palette.push_back(c);
    return static_cast<std::uint8_t>(p.palette.size() - 1);
  }
  std::size_t best = kFirstColourIndex;
  long best_d = -1;
  for (std::size_t i = kFirstColourIndex; i < p.palette.size(); ++i) {
    const long dr = long{p.palette[i].r} - c.r, dg = long{p.palette[i].g} - c.g,
               db = long{p.palette[i].b} - c.b;
    const long d = dr * dr + dg * dg + db * db;
    if (best_d < 0 || d < best_d) best = i, best_d = d;
  }
  return static_cast<std::uint8_t>(best);
}

// Calls on_stitch(x0, y0, x1, y1, block) for every stitch, from where the
// needle stood.
template <class OnStitch>
void walk_stitches(const Pattern& p, OnStitch&& on_stitch) {
  std::int64_t x = 0, y = 0;
  std::size_t block = 0;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kStitch) on_stitch(x, y, std::int64_t{e.x}, std::int64_t{e.y}, block);
    if (e.op == NeedleOp::kColourChange) ++block;
    x = e.x;
    y = e.y;
  }
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
  // `below` rows under the drawing and at least `min_width` columns, for a caption.
  // `num` / `den` pixels a tenth of a millimetre, less when the longer side would pass `max_side`.
  explicit Canvas(const Box& box, std::uint32_t below = 0, std::uint32_t min_width = 0,
                  std::int64_t num = kPixelsPerFiveTenths, std::int64_t den = 5,
                  std::int64_t max_side = kMaxDrawingSide)
      : box_(box), num_(num), den_(den) {
    const std::int64_t span = std::max(box.maxx - box.minx, box.maxy - box.miny);
    if (span * num_ / den_ > max_side) {
      num_ = max_side;
      den_ = span;
    }
    drawing_height_ =
        static_cast<std::uint32_t>(2 * kDrawingMargin + scaled(box.maxy - box.miny) + 1);
    picture_ = blank(std::max(min_width, static_cast<std::uint32_t>(
                                             2 * kDrawingMargin + scaled(box.maxx - box.minx) + 1)),
                     drawing_height_ + below);
  }

  std::uint32_t width() const { return picture_.width; }
  std::uint32_t drawing_height() const { return drawing_height_; }
  // Pixels of `tenths` of a millimetre.
  std::int64_t scaled(std::int64_t tenths) const { return tenths * num_ / den_; }

  void fill(int x0, int y0, int x1, int y1, std::uint8_t value) {
    for (int y = y0; y <= y1; ++y)
      for (int x = x0; x <= x1; ++x) plot(x, y, value);
  }

  // `text` with its top left corner at (x, y); returns the column after it.
  int text(int x, int y, const std::string& text, std::uint8_t value) {
    for (const char c : text) {
      const Glyph& g = glyph(c);
      for (int r = 0; r < kGlyphHeight; ++r)
        for (int col = 0; col < kGlyphWidth; ++col)
          if (g[static_cast<std::size_t>(r)] & (0x10 >> col))
            fill(x + col * kTextScale, y + r * kTextScale, x + col * kTextScale + kTextScale - 1,
                 y + r * kTextScale + kTextScale - 1, value);
      x += kTextAdvance;
    }
    return x;
  }
  static constexpr int kTextAdvance = (kGlyphWidth + 1) * kTextScale;

  // A rectangle 2 pixels thick, dashed so that it stands apart from the
  // designs' own outlines.
  void dashed_rect(int x0, int y0, int x1, int y1, std::uint8_t value) {
    constexpr int kDash = 10, kGap = 6;
    auto on = [](int i) { return i % (kDash + kGap) < kDash; };
    for (int x = x0; x <= x1; ++x)
      if (on(x - x0))
        for (int t = 0; t < 2; ++t) plot(x, y0 + t, value), plot(x, y1 - t, value);
    for (int y = y0; y <= y1; ++y)
      if (on(y - y0))
        for (int t = 0; t < 2; ++t) plot(x0 + t, y, value), plot(x1 - t, y, value);
  }

  // Column of design x, row of design y: x to the right, y down, as the
  // design lies in the hoop.
  int column(std::int64_t x) const {
    return static_cast<int>(kDrawingMargin + scaled(x - box_.minx));
  }
  int row(std::int64_t y) const { return static_cast<int>(kDrawingMargin + scaled(y - box_.miny)); }

  std::uint8_t colour(const Rgb& c) { return index_of(picture_, c); }

  double pixels_per_tenth() const { return static_cast<double>(num_) / static_cast<double>(den_); }
  // The pixel centre of design x, y, unrounded.
  double exact_column(double x) const {
    return kDrawingMargin + (x - static_cast<double>(box_.minx)) * pixels_per_tenth() + 0.5;
  }
  double exact_row(double y) const {
    return kDrawingMargin + (y - static_cast<double>(box_.miny)) * pixels_per_tenth() + 0.5;
  }

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
    dda_points(column(x0), row(y0), column(x1), row(y1),
               [this, value](int X, int Y) { plot(X, Y, value); });
    plot(column(x1), row(y1), value);
  }

  Picture take() { return std::move(picture_); }

 private:

  Box box_;
  std::int64_t num_;
  std::int64_t den_;
  std::uint32_t drawing_height_ = 0;
  Picture picture_;
};

// The thread colours of every block, as palette indices of the canvas.
std::vector<std::uint8_t> block_colours(Canvas& canvas, const Pattern& p) {
  std::vector<std::uint8_t> v;
  const std::size_t blocks = formats::block_count(p);
  v.reserve(blocks);
  for (std::size_t b = 0; b < blocks; ++b) v.push_back(canvas.colour(thread_colour(p, b)));
  return v;
}

// The hoop class of a `width` x `height` layout, formats::kHoopClassCount when none holds it.
std::size_t hoop_index(std::int64_t width, std::int64_t height) {
  if (width > INT32_MAX || height > INT32_MAX) return formats::kHoopClassCount;
  return formats::hoop_class_index(static_cast<std::int32_t>(width),
                                   static_cast<std::int32_t>(height));
}

std::string hoop_text(std::size_t i) {
  const auto& h = formats::kHoopClasses[i];
  return std::to_string(h.width / 10) + " x " + std::to_string(h.height / 10) + " mm";
}

// A design's name as a label shows it: printable ASCII, at most kLabelNameChars.
std::string label_name(const std::string& name) {
  std::string s;
  for (const char c : name) s.push_back(c >= ' ' && c <= '~' ? c : '?');
  if (s.size() > kLabelNameChars) s = s.substr(0, kLabelNameChars - 2) + "..";
  return s;
}

}  // namespace

Rgb thread_colour(const Pattern& p, std::size_t block) {
  if (block < p.threads.size()) {
    const auto& t = p.threads[block];
    return {t.r, t.g, t.b};
  }
  return kDefaultThreads[block % kDefaultThreads.size()];
}

Picture stored_preview_picture(const formats::ShvDesign& design) {
  const std::uint32_t rows = design.dimensions.scanlines;  // along x: columns of the picture
  const std::uint32_t cells = design.dimensions.pixels;    // along y, largest first
  if (rows == 0 || cells == 0) return blank(1, 1);
  const std::uint32_t scale =
      std::clamp<std::uint32_t>(kPreviewSide / std::max(rows, cells), 1, kMaxPreviewScale);
  Picture p = blank(rows * scale, cells * scale);
  for (std::size_t v = 1; v < kPreviewPalette.size(); ++v) p.palette.push_back(kPreviewPalette[v]);
  const formats::ByteReader bitmap(design.bitmap, "the preview");
  const auto bytes_per_row = static_cast<std::size_t>(formats::preview_row_size(cells));
  for (std::uint32_t r = 0; r < rows; ++r) {
    auto row = bitmap.span_at(r * bytes_per_row, bytes_per_row, "a preview row");
    if (!row) break;  // read_shv_design has sized the bitmap: never taken
    std::uint32_t c = 0;
    for (const std::uint8_t b : *row) {
      for (const std::uint8_t value :
           {static_cast<std::uint8_t>(b >> 4), static_cast<std::uint8_t>(b & 0x0F)}) {
        // A row's first pixel is its largest y: the bottom of the picture.
        if (c < cells && value != 0) {
          const auto index = static_cast<std::uint8_t>(kFirstColourIndex + value - 1);
          const std::uint32_t top = (cells - 1 - c) * scale;
          for (std::uint32_t dy = 0; dy < scale; ++dy) {
            const std::size_t at = (std::size_t{top} + dy) * p.width + std::size_t{r} * scale;
            std::fill_n(p.pixels.begin() + static_cast<std::ptrdiff_t>(at), scale, index);
          }
        }
        ++c;
      }
    }
  }
  return p;
}

Picture stitch_picture(const Pattern& pattern) {
  Box box;
  walk_stitches(pattern, [&](std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                             std::size_t) {
    box.add(x0, y0);
    box.add(x1, y1);
  });
  Canvas canvas(box);
  const auto colours = block_colours(canvas, pattern);
  walk_stitches(pattern, [&](std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1,
                             std::size_t block) { canvas.line(x0, y0, x1, y1, colours[block]); });
  return canvas.take();
}

HoopCaption hoop_caption(std::int64_t width, std::int64_t height) {
  const std::string size =
      "all designs " + millimetres(width) + " x " + millimetres(height) + " mm: ";
  const std::size_t i = hoop_index(width, height);
  if (i == formats::kHoopClassCount)
    return {size + "larger than every hoop (" + hoop_text(formats::kHoopClassCount - 1) + ")",
            false};
  return {size + "hoop " + hoop_text(i), true};
}

Picture layout_picture(std::span<const PlacedPattern> designs) {
  return layout_frame(designs, kPixelsPerFiveTenths, 5, kMaxDrawingSide, true).picture;
}

LayoutFrame layout_frame(std::span<const PlacedPattern> designs, std::int64_t num,
                         std::int64_t den, std::int64_t max_side, bool threads) {
  Box box;
  for (const auto& p : designs) {
    walk_stitches(*p.pattern, [&](std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                  std::int64_t y1, std::size_t) {
      box.add(x0 + p.x_offset, y0 + p.y_offset);
      box.add(x1 + p.x_offset, y1 + p.y_offset);
    });
  }
  // The combined design spans every needle position of every design, its start
  // point included, as the extents stored in each design do: so the hoop agrees
  // with the one --info tells.
  Box all;
  bool any = false;
  for (const auto& p : designs) {
    if (formats::stitch_extents(*p.pattern).empty) continue;
    if (!any) all = {p.x_offset, p.y_offset, p.x_offset, p.y_offset};
    any = true;
    all.add(p.x_offset, p.y_offset);
    for (const auto& e : p.pattern->events)
      all.add(std::int64_t{e.x} + p.x_offset, std::int64_t{e.y} + p.y_offset);
  }
  const HoopCaption caption = hoop_caption(all.maxx - all.minx, all.maxy - all.miny);
  const auto& hoop = formats::kHoopClasses[std::min(
      hoop_index(all.maxx - all.minx, all.maxy - all.miny), formats::kHoopClassCount - 1)];
  const Box hoop_box{
      (all.minx + all.maxx - hoop.width) / 2, (all.miny + all.maxy - hoop.height) / 2,
      (all.minx + all.maxx + hoop.width) / 2, (all.miny + all.maxy + hoop.height) / 2};
  if (any) {
    box.add(hoop_box.minx, hoop_box.miny);
    box.add(hoop_box.maxx, hoop_box.maxy);
  }
  Canvas canvas(box, kLayoutCaptionHeight,
                static_cast<std::uint32_t>(2 * kDrawingMargin +
                                           static_cast<std::uint32_t>(caption.text.size()) *
                                               Canvas::kTextAdvance),
                num, den, max_side);
  // Picture colours before thread colours, so that a full palette never takes their places.
  const std::uint8_t hoop_colour = canvas.colour(caption.fits ? kHoopColour : kTooLargeColour);
  const std::uint8_t label_text = canvas.colour(kLabelText);

  if (any)
    canvas.dashed_rect(canvas.column(hoop_box.minx), canvas.row(hoop_box.miny),
                       canvas.column(hoop_box.maxx), canvas.row(hoop_box.maxy), hoop_colour);
  for (const auto& p : designs) {
    const auto e = formats::stitch_extents(*p.pattern);
    if (e.empty) continue;
    const std::int64_t left = std::int64_t{e.min_x} + p.x_offset,
                       right = std::int64_t{e.max_x} + p.x_offset;
    const std::int64_t top = std::int64_t{e.min_y} + p.y_offset,
                       bottom = std::int64_t{e.max_y} + p.y_offset;
    canvas.line(left, bottom, right, bottom, kOutlineIndex);
    canvas.line(right, bottom, right, top, kOutlineIndex);
    canvas.line(right, top, left, top, kOutlineIndex);
    canvas.line(left, top, left, bottom, kOutlineIndex);
  }
  for (const auto& p : threads ? designs : std::span<const PlacedPattern>{}) {
    const auto colours = block_colours(canvas, *p.pattern);
    walk_stitches(*p.pattern, [&](std::int64_t x0, std::int64_t y0, std::int64_t x1,
                                  std::int64_t y1, std::size_t block) {
      canvas.line(x0 + p.x_offset, y0 + p.y_offset, x1 + p.x_offset, y1 + p.y_offset,
                  colours[block]);
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
  // Labels last, over the stitches, at each outline's top left corner.
  for (std::size_t n = 0; n < designs.size(); ++n) {
    const auto& p = designs[n];
    const auto e = formats::stitch_extents(*p.pattern);
    if (e.empty) continue;
    const std::string label = std::to_string(n + 1) + " " + label_name(p.pattern->name);
    // Above the outline, clear of the stitches, where the picture has room.
    const int x = canvas.column(std::int64_t{e.min_x} + p.x_offset);
    const int height = (kGlyphHeight + 2) * kTextScale;
    const int top = canvas.row(std::int64_t{e.min_y} + p.y_offset);
    const int y = top >= height ? top - height : top;
    const auto chars = static_cast<int>(label.size() - (p.pattern->name.empty() ? 1 : 0));
    canvas.fill(x, y, x + chars * Canvas::kTextAdvance + kTextScale, y + height - 1, kMarkIndex);
    canvas.text(x + 2 * kTextScale, y + kTextScale, label, label_text);
  }

  // The caption on a light strip, where every colour of it reads: a scale bar, then the hoop line.
  canvas.fill(0, static_cast<int>(canvas.drawing_height()), static_cast<int>(canvas.width()),
              static_cast<int>(canvas.drawing_height() + kLayoutCaptionHeight), kOutlineIndex);
  const int line1 = static_cast<int>(canvas.drawing_height()) + 4;
  const int line2 = line1 + (kGlyphHeight * kTextScale + 8);
  const int left = static_cast<int>(kDrawingMargin);
  const std::int64_t room = std::max<std::int64_t>(canvas.width() / 3, 1);
  std::int64_t bar_mm = 10;
  for (const std::int64_t mm : {20, 50, 100, 200, 500, 1000, 2000, 5000})
    if (canvas.scaled(mm * 10) <= room) bar_mm = mm;
  const int bar = static_cast<int>(std::max<std::int64_t>(canvas.scaled(bar_mm * 10), 1));
  const int mid = line1 + kGlyphHeight * kTextScale / 2;
  canvas.fill(left, mid - 1, left + bar, mid, kMarkIndex);
  canvas.fill(left, line1, left + 1, line1 + kGlyphHeight * kTextScale - 1, kMarkIndex);
  canvas.fill(left + bar - 1, line1, left + bar, line1 + kGlyphHeight * kTextScale - 1, kMarkIndex);
  canvas.text(left + bar + 5 * kTextScale, line1, std::to_string(bar_mm) + " mm", kMarkIndex);
  if (any) canvas.text(left, line2, caption.text, hoop_colour);
  LayoutFrame frame;
  frame.pixels_per_tenth = canvas.pixels_per_tenth();
  frame.origin_x = canvas.exact_column(0);
  frame.origin_y = canvas.exact_row(0);
  frame.drawing_height = canvas.drawing_height();
  frame.label_text = label_text;
  frame.picture = canvas.take();
  return frame;
}

Result<Pattern> shv_pattern(std::span<const std::uint8_t> image, const std::string& file,
                            const formats::ShvDesign& design) {
  (void)design;
  return formats::read_shv(formats::ByteReader(image, file));
}

}  // namespace kvn::inspect
