#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/shv_design.hpp"

namespace kvn::inspect {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// One palette serves every picture. Indices 1-15 are the 4-bit preview
/// values in the 16-colour palette; 0, which a preview leaves unstitched,
/// is a light background instead of that palette's black.
inline constexpr std::uint8_t kBackgroundIndex = 0;
inline constexpr std::uint8_t kMarkIndex = 16;     // the start point
inline constexpr std::uint8_t kOutlineIndex = 17;  // a design's extents in the layout
inline constexpr std::array<Rgb, 18> kPicturePalette = {{
    {0xE8, 0xE8, 0xE0},  // background
    {0x80, 0x00, 0x00},
    {0x00, 0x80, 0x00},
    {0x80, 0x80, 0x00},
    {0x00, 0x00, 0x80},
    {0x80, 0x00, 0x80},
    {0x00, 0x80, 0x80},
    {0xC0, 0xC0, 0xC0},
    {0x80, 0x80, 0x80},
    {0xFF, 0x00, 0x00},
    {0x00, 0xFF, 0x00},
    {0xFF, 0xFF, 0x00},
    {0x00, 0x00, 0xFF},
    {0xFF, 0x00, 0xFF},
    {0x00, 0xFF, 0xFF},
    {0xFF, 0xFF, 0xFF},
    {0x00, 0x00, 0x00},  // start point mark
    {0xA0, 0xA0, 0x98},  // outline
}};

/// An indexed picture, rows top to bottom, one kPicturePalette index a pixel.
/// Never empty: at least 1 x 1.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width * height
};

/// The stored preview scaled up by this whole factor until its longer side
/// reaches kPreviewSide, at most kMaxPreviewScale times.
inline constexpr std::uint32_t kPreviewSide = 512;
inline constexpr std::uint32_t kMaxPreviewScale = 16;
/// Drawings: 4 pixels per millimetre, i.e. 2 pixels per 5 tenths, with a margin
/// on every side; a drawing whose longer side would pass kMaxDrawingSide is
/// scaled down to it, so hostile extents cannot ask for gigabytes.
inline constexpr std::int64_t kPixelsPerFiveTenths = 2;
inline constexpr std::uint32_t kDrawingMargin = 12;
inline constexpr std::int64_t kMaxDrawingSide = 2000;
// The start point mark: a cross this many pixels from its middle each way, 3 pixels thick.
inline constexpr int kMarkArm = 10;

/// The design's stored 4-bit preview turned back as the design is sewn: x to
/// the right (bitmap rows become columns), y up (a row's first pixel, its
/// largest y, at the top), each cell a square of whole pixels. An empty
/// preview gives one background pixel.
Picture stored_preview_picture(const formats::ShvDesign& design);

/// Every stitch of the design's stream as a line in its colour block's
/// preview colour; moves are not drawn. The picture spans the start point and
/// every stitch, x to the right and y up.
Picture stitch_picture(const formats::ShvDesign& design);

struct PlacedDesign {
  const formats::ShvDesign* design;
  std::int16_t Xoffset;
  std::int16_t Yoffset;
};

/// All designs drawn where combining puts them, each shifted by its placement
/// from the common start point, with each design's extents outlined and the
/// start point marked by a cross.
Picture layout_picture(std::span<const PlacedDesign> designs);

}  // namespace kvn::inspect
