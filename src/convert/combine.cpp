#include "convert/combine.hpp"

#include <algorithm>
#include <string>

#include "formats/byte_writer.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/stitch.hpp"

namespace kvn::convert {
namespace {

using formats::ByteReader;
using formats::fits16;
using formats::huccolor_t;
using formats::wrap16;

struct Prepared {
  std::span<const std::uint8_t> stitches;  // what is copied: 2 * the low 16 bits of Stitches words
  bool placed = false;
  std::int16_t place_dx = 0, place_dy = 0;      // the placement record's move
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // extents shifted by the placement
  std::vector<huccolor_t> colours;              // as they go into the combined image
};

std::string design_label(std::size_t i) { return "design " + std::to_string(i + 1); }

Error limit_error(const ByteReader& in, const formats::DesignRef& d, std::size_t i, ErrorCode code,
                  const std::string& what) {
  return make_error(code, in.file(), design_label(i) + ": " + what, d.prefix);
}

// Everything about one design that can be known before a byte is written,
// with every limit of the combined image checked.
Result<Prepared> prepare(const ByteReader& in, const formats::DesignRef& d, std::size_t i,
                         bool last, std::uint64_t& total_words) {
  KORVANE_TRY(shv, in.window(d.begin, d.length, "a design"));
  auto design = formats::read_shv_design(shv);
  if (!design) {
    Error e = design.error();
    e.detail = design_label(i) + ": " + e.detail;
    return e;
  }
  const formats::shvhdr_t& hdr = design->header;
  if (hdr.nColors == 0)
    return shv.error_at(design->header_at, ErrorCode::kNoColours,
                        design_label(i) + " has no colour records, so no block to end it");
  Prepared p;
  // Only the low 16 bits of the count are copied; a design with more words is
  // refused by the word count below before anything is written.
  p.stitches = design->stream.first(2 * std::size_t{hdr.Stitches & 0xFFFF});
  p.placed = d.Xoffset != 0 || d.Yoffset != 0;
  if (p.placed) {
    // Standing alone, a design that opens with 0x80 b (b neither 0x01 nor
    // 0x03) moves by (-128, b) there; behind the placement record that escape
    // is a body record that moves nothing. The placement record makes the move
    // instead, so the design keeps its shape.
    std::int32_t dx = d.Xoffset, dy = d.Yoffset;
    if (p.stitches.size() >= 2) {
      const auto first = p.stitches.first<2>();
      if (first[0] == formats::kEscape && first[1] != formats::kLongMoveMark &&
          first[1] != formats::kBlockStartControl) {
        dx -= 128;
        dy += static_cast<std::int8_t>(first[1]);
      }
    }
    if (!fits16(dx) || !fits16(dy))
      return limit_error(in, d, i, ErrorCode::kCoordinateOutOfRange,
                         "it opens with a move that its placement would carry to (" +
                             std::to_string(dx) + ", " + std::to_string(dy) +
                             "), beyond what a long move can reach");
    p.place_dx = static_cast<std::int16_t>(dx);
    p.place_dy = static_cast<std::int16_t>(dy);
  }

  auto coord = [&](std::int32_t v, const char* what) -> std::optional<Error> {
    if (fits16(v)) return std::nullopt;
    return limit_error(in, d, i, ErrorCode::kCoordinateOutOfRange,
                       std::string(what) + " plus its placement is " + std::to_string(v) +
                           ", outside -32768 ... 32767");
  };
  for (auto [v, what] : {std::pair{hdr.x0 + d.Xoffset, "its largest x"},
                         std::pair{hdr.y0 + d.Yoffset, "its largest y"},
                         std::pair{hdr.x1 + d.Xoffset, "its smallest x"},
                         std::pair{hdr.y1 + d.Yoffset, "its smallest y"}})
    if (auto e = coord(v, what)) return *e;
  p.x0 = wrap16(hdr.x0 + d.Xoffset);
  p.y0 = wrap16(hdr.y0 + d.Yoffset);
  p.x1 = wrap16(hdr.x1 + d.Xoffset);
  p.y1 = wrap16(hdr.y1 + d.Yoffset);

  total_words += hdr.Stitches + (p.placed ? 4u : 0u) + (last ? 0u : 4u);
  p.colours.reserve(hdr.nColors);
  // read_shv_design has read exactly hdr.nColors records.
  std::size_t c = 0;
  for (const formats::shvcolor_t& sc : design->colours) {
    std::uint64_t words = sc.Stitches;
    if (c == 0 && p.placed) words += formats::kLongMoveWords;
    if (c + 1 == hdr.nColors && !last) words += formats::kLongMoveWords;
    if (words > formats::kMaxHucWords)
      return limit_error(in, d, i, ErrorCode::kTooManyWords,
                         "colour " + std::to_string(c + 1) + " needs " + std::to_string(words) +
                             " words, more than the 65535 one colour can hold");
    huccolor_t hc;
    hc.Stitches = static_cast<std::uint16_t>(words - (c + 1 == hdr.nColors && !last ? 4 : 0));
    hc.Color = sc.Color;
    // The first block begins at the start point, where the placement record starts.
    hc.xpos = sc.xpos;
    hc.ypos = sc.ypos;
    if (c > 0) {
      if (auto e = coord(sc.xpos + d.Xoffset, "a colour's x position")) return *e;
      if (auto e = coord(sc.ypos + d.Yoffset, "a colour's y position")) return *e;
      hc.xpos = wrap16(sc.xpos + d.Xoffset);
      hc.ypos = wrap16(sc.ypos + d.Yoffset);
    }
    p.colours.push_back(hc);
    ++c;
  }
  return p;
}

}  // namespace

Result<std::vector<std::uint8_t>> build_combined_huc(const ByteReader& in,
                                                     const formats::ContainerLayout& layout) {
  const std::size_t n = layout.designs.size();
  std::vector<Prepared> designs;
  designs.reserve(n);
  std::uint64_t total_words = 0;
  std::size_t total_colours = 0;
  formats::huchdr_t hdr;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& d = layout.designs[i];
    KORVANE_TRY(p, prepare(in, d, i, i + 1 == n, total_words));
    total_colours += p.colours.size();
    if (total_colours > formats::kMaxHucColours)
      return limit_error(in, d, i, ErrorCode::kTooManyColours,
                         "it brings the colours to " + std::to_string(total_colours) +
                             ", more than the 255 one design can hold");
    if (total_words > formats::kMaxHucWords)
      return limit_error(in, d, i, ErrorCode::kTooManyWords,
                         "it brings the stitch stream to " + std::to_string(total_words) +
                             " words, more than the 65535 one design can hold");
    designs.push_back(std::move(p));
  }

