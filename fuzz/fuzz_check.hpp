// What every fuzz target asserts beyond survival, and the oracles they share.
// The oracles are written from the layouts afresh rather than calling the
// readers under test, so a reader that goes wrong is caught, not echoed.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/shv_design.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "korvane/korvane.h"

#define KORVANE_FUZZ_CHECK(cond, what)                                                      \
  do {                                                                                      \
    if (!(cond)) {                                                                          \
      std::fprintf(stderr, "%s:%d: property failed: %s\n  %s\n", __FILE__, __LINE__, #cond, \
                   std::string(what).c_str());                                              \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)

namespace kvn::fuzz {

using Bytes = std::vector<std::uint8_t>;

/// The input without its trailing mode byte, in a buffer of exactly its size
/// so that the sanitizer sees any read past its end.
struct Split {
  Bytes body;
  std::uint8_t mode = 0;
};

inline std::optional<Split> take_mode(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return std::nullopt;
  return Split{Bytes(data, data + size - 1), data[size - 1]};
}

inline std::uint32_t be32(const Bytes& b, std::size_t at) {
  return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) |
         (std::uint32_t{b[at + 2]} << 8) | b[at + 3];
}

/// The designs of a container as its layout places them, or nothing when the
/// container breaks a rule a conforming reader must refuse: table or design
/// past the end, no designs, a design inside the head, offsets not rising.
inline std::optional<std::vector<std::span<const std::uint8_t>>> expected_designs(const Bytes& c) {
  constexpr std::uint64_t kNameAt = 87, kPrefix = 7;
  if (c.size() < kNameAt) return std::nullopt;
  const std::uint64_t n = c[86];
  const std::uint64_t count_at = kNameAt + n + 6;
  if (count_at + 4 > c.size()) return std::nullopt;
  const std::uint64_t count = be32(c, static_cast<std::size_t>(count_at));
  const std::uint64_t table = count_at + 4;
  if (count == 0 || table + 4 * count > c.size()) return std::nullopt;
  // The table lies inside the image, so every index below fits a size_t.
  const auto designs = static_cast<std::size_t>(count);
  std::vector<std::uint64_t> offsets;
  for (std::size_t i = 0; i < designs; ++i)
    offsets.push_back(be32(c, static_cast<std::size_t>(table) + 4 * i));
  if (offsets[0] < table + 4 * count) return std::nullopt;
  std::vector<std::span<const std::uint8_t>> out;
  for (std::size_t i = 0; i < designs; ++i) {
    const std::uint64_t begin = offsets[i] + kPrefix;
    const std::uint64_t end = i + 1 < designs ? offsets[i + 1] : c.size();
    if (begin > c.size() || begin > end) return std::nullopt;
    out.emplace_back(c.data() + static_cast<std::size_t>(begin),
                     static_cast<std::size_t>(end - begin));
  }
  return out;
}

/// True when a design holds its own SHV layout whole: name, dimension block,
/// preview, the 19-byte header, its colour table and 2 * Stitches bytes of
/// stream (more bytes may follow). Only whole designs may be split.
inline bool design_whole(std::span<const std::uint8_t> whole) {
  // Positions are 64-bit so that nothing wraps; each is checked before it is read.
  const auto d = [&](std::uint64_t i) { return whole[static_cast<std::size_t>(i)]; };
  const std::uint64_t size = whole.size();
  if (size < 87) return false;
  std::uint64_t at = 87 + std::uint64_t{d(86)};
  if (at + 2 > size) return false;
  std::uint64_t rows = 0, cells = 0;
  if (d(at) == 255 && d(at + 1) == 255) {
    if (at + 15 > size) return false;
    rows = (std::uint64_t{d(at + 3)} << 8) | d(at + 4);
    cells = (std::uint64_t{d(at + 5)} << 8) | d(at + 6);
    at += 15;
  } else {
    if (at + 6 > size) return false;
    rows = d(at);
    cells = d(at + 1);
    at += 6;
  }
  at += rows * ((cells + 1) / 2);
  if (at + 19 > size) return false;
  const std::uint64_t colours = d(at);
  const std::uint64_t words = (std::uint64_t{d(at + 15)} << 24) |
                              (std::uint64_t{d(at + 16)} << 16) | (std::uint64_t{d(at + 17)} << 8) |
                              d(at + 18);
  return at + 19 + 14 * colours + 2 * words <= size;
}

inline bool all_whole(const std::vector<std::span<const std::uint8_t>>& designs) {
  return std::all_of(designs.begin(), designs.end(), design_whole);
}

inline bool same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

/// Walks every colour block of a design's stream block by block and checks
/// that GetXY, the block decoder and the C GetXY agree on where each block
/// ends, and that the walker over all blocks ends there too. Returns the end
/// position.
inline std::pair<std::int16_t, std::int16_t> walk_blocks(
    std::span<const std::uint8_t> stream, const std::vector<formats::shvcolor_t>& colours) {
  std::size_t at = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  bool cut = false;
  for (const auto& c : colours) {
    if (at >= stream.size()) {
      // The walker still takes each block's first record: there is none.
      cut = true;
      break;
    }
    const auto n = formats::block_count(c.Stitches);
    std::int16_t gx = x;
    std::int16_t gy = y;
    formats::GetXY(stream.subspan(at), n, &gx, &gy);
    std::int32_t dx = x, dy = y;
    const auto end = formats::decode_block(stream, at, n, [&](const formats::StitchRecord& r) {
      dx = formats::wrap16(dx + r.dx);
      dy = formats::wrap16(dy + r.dy);
    });
    KORVANE_FUZZ_CHECK(end.offset <= stream.size(), "a block ended past the stream");
    KORVANE_FUZZ_CHECK(gx == dx && gy == dy, "GetXY and the block decoder disagree");
    // The C entry point reads at most 2n bytes, 6 more for a closing long move
    // and 8 in all for n < 1: hand it exactly that much when the stream has it.
    const std::size_t bound = 2 * static_cast<std::size_t>(n > 1 ? n : 1) + 6;
    if (stream.size() - at >= bound) {
      Bytes exact(stream.begin() + static_cast<std::ptrdiff_t>(at),
                  stream.begin() + static_cast<std::ptrdiff_t>(at + bound));
      std::int16_t cx = x, cy = y;
      ::GetXY(exact.data(), n, &cx, &cy);
      KORVANE_FUZZ_CHECK(cx == gx && cy == gy, "the C GetXY disagrees with the internal one");
    }
    x = gx;
    y = gy;
    at = end.offset;
    if (end.truncated) {
      cut = true;
      break;
    }
  }
  const auto walked = formats::walk_blocks(stream, colours, 0, 0, [](const formats::WalkStep&) {});
  KORVANE_FUZZ_CHECK(formats::wrap16(walked.x) == x && formats::wrap16(walked.y) == y &&
                         walked.offset == at && walked.truncated == cut,
                     "the walker over all blocks disagrees with the blocks one by one");
  return {x, y};
}

/// A design image we wrote must navigate again: preview, header, colour table
/// and exactly 2 * Stitches bytes of stream, nothing after it unless
/// `trailing_allowed`; and the model must write back exactly the image it read.
inline formats::ShvDesign check_navigates(std::span<const std::uint8_t> shv,
                                          bool trailing_allowed = false) {
  const formats::ByteReader in(shv, "out.shv");
  auto d = formats::read_shv_design(in);
  KORVANE_FUZZ_CHECK(d.has_value(), d.has_value() ? "" : d.error().message());
  KORVANE_FUZZ_CHECK(formats::has_shv_signature(d->header), "output lacks the SHV marks");
  KORVANE_FUZZ_CHECK(trailing_allowed || d->trailing.empty(), "bytes after the stitch stream");
  KORVANE_FUZZ_CHECK(d->bitmap.size() == d->dimensions.bitmap_size(), "preview size");
  formats::ByteWriter again;
  formats::write_shv_design(again, *d);
  KORVANE_FUZZ_CHECK(same(again.view(), shv) && formats::shv_design_size(*d) == shv.size(),
                     "the design model does not write back what it read");
  // The C navigation takes no length; it is safe here because the image is whole.
  Bytes copy(shv.begin(), shv.end());
  const auto* hdr = ::GetShvStitchPos(copy.data());
  KORVANE_FUZZ_CHECK(static_cast<std::size_t>(hdr - copy.data()) == d->header_at,
                     "the C GetShvStitchPos disagrees");
  walk_blocks(d->stream, d->colours);
  return *d;
}

}  // namespace kvn::fuzz
