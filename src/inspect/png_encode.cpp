#include "inspect/png_encode.hpp"

#ifdef KORVANE_HAVE_PNG
#include <png.h>

#include <cstring>
#endif

namespace kvn::inspect {

#ifdef KORVANE_HAVE_PNG

bool png_supported() { return true; }

Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture& picture,
                                             const std::string& name) {
  const auto& palette = picture.palette;
  std::vector<std::uint8_t> colormap(3 * palette.size());
  for (std::size_t i = 0; i < palette.size(); ++i) {
    colormap[3 * i] = palette[i].r;
    colormap[3 * i + 1] = palette[i].g;
    colormap[3 * i + 2] = palette[i].b;
  }
  if (palette.empty() || palette.size() > 256)
    return make_error(ErrorCode::kCannotEncode, name,
                      "a picture of " + std::to_string(palette.size()) + " colours");
  // Every pixel must name a colour of the palette.
  for (const auto px : picture.pixels)
    if (px >= palette.size())
      return make_error(ErrorCode::kCannotEncode, name, "a pixel outside the palette");
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
  image.colormap_entries = static_cast<png_uint_32>(palette.size());
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

Result<std::vector<std::uint8_t>> encode_png(const inspect::RgbaPicture& picture,
                                             const std::string& name) {
  if (auto st = check_rgba(picture, name); !st) return st.error();
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = picture.width;
  image.height = picture.height;
  // A large picture is compressed less hard: the time goes to the drawing,
  // and the file stays a few times smaller than the pixels.
  image.flags = PNG_IMAGE_FLAG_FAST;
  const bool rgb = opaque(picture);
  image.format = rgb ? PNG_FORMAT_RGB : PNG_FORMAT_RGBA;
  std::vector<std::uint8_t> packed;
  if (rgb) {
    packed.resize(std::size_t{picture.width} * picture.height * 3);
    for (std::size_t i = 0, j = 0; j < packed.size(); i += 4, j += 3) {
      packed[j] = picture.rgba[i];
      packed[j + 1] = picture.rgba[i + 1];
      packed[j + 2] = picture.rgba[i + 2];
    }
  }
  const void* pixels = rgb ? packed.data() : picture.rgba.data();
  // The bound libpng states, so that one pass suffices.
  png_alloc_size_t size = PNG_IMAGE_PNG_SIZE_MAX(image);
  std::vector<std::uint8_t> out(size);
  if (png_image_write_to_memory(&image, out.data(), &size, 0, pixels, 0, nullptr)) {
    out.resize(size);
    out.shrink_to_fit();
    png_image_free(&image);
    return out;
  }
  const std::string why = image.message;
  png_image_free(&image);
  return make_error(ErrorCode::kCannotEncode, name, why);
}

#else

bool png_supported() { return false; }

Result<std::vector<std::uint8_t>> encode_png(const inspect::RgbaPicture&, const std::string& name) {
  return make_error(ErrorCode::kCannotEncode, name, "this korvane was built without a PNG library");
}

Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture&, const std::string& name) {
  return make_error(ErrorCode::kCannotEncode, name, "this korvane was built without a PNG library");
}

#endif

}  // namespace kvn::inspect
