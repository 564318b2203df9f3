#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/pattern.hpp"

namespace kvn::test {

/// A pattern in the form the SHV reader gives, drawn from `bytes` (read as a
/// small instruction stream; missing bytes read as 0): every block opens with
/// a jump, then stitches short and long, jumps of any length, trims; threads
/// from the SHV chart or none; positions inside the 16-bit range; ends with
/// kEnd. The same bytes always give the same pattern. With `ops`, each op
/// byte picks one of them instead (see the .cpp for what each op is).
formats::Pattern shv_shaped_pattern(std::span<const std::uint8_t> bytes,
                                    std::span<const std::uint8_t> ops = {});

/// Why `back` (read from the SHV written from `sent`) is not `sent`, or ""
/// when it is: every event the same except that a stitch too long for one
/// record comes back as the fewest equal steps along its line, none more than
/// 0.1 mm off it, ending exactly at its end; threads the codes `sent`'s
/// threads map to (default codes when it has none); the same name.
std::string shv_round_trip_difference(const formats::Pattern& sent, const formats::Pattern& back);

}  // namespace kvn::test
