#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "support/design_builders.hpp"

namespace kvn::test {

/// The SHV image the SHV writer makes of `huc`, named `name`.
Bytes written_shv(const HucBuilder& huc, const std::string& name);

/// "rose": extents x -137 ... 255, y -300 ... 100 (39.2 x 40.0 mm, a 40 x 40
/// preview with offsets 13 and 30); colour 5 with 3 words, colour 33 with 5
/// (a long move, then one stitch); 8 words in all.
Bytes rose_shv();

/// One colour block: the block-start move (0, 0), then one stitch (dx, dy).
Bytes one_stitch_shv(std::uint8_t code, std::int8_t dx, std::int8_t dy,
                     const std::string& name = "one");

}  // namespace kvn::test
