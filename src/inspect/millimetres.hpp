#pragma once

#include <cstdint>
#include <string>

namespace kvn::inspect {

/// Tenths of a millimetre as millimetres with one decimal: -15 gives "-1.5".
inline std::string millimetres(std::int64_t tenths) {
  // The magnitude in unsigned arithmetic, so that the most negative value has one.
  const std::uint64_t magnitude = tenths < 0 ? static_cast<std::uint64_t>(-(tenths + 1)) + 1
                                             : static_cast<std::uint64_t>(tenths);
  // Appended piece by piece: GCC 12 at -O3 takes "-" + std::string for an
  // overlapping copy and warns.
  std::string s = tenths < 0 ? "-" : "";
  s += std::to_string(magnitude / 10);
  s += '.';
  s += std::to_string(magnitude % 10);
  return s;
}

}  // namespace kvn::inspect
