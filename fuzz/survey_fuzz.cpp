// Reading arbitrary bytes as --info and --preview do: recognising a container
// or a design, telling what it holds, drawing its pictures and writing them
// as PNG files into an in-memory file system. Recognition and the info agree,
// a container is recognised with exactly the designs its layout places,
// every picture is as large as its pixels and no larger than the size cap,
// and every file written is a PNG of its picture's size; a failure names the
// file and writes nothing.
#include <string>

#include <algorithm>

#include "convert/previews.hpp"
#include "fuzz/fuzz_check.hpp"
#include "inspect/pictures.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/realistic.hpp"
#include "inspect/survey.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"

namespace {

using kvn::fuzz::Bytes;

constexpr std::uint64_t kMaxDrawing =
    2 * kvn::inspect::kDrawingMargin + kvn::inspect::kMaxDrawingSide + 1;
// Pictures larger than this are drawn but not encoded, to keep each run short;
// a layout is at least its smallest hoop, 100 mm (400 pixels) square, and is
// still encoded.
constexpr std::uint64_t kMaxEncodedPixels = 1u << 18;

std::uint64_t check_picture(const kvn::inspect::Picture& p, std::uint64_t max_side,
                            std::uint64_t below = 0) {
  KORVANE_FUZZ_CHECK(p.width >= 1 && p.height >= 1, "an empty picture");
  KORVANE_FUZZ_CHECK(p.width <= max_side && p.height <= max_side + below,
                     std::to_string(p.width) + " x " + std::to_string(p.height));
  KORVANE_FUZZ_CHECK(p.pixels.size() == std::uint64_t{p.width} * p.height,
                     "pixels do not fill the picture");
  for (const std::uint8_t v : p.pixels)
    KORVANE_FUZZ_CHECK(v < p.palette.size(), "a pixel outside the palette");
  KORVANE_FUZZ_CHECK(!p.palette.empty() && p.palette.size() <= 256, "palette size");
  return p.pixels.size();
}

std::uint32_t be32_at(const Bytes& b, std::size_t at) { return kvn::fuzz::be32(b, at); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace c = kvn::convert;
  namespace s = kvn::inspect;
  const Bytes input(data, data + size);
  const kvn::formats::ByteReader in(input, "in.dhv");
  auto r = s::recognise(in);
  auto info = s::survey_image(in);
  // --info also tells a HUC design and the designs of other formats, which are
  // neither a container nor an SHV design.
  const bool huc =
      info && (info->kind == kvn::FileKind::kHucDesign || info->kind == kvn::FileKind::kPattern);
  KORVANE_FUZZ_CHECK(r.has_value() == info.has_value() || (huc && !r),
                     "recognition and info disagree");

  kvn::test::FakeFileSystem fs;
  fs.files["in.dhv"] = input;
  kvn::test::Seen diag;
  if (!r) {
    KORVANE_FUZZ_CHECK(r.error().file == "in.dhv" && r.error().code != kvn::ErrorCode::kOk,
                       r.error().message());
    // A HUC design or another format's design is not recognised as a
    // container or SHV design, yet --preview draws it like --info tells it.
    const int res = kvn::test::previews_seen("in.dhv", nullptr, fs, diag);
    if (huc) {
      KORVANE_FUZZ_CHECK(res == 0 || (diag.written.empty() && fs.files.size() == 1),
                         "a failed picture left files behind");
      return 0;
    }
    KORVANE_FUZZ_CHECK(res == -1, "drew what it could not read");
    KORVANE_FUZZ_CHECK(fs.files.size() == 1 && diag.written.empty(), "wrote after a failure");
    return 0;
  }

  const bool container = r->kind == kvn::FileKind::kContainer;
  KORVANE_FUZZ_CHECK(!r->designs.empty() && info->designs.size() == r->designs.size(),
                     "design counts");
  if (container) {
    const auto expected = kvn::fuzz::expected_designs(input);
    KORVANE_FUZZ_CHECK(expected.has_value() && expected->size() == r->designs.size(),
                       "a container its layout does not allow");
    for (std::size_t i = 0; i < expected->size(); ++i) {
      const auto& d = r->designs[i];
      KORVANE_FUZZ_CHECK(
          (*expected)[i].data() == input.data() + d.offset && (*expected)[i].size() == d.length,
          "design " + std::to_string(i + 1) + " lies elsewhere");
    }
  } else {
    KORVANE_FUZZ_CHECK(
        r->designs.size() == 1 && kvn::formats::has_shv_signature(r->designs[0].design.header),
        "a design without the SHV marks");
  }

  std::uint64_t pixels = 0;
  std::vector<kvn::formats::Pattern> patterns;
  patterns.reserve(r->designs.size());
  for (std::size_t i = 0; i < r->designs.size(); ++i) {
    const auto& v = r->designs[i];
    const auto& d = info->designs[i];
    KORVANE_FUZZ_CHECK(
        d.width == std::int32_t{d.x0} - d.x1 && d.height == std::int32_t{d.y0} - d.y1, "size");
    KORVANE_FUZZ_CHECK(d.colours.size() == v.design.header.nColors, "colour count");
    KORVANE_FUZZ_CHECK(
        d.preview_bytes == std::uint64_t{d.scanlines} * kvn::formats::preview_row_size(d.pixels),
        "preview size");
    const std::uint64_t preview_side =
        std::max<std::uint64_t>({std::uint64_t{d.scanlines} * s::kMaxPreviewScale,
                                 std::uint64_t{d.pixels} * s::kMaxPreviewScale, 1});
    pixels = std::max(pixels, check_picture(s::stored_preview_picture(v.design), preview_side));
    auto pattern = s::shv_pattern(std::span(input).subspan(static_cast<std::size_t>(v.offset),
                                                           static_cast<std::size_t>(v.length)),
                                  "in.dhv", v.design);
    if (!pattern) return 0;  // the SHV reader is stricter than the preview's walk
    KORVANE_FUZZ_CHECK(kvn::formats::check_pattern(*pattern, "in.dhv").has_value(),
                       "a pattern writers cannot take");
    pixels = std::max(pixels, check_picture(s::stitch_picture(*pattern), kMaxDrawing));
    // Threads at the coarsest scale: hostile extents must still give a bounded picture.
    s::ThreadLook coarse;
    coarse.pixels_per_mm = s::kMinPixelsPerMm;
    const auto threads = s::realistic_picture(*pattern, coarse);
    KORVANE_FUZZ_CHECK(threads.width >= 1 && threads.height >= 1 &&
                           threads.width <= s::kMaxRealisticSide &&
                           threads.height <= s::kMaxRealisticSide &&
                           threads.rgba.size() == std::size_t{threads.width} * threads.height * 4,
                       "a thread picture out of bounds");
    patterns.push_back(std::move(*pattern));
  }
  std::vector<s::PlacedPattern> placed;
  for (std::size_t i = 0; i < patterns.size(); ++i)
    placed.push_back({&patterns[i], r->designs[i].Xoffset, r->designs[i].Yoffset});
  if (container)
    pixels = std::max(
        pixels, check_picture(s::layout_picture(placed), kMaxDrawing, s::kLayoutCaptionHeight));
  if (pixels > kMaxEncodedPixels || !s::png_supported()) return 0;

  const int res = kvn::test::previews_seen("in.dhv", nullptr, fs, diag);
  KORVANE_FUZZ_CHECK(res == 0, diag.message);
  KORVANE_FUZZ_CHECK(diag.written.size() == 2 * r->designs.size() + (container ? 1 : 0),
                     "pictures written");
  for (const auto& name : diag.written) {
    const Bytes& png = fs.files.at(name);
    static constexpr std::uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    KORVANE_FUZZ_CHECK(
        png.size() > 24 && std::equal(std::begin(kSignature), std::end(kSignature), png.begin()),
        name + " is no PNG");
    KORVANE_FUZZ_CHECK(be32_at(png, 16) >= 1 && be32_at(png, 20) >= 1, name + " has no pixels");
  }
  return 0;
}
