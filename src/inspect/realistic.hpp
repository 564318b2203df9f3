#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/pattern.hpp"
#include "inspect/pictures.hpp"

namespace kvn::inspect {

/// A picture in full colour, rows top to bottom, 4 bytes a pixel: red, green,
/// blue and alpha, not premultiplied. Never empty: at least 1 x 1.
struct RgbaPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgba;  // width * height * 4

  std::uint8_t channel(std::uint32_t x, std::uint32_t y, unsigned c) const {
    return rgba[(std::size_t{y} * width + x) * 4 + c];
  }
};

/// How threads look on fabric.
struct ThreadLook {
  double thread_width_mm = 0.4;
  double pixels_per_mm = 10;
  std::optional<Rgb> fabric = Rgb{0xFF, 0xFF, 0xFF};  // none: a transparent background
};

inline constexpr double kMinThreadWidth = 0.05;
inline constexpr double kMaxThreadWidth = 3;
inline constexpr double kMinPixelsPerMm = 1;
inline constexpr double kMaxPixelsPerMm = 50;
/// A picture whose longer side would pass this is drawn at a smaller scale, so
/// that neither hostile extents nor a large scale can ask for gigabytes.
inline constexpr std::uint32_t kMaxRealisticSide = 6000;
/// Each end of a stitch stops this far short of its needle hole.
inline constexpr double kNeedleHoleMm = 0.1;

/// The width a thread of this weight (30, 40 or 60) lies on the fabric;
/// nothing for another weight. A finer thread is thinner by the square root
/// of its weight ratio: 40 gives 0.4 mm.
std::optional<double> thread_width_for_weight(int weight);

/// Every stitch of the pattern as a thread on fabric, in sewing order, each
/// casting a soft shadow on what lies under it; jumps are not drawn. The
/// picture spans the stitches with a margin; x to the right and y down, as
/// the design lies in the hoop. Same placement as stitch_picture() at another
/// scale.
RgbaPicture realistic_picture(const formats::Pattern& pattern, const ThreadLook& look);

/// layout_picture() with the designs drawn as threads: the hoop and the
/// designs' outlines under them, the start point, the labels and the caption
/// over them.
RgbaPicture realistic_layout(std::span<const PlacedPattern> designs, const ThreadLook& look);

/// What both encoders check of a full-colour picture before they start.
Status check_rgba(const RgbaPicture& picture, const std::string& name);

/// True when every pixel is opaque: then the file need not carry alpha.
bool opaque(const RgbaPicture& picture);

/// An indexed picture in full colour, so that both kinds take one encoder.
RgbaPicture to_rgba(const Picture& picture);

}  // namespace kvn::inspect
