// The picture a file manager shows for a design.
#pragma once

#include <cstdint>

#include "formats/byte_reader.hpp"
#include "inspect/realistic.hpp"

namespace kvn::inspect {

inline constexpr std::uint32_t kMinThumbnailSize = 8;
inline constexpr std::uint32_t kMaxThumbnailSize = 2048;

/// A design as threads on white fabric, its longer side `size` pixels (a DHV
/// container: its layout in the hoop). Drawn larger, then averaged down, so
/// that threads finer than a pixel still show as a tint rather than vanish.
Result<RgbaPicture> thumbnail_picture(const formats::ByteReader& in, std::uint32_t size);

/// `from` resampled to `width` x `height`, each pixel the average of the
/// part of `from` it covers (nearest where it covers less than a pixel).
RgbaPicture resized(const RgbaPicture& from, std::uint32_t width, std::uint32_t height);

}  // namespace kvn::inspect
