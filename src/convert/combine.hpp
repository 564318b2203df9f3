#pragma once

#include <cstdint>
#include <vector>

#include "formats/container.hpp"

namespace kvn::convert {

/// The HUC design image of all designs of a container, in container order,
/// with placement and return records. Refuses designs that do not hold what
/// their headers say and combinations beyond what a HUC image can store.
Result<std::vector<std::uint8_t>> build_combined_huc(const formats::ByteReader& in,
                                                     const formats::ContainerLayout& layout);

}  // namespace kvn::convert
