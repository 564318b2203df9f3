#include "shvgen/preview.hpp"

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "shvgen/cell_divider.hpp"
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

// Lines of up to this many points, nearly all of a preview's, step by a
// table: bit i of kSteps[major][minor] says whether dda_points takes a minor
// step after point i of a line along x to (major, minor). The walk along a
// line then carries no error term from point to point.
constexpr int kTableMajor = 32;
struct StepTable {
  std::uint32_t bits[kTableMajor + 1][kTableMajor + 1] = {};
  constexpr StepTable() {
    for (int major = 1; major <= kTableMajor; ++major) {
      for (int minor = 0; minor <= major; ++minor) {
        int i = 0, last_y = 0;
        dda_points(0, 0, major, minor, [&](int, int y) {
          if (i > 0 && y != last_y) bits[major][minor] |= std::uint32_t{1} << (i - 1);
          last_y = y;
          ++i;
        });
        // The step after the last point leads to the end point, which dda_points does not report.
        if (minor != last_y) bits[major][minor] |= std::uint32_t{1} << (major - 1);
      }
    }
  }
};
constexpr StepTable kSteps;

inline void table_line(std::uint8_t* p, std::ptrdiff_t major_step, std::ptrdiff_t minor_step,
                       int major, int minor, std::uint8_t colour) {
  std::uint32_t bits = kSteps.bits[major][minor];
  const std::ptrdiff_t diagonal = major_step + minor_step;
  for (int i = 0; i < major; ++i) {
    *p = colour;
    p += (bits & 1U) != 0 ? diagonal : major_step;
    bits >>= 1;
  }
}

// Lines from a cell to one up to kReach cells away along each axis, nearly
// every stitch of a preview, drawn as a fixed count of stores at offsets
// from their start cell looked up once per line shape; the offsets past the
// line's last point repeat its end cell, which the stitch sets anyway. No
// branch per point nor on the line's length: a stitch costs about what its
// end cell costs. A plain value, so that the walk keeps it in registers
// while it stores through byte pointers, which may alias anything in memory.
struct NearLines {
  // Stores a line; a line of kReach points and its end cell takes them all.
  static constexpr int kNear = 16;
  static constexpr int kReach = kNear - 1;
  static constexpr int kSpan = 2 * kReach + 1;
  static constexpr std::size_t kEntries = kSpan * kSpan;
  std::uint8_t* cells = nullptr;  // row 0, pixel 0; nullptr: no near lines
  std::ptrdiff_t stride = 0;      // cells a row
  const std::int32_t* offsets = nullptr;
  const std::uint8_t* built = nullptr;
  // The entry for lines to (dx, dy), or kEntries when that is not near.
  static std::size_t entry(std::int64_t dx, std::int64_t dy) {
    if (static_cast<std::uint64_t>(dx + kReach) >= kSpan ||
        static_cast<std::uint64_t>(dy + kReach) >= kSpan)
      return kEntries;
    return static_cast<std::size_t>((dx + kReach) * kSpan + (dy + kReach));
  }
};

