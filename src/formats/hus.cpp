#include "formats/hus.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "formats/byte_writer.hpp"
#include "formats/colour_chart.hpp"
#include "formats/default_threads.hpp"
#include "formats/husvip_compress.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kStitchCountAt = 0x04;
constexpr std::size_t kColourCountAt = 0x08;
constexpr std::size_t kAttributesAt = 0x14;
constexpr std::size_t kXsAt = 0x18;
constexpr std::size_t kYsAt = 0x1C;
constexpr std::size_t kHusColoursAt = 0x2A;
constexpr std::size_t kVipColoursAt = 0x2E;

constexpr std::uint8_t kAttrStitch = 0x80;
constexpr std::uint8_t kAttrJump = 0x81;
constexpr std::uint8_t kAttrColourChange = 0x84;
constexpr std::uint8_t kAttrTrim = 0x88;
constexpr std::uint8_t kAttrEnd = 0x90;

// The HUS chart, by the index the file stores.
constexpr std::array<ChartColour, 29> kHusChart = {{
    {0, 0, 0, "Black", "026"},
    {0, 0, 231, "Blue", "005"},
    {0, 198, 0, "Green", "002"},
    {255, 0, 0, "Red", "014"},
    {132, 0, 132, "Purple", "008"},
    {255, 255, 0, "Yellow", "020"},
    {132, 132, 132, "Grey", "024"},
    {132, 132, 231, "Light Blue", "006"},
    {0, 255, 132, "Light Green", "003"},
    {255, 123, 49, "Orange", "017"},
    {255, 140, 165, "Pink", "011"},
    {132, 82, 0, "Brown", "028"},
    {255, 255, 255, "White", "022"},
    {0, 0, 132, "Dark Blue", "004"},
    {0, 132, 0, "Dark Green", "001"},
    {123, 0, 0, "Dark Red", "013"},
    {255, 99, 132, "Light Red", "015"},
    {82, 41, 82, "Dark Purple", "007"},
    {255, 0, 255, "Light Purple", "009"},
    {255, 222, 0, "Dark Yellow", "019"},
    {255, 255, 156, "Light Yellow", "021"},
    {82, 82, 82, "Dark Grey", "025"},
    {214, 214, 214, "Light Grey", "023"},
    {255, 82, 8, "Dark Orange", "016"},
    {255, 156, 90, "Light Orange", "018"},
    {255, 82, 181, "Dark Pink", "010"},
    {255, 198, 222, "Light Pink", "012"},
    {82, 49, 0, "Dark Brown", "027"},
    {181, 165, 132, "Light Brown", "029"},
}};

