#pragma once

#include <cstdint>
#include <vector>

#include "formats/container.hpp"
#include "formats/pattern.hpp"

namespace kvn::convert {

/// The HUC design image of all designs of a container, in container order,
/// with placement and return records. Refuses designs that do not hold what
/// their headers say and combinations beyond what a HUC image can store.
Result<std::vector<std::uint8_t>> build_combined_huc(const formats::ByteReader& in,
                                                     const formats::ContainerLayout& layout);

/// All designs of the DHV container `in` as one pattern, placed exactly as
/// combining places them: the combined HUC image, read back, named after the
/// container's name field. A container of one design gives that design as it
/// stands, as combining delivers it unchanged. For the designs one by
/// one, see formats::read_dhv_designs().
Result<formats::Pattern> read_dhv_combined(const formats::ByteReader& in);

}  // namespace kvn::convert
