#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "formats/byte_order.hpp"
#include "formats/error.hpp"

namespace kvn::formats {

/// The only code that indexes input bytes. Every read is checked against the
/// window it was given; a failure names the file and the absolute offset.
class ByteReader {
 public:
  ByteReader(std::span<const std::uint8_t> bytes, std::string_view file, std::uint64_t base = 0)
      : bytes_(bytes), file_(file), base_(base) {}

  std::size_t size() const { return bytes_.size(); }
  std::uint64_t base() const { return base_; }
  const std::string& file() const { return file_; }
  std::span<const std::uint8_t> bytes() const { return bytes_; }

  /// True when [off, off + len) lies inside the window; written so it cannot overflow.
  bool contains(std::size_t off, std::size_t len) const {
    return off <= bytes_.size() && len <= bytes_.size() - off;
  }

  template <std::size_t N>
  Result<std::span<const std::uint8_t, N>> take(std::size_t off, std::string_view what) const {
    if (!contains(off, N)) return truncated(off, N, what);
    return bytes_.subspan(off).template first<N>();
  }

  Result<std::span<const std::uint8_t>> span_at(std::size_t off, std::size_t len,
                                                std::string_view what) const {
    if (!contains(off, len)) return truncated(off, len, what);
    return bytes_.subspan(off, len);
  }

  Result<ByteReader> window(std::size_t off, std::size_t len, std::string_view what) const {
    if (!contains(off, len)) return truncated(off, len, what);
    return ByteReader(bytes_.subspan(off, len), file_, base_ + off);
  }

  Result<std::uint8_t> u8(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<1>(off, what));
    return b[0];
  }
  Result<std::int16_t> s16(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<2>(off, what));
    return GetShort(b);
  }
  Result<std::uint16_t> u16(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<2>(off, what));
    return static_cast<std::uint16_t>(GetShort(b));
  }
  Result<std::uint32_t> u32(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<4>(off, what));
    return GetLong(b);
  }

  // Most foreign formats store little-endian values.
  Result<std::uint16_t> u16le(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<2>(off, what));
    return static_cast<std::uint16_t>(b[0] | (b[1] << 8));
  }
  Result<std::int16_t> s16le(std::size_t off, std::string_view what) const {
    KORVANE_TRY(v, u16le(off, what));
    return static_cast<std::int16_t>(v);
  }
  Result<std::uint32_t> u32le(std::size_t off, std::string_view what) const {
    KORVANE_TRY(b, take<4>(off, what));
    return std::uint32_t{b[0]} | (std::uint32_t{b[1]} << 8) | (std::uint32_t{b[2]} << 16) |
           (std::uint32_t{b[3]} << 24);
  }
  Result<std::int32_t> s32le(std::size_t off, std::string_view what) const {
    KORVANE_TRY(v, u32le(off, what));
    return static_cast<std::int32_t>(v);
  }

  /// An error located at an offset of this window.
  Error error_at(std::size_t off, ErrorCode code, std::string detail) const {
    return make_error(code, file_, std::move(detail), base_ + off);
  }

 private:
  Error truncated(std::size_t off, std::size_t len, std::string_view what) const;

  std::span<const std::uint8_t> bytes_;
  std::string file_;
  std::uint64_t base_;
};

}  // namespace kvn::formats
