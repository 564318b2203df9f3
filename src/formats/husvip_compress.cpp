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

namespace kvn::formats {

namespace {

constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 256;
// The dictionary of the decoder in the machines is 1 KiB, not the 26 KiB of
// the archivers the scheme comes from: a match further back would expand to
// whatever the machine's ring buffer holds there.
constexpr std::size_t kWindow = 1024;
constexpr std::size_t kChainTries = 64;
constexpr std::size_t kHashBits = 15;
// Symbols per block: the block's count field is 16 bits.
constexpr std::size_t kBlockSymbols = 32768;
constexpr std::size_t kSymbols = kEndSymbol;  // literals and lengths; no end mark is written
constexpr std::size_t kDistanceCodes = 11;    // offsets below kWindow
constexpr std::size_t kLengthCodes = kMaxCodeBits + 3;

class BitSink {
 public:
  void put(std::uint32_t value, int n) {
    for (int i = n - 1; i >= 0; --i) {
      acc_ = static_cast<std::uint8_t>((std::uint32_t{acc_} << 1) | ((value >> i) & 1u));
      if (++have_ == 8) {
        out_.push_back(acc_);
        acc_ = 0;
        have_ = 0;
      }
    }
  }
  std::vector<std::uint8_t> finish() {
    if (have_ > 0) out_.push_back(static_cast<std::uint8_t>(acc_ << (8 - have_)));
    have_ = 0;
    return std::move(out_);
  }

