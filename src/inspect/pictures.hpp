#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/pattern.hpp"
#include "formats/shv_design.hpp"

namespace kvn::inspect {

struct Rgb {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

/// Every picture starts its palette with these. The background is a checker
/// of two mid greys, so that white and black threads both stay visible.
inline constexpr std::uint8_t kBackgroundIndex = 0;
inline constexpr std::uint8_t kBackgroundAltIndex = 1;
inline constexpr std::uint8_t kMarkIndex = 2;     // the start point
inline constexpr std::uint8_t kOutlineIndex = 3;  // a design's extents in the layout
inline constexpr std::uint8_t kFirstColourIndex = 4;
inline constexpr std::array<Rgb, 4> kBasePalette = {{
    {0x80, 0x80, 0x80},  // background
    {0x94, 0x94, 0x94},  // background, the other squares of the checker
    {0x00, 0x00, 0x00},  // start point mark
    {0xD8, 0xD8, 0xD0},  // outline
}};
/// The side of a checker square, in pixels.
inline constexpr std::uint32_t kCheckerSide = 8;

/// The 16 colours of a stored 4-bit preview; 0 is left unstitched and shows
/// the background instead.
inline constexpr std::array<Rgb, 16> kPreviewPalette = {{
    {0x00, 0x00, 0x00},
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
}};

/// An indexed picture, rows top to bottom, one palette index a pixel. Never
/// empty: at least 1 x 1. The palette holds at most 256 colours.
struct Picture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width * height
  std::vector<Rgb> palette;

  Rgb at(std::uint32_t x, std::uint32_t y) const {
    return palette[pixels[std::size_t{y} * width + x]];
  }
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

/// The colour block `block` of `p` is drawn in: its thread's colour, or for a
/// format without colours one of a sequence of clearly different colours.
Rgb thread_colour(const formats::Pattern& p, std::size_t block);

/// The design's stored 4-bit preview turned back as the design is sewn: x to
/// the right (bitmap rows become columns), y down (a row's first pixel, its
/// largest y, at the bottom), each cell a square of whole pixels. An empty
/// preview gives one background pixel.
Picture stored_preview_picture(const formats::ShvDesign& design);

/// Every stitch of the pattern as a line in its block's thread colour; jumps
/// are not drawn. The picture spans the start point and every stitch, x to
/// the right and y down, as the design lies in the hoop.
Picture stitch_picture(const formats::Pattern& pattern);

struct PlacedPattern {
  const formats::Pattern* pattern;
  std::int32_t x_offset;  // where its start point lies from the common one
  std::int32_t y_offset;
};

/// Text in a layout picture: the font's glyphs drawn this many times as
/// large, with a pixel column between characters.
inline constexpr int kTextScale = 2;
/// The strip under a layout's drawing for the scale bar and the hoop line.
inline constexpr std::uint32_t kLayoutCaptionHeight = 2 * (7 * kTextScale + 8) + 4;
/// The hoop outline, dashed, and the same outline and line in red when the
/// layout is larger than every hoop.
inline constexpr Rgb kHoopColour = {0x0B, 0x53, 0x94};
inline constexpr Rgb kTooLargeColour = {0xE0, 0x10, 0x10};
/// A design's label: white on black, so it reads over any thread.
inline constexpr Rgb kLabelText = {0xFF, 0xFF, 0xFF};
/// The longest a label's name is shown; longer names are cut and end in "..".
inline constexpr std::size_t kLabelNameChars = 24;

/// All designs drawn where combining puts them, each shifted by its placement
/// from the common start point, with each design's stitch extents outlined and
/// labelled with its number (from 1) and name, the start point marked by a
/// cross, and the outline of the smallest hoop class that holds the combined
/// stitch extents, centred on them. When no class holds them the largest
/// class is outlined in red. Under the drawing a caption shows a scale bar
/// and the combined size with its hoop, or in red that no hoop holds it.
Picture layout_picture(std::span<const PlacedPattern> designs);

/// A layout drawn at `num` / `den` pixels a tenth of a millimetre (less when
/// its longer side would pass `max_side`), with or without the threads, and
/// where a drawing that puts the threads in itself must put them.
struct LayoutFrame {
  Picture picture;
  double pixels_per_tenth = 0;
  double origin_x = 0;  // the pixel centre of the common start point, unrounded
  double origin_y = 0;
  std::uint32_t drawing_height = 0;  // rows above the caption
  std::uint8_t label_text = 0;       // with kMarkIndex, what lies over the threads
};
LayoutFrame layout_frame(std::span<const PlacedPattern> designs, std::int64_t num,
                         std::int64_t den, std::int64_t max_side, bool threads);

/// What a layout's caption says of its hoop: "all designs W x H mm: hoop
/// A x B mm" or "all designs W x H mm: larger than every hoop (150 x 360 mm)";
/// `fits` tells which.
struct HoopCaption {
  std::string text;
  bool fits = true;
};
HoopCaption hoop_caption(std::int64_t width, std::int64_t height);

/// The needle events of an SHV design whose whole image is `image`, as the
/// SHV reader reads them.
Result<formats::Pattern> shv_pattern(std::span<const std::uint8_t> image, const std::string& file,
                                     const formats::ShvDesign& design);

}  // namespace kvn::inspect
