#include "convert/caller_memory.hpp"

#include <cstdlib>
#include <cstring>

namespace kvn::convert {

std::uint8_t* caller_copy(std::span<const std::uint8_t> bytes) {
  auto* p = static_cast<std::uint8_t*>(std::malloc(bytes.empty() ? 1 : bytes.size()));
  if (p && !bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
  return p;
}

}  // namespace kvn::convert