  // Extents start at the start point, so they always contain it.
  for (const auto& p : designs) {
    hdr.x0 = std::max(hdr.x0, p.x0);
    hdr.y0 = std::max(hdr.y0, p.y0);
    hdr.x1 = std::min(hdr.x1, p.x1);
    hdr.y1 = std::min(hdr.y1, p.y1);
  }
  hdr.nColors = static_cast<std::uint8_t>(total_colours);
  hdr.Stitches = static_cast<std::uint16_t>(total_words);
  hdr.Name.fill(' ');
  std::copy_n(layout.name.begin(), std::min(layout.name.size(), formats::kHucNameSize),
              hdr.Name.begin());

  const std::size_t stream_at = formats::huc_stream_at(total_colours);
  formats::ByteWriter out(stream_at + 2 * static_cast<std::size_t>(total_words));
  formats::write_huchdr(out, hdr);
  for (std::size_t i = 0; i < n; ++i) {
    auto colours = designs[i].colours;
    if (i + 1 < n) colours.back().Stitches += formats::kLongMoveWords;
    for (const auto& c : colours) formats::write_huccolor(out, c);
  }

  for (std::size_t i = 0; i < n; ++i) {
    const auto& d = layout.designs[i];
    const auto& p = designs[i];
    const std::size_t design_at = out.size();
    if (p.placed) formats::put_long_move(out, p.place_dx, p.place_dy);
    out.bytes(p.stitches);
    if (i + 1 == n) break;
    // Where the needle stands after this design, as the combined stream
    // decodes: walked from the start point through every block, the placement
    // record included, never past what this design contributed.
    const auto walked = formats::walk_blocks(out.view().subspan(design_at), p.colours, 0, 0,
                                             [](const formats::WalkStep&) {});
    const std::int16_t x = wrap16(walked.x);
    const std::int16_t y = wrap16(walked.y);
    if (x == -32768 || y == -32768)
      return limit_error(in, d, i, ErrorCode::kCoordinateOutOfRange,
                         "it ends at (" + std::to_string(x) + ", " + std::to_string(y) +
                             "), from where no long move can lead back to the start point");
    formats::put_long_move(out, wrap16(-std::int32_t{x}), wrap16(-std::int32_t{y}));
  }
  return out.take();
}

}  // namespace kvn::convert
