#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kvn::formats {

/// Stores the low 16 bits of value big-endian at pBytes[offset] and returns
/// offset + 2 so that calls chain. The caller guarantees the two bytes exist.
std::size_t PutShort(std::span<std::uint8_t> pBytes, std::size_t offset, std::int32_t value);

/// Exchanges the two bytes of a 16-bit value.
std::uint16_t ReverseShort(std::uint16_t us);

/// Keeps the low 16 bits as a two's complement value: where a field is meant
/// to wrap, this makes the wrap visible.
constexpr std::int16_t wrap16(std::int64_t v) {
  return static_cast<std::int16_t>(
      static_cast<std::uint16_t>(static_cast<std::uint64_t>(v) & 0xFFFFu));
}

constexpr bool fits16(std::int64_t v) { return v >= -32768 && v <= 32767; }

/// Big-endian 16-bit value as a signed number (0xFFFF reads as -1).
inline std::int16_t GetShort(std::span<const std::uint8_t, 2> pBytes) {
  return wrap16(pBytes[0] * 256 + pBytes[1]);
}

/// Big-endian 32-bit value; counts and offsets read with it are unsigned.
inline std::uint32_t GetLong(std::span<const std::uint8_t, 4> pBytes) {
  return (std::uint32_t{pBytes[0]} << 24) | (std::uint32_t{pBytes[1]} << 16) |
         (std::uint32_t{pBytes[2]} << 8) | std::uint32_t{pBytes[3]};
}

/// A fixed-size field of a fixed-size record, its bounds checked at compile time.
template <std::size_t At, std::size_t Len, std::size_t N>
constexpr std::span<const std::uint8_t, Len> field(std::span<const std::uint8_t, N> record) {
  static_assert(At + Len <= N, "field lies outside its record");
  return record.template subspan<At, Len>();
}

}  // namespace kvn::formats
