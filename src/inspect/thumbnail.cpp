#include "inspect/thumbnail.hpp"

#include <algorithm>
#include <cmath>
#include <optional>

#include "formats/file_kind.hpp"
#include "formats/shv_pattern.hpp"
#include "inspect/file_pictures.hpp"

namespace kvn::inspect {
namespace {

constexpr unsigned kOversample = 2;

std::uint32_t scaled(std::uint32_t n, double f) {
  return std::max<std::uint32_t>(1, static_cast<std::uint32_t>(std::lround(n * f)));
}

}  // namespace

RgbaPicture resized(const RgbaPicture& from, std::uint32_t width, std::uint32_t height) {
  RgbaPicture to;
  to.width = width;
  to.height = height;
  to.rgba.assign(std::size_t{width} * height * 4, 0);
  const double fx = static_cast<double>(from.width) / width;
  const double fy = static_cast<double>(from.height) / height;
  for (std::uint32_t y = 0; y < height; ++y) {
    const auto y0 = std::min(from.height - 1, static_cast<std::uint32_t>(y * fy));
    const auto y1 =
        std::clamp(static_cast<std::uint32_t>(std::ceil((y + 1) * fy)), y0 + 1, from.height);
    for (std::uint32_t x = 0; x < width; ++x) {
      const auto x0 = std::min(from.width - 1, static_cast<std::uint32_t>(x * fx));
      const auto x1 =
          std::clamp(static_cast<std::uint32_t>(std::ceil((x + 1) * fx)), x0 + 1, from.width);
      // Colour weighted by coverage, so a transparent background leaves no dark fringe.
      double sum[4] = {0, 0, 0, 0};
      for (std::uint32_t sy = y0; sy < y1; ++sy)
        for (std::uint32_t sx = x0; sx < x1; ++sx) {
          const double a = from.channel(sx, sy, 3);
          for (unsigned c = 0; c < 3; ++c) sum[c] += from.channel(sx, sy, c) * a;
          sum[3] += a;
        }
      const double n = static_cast<double>(y1 - y0) * (x1 - x0);
      std::uint8_t* px = &to.rgba[(std::size_t{y} * width + x) * 4];
      for (unsigned c = 0; c < 3; ++c)
        px[c] = sum[3] > 0 ? static_cast<std::uint8_t>(std::lround(sum[c] / sum[3])) : 0;
      px[3] = static_cast<std::uint8_t>(std::lround(sum[3] / n));
    }
  }
  return to;
}

Result<RgbaPicture> thumbnail_picture(const formats::ByteReader& in, std::uint32_t size) {
  size = std::clamp(size, kMinThumbnailSize, kMaxThumbnailSize);
  // A container as its designs lie together in the hoop: at a thumbnail's
  // size the layout's labels and scale would be noise.
  std::optional<formats::Pattern> together;
  if (formats::recognise_kind(in.bytes()) == formats::ContentKind::kDhvContainer) {
    KORVANE_TRY(all, formats::read_dhv_combined(in));
    together = std::move(all);
  }
  auto draw = [&](const ThreadLook& look) -> Result<RgbaPicture> {
    if (together) return realistic_picture(*together, look);
    return realistic_design_picture(in, 0, look);
  };
  // A first look at one pixel a millimetre tells the design's size; the
  // picture is then drawn at about twice the size asked for.
  ThreadLook look;
  look.pixels_per_mm = 1;
  KORVANE_TRY(probe, draw(look));
  const double longer = std::max(probe.width, probe.height);
  look.pixels_per_mm = std::clamp(kOversample * size / longer, 0.25, kMaxPixelsPerMm);
  KORVANE_TRY(drawn, draw(look));
  const double f = static_cast<double>(size) / std::max(drawn.width, drawn.height);
  const std::uint32_t w = drawn.width >= drawn.height ? size : scaled(drawn.width, f);
  const std::uint32_t h = drawn.height > drawn.width ? size : scaled(drawn.height, f);
  return resized(drawn, w, h);
}

}  // namespace kvn::inspect
