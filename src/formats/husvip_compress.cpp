#include "formats/husvip_compress.hpp"

#include <algorithm>
#include <array>
#include <optional>
#include <string>

namespace kvn::formats {

namespace {

constexpr int kMaxCodeBits = 16;
constexpr std::uint16_t kEndSymbol = 510;
// Symbols from 256 on are match lengths: 256 means 3 bytes.
constexpr std::uint16_t kFirstLengthSymbol = 256;
constexpr std::size_t kLengthBias = 253;
// The code-length code stores a 2-bit run of zero lengths after its third entry.
constexpr std::size_t kZeroRunIndex = 3;

/// The section's bits, most significant first. Bits past the end read as
/// zero, because a code is looked at before its length is known; `overrun`
/// tells whether anything past the end was actually consumed.
class Bits {
 public:
  explicit Bits(const ByteReader& in) : in_(in), total_(std::uint64_t{in.size()} * 8) {}

  std::uint32_t peek(int n) {
    while (have_ < n) {
      std::uint8_t b = 0;
      if (next_ < in_.size()) {
        const auto r = in_.u8(next_, "the compressed data");
        if (r) b = *r;
      }
      ++next_;
      buf_ = (buf_ << 8) | b;
      have_ += 8;
    }
    return static_cast<std::uint32_t>((buf_ >> (have_ - n)) & ((std::uint64_t{1} << n) - 1));
  }
  void skip(int n) {
    peek(n);
    have_ -= n;
    used_ += static_cast<std::uint64_t>(n);
  }
  std::uint32_t take(int n) {
    const auto v = peek(n);
    skip(n);
    return v;
  }
  bool exhausted() const { return used_ >= total_; }
  bool overrun() const { return used_ > total_; }
  std::size_t byte_offset() const {
    return static_cast<std::size_t>(std::min<std::uint64_t>(used_ / 8, in_.size()));
  }

 private:
  const ByteReader& in_;
  std::uint64_t total_;
  std::uint64_t used_ = 0;
  std::size_t next_ = 0;
  std::uint64_t buf_ = 0;
  int have_ = 0;
};

/// A canonical Huffman code: shorter codes first, equal lengths by symbol.
/// A code with no lengths stands for one fixed symbol and reads no bits.
class Code {
 public:
  static Code fixed(std::uint16_t symbol) {
    Code c;
    c.fixed_ = symbol;
    return c;
  }
  /// Empty when a length exceeds 16 bits or the lengths claim more codes
  /// than there are bit patterns; a code with unused patterns is allowed, and
  /// reading one of those fails in `decode`.
  static std::optional<Code> from_lengths(const std::vector<std::uint8_t>& lengths) {
    Code c;
    for (const auto len : lengths) {
      if (len > kMaxCodeBits) return std::nullopt;
      ++c.count_[len];
    }
    c.count_[0] = 0;
    long left = 1;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      left = left * 2 - c.count_[static_cast<std::size_t>(len)];
      if (left < 0) return std::nullopt;
    }
    std::array<std::uint16_t, kMaxCodeBits + 2> offset{};
    for (std::size_t len = 1; len <= kMaxCodeBits; ++len)
      offset[len + 1] = static_cast<std::uint16_t>(offset[len] + c.count_[len]);
    c.symbol_.resize(offset[kMaxCodeBits + 1]);
    for (std::size_t s = 0; s < lengths.size(); ++s) {
      if (lengths[s] != 0) c.symbol_[offset[lengths[s]]++] = static_cast<std::uint16_t>(s);
    }
    return c;
  }

  std::optional<std::uint16_t> decode(Bits& bits) const {
    if (fixed_) return fixed_;
    const std::uint32_t window = bits.peek(kMaxCodeBits);
    std::uint32_t code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; ++len) {
      code |= (window >> (kMaxCodeBits - len)) & 1u;
      const std::uint32_t count = count_[static_cast<std::size_t>(len)];
      if (code - first < count) {
        bits.skip(len);
        return symbol_[index + code - first];
      }
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return std::nullopt;
  }

 private:
  std::optional<std::uint16_t> fixed_;
  std::array<std::uint16_t, kMaxCodeBits + 1> count_{};
  std::vector<std::uint16_t> symbol_;
};

class Expander {
 public:
  Expander(const ByteReader& in, std::string_view what) : in_(in), what_(what), bits_(in) {}

