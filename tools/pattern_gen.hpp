#pragma once

#include <cstddef>
#include <cstdint>

#include "formats/pattern.hpp"

namespace kvn::example {

/// What a generated design looks like. The same shape and seed give the same
/// pattern on every platform.
struct PatternShape {
  std::size_t stitches = 1000;
  std::size_t blocks = 3;
  std::int32_t max_stitch = 121;  // longest stitch in either axis
  std::int32_t max_jump = 242;    // longest jump between runs in either axis
  bool trims = true;              // a trim before some of the jumps
  bool threads = false;           // a thread per block, its colour drawn from the seed
  bool stops = false;             // a stop now and then
  std::uint32_t seed = 1;
};

/// A pattern of `blocks` colour blocks, each opening with a jump and holding
/// runs of stitches separated by jumps, some after a trim; it turns back
/// towards the start once 50 mm out and ends with kEnd. Tests, the fuzz
/// seed corpora and the benchmarks all draw their stitch patterns from here.
formats::Pattern generated_pattern(const PatternShape& shape);

}  // namespace kvn::example
