#include "formats/pes.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "formats/byte_writer.hpp"
#include "formats/hoop.hpp"
#include "formats/pec.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kPecOffsetAt = 8;
constexpr std::size_t kHeaderAt = 12;
constexpr std::string_view kPecSignature = "#PEC0001";

constexpr std::string_view kVersion6Signature = "#PES0060";
constexpr std::int32_t kSmallHoopSide = 1000;    // 100 x 100 mm, hoop code 0
constexpr std::size_t kLongestString = 255;      // a PES string's length is one byte
constexpr std::uint32_t kCustomThread = 0xA;     // a thread given by its RGB
constexpr std::uint32_t kFloatOne = 0x3F800000;  // 1.0 as a 32-bit float
// After the PEC section: the colour list padded to this size, then a blank
// area of this size per thread.
constexpr std::size_t kColourListSize = 128;
constexpr std::size_t kColourPictureSize = 0x90;

// Bytes as the reader gives them back; a cut never splits a UTF-8 sequence.
std::string fitting_string(const std::string& s) {
  std::size_t n = std::min(s.size(), kLongestString);
  while (n < s.size() && n > 0 && (static_cast<std::uint8_t>(s[n]) & 0xC0) == 0x80) --n;
  return s.substr(0, n);
}

void pes_string(ByteWriter& out, const std::string& s) {
  const std::string cut = fitting_string(s);
  out.u8(static_cast<std::uint8_t>(cut.size()));
  for (const char c : cut) out.u8(static_cast<std::uint8_t>(c));
}

// The smallest Brother hoop that holds the design as it lies; the largest
// for one that fits none (written only when the user allowed it).
HoopSize hoop_of(const Pattern& p) {
  const auto e = stitch_extents(p);
  const std::int64_t w = e.empty ? 0 : std::int64_t{e.max_x} - e.min_x;
  const std::int64_t h = e.empty ? 0 : std::int64_t{e.max_y} - e.min_y;
  for (const auto& hoop : kBrotherHoops) {
    if (w <= hoop.width && h <= hoop.height) return hoop;
  }
  return std::end(kBrotherHoops)[-1];
}

bool starts_with(std::span<const std::uint8_t> b, std::string_view s) {
  return b.size() >= s.size() &&
         std::equal(s.begin(), s.end(), b.begin(),
                    [](char c, std::uint8_t v) { return static_cast<std::uint8_t>(c) == v; });
}

// The header fields read here are optional extras: the PEC section alone
// makes the design. A header that does not parse as its version says is
// read as if it had none.
class HeaderCursor {
 public:
  HeaderCursor(const ByteReader& in, std::size_t at) : in_(in), at_(at) {}

  std::optional<std::string> text() {
    auto n = in_.u8(at_, "a PES header string");
    if (!n) return std::nullopt;
    auto b = in_.span_at(at_ + 1, *n, "a PES header string");
    if (!b) return std::nullopt;
    at_ += 1 + std::size_t{*n};
    return std::string(b->begin(), b->end());
  }
  std::optional<std::uint32_t> u16() {
    auto v = in_.u16le(at_, "a PES header count");
    if (!v) return std::nullopt;
    at_ += 2;
    return *v;
  }
  std::optional<std::span<const std::uint8_t>> bytes(std::size_t n) {
    auto b = in_.span_at(at_, n, "a PES header field");
    if (!b) return std::nullopt;
    at_ += n;
    return *b;
  }

 private:
  const ByteReader& in_;
  std::size_t at_;
};

struct PesHeader {
  std::string name;
  std::vector<Thread> threads;
};