 private:
  std::vector<std::uint8_t> out_;
  std::uint8_t acc_ = 0;
  int have_ = 0;
};

/// Huffman code lengths for `freq`, none longer than `limit`: where the
/// plain code is too deep, the counts are flattened and it is built again.
std::vector<std::uint8_t> code_lengths(std::vector<std::uint64_t> freq, int limit) {
  std::vector<std::uint8_t> len(freq.size(), 0);
  while (true) {
    struct Node {
      std::uint64_t weight;
      int left, right;
    };
    std::vector<Node> nodes;
    std::vector<std::pair<std::uint64_t, int>> heap;
    for (std::size_t s = 0; s < freq.size(); ++s) {
      if (freq[s] == 0) continue;
      heap.emplace_back(freq[s], static_cast<int>(nodes.size()));
      nodes.push_back({freq[s], -1, static_cast<int>(s)});
    }
    if (heap.size() <= 1) {
      if (heap.size() == 1) len[static_cast<std::size_t>(nodes[0].right)] = 1;
      return len;
    }
    const auto later = [](const auto& a, const auto& b) {
      return a.first != b.first ? a.first > b.first : a.second > b.second;
    };
    std::make_heap(heap.begin(), heap.end(), later);
    while (heap.size() > 1) {
      std::pop_heap(heap.begin(), heap.end(), later);
      const auto a = heap.back();
      heap.pop_back();
      std::pop_heap(heap.begin(), heap.end(), later);
      const auto b = heap.back();
      heap.pop_back();
      heap.emplace_back(a.first + b.first, static_cast<int>(nodes.size()));
      nodes.push_back({a.first + b.first, a.second, b.second});
      std::push_heap(heap.begin(), heap.end(), later);
    }
    // Depths from the root down; a leaf has left == -1 and its symbol in right.
    std::vector<int> depth(nodes.size(), 0);
    int deepest = 0;
    for (std::size_t i = nodes.size(); i-- > 0;) {
      if (nodes[i].left < 0) {
        len[static_cast<std::size_t>(nodes[i].right)] = static_cast<std::uint8_t>(depth[i]);
        deepest = std::max(deepest, depth[i]);
      } else {
        depth[static_cast<std::size_t>(nodes[i].left)] = depth[i] + 1;
        depth[static_cast<std::size_t>(nodes[i].right)] = depth[i] + 1;
      }
    }
    if (deepest <= limit) return len;
    for (auto& f : freq)
      if (f != 0) f = (f + 1) / 2;
  }
}

/// Canonical codes for `len`, as the expander assigns them.
std::vector<std::uint32_t> canonical(const std::vector<std::uint8_t>& len) {
  std::array<std::uint32_t, kMaxCodeBits + 2> count{}, next{};
  for (const auto l : len) ++count[l];
  count[0] = 0;
  for (std::size_t l = 1; l <= kMaxCodeBits; ++l) next[l] = (next[l - 1] + count[l - 1]) << 1;
  std::vector<std::uint32_t> code(len.size(), 0);
  for (std::size_t s = 0; s < len.size(); ++s)
    if (len[s] != 0) code[s] = next[len[s]]++;
  return code;
}

std::size_t used(const std::vector<std::uint8_t>& len) {
  std::size_t n = len.size();
  while (n > 0 && len[n - 1] == 0) --n;
  return n;
}

void put_code_length(BitSink& bits, std::uint8_t m) {
  if (m < 7) {
    bits.put(m, 3);
    return;
  }
  bits.put(7, 3);
  for (int i = 7; i < m; ++i) bits.put(1, 1);
  bits.put(0, 1);
}

struct Token {
  std::uint16_t symbol;    // a literal byte, or kLengthBias + match length
  std::uint16_t distance;  // the match's offset back, less one
};

int distance_code(std::uint32_t offset) {
  int d = 0;
  while (offset >> d) ++d;
  return d;
}

void put_block(BitSink& bits, const std::vector<Token>& tokens) {
  std::vector<std::uint64_t> sym_freq(kSymbols, 0), dist_freq(kDistanceCodes, 0);
  for (const auto& t : tokens) {
    ++sym_freq[t.symbol];
    if (t.symbol >= kFirstLengthSymbol)
      ++dist_freq[static_cast<std::size_t>(distance_code(t.distance))];
  }
  const auto sym_len = code_lengths(sym_freq, kMaxCodeBits);
  const auto dist_len = code_lengths(dist_freq, kMaxCodeBits);
  const auto sym_code = canonical(sym_len);
  const auto dist_code = canonical(dist_len);
  bits.put(static_cast<std::uint32_t>(tokens.size()), 16);

  const std::size_t n_sym = used(sym_len);
  const bool one_symbol =
      std::count_if(sym_len.begin(), sym_len.end(), [](std::uint8_t l) { return l != 0; }) == 1;
  if (one_symbol) {
    bits.put(0, 5);  // a code-length code that is never read
    bits.put(0, 5);
    bits.put(0, 9);
    bits.put(static_cast<std::uint32_t>(n_sym - 1), 9);
  } else {
    // The symbol lengths as code-length symbols: 0 one zero, 1 three to 18
    // zeros, 2 twenty to 531 zeros, 3 on a length of 1 and up.
    struct Item {
      std::uint8_t c;
      std::uint16_t extra;
    };
    std::vector<Item> items;
    for (std::size_t i = 0; i < n_sym;) {
      if (sym_len[i] != 0) {
        items.push_back({static_cast<std::uint8_t>(sym_len[i] + 2), 0});
        ++i;
        continue;
      }
      std::size_t run = 0;
      while (i + run < n_sym && sym_len[i + run] == 0) ++run;
      i += run;
      while (run > 0) {
        if (run >= 20) {
          const std::size_t n = std::min<std::size_t>(run, 531);
          items.push_back({2, static_cast<std::uint16_t>(n - 20)});
          run -= n;
        } else if (run >= 3) {
          const std::size_t n = std::min<std::size_t>(run, 18);
          items.push_back({1, static_cast<std::uint16_t>(n - 3)});
          run -= n;
        } else {
          items.push_back({0, 0});
          --run;
        }
      }
    }
    std::vector<std::uint64_t> c_freq(kLengthCodes, 0);
    for (const auto& it : items) ++c_freq[it.c];
    const auto c_len = code_lengths(c_freq, kMaxCodeBits);
    const auto c_code = canonical(c_len);
    const std::size_t n_c = used(c_len);
    const bool one_c =
        std::count_if(c_len.begin(), c_len.end(), [](std::uint8_t l) { return l != 0; }) == 1;
    if (one_c) {
      bits.put(0, 5);
      bits.put(static_cast<std::uint32_t>(n_c - 1), 5);
    } else {
      bits.put(static_cast<std::uint32_t>(n_c), 5);
      for (std::size_t i = 0; i < n_c;) {
        if (i == kZeroRunIndex) {
          std::size_t zeros = 0;
          while (zeros < 3 && i + zeros < n_c && c_len[i + zeros] == 0) ++zeros;
          bits.put(static_cast<std::uint32_t>(zeros), 2);
          i += zeros;
          if (i == n_c) break;
        }
        put_code_length(bits, c_len[i++]);
      }
    }
    bits.put(static_cast<std::uint32_t>(n_sym), 9);
    for (const auto& it : items) {
      if (!one_c) bits.put(c_code[it.c], c_len[it.c]);
      if (it.c == 1) bits.put(it.extra, 4);
      if (it.c == 2) bits.put(it.extra, 9);
    }
  }

  const std::size_t n_dist = used(dist_len);
  const auto dist_used =
      std::count_if(dist_len.begin(), dist_len.end(), [](std::uint8_t l) { return l != 0; });
  if (dist_used <= 1) {
    bits.put(0, 5);
    bits.put(static_cast<std::uint32_t>(n_dist == 0 ? 0 : n_dist - 1), 5);
  } else {
    bits.put(static_cast<std::uint32_t>(n_dist), 5);
    for (std::size_t i = 0; i < n_dist; ++i) put_code_length(bits, dist_len[i]);
  }

  for (const auto& t : tokens) {
    if (!one_symbol) bits.put(sym_code[t.symbol], sym_len[t.symbol]);
    if (t.symbol < kFirstLengthSymbol) continue;
    const int d = distance_code(t.distance);
    if (dist_used > 1)
      bits.put(dist_code[static_cast<std::size_t>(d)], dist_len[static_cast<std::size_t>(d)]);
    if (d > 1) bits.put(std::uint32_t{t.distance} - (1u << (d - 1)), d - 1);
  }
}

}  // namespace

std::vector<std::uint8_t> compress_husvip(std::span<const std::uint8_t> in) {
  BitSink bits;
  if (in.empty()) return bits.finish();
  constexpr std::size_t kNone = SIZE_MAX;
  std::vector<std::size_t> head(std::size_t{1} << kHashBits, kNone);
  std::vector<std::size_t> prev(in.size(), kNone);
  const auto hash = [&](std::size_t i) {
    const std::uint32_t v =
        (std::uint32_t{in[i]} << 16) | (std::uint32_t{in[i + 1]} << 8) | in[i + 2];
    return static_cast<std::size_t>((v * 2654435761u) >> (32 - kHashBits));
  };
  const auto insert = [&](std::size_t i) {
    if (i + kMinMatch > in.size()) return;
    const std::size_t h = hash(i);
    prev[i] = head[h];
    head[h] = i;
  };

  std::vector<Token> tokens;
  tokens.reserve(std::min(in.size(), kBlockSymbols));
  for (std::size_t i = 0; i < in.size();) {
    std::size_t best_len = 0, best_at = 0;
    if (i + kMinMatch <= in.size()) {
      const std::size_t longest = std::min(kMaxMatch, in.size() - i);
      std::size_t tries = 0;
      for (std::size_t c = head[hash(i)]; c != kNone && i - c <= kWindow && tries < kChainTries;
           c = prev[c], ++tries) {
        std::size_t n = 0;
        while (n < longest && in[c + n] == in[i + n]) ++n;
        if (n > best_len) {
          best_len = n;
          best_at = c;
          if (n == longest) break;
        }
      }
    }
    if (best_len >= kMinMatch) {
      tokens.push_back({static_cast<std::uint16_t>(kLengthBias + best_len),
                        static_cast<std::uint16_t>(i - best_at - 1)});
      for (std::size_t k = 0; k < best_len; ++k) insert(i + k);
      i += best_len;
    } else {
      tokens.push_back({in[i], 0});
      insert(i);
      ++i;
    }
    if (tokens.size() == kBlockSymbols) {
      put_block(bits, tokens);
      tokens.clear();
    }
  }
  if (!tokens.empty()) put_block(bits, tokens);
  return bits.finish();
}

}  // namespace kvn::formats
