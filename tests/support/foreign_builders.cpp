#include "support/foreign_builders.hpp"

#include "support/builders.hpp"

#include <algorithm>
#include <string>

namespace kvn::test {

namespace {

class BitWriter {
 public:
  void put(std::uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
      acc_ = static_cast<std::uint8_t>((unsigned{acc_} << 1) | ((value >> i) & 1u));
      if (++n_ == 8) {
        out_.push_back(acc_);
        acc_ = 0;
        n_ = 0;
      }
    }
  }
  Bytes finish() {
    if (n_ > 0) put(0, 8 - n_);
    return out_;
  }

 private:
  Bytes out_;
  std::uint8_t acc_ = 0;
  int n_ = 0;
};

void le16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void le32(Bytes& b, std::uint32_t v) {
  le16(b, v & 0xFFFF);
  le16(b, v >> 16);
}
void be_string(Bytes& b, const std::string& s) {
  be16(b, static_cast<std::uint32_t>(s.size()));
  b.insert(b.end(), s.begin(), s.end());
}

constexpr std::uint8_t kVipMaskHead[] = {0x2E, 0x82, 0xE4, 0x6F, 0x38, 0xA9, 0xDC, 0xC6,
                                         0x7B, 0xB6, 0x28, 0xAC, 0xFD, 0xAA, 0x8A, 0x4E};

Bytes husvip(const std::vector<HusRecord>& records, bool vip, const Bytes& colour_table,
             std::uint32_t colours) {
  Bytes b;
  le32(b, vip ? 0x0190FC5Du : 0x00C8AF5Bu);
  le32(b, static_cast<std::uint32_t>(records.size()));
  le32(b, colours);
  for (int i = 0; i < 4; ++i) le16(b, 0);
  const std::size_t offsets_at = b.size();
  for (int i = 0; i < 3; ++i) le32(b, 0);
  b.resize(0x2A, 0);
  b.insert(b.end(), colour_table.begin(), colour_table.end());
  Bytes attrs, xs, ys;
  for (const auto& r : records) {
    attrs.push_back(r.attribute);
    xs.push_back(static_cast<std::uint8_t>(r.dx));
    ys.push_back(static_cast<std::uint8_t>(r.dy));
  }
  for (std::size_t i = 0; i < 3; ++i) {
    put_le32(b, offsets_at + 4 * i, static_cast<std::uint32_t>(b.size()));
    const auto s = husvip_literals(i == 0 ? attrs : i == 1 ? xs : ys);
    b.insert(b.end(), s.begin(), s.end());
  }
  return b;
}

}  // namespace

Bytes bit_fields(const std::vector<std::pair<std::uint32_t, int>>& fields) {
  BitWriter w;
  for (const auto& [value, bits] : fields) w.put(value, bits);
  return w.finish();
}

Bytes husvip_literals(const Bytes& plain) {
  BitWriter w;
  // Blocks of at most 65,535 symbols, as the count of each takes 16 bits.
  std::size_t from = 0;
  do {
    const std::size_t n = std::min<std::size_t>(plain.size() - from, 0xFFFF);
    w.put(static_cast<std::uint32_t>(n), 16);
    w.put(0, 5);    // the code-length code: one symbol, read with no bits
    w.put(11, 5);   // ... 11, a length of 11 - 2 = 9 bits
    w.put(511, 9);  // 511 symbols, every length given by that code
    w.put(0, 5);    // the distance code: one symbol
    w.put(0, 5);
    for (std::size_t i = from; i < from + n; ++i) w.put(plain[i], 9);
    from += n;
  } while (from < plain.size());
  return w.finish();
}

Bytes hus_file(const std::vector<HusRecord>& records, const std::vector<std::uint16_t>& indices) {
  Bytes table;
  for (const auto i : indices) le16(table, i);
  return husvip(records, false, table, static_cast<std::uint32_t>(indices.size()));
}

Bytes vip_file(const std::vector<HusRecord>& records,
               const std::vector<std::array<std::uint8_t, 3>>& rgb) {
  Bytes table(4, 0);
  Bytes plain;
  for (const auto& c : rgb) plain.insert(plain.end(), {c[0], c[1], c[2], 0});
  std::uint8_t previous = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    const auto stored = static_cast<std::uint8_t>(plain[i] ^ kVipMaskHead[i % 16] ^ previous);
    table.push_back(stored);
    previous = stored;
  }
  // Only the first 16 mask bytes are known to this builder: at most 4 threads.
  return husvip(records, true, table, static_cast<std::uint32_t>(rgb.size()));
}

Bytes vp3_file(const std::vector<Vp3Block>& blocks, std::int32_t centre_x, std::int32_t centre_y) {
  Bytes b = {'%', 'v', 's', 'm', '%', 0};
  be_string(b, std::string("\0P\0r\0o\0d", 8));
  b.insert(b.end(), {0x00, 0x02, 0x00});
  const std::size_t size_at = b.size();
  be32(b, 0);
  be_string(b, "");
  b.resize(b.size() + 32, 0);
  be32(b, static_cast<std::uint32_t>(centre_x));
  be32(b, static_cast<std::uint32_t>(centre_y));
  b.resize(b.size() + 27, 0);
  be_string(b, "");
  b.resize(b.size() + 24, 0);
  be_string(b, std::string("\0P", 2));
  be16(b, static_cast<std::uint32_t>(blocks.size()));
  for (const auto& k : blocks) {
    b.insert(b.end(), {0x00, 0x05, 0x00});
    Bytes body;
    be32(body, static_cast<std::uint32_t>(k.start_x));
    be32(body, static_cast<std::uint32_t>(k.start_y));
    body.insert(body.end(), {1, 0, k.rgb[0], k.rgb[1], k.rgb[2], 0, 0, 0, 5, 0x28});
    be_string(body, "1234");
    be_string(body, "Thread");
    be_string(body, "Brand");
    body.resize(body.size() + 15, 0);
    body.insert(body.end(), {0x0A, 0xF6, 0x00});
    body.insert(body.end(), k.stitches.begin(), k.stitches.end());
    body.push_back(0);
    be32(b, static_cast<std::uint32_t>(body.size()));
    b.insert(b.end(), body.begin(), body.end());
  }
  const auto rest = static_cast<std::uint32_t>(b.size() - size_at - 4);
  for (int i = 0; i < 4; ++i)
    b[size_at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(rest >> (24 - 8 * i));
  return b;
}

Bytes xxx_file(const Bytes& stitches, const std::vector<std::array<std::uint8_t, 3>>& rgb) {
  // Sized at once: GCC 12 at -O3 warns of an insert past a fresh 0x100 bytes.
  Bytes b(0x100 + stitches.size(), 0);
  b[0x27] = static_cast<std::uint8_t>(rgb.size());
  std::copy(stitches.begin(), stitches.end(), b.begin() + 0x100);
  put_le32(b, 0xFC, static_cast<std::uint32_t>(b.size() - 4));
  b.insert(b.end(), {0, 0});
  for (const auto& c : rgb) b.insert(b.end(), {0, c[0], c[1], c[2]});
  return b;
}

Bytes sew_file(const std::vector<std::uint16_t>& indices, const Bytes& stitches) {
  Bytes b;
  le16(b, static_cast<std::uint32_t>(indices.size()));
  for (const auto i : indices) le16(b, i);
  b.resize(0x1D78, 0);
  b.insert(b.end(), stitches.begin(), stitches.end());
  return b;
}

}  // namespace kvn::test