// One byte per cell, rows laid out as the packed preview's (row gx, pixel c):
// setting a cell is a plain store where the packed layout needs a read, a
// mask and a write of a byte its neighbour cell shares. Packed once at the end.
class CellGrid {
 public:
  CellGrid(std::span<const std::uint8_t> packed, std::int32_t pixels, std::int32_t scanlines)
      : cells_(static_cast<std::size_t>(pixels) * static_cast<std::size_t>(scanlines)),
        scanlines_(static_cast<std::size_t>(scanlines)) {
    // Cells the drawing does not reach keep what the caller's bitmap held.
    const std::size_t pairs = scanlines_ / 2, row_bytes = (scanlines_ + 1) / 2;
    for (std::size_t gx = 0; gx < static_cast<std::size_t>(pixels); ++gx) {
      const std::uint8_t* in = packed.data() + gx * row_bytes;
      std::uint8_t* cell = cells_.data() + gx * scanlines_;
      for (std::size_t k = 0; k < pairs; ++k) {
        cell[2 * k] = static_cast<std::uint8_t>(in[k] >> 4);
        cell[2 * k + 1] = static_cast<std::uint8_t>(in[k] & 0x0F);
      }
      if (scanlines_ % 2 != 0) cell[scanlines_ - 1] = static_cast<std::uint8_t>(in[pairs] >> 4);
    }
  }
  void set(std::int64_t gx, std::int64_t c, std::uint8_t colour) {
    cells_[static_cast<std::size_t>(gx) * scanlines_ + static_cast<std::size_t>(c)] = colour;
  }
  NearLines near_lines() {
    // Offsets are 32-bit: kNear rows of cells must fit.
    if (scanlines_ >= (std::size_t{1} << 26)) return {};
    return {cells_.data(), static_cast<std::ptrdiff_t>(scanlines_), near_.get(), built_.data()};
  }
  // Fills the near table's entry k for lines to (dx, dy): the offsets of the
  // points dda_points reports, then the end point's until kNear are given.
  void build_near(std::size_t k, int dx, int dy) {
    const auto s = static_cast<std::int32_t>(scanlines_);
    std::int32_t* o = &near_[k * NearLines::kNear];
    int j = 0;
    // A step along x is a row, along y (upward) one pixel back.
    dda_points(0, 0, dx, dy, [&](int x, int y) { o[j++] = x * s - y; });
    while (j < NearLines::kNear) o[j++] = dx * s - dy;
    built_[k] = 1;
  }
  // Sets the cell of every point dda_points reports from (a, b) to (c, d),
  // point (x, y) being the cell of row x + ox, pixel oc - y; all of them on
  // the grid. Steps a pointer as dda_points steps the point.
  void line(int a, int b, int c, int d, std::int64_t ox, std::int64_t oc, std::uint8_t colour) {
    const auto s = static_cast<std::ptrdiff_t>(scanlines_);
    std::uint8_t* const start = cells_.data() + (a + ox) * s + (oc - b);
    const std::int64_t dx = std::int64_t{c} - a, dy = std::int64_t{d} - b;
    const std::int64_t adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    // A step along x is a row, along y (upward) one pixel back.
    const std::ptrdiff_t along_x = dx < 0 ? -s : s, along_y = dy < 0 ? 1 : -1;
    const bool x_major = adx > ady;
    const std::int64_t major = x_major ? adx : ady, minor = x_major ? ady : adx;
    const std::ptrdiff_t major_step = x_major ? along_x : along_y;
    const std::ptrdiff_t minor_step = x_major ? along_y : along_x;
    if (major <= kTableMajor)
      table_line(start, major_step, minor_step, static_cast<int>(major), static_cast<int>(minor),
                 colour);
    else
      dda_points(a, b, c, d, [&](int x, int y) { set(x + ox, oc - y, colour); });
  }
  void pack(std::span<std::uint8_t> packed, std::int32_t pixels) {
    const std::size_t pairs = scanlines_ / 2, row_bytes = (scanlines_ + 1) / 2;
    for (std::size_t gx = 0; gx < static_cast<std::size_t>(pixels); ++gx) {
      std::uint8_t* out = packed.data() + gx * row_bytes;
      const std::uint8_t* cell = cells_.data() + gx * scanlines_;
      for (std::size_t k = 0; k < pairs; ++k)
        out[k] = static_cast<std::uint8_t>((cell[2 * k] << 4) | cell[2 * k + 1]);
      // The low nibble of an odd row's last byte is no cell's: it keeps what it held.
      if (scanlines_ % 2 != 0)
        out[pairs] = static_cast<std::uint8_t>((out[pairs] & 0x0F) | (cell[scanlines_ - 1] << 4));
    }
  }

