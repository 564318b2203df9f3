// PNG encoding for the page's build, which has no PNG library: the image data
// is stored, not compressed. The worksheet is the one user; the page squeezes
// each embedded image with the browser's own deflate before offering the file
// (web/app.js), so the person still gets small files, and the module stays
// free of a compressor that the browser already has.
#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "inspect/png_encode.hpp"

namespace kvn::inspect {
namespace {

const std::array<std::uint32_t, 256>& crc_table() {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  return table;
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

void chunk(std::vector<std::uint8_t>& out, const char* type, const std::vector<std::uint8_t>& data) {
  put32(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type, type + 4);
  out.insert(out.end(), data.begin(), data.end());
  std::uint32_t c = 0xFFFFFFFFu;
  for (std::size_t i = start; i < out.size(); ++i) c = crc_table()[(c ^ out[i]) & 0xFF] ^ (c >> 8);
  put32(out, c ^ 0xFFFFFFFFu);
}

// `rows` holds each row's filter byte (0) and pixels; a zlib stream of stored blocks.
std::vector<std::uint8_t> stored_zlib(const std::vector<std::uint8_t>& rows) {
  constexpr std::size_t kBlock = 65535;
  std::vector<std::uint8_t> z{0x78, 0x01};
  z.reserve(rows.size() + rows.size() / kBlock * 5 + 16);
  std::size_t at = 0;
  do {
    const std::size_t len = std::min(kBlock, rows.size() - at);
    const bool last = at + len == rows.size();
    z.push_back(last ? 1 : 0);
    const auto l = static_cast<std::uint16_t>(len);
    const auto nl = static_cast<std::uint16_t>(~l);
    z.insert(z.end(), {static_cast<std::uint8_t>(l & 0xFF), static_cast<std::uint8_t>(l >> 8),
                       static_cast<std::uint8_t>(nl & 0xFF), static_cast<std::uint8_t>(nl >> 8)});
    z.insert(z.end(), rows.begin() + static_cast<std::ptrdiff_t>(at),
             rows.begin() + static_cast<std::ptrdiff_t>(at + len));
    at += len;
  } while (at < rows.size());
  std::uint32_t a = 1, b = 0;
  for (const std::uint8_t v : rows) {
    a = (a + v) % 65521;
    b = (b + a) % 65521;
  }
  put32(z, (b << 16) | a);
  return z;
}

std::vector<std::uint8_t> png_file(std::uint32_t width, std::uint32_t height, std::uint8_t colour_type,
                                   const std::vector<std::uint8_t>& palette,
                                   const std::vector<std::uint8_t>& rows) {
  std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> head;
  put32(head, width);
  put32(head, height);
  head.insert(head.end(), {8, colour_type, 0, 0, 0});
  chunk(out, "IHDR", head);
  if (!palette.empty()) chunk(out, "PLTE", palette);
  chunk(out, "IDAT", stored_zlib(rows));
  chunk(out, "IEND", {});
  return out;
}

}  // namespace

bool png_supported() { return true; }

Result<std::vector<std::uint8_t>> encode_png(const inspect::RgbaPicture& picture,
                                             const std::string& name) {
  if (auto ok = check_rgba(picture, name); !ok) return ok.error();
  const bool alpha = !opaque(picture);
  const std::size_t channels = alpha ? 4 : 3;
  const std::size_t w = picture.width, h = picture.height;
  if (w * channels + 1 > (std::size_t{1} << 31) / std::max<std::size_t>(h, 1))
    return make_error(ErrorCode::kCannotEncode, name, "the picture is too large for this page");
  std::vector<std::uint8_t> rows;
  rows.reserve((w * channels + 1) * h);
  for (std::size_t y = 0; y < h; ++y) {
    rows.push_back(0);
    const std::uint8_t* px = picture.rgba.data() + y * w * 4;
    for (std::size_t x = 0; x < w; ++x, px += 4) rows.insert(rows.end(), px, px + channels);
  }
  return png_file(picture.width, picture.height, alpha ? 6 : 2, {}, rows);
}

Result<std::vector<std::uint8_t>> encode_png(const inspect::Picture& picture,
                                             const std::string& name) {
  const std::size_t w = picture.width, h = picture.height;
  if (w == 0 || h == 0 || picture.pixels.size() < w * h || picture.palette.empty() ||
      picture.palette.size() > 256)
    return make_error(ErrorCode::kCannotEncode, name, "the picture has no pixels or colours");
  std::vector<std::uint8_t> palette;
  for (const auto& c : picture.palette) palette.insert(palette.end(), {c.r, c.g, c.b});
  std::vector<std::uint8_t> rows;
  rows.reserve((w + 1) * h);
  for (std::size_t y = 0; y < h; ++y) {
    rows.push_back(0);
    rows.insert(rows.end(), picture.pixels.begin() + static_cast<std::ptrdiff_t>(y * w),
                picture.pixels.begin() + static_cast<std::ptrdiff_t>((y + 1) * w));
  }
  return png_file(picture.width, picture.height, 3, palette, rows);
}

}  // namespace kvn::inspect
