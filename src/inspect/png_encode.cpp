#include "inspect/png_encode.hpp"

#ifdef KORVANE_HAVE_PNG
#include <png.h>

#include <array>
#include <cstring>
#endif

namespace kvn::inspect {

#ifdef KORVANE_HAVE_PNG

bool png_supported() { return true; }

Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture& picture,
                                             const std::string& name) {
  std::array<std::uint8_t, 3 * inspect::kPicturePalette.size()> colormap{};
  for (std::size_t i = 0; i < inspect::kPicturePalette.size(); ++i) {
    colormap[3 * i] = inspect::kPicturePalette[i].r;
    colormap[3 * i + 1] = inspect::kPicturePalette[i].g;
    colormap[3 * i + 2] = inspect::kPicturePalette[i].b;
  }
  if (picture.width == 0 || picture.height == 0 ||
      picture.pixels.size() != std::size_t{picture.width} * picture.height)
    return make_error(ErrorCode::kCannotEncode, name,
                      "a picture of " + std::to_string(picture.width) + " x " +
                          std::to_string(picture.height) + " pixels holds " +
                          std::to_string(picture.pixels.size()));
  // The simplified interface keeps libpng's longjmp inside libpng: no jump
  // crosses our frames, and a failure comes back as 0 with a message.
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  image.format = PNG_FORMAT_RGB_COLORMAP;
  image.colormap_entries = static_cast<png_uint_32>(inspect::kPicturePalette.size());
  png_alloc_size_t size = 0;
  std::vector<std::uint8_t> out;
  if (png_image_write_to_memory(&image, nullptr, &size, 0, picture.pixels.data(), 0,
                                colormap.data())) {
    out.resize(size);
    if (png_image_write_to_memory(&image, out.data(), &size, 0, picture.pixels.data(), 0,
                                  colormap.data())) {
      out.resize(size);
      png_image_free(&image);
      return out;
    }
  }
  const std::string why = image.message;
  png_image_free(&image);
  return make_error(ErrorCode::kCannotEncode, name, why);
}

#else

bool png_supported() { return false; }

Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture&, const std::string& name) {
  return make_error(ErrorCode::kCannotEncode, name, "this korvane was built without a PNG library");
}

#endif

}  // namespace kvn::inspect
