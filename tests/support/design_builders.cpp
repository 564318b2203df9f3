#include "support/design_builders.hpp"

#include "support/builders.hpp"

namespace kvn::test {

Bytes rec(std::int8_t dx, std::int8_t dy) {
  return {static_cast<std::uint8_t>(dx), static_cast<std::uint8_t>(dy)};
}

Bytes raw(std::uint8_t first, std::uint8_t second) { return {first, second}; }

Bytes long_move(std::int16_t dx, std::int16_t dy) {
  Bytes b{0x80, 0x01};
  be16(b, dx);
  be16(b, dy);
  b.insert(b.end(), {0x80, 0x02});
  return b;
}

Bytes cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes HucBuilder::bytes() const {
  std::int32_t total = 0;
  for (const auto& c : colours_)
    total += c.words >= 0 ? c.words : static_cast<std::int32_t>(c.block.size() / 2);
  Bytes b;
  b.push_back(static_cast<std::uint8_t>(n_colors_ >= 0 ? static_cast<std::size_t>(n_colors_)
                                                       : colours_.size()));
  b.push_back(0xC4);
  b.push_back(hoop_);
  const std::string name = "test            ";
  b.insert(b.end(), name.begin(), name.end());
  for (std::int32_t v : {x0_, y0_, x1_, y1_}) be16(b, v);
  be16(b, total);
  for (const auto& c : colours_) {
    be16(b, c.words >= 0 ? c.words : static_cast<std::int32_t>(c.block.size() / 2));
    b.push_back(c.code);
    be16(b, c.xpos);
    be16(b, c.ypos);
  }
  for (const auto& c : colours_) b.insert(b.end(), c.block.begin(), c.block.end());
  b.insert(b.end(), trailing_.begin(), trailing_.end());
  return b;
}

Bytes shv_image(const std::string& name, const Bytes& dimension_block, std::size_t bitmap_bytes,
                const Bytes& rest) {
  Bytes b(86, 0);
  b.push_back(static_cast<std::uint8_t>(name.size()));
  b.insert(b.end(), name.begin(), name.end());
  b.insert(b.end(), dimension_block.begin(), dimension_block.end());
  b.insert(b.end(), bitmap_bytes, 0x5A);
  b.insert(b.end(), rest.begin(), rest.end());
  return b;
}

Bytes full_range_huc(std::uint32_t words) {
  constexpr std::int32_t kEdge = 32767;
  constexpr std::int32_t kStep = 127;
  Bytes block = long_move(-kEdge, -kEdge);
  std::int32_t x = -kEdge;
  std::int32_t y = -kEdge;
  std::int32_t dir = 1;
  for (std::uint32_t i = 4; i < words; ++i) {
    std::int32_t dx = dir * kStep;
    if (x + dx > kEdge || x + dx < -kEdge) {
      dx = dir > 0 ? kEdge - x : -kEdge - x;
      dir = -dir;
    }
    const std::int32_t dy = y < kEdge ? 1 : 0;
    x += dx;
    y += dy;
    block.push_back(static_cast<std::uint8_t>(dx));
    block.push_back(static_cast<std::uint8_t>(dy));
  }
  return HucBuilder{}
      .extents(static_cast<std::int16_t>(kEdge), static_cast<std::int16_t>(kEdge),
               static_cast<std::int16_t>(-kEdge), static_cast<std::int16_t>(-kEdge))
      .colour(3, std::move(block))
      .bytes();
}

}  // namespace kvn::test