 private:
  std::vector<std::uint8_t> cells_;
  std::size_t scanlines_;
  // Built entry by entry on first use: a design meets few of the shapes, so
  // the table is left unset (the page's C++ library has no
  // make_unique_for_overwrite).
  std::unique_ptr<std::int32_t[]> near_ =
      std::unique_ptr<std::int32_t[]>(new std::int32_t[NearLines::kEntries * NearLines::kNear]);
  std::vector<std::uint8_t> built_ = std::vector<std::uint8_t>(NearLines::kEntries, 0);
};

// The packed preview itself, for previews too large to unpack: the largest
// designs' previews are most of their image.
class PackedCells {
 public:
  PackedCells(std::span<std::uint8_t> packed, std::int32_t scanlines)
      : packed_(packed), row_bytes_(formats::preview_row_size(static_cast<std::uint64_t>(scanlines))) {}
  void set(std::int64_t gx, std::int64_t c, std::uint8_t colour) {
    std::uint8_t& b = packed_[static_cast<std::size_t>(static_cast<std::uint64_t>(gx) * row_bytes_ +
                                                       static_cast<std::uint64_t>(c / 2))];
    // Even pixels take the high nibble. Without a branch: along a line that
    // runs up the design, even and odd alternate at every point.
    const unsigned shift = (c % 2 == 0) ? 4U : 0U;
    b = static_cast<std::uint8_t>((b & ~(0x0FU << shift)) | (unsigned{colour} << shift));
  }
  NearLines near_lines() { return {}; }
  void build_near(std::size_t, int, int) {}
  void line(int a, int b, int c, int d, std::int64_t ox, std::int64_t oc, std::uint8_t colour) {
    dda_points(a, b, c, d, [this, ox, oc, colour](int x, int y) { set(x + ox, oc - y, colour); });
  }
  void pack(std::span<std::uint8_t>, std::int32_t) {}

 private:
  std::span<std::uint8_t> packed_;
  std::uint64_t row_bytes_;
};

#ifdef _WIN32
// A LineDDA callback that hands each point to the callable `f` points to.
template <class F>
void KORVANE_CALLBACK call_point(int X, int Y, std::intptr_t f) {
  (*reinterpret_cast<F*>(f))(X, Y);
}
#endif

// Previews up to this many cells are drawn unpacked: 4 MiB, a preview of
// 2,048 x 2,048 cells, far beyond what stitched designs need.
constexpr std::uint64_t kMaxUnpackedCells = std::uint64_t{1} << 22;

