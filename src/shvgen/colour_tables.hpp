#pragma once

#include <array>
#include <cstdint>

namespace kvn::shvgen {

/// Colour code (0-47) to the machine's thread index.
extern const std::array<std::uint8_t, 48> colorhuc2hus;
/// Thread index (0-31) to the 4-bit preview pixel value.
extern const std::array<std::uint8_t, 32> colorshv2bmp;

/// The preview pixel value (1-15) of a colour code.
std::uint8_t pixel_for_colour(std::uint8_t code);

}  // namespace kvn::shvgen
