#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "formats/pattern.hpp"

namespace kvn::formats {

/// One colour of the SHV machines' thread chart: the code a colour record
/// stores, the colour's name and its RGB.
struct ShvThread {
  std::uint8_t code;
  std::string_view name;
  std::uint8_t r, g, b;
};

/// Every code the chart names, in code order. Codes in between name no
/// colour: the machines draw them like code 0.
std::span<const ShvThread> shv_thread_chart();

/// The chart's colour for `code`, or nullptr when the chart names none.
const ShvThread* find_shv_thread(std::uint8_t code);

/// The thread a block of colour code `code` is sewn in, with its code kept
/// in Thread::shv_code. A code the chart does not name keeps the code and
/// takes black, as the machines show it, under the name "SHV colour N".
Thread thread_for_shv_code(std::uint8_t code);

/// The chart's code that looks nearest to the colour (r, g, b).
std::uint8_t nearest_shv_code(std::uint8_t r, std::uint8_t g, std::uint8_t b);

/// How far apart two colours look: the distance nearest_shv_code picks by.
double colour_difference(std::uint8_t r1, std::uint8_t g1, std::uint8_t b1, std::uint8_t r2,
                         std::uint8_t g2, std::uint8_t b2);

/// The chart's thread an SHV file holds for `t` (see shv_code_for).
Thread shv_thread_for(const Thread& t);

/// The code a block sewn in `t` gets: the code it was read with, if any,
/// otherwise the nearest one to its colour.
std::uint8_t shv_code_for(const Thread& t);

/// The code of block `block_index` of a design whose format stores no
/// colours: a short cycle of colours that tell neighbouring blocks apart.
std::uint8_t default_shv_code(std::size_t block_index);

}  // namespace kvn::formats
