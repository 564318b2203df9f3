#include "shvgen/colour_tables.hpp"

namespace kvn::shvgen {

const std::array<std::uint8_t, 48> colorhuc2hus = {
    0, 1,  2,  3,  4, 5, 6, 7, 8, 9,  10, 11, 12, 0,  0,  0, 0, 0,  0,  16, 18, 20, 22, 0,
    0, 24, 26, 28, 0, 0, 0, 0, 0, 13, 14, 15, 17, 19, 21, 0, 0, 23, 25, 27, 0,  0,  0,  0,
};

const std::array<std::uint8_t, 32> colorshv2bmp = {
    1,  3, 6, 7,  8, 9, 10, 4,  6,  11, 13, 15, 2,  3, 5, 15,
    13, 8, 8, 12, 9, 1, 10, 11, 11, 13, 14, 15, 11, 0, 0, 0,
};

std::uint8_t pixel_for_colour(std::uint8_t code) {
  // Codes beyond the table are drawn like code 0 rather than read out of bounds.
  const std::uint8_t hus = code < colorhuc2hus.size() ? colorhuc2hus[code] : colorhuc2hus[0];
  return colorshv2bmp[hus];
}

}  // namespace kvn::shvgen
