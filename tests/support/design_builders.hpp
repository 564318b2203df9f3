#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace kvn::test {

using Bytes = std::vector<std::uint8_t>;

// Stitch stream records, so that each case shows the bytes it holds.
Bytes rec(std::int8_t dx, std::int8_t dy);           // a normal record
Bytes raw(std::uint8_t first, std::uint8_t second);  // any two-byte record, escapes included
Bytes long_move(std::int16_t dx, std::int16_t dy);   // 0x80 0x01 dx dy 0x80 0x02
Bytes cat(std::initializer_list<Bytes> parts);

/// Builds HUC design images: header, colour records, then the blocks' bytes
/// back to back. Counts default to each block's length in words.
class HucBuilder {
 public:
  HucBuilder& extents(std::int16_t x0, std::int16_t y0, std::int16_t x1, std::int16_t y1) {
    x0_ = x0, y0_ = y0, x1_ = x1, y1_ = y1;
    return *this;
  }
  HucBuilder& hoop(std::uint8_t h) {
    hoop_ = h;
    return *this;
  }
  HucBuilder& colour(std::uint8_t code, Bytes block, std::int32_t words = -1, std::int16_t xpos = 0,
                     std::int16_t ypos = 0) {
    colours_.push_back({code, std::move(block), words, xpos, ypos});
    return *this;
  }
  /// Overrides huchdr_t::nColors (by default the number of colours added).
  HucBuilder& n_colors(std::uint8_t n) {
    n_colors_ = n;
    return *this;
  }
  /// Bytes after the last block that no count covers.
  HucBuilder& trailing(Bytes b) {
    trailing_ = std::move(b);
    return *this;
  }
  Bytes bytes() const;

 private:
  struct Colour {
    std::uint8_t code;
    Bytes block;
    std::int32_t words;
    std::int16_t xpos, ypos;
  };
  std::int16_t x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  std::uint8_t hoop_ = 0x40;
  int n_colors_ = -1;
  std::vector<Colour> colours_;
  Bytes trailing_;
};

/// An SHV image up to its shvhdr_t: zero header text, `name`, the given
/// dimension block and `bitmap_bytes` preview bytes, then `rest`.
Bytes shv_image(const std::string& name, const Bytes& dimension_block, std::size_t bitmap_bytes,
                const Bytes& rest = {});

/// One colour of `words` stream words (words >= 4) that sweeps back and forth
/// across x from -32,767 to 32,767 while climbing in y over the same range:
/// the largest design the 16-bit layout holds, for benchmarks.
Bytes full_range_huc(std::uint32_t words);

}  // namespace kvn::test