// VIP stores each thread as R, G, B, 0, every byte XORed with this table and
// with the stored byte before it.
constexpr std::array<std::uint8_t, 400> kVipMask = {
    0x2E, 0x82, 0xE4, 0x6F, 0x38, 0xA9, 0xDC, 0xC6, 0x7B, 0xB6, 0x28, 0xAC, 0xFD, 0xAA, 0x8A, 0x4E,
    0x76, 0x2E, 0xF0, 0xE4, 0x25, 0x1B, 0x8A, 0x68, 0x4E, 0x92, 0xB9, 0xB4, 0x95, 0xF0, 0x3E, 0xEF,
    0xF7, 0x40, 0x24, 0x18, 0x39, 0x31, 0xBB, 0xE1, 0x53, 0xA8, 0x1F, 0xB1, 0x3A, 0x07, 0xFB, 0xCB,
    0xE6, 0x00, 0x81, 0x50, 0x0E, 0x40, 0xE1, 0x2C, 0x73, 0x50, 0x0D, 0x91, 0xD6, 0x0A, 0x5D, 0xD6,
    0x8B, 0xB8, 0x62, 0xAE, 0x47, 0x00, 0x53, 0x5A, 0xB7, 0x80, 0xAA, 0x28, 0xF7, 0x5D, 0x70, 0x5E,
    0x2C, 0x0B, 0x98, 0xE3, 0xA0, 0x98, 0x60, 0x47, 0x89, 0x9B, 0x82, 0xFB, 0x40, 0xC9, 0xB4, 0x00,
    0x0E, 0x68, 0x6A, 0x1E, 0x09, 0x85, 0xC0, 0x53, 0x81, 0xD1, 0x98, 0x89, 0xAF, 0xE8, 0x85, 0x4F,
    0xE3, 0x69, 0x89, 0x03, 0xA1, 0x2E, 0x8F, 0xCF, 0xED, 0x91, 0x9F, 0x58, 0x1E, 0xD6, 0x84, 0x3C,
    0x09, 0x27, 0xBD, 0xF4, 0xC3, 0x90, 0xC0, 0x51, 0x1B, 0x2B, 0x63, 0xBC, 0xB9, 0x3D, 0x40, 0x4D,
    0x62, 0x6F, 0xE0, 0x8C, 0xF5, 0x5D, 0x08, 0xFD, 0x3D, 0x50, 0x36, 0xD7, 0xC9, 0xC9, 0x43, 0xE4,
    0x2D, 0xCB, 0x95, 0xB6, 0xF4, 0x0D, 0xEA, 0xC2, 0xFD, 0x66, 0x3F, 0x5E, 0xBD, 0x69, 0x06, 0x2A,
    0x03, 0x19, 0x47, 0x2B, 0xDF, 0x38, 0xEA, 0x4F, 0x80, 0x49, 0x95, 0xB2, 0xD6, 0xF9, 0x9A, 0x75,
    0xF4, 0xD8, 0x9B, 0x1D, 0xB0, 0xA4, 0x69, 0xDB, 0xA9, 0x21, 0x79, 0x6F, 0xD8, 0xDE, 0x33, 0xFE,
    0x9F, 0x04, 0xE5, 0x9A, 0x6B, 0x9B, 0x73, 0x83, 0x62, 0x7C, 0xB9, 0x66, 0x76, 0xF2, 0x5B, 0xC9,
    0x5E, 0xFC, 0x74, 0xAA, 0x6C, 0xF1, 0xCD, 0x93, 0xCE, 0xE9, 0x80, 0x53, 0x03, 0x3B, 0x97, 0x4B,
    0x39, 0x76, 0xC2, 0xC1, 0x56, 0xCB, 0x70, 0xFD, 0x3B, 0x3E, 0x52, 0x57, 0x81, 0x5D, 0x56, 0x8D,
    0x51, 0x90, 0xD4, 0x76, 0xD7, 0xD5, 0x16, 0x02, 0x6D, 0xF2, 0x4D, 0xE1, 0x0E, 0x96, 0x4F, 0xA1,
    0x3A, 0xA0, 0x60, 0x59, 0x64, 0x04, 0x1A, 0xE4, 0x67, 0xB6, 0xED, 0x3F, 0x74, 0x20, 0x55, 0x1F,
    0xFB, 0x23, 0x92, 0x91, 0x53, 0xC8, 0x65, 0xAB, 0x9D, 0x51, 0xD6, 0x73, 0xDE, 0x01, 0xB1, 0x80,
    0xB7, 0xC0, 0xD6, 0x80, 0x1C, 0x2E, 0x3C, 0x83, 0x63, 0xEE, 0xBC, 0x33, 0x25, 0xE2, 0x0E, 0x7A,
    0x67, 0xDE, 0x3F, 0x71, 0x14, 0x49, 0x9C, 0x92, 0x93, 0x0D, 0x26, 0x9A, 0x0E, 0xDA, 0xED, 0x6F,
    0xA4, 0x89, 0x0C, 0x1B, 0xF0, 0xA1, 0xDF, 0xE1, 0x9E, 0x3C, 0x04, 0x78, 0xE4, 0xAB, 0x6D, 0xFF,
    0x9C, 0xAF, 0xCA, 0xC7, 0x88, 0x17, 0x9C, 0xE5, 0xB7, 0x33, 0x6D, 0xDC, 0xED, 0x8F, 0x6C, 0x18,
    0x1D, 0x71, 0x06, 0xB1, 0xC5, 0xE2, 0xCF, 0x13, 0x77, 0x81, 0xC5, 0xB7, 0x0A, 0x14, 0x0A, 0x6B,
    0x40, 0x26, 0xA0, 0x88, 0xD1, 0x62, 0x6A, 0xB3, 0x50, 0x12, 0xB9, 0x9B, 0xB5, 0x83, 0x9B, 0x37,
};
static_assert(kVipMaxColours == kVipMask.size() / 4);

