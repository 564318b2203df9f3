#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvn::test {

using Bytes = std::vector<std::uint8_t>;

/// Builds DHV containers byte by byte: each design is an opaque SHV image
/// with its placement, laid back to back after the head and offset table.
class DhvBuilder {
 public:
  DhvBuilder& name(std::string n) {
    name_ = std::move(n);
    return *this;
  }
  DhvBuilder& add(Bytes shv, std::int16_t x = 0, std::int16_t y = 0) {
    designs_.push_back({std::move(shv), x, y});
    return *this;
  }
  DhvBuilder& trailing(Bytes extra) {
    trailing_ = std::move(extra);
    return *this;
  }
  Bytes bytes() const;
  /// Offset of the design offset table entry i, for tests that corrupt it.
  std::size_t table_entry(std::size_t i) const { return 87 + name_.size() + 10 + 4 * i; }

 private:
  struct Design {
    Bytes shv;
    std::int16_t x, y;
  };
  std::string name_ = "garden";
  std::vector<Design> designs_;
  Bytes trailing_;
};

/// Stands for a design when nothing looks inside it: a whole SHV image with no
/// colours and no stitches, its header text and `length` bytes after its
/// stream filled from `seed`, so that designs differ and still split.
Bytes opaque_design(std::size_t length, std::uint8_t seed);

/// `length` bytes from `seed` that are no design at all.
Bytes noise(std::size_t length, std::uint8_t seed);

void put_u32(Bytes& b, std::size_t at, std::uint32_t v);
void put_le32(Bytes& b, std::size_t at, std::uint32_t v);

/// Appends the low 16 or 32 bits of `v`, high byte first (a negative value
/// as two's complement).
template <class T>
void be16(Bytes& b, T v) {
  b.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  b.push_back(static_cast<std::uint8_t>(v & 0xFF));
}
template <class T>
void be32(Bytes& b, T v) {
  be16(b, v >> 16);
  be16(b, v & 0xFFFF);
}

}  // namespace kvn::test
