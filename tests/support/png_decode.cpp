#include "support/png_decode.hpp"

#ifdef KORVANE_HAVE_PNG
#include <png.h>

#include <cstring>
#endif

namespace kvn::test {

#ifdef KORVANE_HAVE_PNG
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>& png) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) return std::nullopt;
  image.format = PNG_FORMAT_RGB;
  DecodedPng out;
  out.width = image.width;
  out.height = image.height;
  out.rgb.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) {
    png_image_free(&image);
    return std::nullopt;
  }
  return out;
}
#else
std::optional<DecodedPng> decode_png(const std::vector<std::uint8_t>&) { return std::nullopt; }
#endif

}  // namespace kvn::test
