#include "formats/pes.hpp"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>

#include "formats/byte_writer.hpp"
#include "formats/pec.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kPecOffsetAt = 8;
constexpr std::size_t kHeaderAt = 12;
constexpr std::string_view kPecSignature = "#PEC0001";

// Version 1's header: scale to fit, hoop, object count, and a 0 0 pair that
// ends the (empty) object list.
constexpr std::size_t kVersion1HeaderSize = 22;
constexpr std::int32_t kSmallHoopSide = 1000;  // 100 x 100 mm, hoop code 0

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

Result<std::vector<std::uint8_t>> write_pes(const Pattern& p, const std::string& file) {
  ByteWriter out(kVersion1HeaderSize + 0x400 + 2 * p.events.size());
  constexpr std::string_view kSignature = "#PES0001";
  for (const char c : kSignature) out.u8(static_cast<std::uint8_t>(c));
  out.u32le(kVersion1HeaderSize);
  const auto e = stitch_extents(p);
  const bool small = e.empty || (std::int64_t{e.max_x} - e.min_x <= kSmallHoopSide &&
                                 std::int64_t{e.max_y} - e.min_y <= kSmallHoopSide);
  out.u16le(0);              // no scaling to the hoop
  out.u16le(small ? 0 : 1);  // 100 x 100 mm or 130 x 180 mm
  out.u16le(0);              // no PES objects: the PEC section holds the design
  out.u16le(0);
  out.u16le(0);
  auto ok = write_pec_section(out, p, file);
  if (!ok) return ok.error();
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
