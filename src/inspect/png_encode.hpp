#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "formats/error.hpp"
#include "inspect/file_pictures.hpp"
#include "inspect/pictures.hpp"
#include "inspect/realistic.hpp"

namespace kvn::inspect {

/// True when this build carries a PNG library; without one encode_png always fails.
bool png_supported();

/// The picture as an 8-bit palette PNG image in memory. `name` is the file the
/// image is meant for, named in an error.
Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture& picture,
                                             const std::string& name);

/// The picture as an 8-bit RGB PNG image, or RGBA when any pixel is not opaque.
Result<std::vector<std::uint8_t>> encode_png(const inspect::RgbaPicture& picture,
                                             const std::string& name);

/// Whichever kind the picture is.
inline Result<std::vector<std::uint8_t>> encode_png(const AnyPicture& picture,
                                                    const std::string& name) {
  return std::visit([&](const auto& p) { return encode_png(p, name); }, picture);
}

}  // namespace kvn::inspect