// Version 4 on: five strings (name, category, author, keywords, comments).
// Versions 5 and 6 then list the threads, after the programmable fills,
// motifs and feather patterns, which must be absent to be skipped.
PesHeader read_header(const ByteReader& in, int version) {
  PesHeader h;
  if (version < 40) return h;
  HeaderCursor c(in, kHeaderAt + 4);
  std::vector<std::string> strings;
  for (int i = 0; i < 5; ++i) {
    auto s = c.text();
    if (!s) return h;
    strings.push_back(*s);
  }
  h.name = strings[0];
  std::size_t gap = 0;
  if (version >= 50 && version <= 56) gap = 24;
  if (version == 60) gap = 36;
  if (gap == 0) return h;
  if (!c.bytes(gap) || !c.text() || !c.bytes(24)) return h;
  for (int i = 0; i < 3; ++i) {
    auto n = c.u16();
    if (!n || *n != 0) return h;
  }
  auto count = c.u16();
  if (!count) return h;
  std::vector<Thread> threads;
  for (std::uint32_t i = 0; i < *count; ++i) {
    Thread t;
    auto catalogue = c.text();
    auto rgb = c.bytes(3);
    auto skip = c.bytes(5);  // a byte and a 32-bit thread type
    auto description = c.text();
    auto brand = c.text();
    auto chart = c.text();
    if (!catalogue || !rgb || !skip || !description || !brand || !chart) return h;
    t.r = (*rgb)[0];
    t.g = (*rgb)[1];
    t.b = (*rgb)[2];
    t.catalogue = *catalogue;
    t.name = *description;
    threads.push_back(std::move(t));
  }
  h.threads = std::move(threads);
  return h;
}

Result<Pattern> read_section(const ByteReader& in, std::size_t at, const PesHeader& header) {
  KORVANE_TRY(pec, in.window(at, in.size() - at, "the PEC section"));
  KORVANE_TRY(p, read_pec_section(pec, header.threads));
  if (!header.name.empty()) p.name = header.name;
  return std::move(p);
}

}  // namespace

Result<Pattern> read_pes(const ByteReader& in) {
  KORVANE_TRY(signature, in.span_at(0, kSignatureSize, "the PES signature"));
  KORVANE_FAIL_AT(!starts_with(signature, "#PES") ||
                      !std::all_of(signature.begin() + 4, signature.end(),
                                   [](std::uint8_t c) { return std::isdigit(c) != 0; }),
                  in, 0, ErrorCode::kMalformedDesign, "no PES signature (#PES and 4 digits)");
  int version = 0;
  for (std::size_t i = 4; i < kSignatureSize; ++i) version = version * 10 + (signature[i] - '0');
  KORVANE_TRY(pec_at, in.u32le(kPecOffsetAt, "the PEC section's offset"));
  KORVANE_FAIL_AT(pec_at < kHeaderAt || pec_at >= in.size(), in, kPecOffsetAt,
                  ErrorCode::kMalformedDesign,
                  "the PEC section's offset " + std::to_string(pec_at) +
                      " lies outside the file's " + std::to_string(in.size()) + " bytes");
  return read_section(in, pec_at, read_header(in, version));
}

Result<Pattern> read_pec(const ByteReader& in) {
  KORVANE_TRY(signature, in.span_at(0, kSignatureSize, "the PEC signature"));
  KORVANE_FAIL_AT(!starts_with(signature, kPecSignature), in, 0, ErrorCode::kMalformedDesign,
                  "no PEC signature (#PEC0001)");
  return read_section(in, kSignatureSize, {});
}

Thread pes_thread_for(const Thread& t) {
  Thread held{t.r, t.g, t.b, fitting_string(t.name), fitting_string(t.catalogue), std::nullopt};
  if (held.name.empty() && held.catalogue.empty()) {
    // Other software shows a thread without a name as the machine's palette
    // entry, so it is named that way rather than left blank.
    const auto index = pec_palette_index(t);
    held.name = pec_palette()[index].name;
    held.catalogue = std::to_string(index);
  }
  return held;
}

