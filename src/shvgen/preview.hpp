#pragma once

#include <cstdint>
#include <span>

#include "formats/shv_layout.hpp"
#include "shvgen/line_dda.hpp"

namespace kvn::shvgen {

/// What ShvLineDDAProc needs to set one cell of the preview; its address
/// travels through line_dda as the callback's data.
struct Q2PARAM {
  // The packed preview itself: `pixels` rows of (`scanlines` + 1) / 2 bytes,
  // two cells a byte, the first in the high nibble. The cell of column gx and
  // line gy (counted upward) is row gx, pixel `scanlines` - 1 - gy.
  std::span<std::uint8_t> ppic;
  std::int32_t oX1 = 0;        // centring offset in columns
  std::int32_t oY1 = 0;        // centring offset in lines
  std::uint8_t color = 0;      // pixel value of the colour block being drawn
  std::int32_t scanlines = 0;  // lines (cells along y)
  std::int32_t pixels = 0;     // columns (cells along x)
};

/// Sets the cell of column X + oX1 and line Y + oY1 to `color`. `lpData` is
/// the address of a Q2PARAM. Points outside the `pixels` x `scanlines` cells
/// are dropped.
void KORVANE_CALLBACK ShvLineDDAProc(int X, int Y, std::intptr_t lpData);

/// Draws the 4-bit preview of the HUC design image `phuc` into `pshvout`:
/// `pixels` rows (columns of the design, x growing) of (`scanlines` + 1) / 2
/// bytes (lines of the design, y falling). The area is cleared first; nothing
/// outside it is written and nothing past the end of `phuc` is read. Draws
/// nothing when a count or a scale factor is 0, and leaves `pshvout` untouched
/// when it is smaller than the area.
void MakeShvBmp(std::span<std::uint8_t> pshvout, std::span<const std::uint8_t> phuc,
                std::int32_t pixels, std::int32_t scanlines);

/// The largest (x0, y0) and smallest (x1, y1) coordinates a preview is scaled to.
struct PreviewExtents {
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

/// Where draw_preview sets cells: unpacked, a byte each, then packed (fast),
/// or straight in the packed bitmap (no memory of its own); by size picks
/// the first for all but very large previews. Both give the same bitmap.
enum class PreviewCells { kBySize, kUnpacked, kPacked };

/// What MakeShvBmp draws, from the parts of a design rather than a HUC
/// image: the colour blocks `colours` of `stream`, scaled to the extents `e`.
/// Counts are 32-bit, so designs too long for a HUC image draw the same way.
/// Cells no stitch reaches keep what `out` held; nothing outside its first
/// `pixels` rows is written.
void draw_preview(std::span<std::uint8_t> out, const PreviewExtents& e,
                  std::span<const formats::shvcolor_t> colours,
                  std::span<const std::uint8_t> stream, std::int32_t pixels,
                  std::int32_t scanlines, PreviewCells how = PreviewCells::kBySize);

}  // namespace kvn::shvgen