struct Head {
  std::uint32_t stitches = 0;
  std::uint32_t colours = 0;
  std::uint32_t attributes_at = 0, xs_at = 0, ys_at = 0;
};

Result<Head> read_head(const ByteReader& in, std::size_t colours_at, std::size_t colour_size,
                       std::size_t max_colours) {
  Head h;
  KORVANE_TRY(stitches, in.u32le(kStitchCountAt, "the stitch count"));
  KORVANE_TRY(colours, in.u32le(kColourCountAt, "the colour count"));
  KORVANE_TRY(a, in.u32le(kAttributesAt, "the offset of the attributes"));
  KORVANE_TRY(x, in.u32le(kXsAt, "the offset of the x moves"));
  KORVANE_TRY(y, in.u32le(kYsAt, "the offset of the y moves"));
  h = {stitches, colours, a, x, y};
  KORVANE_FAIL_AT(h.colours == 0, in, kColourCountAt, ErrorCode::kMalformedDesign,
                  "its header counts no colours");
  KORVANE_FAIL_AT(h.colours > max_colours, in, kColourCountAt, ErrorCode::kMalformedDesign,
                  std::to_string(h.colours) + " colours do not fit the file");
  KORVANE_FAIL_AT(h.colours * colour_size > in.size() - std::min(in.size(), colours_at), in,
                  in.size(), ErrorCode::kDesignTruncated,
                  "the file ends inside its table of " + grouped(h.colours) + " colours");
  const std::uint64_t table_end = colours_at + std::uint64_t{h.colours} * colour_size;
  // The y section, last, runs to the end of the file: a file that ends before
  // it begins was cut.
  KORVANE_FAIL_AT(h.attributes_at >= table_end && h.attributes_at <= h.xs_at &&
                      h.xs_at <= h.ys_at && h.ys_at > in.size(),
                  in, in.size(), ErrorCode::kDesignTruncated,
                  grouped(in.size()) + " bytes of more than " + grouped(h.ys_at) +
                      ", where its head places its last section");
  KORVANE_FAIL_AT(h.attributes_at < table_end || h.attributes_at > h.xs_at || h.xs_at > h.ys_at ||
                      h.ys_at > in.size(),
                  in, kAttributesAt, ErrorCode::kMalformedDesign,
                  "the sections' offsets (" + std::to_string(h.attributes_at) + ", " +
                      std::to_string(h.xs_at) + ", " + std::to_string(h.ys_at) +
                      ") are out of order or past the end of the file");
  // A count of nothing read as nothing would lose every stitch the sections hold.
  KORVANE_FAIL_AT(h.stitches == 0 && in.size() > h.attributes_at, in, kStitchCountAt,
                  ErrorCode::kMalformedDesign,
                  "its header counts no stitches, but its sections hold " +
                      grouped(in.size() - h.attributes_at) + " bytes");
  return h;
}

Result<std::vector<std::uint8_t>> section(const ByteReader& in, std::size_t from, std::size_t to,
                                          std::size_t expected, std::string_view what) {
  KORVANE_TRY(w, in.window(from, to - from, what));
  return expand_husvip(w, expected, what);
}

std::int32_t signed8(std::uint8_t b) { return static_cast<std::int8_t>(b); }

