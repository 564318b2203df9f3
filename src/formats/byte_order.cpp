#include "formats/byte_order.hpp"

#include <cstdlib>

namespace kvn::formats {

std::size_t PutShort(std::span<std::uint8_t> pBytes, std::size_t offset, std::int32_t value) {
  // A patch outside the image is a bug in the caller, never a property of input.
  if (offset > pBytes.size() || pBytes.size() - offset < 2) std::abort();
  const auto v = static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu);
  pBytes[offset] = static_cast<std::uint8_t>(v >> 8);
  pBytes[offset + 1] = static_cast<std::uint8_t>(v & 0xFF);
  return offset + 2;
}

std::uint16_t ReverseShort(std::uint16_t us) {
  return static_cast<std::uint16_t>(((us << 8) & 0xFF00) + ((us >> 8) & 0xFF));
}

}  // namespace kvn::formats
