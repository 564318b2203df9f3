#include "inspect/png_encode.hpp"

#ifdef KORVANE_HAVE_PNG
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <cstdio>
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

namespace {

struct Sink {
  std::vector<std::uint8_t>* out;
  bool full;
  char why[200];
};

void put(png_structp png, png_bytep data, png_size_t size) {
  auto* sink = static_cast<Sink*>(png_get_io_ptr(png));
  try {
    sink->out->insert(sink->out->end(), data, data + size);
  } catch (...) {
    sink->full = true;
  }
  // Out of the handler first: libpng's way out is a longjmp.
  if (sink->full) png_error(png, "there is not enough memory for the picture");
}

void flush(png_structp) {}

void failed(png_structp png, png_const_charp message) {
  auto* sink = static_cast<Sink*>(png_get_error_ptr(png));
  std::snprintf(sink->why, sizeof sink->why, "%s", message);
  png_longjmp(png, 1);
}

void warned(png_structp, png_const_charp) {}

// libpng leaves by longjmp on failure, so this frame holds nothing that needs
// destroying and every C++ object lives in the caller's.
bool write_rgba(const RgbaPicture& picture, bool rgb, Sink& sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, failed, warned);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_set_write_fn(png, &sink, put, flush);
  png_set_IHDR(png, info, picture.width, picture.height, 8,
               rgb ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // Runs of one colour and of one step, which fabric and threads along a row
  // are, found at half the cost of the general search on a dense design; the
  // file stays a few times smaller than the pixels.
  png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB);
  png_set_compression_strategy(png, Z_RLE);
  png_write_info(png, info);
  // An opaque picture is written without its alpha bytes, straight from them.
  if (rgb) png_set_filler(png, 0, PNG_FILLER_AFTER);
  const std::size_t stride = std::size_t{picture.width} * 4;
  for (std::uint32_t y = 0; y < picture.height; ++y)
    png_write_row(png, picture.rgba.data() + y * stride);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

Result<std::vector<std::uint8_t>> encode_png(const inspect::RgbaPicture& picture,
                                             const std::string& name) {
  if (auto st = check_rgba(picture, name); !st) return st.error();
  std::vector<std::uint8_t> out;
  out.reserve(picture.rgba.size() / 4);
  Sink sink{&out, false, "libpng could not start"};
  if (!write_rgba(picture, opaque(picture), sink))
    return make_error(ErrorCode::kCannotEncode, name, sink.why);
  out.shrink_to_fit();
  return out;
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
