#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/byte_order.hpp"

namespace kvn::formats {

/// Appends values (big-endian unless named little-endian) to a byte image it owns.
class ByteWriter {
 public:
  ByteWriter() = default;
  explicit ByteWriter(std::size_t reserve) { out_.reserve(reserve); }

  std::size_t size() const { return out_.size(); }
  void u8(std::uint8_t v) { out_.push_back(v); }
  void u16(std::int32_t v) {
    out_.push_back(static_cast<std::uint8_t>((static_cast<std::uint32_t>(v) >> 8) & 0xFF));
    out_.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) & 0xFF));
  }
  void u32(std::uint32_t v) {
    u16(static_cast<std::int32_t>(v >> 16));
    u16(static_cast<std::int32_t>(v & 0xFFFF));
  }
  void u16le(std::uint32_t v) {
    out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    out_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  }
  void u32le(std::uint32_t v) {
    u16le(v & 0xFFFF);
    u16le(v >> 16);
  }
  void bytes(std::span<const std::uint8_t> b) { out_.insert(out_.end(), b.begin(), b.end()); }
  void zeros(std::size_t n) { out_.insert(out_.end(), n, 0); }
  /// Adds n zero bytes to be filled through the pointer returned, valid until
  /// the next append; truncate() gives back what was not used.
  std::uint8_t* extend(std::size_t n) {
    const std::size_t at = out_.size();
    out_.resize(at + n);
    return out_.data() + at;
  }
  void truncate(std::size_t size) { out_.resize(size); }
  std::span<std::uint8_t> view() { return out_; }
  std::vector<std::uint8_t> take() { return std::move(out_); }

 private:
  std::vector<std::uint8_t> out_;
};

}  // namespace kvn::formats
