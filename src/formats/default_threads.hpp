#pragma once

#include <array>
#include <cstddef>

#include "formats/pattern.hpp"

namespace kvn::formats {

/// The thread a format that stores colours gets for a block when the source
/// named none (DST, EXP): distinct neighbours, so that the blocks can be told
/// apart on the machine's screen.
inline Thread default_thread(std::size_t block) {
  struct Colour {
    std::uint8_t r, g, b;
  };
  constexpr std::array<Colour, 8> kColours{{{0, 0, 0},
                                         {230, 0, 0},
                                         {0, 100, 200},
                                         {0, 150, 60},
                                         {250, 200, 0},
                                         {120, 40, 160},
                                         {240, 120, 0},
                                         {120, 120, 120}}};
  const auto& c = kColours[block % kColours.size()];
  return {c.r, c.g, c.b, {}, {}, std::nullopt};
}

/// The thread of block `b`, named or default.
inline Thread thread_of_block(const Pattern& p, std::size_t b) {
  return b < p.threads.size() ? p.threads[b] : default_thread(b);
}

}  // namespace kvn::formats