Result<Pattern> read_sections(const ByteReader& in, const Head& h, std::vector<Thread> threads) {
  KORVANE_TRY(attrs, section(in, h.attributes_at, h.xs_at, h.stitches, "the attribute section"));
  KORVANE_TRY(xs, section(in, h.xs_at, h.ys_at, h.stitches, "the x section"));
  auto ys_read = section(in, h.ys_at, in.size(), h.stitches, "the y section");
  if (!ys_read) {
    // Its data ran out at the end of the file: the file was cut inside it.
    Error e = ys_read.error();
    if (e.code == ErrorCode::kMalformedDesign && e.offset == in.base() + in.size())
      e.code = ErrorCode::kDesignTruncated;
    return e;
  }
  const auto& ys = *ys_read;

  Pattern p;
  p.events.reserve(attrs.size() + 1);
  std::int32_t x = 0, y = 0;
  std::size_t blocks = 1;
  for (std::size_t i = 0; i < attrs.size(); ++i) {
    const std::int32_t dx = signed8(xs[i]);
    const std::int32_t dy = -signed8(ys[i]);  // stored y upwards
    const auto a = attrs[i];
    if (a == kAttrEnd) break;
    // Sections of millions of moves could carry the needle past what an event holds.
    KORVANE_FAIL_AT(!step(x, dx) || !step(y, dy), in, h.attributes_at, ErrorCode::kMalformedDesign,
                    "stitch " + std::to_string(i + 1) + " walks the needle past 10 km");
    switch (a) {
      case kAttrStitch:
        p.events.push_back({x, y, NeedleOp::kStitch});
        break;
      case kAttrJump:
        p.events.push_back({x, y, NeedleOp::kJump});
        break;
      case kAttrColourChange:
        // The change's move takes the needle to the next colour's start.
        p.events.push_back({x - dx, y - dy, NeedleOp::kColourChange});
        if (dx != 0 || dy != 0) p.events.push_back({x, y, NeedleOp::kJump});
        ++blocks;
        break;
      case kAttrTrim:
        if (dx != 0 || dy != 0) p.events.push_back({x, y, NeedleOp::kJump});
        p.events.push_back({x, y, NeedleOp::kTrim});
        break;
      default:
        return in.error_at(
            h.attributes_at, ErrorCode::kMalformedDesign,
            "stitch " + std::to_string(i) + " has the unknown attribute " + std::to_string(a));
    }
  }
  p.events.push_back({x, y, NeedleOp::kEnd});
  if (!threads.empty()) {
    // A design program may list a thread it never reaches, or end on a change.
    KORVANE_FAIL_AT(threads.size() < blocks, in, kColourCountAt, ErrorCode::kMalformedDesign,
                    "the design has " + std::to_string(blocks) + " colour blocks but " +
                        std::to_string(threads.size()) + " threads");
    threads.resize(blocks);
  }
  p.threads = std::move(threads);
  return p;
}

}  // namespace

std::span<const ChartColour> hus_chart() { return kHusChart; }

Thread hus_thread_for(const Thread& t) {
  const auto& c = kHusChart[nearest_chart_colour(kHusChart, t.r, t.g, t.b)];
  return {c.r, c.g, c.b, c.name, c.catalogue, std::nullopt};
}

Result<Pattern> read_hus(const ByteReader& in) {
  KORVANE_TRY(h, read_head(in, kHusColoursAt, 2, 0xFFFF));
  std::vector<Thread> threads;
  for (std::size_t c = 0; c < h.colours; ++c) {
    const std::size_t at = kHusColoursAt + 2 * c;
    KORVANE_TRY(index, in.u16le(at, "a thread index"));
    KORVANE_FAIL_AT(index >= kHusChart.size(), in, at, ErrorCode::kMalformedDesign,
                    "thread " + std::to_string(c + 1) + " names colour " + std::to_string(index) +
                        ", which the HUS chart does not have");
    const auto& t = kHusChart[index];
    threads.push_back({t.r, t.g, t.b, t.name, t.catalogue, std::nullopt});
  }
  return read_sections(in, h, std::move(threads));
}

Result<Pattern> read_vip(const ByteReader& in) {
  KORVANE_TRY(h, read_head(in, kVipColoursAt, 4, kVipMaxColours));
  KORVANE_TRY(stored, in.span_at(kVipColoursAt, 4 * std::size_t{h.colours}, "the threads"));
  std::vector<std::uint8_t> plain(stored.size());
  std::uint8_t previous = 0;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    plain[i] = static_cast<std::uint8_t>(stored[i] ^ kVipMask[i] ^ previous);
    previous = stored[i];
  }
  std::vector<Thread> threads;
  for (std::size_t c = 0; c < h.colours; ++c) {
    threads.push_back({plain[4 * c], plain[4 * c + 1], plain[4 * c + 2], {}, {}, std::nullopt});
  }
  return read_sections(in, h, std::move(threads));
}

}  // namespace kvn::formats

