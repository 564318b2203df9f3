#pragma once

#include <cstdint>

#include "formats/pattern.hpp"

namespace kvn::tools {

/// A stitch pattern from a seed, for fuzz seeds and benchmarks: `blocks`
/// colour blocks of about `stitches` stitches in all, each block opened by a
/// trim and a jump, stitches at most `reach` long on each axis, and a stop
/// now and then when `stops`.
formats::Pattern example_pattern(std::uint32_t seed, std::uint32_t stitches, std::uint32_t blocks,
                                 std::int32_t reach, bool stops = false);

}  // namespace kvn::tools
