#pragma once

#include <array>
#include <cstdint>

namespace kvn::inspect {

/// A 5 x 7 pixel font of the printable ASCII characters, so that pictures can
/// carry labels without a font library. Each glyph is 7 rows, top first; bit 4
/// of a row is its leftmost pixel.
inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;
using Glyph = std::array<std::uint8_t, kGlyphHeight>;

/// The glyph of `c`; anything outside ' ' ... '~' is drawn as '?'.
const Glyph& glyph(char c);

}  // namespace kvn::inspect