namespace kvn::formats {

namespace {

constexpr std::uint32_t kHusMagic = 0x00C8AF5Bu;
constexpr std::uint32_t kVipMagic = 0x0190FC5Du;
constexpr std::size_t kExtentsAt = 0x0C;
constexpr std::size_t kHusNameSize = 8;
constexpr std::int32_t kSteps = kHusMaxStep;
// VIP's threads are followed by one word each (1 in every file seen).
constexpr std::uint32_t kVipThreadWord = 1;


struct Sections {
  std::vector<std::uint8_t> attributes, xs, ys;
  std::vector<Thread> threads;  // one per block, stops included
};

Sections records_of(const Pattern& p) {
  Sections s;
  s.threads.push_back(thread_of_block(p, 0));
  std::size_t colour = 0;
  std::int32_t x = 0, y = 0;
  const auto record = [&](std::uint8_t attribute, std::int32_t dx, std::int32_t dy) {
    s.attributes.push_back(attribute);
    s.xs.push_back(static_cast<std::uint8_t>(dx & 0xFF));
    s.ys.push_back(static_cast<std::uint8_t>(-dy & 0xFF));  // stored y upwards
  };
  const auto go = [&](std::uint8_t attribute, std::int32_t to_x, std::int32_t to_y) {
    for_each_delta(x, y, to_x, to_y, kSteps,
               [&](std::int32_t dx, std::int32_t dy) { record(attribute, dx, dy); });
    x = to_x;
    y = to_y;
  };
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    if (e.op == NeedleOp::kStitch) {
      go(kAttrStitch, e.x, e.y);
      continue;
    }
    if ((e.x != x || e.y != y)) go(kAttrJump, e.x, e.y);
    switch (e.op) {
      case NeedleOp::kTrim:
        record(kAttrTrim, 0, 0);
        break;
      case NeedleOp::kColourChange:
        record(kAttrColourChange, 0, 0);
        s.threads.push_back(thread_of_block(p, ++colour));
        break;
      case NeedleOp::kStop:
        record(kAttrColourChange, 0, 0);
        s.threads.push_back(s.threads.back());
        break;
      default:
        break;
    }
  }
  record(kAttrEnd, 0, 0);
  return s;
}

void put_extents(std::vector<std::uint8_t>& image, const Pattern& p) {
  const auto e = stitch_extents(p);
  if (e.empty) return;
  const auto put16 = [&](std::size_t at, std::int64_t v) {
    const auto u = static_cast<std::uint16_t>(
        static_cast<std::int16_t>(std::clamp<std::int64_t>(v, INT16_MIN, INT16_MAX)));
    image[at] = static_cast<std::uint8_t>(u & 0xFF);
    image[at + 1] = static_cast<std::uint8_t>(u >> 8);
  };
  // Right, top, left, bottom, with y upwards.
  put16(kExtentsAt, e.max_x);
  put16(kExtentsAt + 2, -std::int64_t{e.min_y});
  put16(kExtentsAt + 4, e.min_x);
  put16(kExtentsAt + 6, -std::int64_t{e.max_y});
}

/// Appends the three compressed sections and points the head at them. Each
/// is expanded again before it is kept: a file the machine cannot expand
/// must never be written.
Status put_sections(ByteWriter& out, const Sections& s, const std::string& file) {
  std::array<std::uint32_t, 3> offsets{};
  const std::array<const std::vector<std::uint8_t>*, 3> plain{&s.attributes, &s.xs, &s.ys};
  for (std::size_t k = 0; k < plain.size(); ++k) {
    const auto packed = compress_husvip(*plain[k]);
    const auto back = expand_husvip(ByteReader(packed, file), plain[k]->size(), "a section");
    KORVANE_FAIL_IF(!back || *back != *plain[k], ErrorCode::kUnsupportedForm, file,
                    "korvane could not compress the stitches of this design; please report it");
    offsets[k] = static_cast<std::uint32_t>(out.size());
    out.bytes(packed);
  }
  auto v = out.view();
  for (std::size_t k = 0; k < offsets.size(); ++k)
    for (std::size_t i = 0; i < 4; ++i)
      v[kAttributesAt + 4 * k + i] = static_cast<std::uint8_t>(offsets[k] >> (8 * i));
  return Ok{};
}

void put_head(ByteWriter& out, std::uint32_t magic, const Sections& s) {
  out.u32le(magic);
  out.u32le(static_cast<std::uint32_t>(s.attributes.size()));
  out.u32le(static_cast<std::uint32_t>(s.threads.size()));
  out.zeros(8);   // extents
  out.zeros(12);  // section offsets
}

Status too_many(const Sections& s, std::size_t most, const char* format, const std::string& file) {
  KORVANE_FAIL_IF(s.threads.size() > most, ErrorCode::kUnsupportedForm, file,
                  std::string("a ") + format + " design holds at most " + std::to_string(most) +
                      " colour blocks (stops count as blocks); this one has " +
                      std::to_string(s.threads.size()));
  KORVANE_FAIL_IF(s.attributes.size() > kMaxExpandedSection, ErrorCode::kUnsupportedForm, file,
                  std::string("a ") + format + " design holds at most " +
                      std::to_string(kMaxExpandedSection) + " stitch records; this one needs " +
                      std::to_string(s.attributes.size()));
  return Ok{};
}

}  // namespace

