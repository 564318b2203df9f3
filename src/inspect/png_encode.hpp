#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/error.hpp"
#include "inspect/pictures.hpp"

namespace kvn::inspect {

/// True when this build carries a PNG library; without one encode_png always fails.
bool png_supported();

/// The picture as an 8-bit palette PNG image in memory. `name` is the file the
/// image is meant for, named in an error.
Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture& picture,
                                             const std::string& name);

}  // namespace kvn::inspect
