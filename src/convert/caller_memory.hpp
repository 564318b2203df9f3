#pragma once

#include <cstdint>
#include <span>

namespace kvn::convert {

/// A malloc'ed copy of `bytes` for a caller of the C API, who releases it with
/// free() as korvane.h promises; null when memory runs out. Never null for no bytes.
std::uint8_t* caller_copy(std::span<const std::uint8_t> bytes);

}  // namespace kvn::convert
