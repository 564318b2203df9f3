#pragma once

#include <cstdint>
#include <span>

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

}  // namespace kvn::shvgen