template <class Cells>
void draw_stitches(Cells& cells, std::span<std::uint8_t> out, const PreviewExtents& e,
                   std::span<const formats::shvcolor_t> colours,
                   std::span<const std::uint8_t> stream, std::int32_t pixels,
                   std::int32_t scanlines) {
  // The box is symmetric about the start point. In 32 bits or more: twice a
  // 16-bit extent does not fit in 16 bits.
  const std::int64_t width = 2 * std::max(abs64(e.x0), abs64(e.x1));
  const std::int64_t height = 2 * std::max(abs64(e.y0), abs64(e.y1));
  const std::int64_t factorx = (width + pixels - 1) / pixels;
  const std::int64_t factory = (height + scanlines - 1) / scanlines;
  if (factorx == 0 || factory == 0) return;
  const std::int64_t oX1 = (pixels - (width + factorx - 1) / factorx) / 2;
  const std::int64_t oY1 = (scanlines - (height + factory - 1) / factory) / 2;

  // The start point, placed from the extents. The running position is kept
  // wide: it starts at half the box, so 16 bits would wrap for designs that
  // reach more than 16,383 from their start point.
  std::int64_t x0 = e.x0, x1 = e.x1, y0 = e.y0, y1 = e.y1;
  if (x0 < 0) std::swap(x0, x1);
  if (y0 < 0) std::swap(y0, y1);
  const std::int64_t x = std::max(-x1, x0);
  const std::int64_t y = std::max(-y1, y0);

  const std::int64_t oc = scanlines - 1 - oY1;
  // Column X + oX1 is row gx; line Y + oY1 counted upward is pixel c counted downward.
  const auto inside = [oX1, oY1, pixels, scanlines](std::int64_t X, std::int64_t Y) {
    return static_cast<std::uint64_t>(X + oX1) < static_cast<std::uint64_t>(pixels) &&
           static_cast<std::uint64_t>(Y + oY1) < static_cast<std::uint64_t>(scanlines);
  };
  // Stitches the near lines do not draw: out of line, so that the walk's
  // loop keeps its registers for the common case.
  const auto other_stitch = [&cells, inside, oX1, oc](std::int64_t cx1, std::int64_t cy1,
                                                      std::int64_t cx2, std::int64_t cy2,
                                                      std::uint8_t colour) __attribute__((noinline)) {
    const auto set = [&](std::int64_t X, std::int64_t Y) { cells.set(X + oX1, oc - Y, colour); };
    const auto set_if_inside = [&](std::int64_t X, std::int64_t Y) {
      if (inside(X, Y)) set(X, Y);
    };
#ifndef _WIN32
    // Both ends on the grid: so is every point between them.
    if (inside(cx1, cy1) && inside(cx2, cy2)) {
      set(cx2, cy2);
      cells.line(static_cast<int>(cx1), static_cast<int>(cy1), static_cast<int>(cx2),
                 static_cast<int>(cy2), oX1, oc, colour);
      return;
    }
#endif
    // A stitch spans at most 128 cells, so an end beyond int lies far off the grid.
    if (!fits_int(cx1) || !fits_int(cy1) || !fits_int(cx2) || !fits_int(cy2)) return;
    const int a = static_cast<int>(cx1), b = static_cast<int>(cy1);
    const int c = static_cast<int>(cx2), d = static_cast<int>(cy2);
    set_if_inside(c, d);
#ifdef _WIN32
    // GDI's own stepping, called per point as it requires.
    line_dda(a, b, c, d, &call_point<decltype(set_if_inside)>,
             reinterpret_cast<std::intptr_t>(&set_if_inside));
#else
    dda_points(a, b, c, d, set_if_inside);
#endif
  };

#ifdef _WIN32
  // Every line is GDI's.
  const NearLines near{};
#else
  const NearLines near = cells.near_lines();
#endif
  const CellDivider cellx(factorx), celly(factory);
  // Everything the walk keeps is a local of its own: it stores through byte
  // pointers, after which whatever lies in memory must be read again.
  std::uint8_t colour = 0;
  // A stitch that starts where the last one ended takes that one's cell.
  std::int64_t last_x = 0, last_y = 0, last_cx = cellx(0), last_cy = celly(0);
  bool last_inside = inside(last_cx, last_cy);
  const auto stitch = [&](std::int64_t fx, std::int64_t fy, std::int64_t tx,
                          std::int64_t ty) __attribute__((always_inline)) {
    std::int64_t cx1 = last_cx, cy1 = last_cy;
    bool inside1 = last_inside;
    if (fx != last_x || fy != last_y) [[unlikely]] {
      cx1 = cellx(fx);
      cy1 = celly(fy);
      inside1 = inside(cx1, cy1);
    }
    const std::int64_t cx2 = cellx(tx), cy2 = celly(ty);
    const bool inside2 = inside(cx2, cy2);
    last_x = tx;
    last_y = ty;
    last_cx = cx2;
    last_cy = cy2;
    last_inside = inside2;
    // Both ends on the grid, as nearly every stitch, and near each other.
    const std::size_t k = NearLines::entry(cx2 - cx1, cy2 - cy1);
    if (inside1 && inside2 && k != NearLines::kEntries && near.cells != nullptr) [[likely]] {
      if (near.built[k] == 0) [[unlikely]]
        cells.build_near(k, static_cast<int>(cx2 - cx1), static_cast<int>(cy2 - cy1));
      const std::int32_t* o = near.offsets + k * NearLines::kNear;
      std::uint8_t* p = near.cells + (cx1 + oX1) * near.stride + (oc - cy1);
#pragma GCC unroll 16
      for (int j = 0; j < NearLines::kNear; ++j) p[o[j]] = colour;
      return;
    }
    other_stitch(cx1, cy1, cx2, cy2, colour);
  };

  // The walk stops at a block the stream cuts short: nothing after it can be drawn.
  formats::walk_blocks(stream, colours, x, y, [&](const WalkStep& s) __attribute__((always_inline)) {
    if (s.opens) [[unlikely]]
      colour = pixel_for_colour(colours[s.block].Color) & 0x0F;
    // A block's first record never sews.
    if (s.record.kind == RecordKind::kStitch) stitch(s.x0, s.y0, s.x1, s.y1);
  });
  cells.pack(out, pixels);
}

