#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// The longest move one EXP record holds in either axis, in 0.1 mm: -128
/// would be the escape byte 0x80.
inline constexpr std::int32_t kExpMaxStep = 127;
/// How far from its start korvane writes an EXP design: the format itself
/// has no limit, but nothing sewn reaches 10 m, and a bound keeps a damaged
/// model from asking for gigabytes of records.
inline constexpr std::int32_t kExpMaxReach = 99999;

/// Reads a Melco EXP design: 2-byte stitch records (dx, dy; y stored
/// upwards) and 0x80 escapes for colour change (0x01), jump (0x04), trim
/// (0x80) and a stitch by escape (0x02), each followed by its own dx, dy.
Result<Pattern> read_exp(const ByteReader& in);

/// The EXP image of `p`; a stop becomes a colour change, the only pause EXP has.
Result<std::vector<std::uint8_t>> write_exp(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
