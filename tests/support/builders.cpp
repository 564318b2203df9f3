#include "support/builders.hpp"

namespace kvn::test {

void put_u32(Bytes& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v >> 24);
  b[at + 1] = static_cast<std::uint8_t>(v >> 16);
  b[at + 2] = static_cast<std::uint8_t>(v >> 8);
  b[at + 3] = static_cast<std::uint8_t>(v);
}

void put_le32(Bytes& b, std::size_t at, std::uint32_t v) {
  for (std::size_t i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

Bytes DhvBuilder::bytes() const {
  Bytes out(86, 0);
  out.push_back(static_cast<std::uint8_t>(name_.size()));
  out.insert(out.end(), name_.begin(), name_.end());
  out.insert(out.end(), {0x12, 0x34, 0, 0, 0, 0});
  const std::size_t count_at = out.size();
  out.resize(out.size() + 4 + 4 * designs_.size());
  put_u32(out, count_at, static_cast<std::uint32_t>(designs_.size()));
  for (std::size_t i = 0; i < designs_.size(); ++i) {
    put_u32(out, table_entry(i), static_cast<std::uint32_t>(out.size()));
    const auto& d = designs_[i];
    out.insert(out.end(),
               {0, static_cast<std::uint8_t>(d.x >> 8), static_cast<std::uint8_t>(d.x),
                static_cast<std::uint8_t>(d.y >> 8), static_cast<std::uint8_t>(d.y), 0, 0});
    out.insert(out.end(), d.shv.begin(), d.shv.end());
  }
  out.insert(out.end(), trailing_.begin(), trailing_.end());
  return out;
}

Bytes noise(std::size_t length, std::uint8_t seed) {
  Bytes b(length);
  for (std::size_t i = 0; i < length; ++i) b[i] = static_cast<std::uint8_t>(seed + i * 7);
  return b;
}

Bytes opaque_design(std::size_t length, std::uint8_t seed) {
  Bytes b = noise(86, seed);
  b.push_back(0);                      // no name
  b.insert(b.end(), 6, 0);             // short dimension block: no preview
  b.insert(b.end(), {0, 0xC4, 0x28});  // shvhdr_t: no colours, the SHV marks
  b.insert(b.end(), 16, 0);            // hoop, extents, no stitch words
  const Bytes tail = noise(length, static_cast<std::uint8_t>(seed + 1));
  b.insert(b.end(), tail.begin(), tail.end());
  return b;
}

}  // namespace kvn::test