// The first `pixels` rows of `out`, or nothing when a count is not positive
// or `out` is smaller than that.
std::optional<std::span<std::uint8_t>> preview_area(std::span<std::uint8_t> out,
                                                    std::int32_t pixels, std::int32_t scanlines) {
  if (pixels <= 0 || scanlines <= 0) return std::nullopt;
  const std::uint64_t area = static_cast<std::uint64_t>(pixels) *
                             formats::preview_row_size(static_cast<std::uint64_t>(scanlines));
  if (area > out.size()) return std::nullopt;
  return out.first(static_cast<std::size_t>(area));
}

}  // namespace

void KORVANE_CALLBACK ShvLineDDAProc(int X, int Y, std::intptr_t lpData) {
  auto& d = *reinterpret_cast<Q2PARAM*>(lpData);
  const std::int64_t gx = std::int64_t{X} + d.oX1;
  const std::int64_t gy = std::int64_t{Y} + d.oY1;
  if (gx < 0 || gx >= d.pixels || gy < 0 || gy >= d.scanlines) return;
  // Column gx is output row gx, and line gy is pixel scanlines - 1 - gy of that row.
  const std::int64_t c = d.scanlines - 1 - gy;
  const std::uint64_t row_bytes = formats::preview_row_size(static_cast<std::uint64_t>(d.scanlines));
  if (static_cast<std::uint64_t>(gx) * row_bytes + static_cast<std::uint64_t>(c / 2) >= d.ppic.size())
    return;
  PackedCells(d.ppic, d.scanlines).set(gx, c, d.color & 0x0F);
}

void draw_preview(std::span<std::uint8_t> out, const PreviewExtents& e,
                  std::span<const formats::shvcolor_t> colours,
                  std::span<const std::uint8_t> stream, std::int32_t pixels,
                  std::int32_t scanlines, PreviewCells how) {
  const auto area = preview_area(out, pixels, scanlines);
  if (!area) return;
  const std::uint64_t cells = static_cast<std::uint64_t>(pixels) * static_cast<std::uint64_t>(scanlines);
  if (how == PreviewCells::kUnpacked ||
      (how == PreviewCells::kBySize && cells <= kMaxUnpackedCells)) {
    CellGrid grid(*area, pixels, scanlines);
    draw_stitches(grid, *area, e, colours, stream, pixels, scanlines);
  } else {
    PackedCells packed(*area, scanlines);
    draw_stitches(packed, *area, e, colours, stream, pixels, scanlines);
  }
}

void MakeShvBmp(std::span<std::uint8_t> pshvout, std::span<const std::uint8_t> phuc,
                std::int32_t pixels, std::int32_t scanlines) {
  const auto out = preview_area(pshvout, pixels, scanlines);
  if (!out) return;
  std::fill(out->begin(), out->end(), std::uint8_t{0});

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
  draw_preview(*out, {hdr->x0, hdr->y0, hdr->x1, hdr->y1}, colours, huc.bytes().subspan(stream_at),
               pixels, scanlines);
}

}  // namespace kvn::shvgen