Result<std::vector<std::uint8_t>> write_hus(const Pattern& p, const std::string& file) {
  const Sections s = records_of(p);
  if (auto ok = too_many(s, kHusMaxColours, "HUS", file); !ok) return ok.error();
  ByteWriter out(kHusColoursAt + 2 * s.threads.size() + s.attributes.size());
  put_head(out, kHusMagic, s);
  std::string name = p.name.substr(0, kHusNameSize);
  for (auto& c : name)
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '_';
  for (const char c : name) out.u8(static_cast<std::uint8_t>(c));
  out.zeros(kHusNameSize - name.size());
  out.u16le(0);
  for (const auto& t : s.threads)
    out.u16le(static_cast<std::uint32_t>(nearest_chart_colour(kHusChart, t.r, t.g, t.b)));
  if (auto ok = put_sections(out, s, file); !ok) return ok.error();
  auto image = out.take();
  put_extents(image, p);
  return image;
}

Result<std::vector<std::uint8_t>> write_vip(const Pattern& p, const std::string& file) {
  const Sections s = records_of(p);
  if (auto ok = too_many(s, kVipMaxColours, "VIP", file); !ok) return ok.error();
  ByteWriter out(kVipColoursAt + 8 * s.threads.size() + s.attributes.size());
  put_head(out, kVipMagic, s);
  out.zeros(kVipColoursAt - 4 - out.size());
  // Where the design's name follows the threads and their words.
  out.u32le(static_cast<std::uint32_t>(kVipColoursAt + 8 * s.threads.size()));
  std::uint8_t previous = 0;
  std::size_t i = 0;
  for (const auto& t : s.threads) {
    for (const std::uint8_t plain : {t.r, t.g, t.b, std::uint8_t{0}}) {
      const auto stored = static_cast<std::uint8_t>(plain ^ kVipMask[i++] ^ previous);
      out.u8(stored);
      previous = stored;
    }
  }
  for (std::size_t k = 0; k < s.threads.size(); ++k) out.u32le(kVipThreadWord);
  // The name in UTF-16 with its terminating zero; letters outside ASCII
  // become '_' rather than guess at an encoding.
  out.u32le(static_cast<std::uint32_t>(p.name.size() + 1));
  for (const char c : p.name)
    out.u16le(static_cast<unsigned char>(c) < 0x80 ? static_cast<unsigned char>(c) : '_');
  out.u16le(0);
  if (auto ok = put_sections(out, s, file); !ok) return ok.error();
  auto image = out.take();
  put_extents(image, p);
  return image;
}

}  // namespace kvn::formats