Result<std::vector<std::uint8_t>> write_pes(const Pattern& p, const std::string& file) {
  const auto colours = pec_colour_list(p);
  std::vector<Thread> threads;
  for (const auto& c : colours) {
    if (p.threads.empty()) {
      const auto& e = pec_palette()[c.index];
      threads.push_back(pes_thread_for(Thread{e.r, e.g, e.b, {}, {}, std::nullopt}));
    } else {
      threads.push_back(pes_thread_for(p.threads.at(c.block)));
    }
  }

  ByteWriter out(0x200 + 64 * threads.size() + 0x400 + 2 * p.events.size());
  for (const char c : kVersion6Signature) out.u8(static_cast<std::uint8_t>(c));
  out.u32le(0);  // the PEC section's offset, filled in below
  const HoopSize hoop = hoop_of(p);
  const auto mm = [](std::int32_t tenths) { return static_cast<std::uint32_t>(tenths / 10); };
  out.u16le(hoop.width <= kSmallHoopSide && hoop.height <= kSmallHoopSide ? 0 : 1);
  out.u8('0');
  out.u8('1');
  pes_string(out, p.name);
  for (int i = 0; i < 4; ++i) out.u8(0);  // category, author, keywords, comments
  out.u16le(0);                           // hoop changes are not optimised
  out.u16le(0);                           // the design page is the hoop's own
  out.u16le(mm(hoop.width));
  out.u16le(mm(hoop.height));
  out.u16le(0);
  // The design page as Brother's software sets it: the hoop less a 5 mm
  // border on each side.
  out.u16le(mm(hoop.width) - 10);
  out.u16le(mm(hoop.height) - 10);
  out.u16le(mm(hoop.width));
  out.u16le(mm(hoop.height));
  // The page's grid and colours as Brother's software leaves them.
  for (const std::uint32_t v : {100u, 7u, 19u, 1u, 1u, 0u, 100u, 1u, 0u}) out.u16le(v);
  out.u8(0);  // no background picture
  // The design's placement on the page, an identity transform (32-bit floats).
  for (const std::uint32_t v : {kFloatOne, 0u, 0u, kFloatOne, 0u, 0u}) out.u32le(v);
  out.u16le(0);  // programmable fills
  out.u16le(0);  // motifs
  out.u16le(0);  // feather patterns
  out.u16le(static_cast<std::uint32_t>(std::min<std::size_t>(threads.size(), 0xFFFF)));
  for (const auto& t : threads) {
    pes_string(out, t.catalogue);
    out.u8(t.r);
    out.u8(t.g);
    out.u8(t.b);
    out.u8(0);
    out.u32le(kCustomThread);
    pes_string(out, t.name);
    out.u8(0);  // brand
    out.u8(0);  // chart
  }
  out.u16le(0);  // no PES objects: the PEC section holds the design
  out.u16le(0);
  out.u16le(0);

  const std::size_t pec_at = out.size();
  auto head = out.view();
  for (std::size_t i = 0; i < 4; ++i)
    head[kPecOffsetAt + i] = static_cast<std::uint8_t>((pec_at >> (8 * i)) & 0xFF);
  auto ok = write_pec_section(out, p, file);
  if (!ok) return ok.error();

  // Version 6 repeats the colour list after the PEC section, with each
  // thread's RGB, for Brother's software.
  out.u8(static_cast<std::uint8_t>(colours.size() - 1));
  for (const auto& c : colours) out.u8(c.index);
  for (std::size_t i = colours.size() + 1; i < kColourListSize; ++i) out.u8(' ');
  out.zeros(kColourPictureSize * threads.size());
  for (const auto& t : threads) {
    out.u8(t.b);
    out.u8(t.g);
    out.u8(t.r);
  }
  out.u16le(0);
  return out.take();
}

Result<std::vector<std::uint8_t>> write_pec(const Pattern& p, const std::string& file) {
  ByteWriter out(kSignatureSize + 0x400 + 2 * p.events.size());
  for (const char c : kPecSignature) out.u8(static_cast<std::uint8_t>(c));
  auto ok = write_pec_section(out, p, file);
  if (!ok) return ok.error();
  return out.take();
}

}  // namespace kvn::formats
