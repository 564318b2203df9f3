#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace kvn::test {

/// A PNG decoded to 8-bit RGB by libpng, for checking what korvane wrote.
struct DecodedPng {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> rgb;  // width * height * 3, rows top to bottom
  struct Colour {
    std::uint8_t r, g, b;
    friend bool operator==(const Colour&, const Colour&) = default;
  };
  Colour at(std::uint32_t x, std::uint32_t y) const {
    const std::size_t i = (std::size_t{y} * width + x) * 3;
    return {rgb.at(i), rgb.at(i + 1), rgb.at(i + 2)};
  }
};

/// Nothing when libpng refuses the bytes, or when this build has no libpng.
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>& png);

}  // namespace kvn::test
