#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "inspect/png_encode.hpp"

namespace kvn::inspect {

/// The page's own encoder (it has no PNG library), built beside the
/// program's under these names so that one set of picture checks holds both.
Result<std::vector<std::uint8_t>> page_encode_png(const Picture& picture, const std::string& name);
Result<std::vector<std::uint8_t>> page_encode_png(const RgbaPicture& picture,
                                                  const std::string& name);

}  // namespace kvn::inspect