  Result<std::vector<std::uint8_t>> run(std::size_t expected) {
    std::vector<std::uint8_t> out;
    out.reserve(std::min<std::size_t>(expected, std::size_t{1} << 16));
    std::uint32_t remaining = 0;
    while (out.size() < expected && !bits_.exhausted()) {
      if (remaining == 0) {
        auto loaded = load_block();
        if (!loaded) return loaded.error();
        remaining = *loaded;
      }
      if (remaining > 0) --remaining;
      const auto sym = symbols_->decode(bits_);
      if (!sym) return fail("has a symbol code that matches nothing");
      if (*sym == kEndSymbol) break;
      if (*sym < kFirstLengthSymbol) {
        out.push_back(static_cast<std::uint8_t>(*sym));
      } else {
        const std::size_t length = *sym - kLengthBias;
        const auto d = distances_->decode(bits_);
        if (!d) return fail("has a distance code that matches nothing");
        std::uint64_t back = 1;
        if (*d > 0) {
          const int extra = *d - 1;
          back += (std::uint64_t{1} << extra) + bits_.take(extra);
        }
        if (back > out.size()) {
          return fail("refers " + std::to_string(back) + " bytes back where only " +
                      std::to_string(out.size()) + " were expanded");
        }
        // Byte by byte: a match may overlap the bytes it produces.
        const std::size_t from = out.size() - static_cast<std::size_t>(back);
        const std::size_t n = std::min(length, expected - out.size());
        for (std::size_t i = 0; i < n; ++i) out.push_back(out[from + i]);
      }
      if (bits_.overrun()) return fail("ends inside a code");
    }
    if (out.size() < expected) {
      return fail("expands to " + std::to_string(out.size()) + " bytes where " +
                  std::to_string(expected) + " were expected");
    }
    return out;
  }

 private:
  Error fail(const std::string& detail) const {
    return in_.error_at(bits_.byte_offset(), ErrorCode::kMalformedDesign,
                        std::string(what_) + " " + detail);
  }

  // 3 bits, and 7 continued in unary: one more for each 1 bit up to a 0.
  std::optional<std::uint8_t> code_length() {
    std::uint32_t m = bits_.take(3);
    if (m == 7) {
      while (bits_.take(1) == 1) {
        if (++m > kMaxCodeBits || bits_.overrun()) return std::nullopt;
      }
    }
    return static_cast<std::uint8_t>(m);
  }

  Result<std::optional<Code>> length_code() {
    const std::size_t n = bits_.take(5);
    if (n == 0) return std::optional<Code>(Code::fixed(static_cast<std::uint16_t>(bits_.take(5))));
    std::vector<std::uint8_t> lengths(n, 0);
    for (std::size_t i = 0; i < n;) {
      if (i == kZeroRunIndex) {
        i += bits_.take(2);
        if (i > n) return fail("skips past the end of its code-length table");
        if (i == n) break;
      }
      const auto len = code_length();
      if (!len) return fail("has a code length over 16 bits");
      lengths[i++] = *len;
    }
    return Code::from_lengths(lengths);
  }

  Result<std::optional<Code>> symbol_code(const Code& length_code) {
    const std::size_t n = bits_.take(9);
    if (n == 0) return std::optional<Code>(Code::fixed(static_cast<std::uint16_t>(bits_.take(9))));
    std::vector<std::uint8_t> lengths(n, 0);
    for (std::size_t i = 0; i < n;) {
      const auto c = length_code.decode(bits_);
      if (!c) return fail("has a code-length code that matches nothing");
      if (bits_.overrun()) return fail("ends inside its symbol table");
      switch (*c) {
        case 0:
          i += 1;
          break;
        case 1:
          i += 3 + bits_.take(4);
          break;
        case 2:
          i += 20 + bits_.take(9);
          break;
        default:
          lengths[i++] = static_cast<std::uint8_t>(std::min(*c - 2, 255));
          break;
      }
    }
    return Code::from_lengths(lengths);
  }

  Result<std::optional<Code>> distance_code() {
    const std::size_t n = bits_.take(5);
    if (n == 0) return std::optional<Code>(Code::fixed(static_cast<std::uint16_t>(bits_.take(5))));
    std::vector<std::uint8_t> lengths(n, 0);
    for (auto& l : lengths) {
      const auto len = code_length();
      if (!len) return fail("has a code length over 16 bits");
      l = *len;
    }
    return Code::from_lengths(lengths);
  }

  // A block: its symbol count, then the code of the symbol code's lengths,
  // the symbol code, and the distance code.
  Result<std::uint32_t> load_block() {
    const std::uint32_t count = bits_.take(16);
    KORVANE_TRY(lengths, length_code());
    if (!lengths) return fail("has a code-length code with impossible lengths");
    KORVANE_TRY(symbols, symbol_code(*lengths));
    if (!symbols) return fail("has a symbol code with impossible lengths");
    KORVANE_TRY(distances, distance_code());
    if (!distances) return fail("has a distance code with impossible lengths");
    if (bits_.overrun()) return fail("ends inside a block's tables");
    symbols_ = std::move(symbols);
    distances_ = std::move(distances);
    return count;
  }

  const ByteReader& in_;
  std::string_view what_;
  Bits bits_;
  std::optional<Code> symbols_;
  std::optional<Code> distances_;
};

}  // namespace

Result<std::vector<std::uint8_t>> expand_husvip(const ByteReader& in, std::size_t expected,
                                                std::string_view what) {
  if (expected > kMaxExpandedSection) {
    return in.error_at(0, ErrorCode::kMalformedDesign,
                       std::string(what) + " claims " + std::to_string(expected) +
                           " bytes, more than a design holds");
  }
  if (expected == 0) return std::vector<std::uint8_t>{};
  return Expander(in, what).run(expected);
}

}  // namespace kvn::formats
