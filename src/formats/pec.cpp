#include "formats/pec.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <optional>
#include <vector>

#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

std::int64_t abs64(std::int64_t v) { return v < 0 ? -v : v; }

// The section's fixed layout, from its "LA:" label on.
constexpr std::size_t kLabelAt = 3;
constexpr std::size_t kLabelSize = 16;
constexpr std::size_t kColourCountAt = 0x30;
constexpr std::size_t kColoursAt = 0x31;
constexpr std::size_t kColourSlots = 463;   // the colour list is padded to here
constexpr std::size_t kStitchesAt = 0x210;  // after the stitch block's 16-byte head at 0x200

constexpr std::uint8_t kLongForm = 0x80;
constexpr std::uint8_t kTrimFlag = 0x20;
constexpr std::uint8_t kJumpFlag = 0x10;
constexpr std::uint8_t kEndMark = 0xFF;
constexpr std::uint8_t kChangeMark = 0xFE;
constexpr std::uint8_t kChangeMark2 = 0xB0;

// A long form carries a 12-bit signed step, a short one 7 bits.
constexpr std::int32_t kMaxLong = 2047;
constexpr std::int32_t kMinShort = -64;
constexpr std::int32_t kMaxShort = 63;

constexpr std::size_t kIconWidth = 48;
constexpr std::size_t kIconHeight = 38;
constexpr std::size_t kIconStride = kIconWidth / 8;
constexpr std::size_t kIconSize = kIconStride * kIconHeight;

constexpr std::array<ChartColour, 65> kPecPalette{{
    {0, 0, 0, "Unknown", ""},
    {14, 31, 124, "Prussian Blue", ""},
    {10, 85, 163, "Blue", ""},
    {0, 135, 119, "Teal Green", ""},
    {75, 107, 175, "Cornflower Blue", ""},
    {237, 23, 31, "Red", ""},
    {209, 92, 0, "Reddish Brown", ""},
    {145, 54, 151, "Magenta", ""},
    {228, 154, 203, "Light Lilac", ""},
    {145, 95, 172, "Lilac", ""},
    {158, 214, 125, "Mint Green", ""},
    {232, 169, 0, "Deep Gold", ""},
    {254, 186, 53, "Orange", ""},
    {255, 255, 0, "Yellow", ""},
    {112, 188, 31, "Lime Green", ""},
    {186, 152, 0, "Brass", ""},
    {168, 168, 168, "Silver", ""},
    {125, 111, 0, "Russet Brown", ""},
    {255, 255, 179, "Cream Brown", ""},
    {79, 85, 86, "Pewter", ""},
    {0, 0, 0, "Black", ""},
    {11, 61, 145, "Ultramarine", ""},
    {119, 1, 118, "Royal Purple", ""},
    {41, 49, 51, "Dark Gray", ""},
    {42, 19, 1, "Dark Brown", ""},
    {246, 74, 138, "Deep Rose", ""},
    {178, 118, 36, "Light Brown", ""},
    {252, 187, 197, "Salmon Pink", ""},
    {254, 55, 15, "Vermilion", ""},
    {240, 240, 240, "White", ""},
    {106, 28, 138, "Violet", ""},
    {168, 221, 196, "Seacrest", ""},
    {37, 132, 187, "Sky Blue", ""},
    {254, 179, 67, "Pumpkin", ""},
    {255, 243, 107, "Cream Yellow", ""},
    {208, 166, 96, "Khaki", ""},
    {209, 84, 0, "Clay Brown", ""},
    {102, 186, 73, "Leaf Green", ""},
    {19, 74, 70, "Peacock Blue", ""},
    {135, 135, 135, "Gray", ""},
    {216, 204, 198, "Warm Gray", ""},
    {67, 86, 7, "Dark Olive", ""},
    {253, 217, 222, "Flesh Pink", ""},
    {249, 147, 188, "Pink", ""},
    {0, 56, 34, "Deep Green", ""},
    {178, 175, 212, "Lavender", ""},
    {104, 106, 176, "Wisteria Violet", ""},
    {239, 227, 185, "Beige", ""},
    {247, 56, 102, "Carmine", ""},
    {181, 75, 100, "Amber Red", ""},
    {19, 43, 26, "Olive Green", ""},
    {199, 1, 86, "Dark Fuchsia", ""},
    {254, 158, 50, "Tangerine", ""},
    {168, 222, 235, "Light Blue", ""},
    {0, 103, 62, "Emerald Green", ""},
    {78, 41, 144, "Purple", ""},
    {47, 126, 32, "Moss Green", ""},
    {255, 204, 204, "Flesh Pink", ""},
    {255, 217, 17, "Harvest Gold", ""},
    {9, 91, 166, "Electric Blue", ""},
    {240, 249, 112, "Lemon Yellow", ""},
    {227, 243, 91, "Fresh Green", ""},
    {255, 153, 0, "Orange", ""},
    {255, 240, 141, "Cream Yellow", ""},
    {255, 200, 200, "Applique", ""},
}};

// Blocks of a pattern without colours get these, in turn: dark, then bright
// and far apart, so that neighbouring blocks stay told apart.
constexpr std::array<std::uint8_t, 8> kDefaultIndices{20, 5, 2, 14, 13, 7, 12, 29};

Thread palette_thread(std::uint8_t index) {
  const auto& c = kPecPalette[index % kPecPalette.size()];
  return Thread{c.r, c.g, c.b, c.name, c.catalogue, std::nullopt};
}

std::uint8_t palette_index(const Thread& t) {
  return static_cast<std::uint8_t>(nearest_chart_colour(kPecPalette, t.r, t.g, t.b, 1));
}

std::string label_text(std::span<const std::uint8_t> label) {
  std::string s(label.begin(), label.end());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// One coordinate of a stitch record: a short 7-bit step or a long 12-bit one
// that also carries the record's jump and trim flags.
struct Axis {
  std::int32_t step = 0;
  std::uint8_t flags = 0;
  std::size_t next = 0;
};

// The axis at `at` from its first byte and the one after it (used only by
// the long form). Without branches: short and long forms mix at random.
Axis axis_from(std::uint8_t b0, std::uint8_t b1, std::size_t at) {
  const bool long_form = (b0 & kLongForm) != 0;
  // Sign-extended from 7 bits (short) or 12 bits (long).
  const std::int32_t short_step = static_cast<std::int8_t>(static_cast<std::uint8_t>(b0 << 1)) >> 1;
  const std::int32_t long_bits = ((b0 & 0x0F) << 8) | b1;
  const std::int32_t long_step = long_bits > kMaxLong ? long_bits - 4096 : long_bits;
  return Axis{long_form ? long_step : short_step,
              static_cast<std::uint8_t>(long_form ? b0 & (kTrimFlag | kJumpFlag) : 0),
              at + 1 + (long_form ? 1 : 0)};
}

Result<Axis> read_axis(const ByteReader& in, std::size_t at) {
  KORVANE_TRY(b0, in.u8(at, "a PEC stitch record"));
  if ((b0 & kLongForm) == 0) return axis_from(b0, 0, at);
  KORVANE_TRY(b1, in.u8(at + 1, "a PEC stitch record"));
  return axis_from(b0, b1, at);
}

// The most bytes a record takes: two long axes.
constexpr std::size_t kLongestRecord = 4;

// Which thread each block wears. A PES header's chart lists the design's
// threads in the order they first appear, which the PEC colour list repeats
// as palette indices; when the two disagree in number, each block takes the
// chart thread nearest its palette colour.
//
// A chart with one thread per list entry, each of the palette colour its
// entry names, is read one for one: two threads near one palette colour
// (two reds, both "Red" to the machine) stay apart, and a thread used twice
// is listed twice.
std::vector<Thread> block_threads(std::span<const std::uint8_t> indices,
                                  std::span<const Thread> chart) {
  std::vector<Thread> threads;
  if (chart.empty()) {
    for (const auto i : indices) threads.push_back(palette_thread(i));
    return threads;
  }
  if (chart.size() == indices.size()) {
    bool one_for_one = true;
    for (std::size_t k = 0; k < indices.size() && one_for_one; ++k)
      one_for_one = palette_index(chart[k]) == indices[k];
    if (one_for_one) return {chart.begin(), chart.end()};
  }
  std::vector<std::uint8_t> distinct;
  for (const auto i : indices) {
    if (std::find(distinct.begin(), distinct.end(), i) == distinct.end()) distinct.push_back(i);
  }
  // A header may list thousands of threads: each palette colour is matched once.
  std::array<std::optional<std::size_t>, kPecPalette.size()> matched;
  for (const auto i : indices) {
    if (distinct.size() == chart.size()) {
      threads.push_back(chart[static_cast<std::size_t>(
          std::find(distinct.begin(), distinct.end(), i) - distinct.begin())]);
    } else {
      auto& m = matched[i % kPecPalette.size()];
      if (!m) {
        const auto& c = kPecPalette[i % kPecPalette.size()];
        m = nearest_entry(chart, Rgb{c.r, c.g, c.b});
      }
      threads.push_back(chart[*m]);
    }
  }
  return threads;
}

}  // namespace

std::span<const ChartColour> pec_palette() { return kPecPalette; }

Thread pec_thread_for(const Thread& t) { return palette_thread(palette_index(t)); }

std::uint8_t pec_palette_index(const Thread& t) { return palette_index(t); }

std::vector<PecColour> pec_colour_list(const Pattern& p) {
  // A stop has no mark of its own: it becomes a change to the same thread,
  // where machines stop all the same.
  const auto index_of = [&](std::size_t b) -> std::uint8_t {
    if (p.threads.empty()) return kDefaultIndices[b % kDefaultIndices.size()];
    return palette_index(p.threads[b]);
  };
  std::vector<PecColour> list{{index_of(0), 0}};
  std::size_t block = 0;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kColourChange) {
      ++block;
      list.push_back({index_of(block), block});
    }
    if (e.op == NeedleOp::kStop) list.push_back(list.back());
  }
  return list;
}

Result<Pattern> read_pec_section(const ByteReader& pec, std::span<const Thread> chart) {
  Pattern p;
  KORVANE_TRY(label, pec.span_at(kLabelAt, kLabelSize, "the PEC label"));
  p.name = label_text(label);
  KORVANE_TRY(count_byte, pec.u8(kColourCountAt, "the PEC colour count"));
  const std::size_t colours = count_byte == 0xFF ? 0 : std::size_t{count_byte} + 1;
  KORVANE_TRY(indices, pec.span_at(kColoursAt, colours, "the PEC colour list"));

  // Every record takes at least two bytes, so this bounds what a header can ask for.
  p.events.reserve(pec.size() / 2);
  std::int64_t x = 0, y = 0;
  std::size_t at = kStitchesAt;
  const auto bytes = pec.bytes();
  while (true) {
    Axis ax, ay;
    // Where a whole record's bytes are surely there, it is read straight from
    // them; near the end through the reader, which names what is cut short.
    if (pec.contains(at, kLongestRecord)) {
      const std::uint8_t b0 = bytes[at];
      if (b0 == kEndMark) break;
      if (b0 == kChangeMark && bytes[at + 1] == kChangeMark2) {
        // The third byte only alternates between 2 and 1.
        p.events.push_back(
            {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kColourChange});
        at += 3;
        continue;
      }
      ax = axis_from(b0, bytes[at + 1], at);
      ay = axis_from(bytes[ax.next], bytes[ax.next + 1], ax.next);
    } else {
      KORVANE_TRY(b0, pec.u8(at, "a PEC stitch record"));
      if (b0 == kEndMark) break;
      if (b0 == kChangeMark) {
        KORVANE_TRY(b1, pec.u8(at + 1, "a PEC colour change"));
        if (b1 == kChangeMark2) {
          KORVANE_TRY(b2, pec.u8(at + 2, "a PEC colour change"));
          (void)b2;
          p.events.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                              NeedleOp::kColourChange});
          at += 3;
          continue;
        }
      }
      KORVANE_TRY(cut_x, read_axis(pec, at));
      KORVANE_TRY(cut_y, read_axis(pec, cut_x.next));
      ax = cut_x;
      ay = cut_y;
    }
    const std::size_t record_at = at;
    at = ay.next;
    const std::uint8_t flags = ax.flags | ay.flags;
    if (flags & kTrimFlag) {
      p.events.push_back(
          {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kTrim});
    }
    x += ax.step;
    y += ay.step;
    KORVANE_FAIL_AT(x < -kFarthestPosition || x > kFarthestPosition || y < -kFarthestPosition ||
                        y > kFarthestPosition,
                    pec, record_at, ErrorCode::kMalformedDesign,
                    "the stitches walk the needle past 10 km");
    if (flags != 0) {
      // A move that goes nowhere is only a carrier for its trim (or the
      // opening move of a design that starts where the needle stands).
      if (ax.step != 0 || ay.step != 0) {
        p.events.push_back(
            {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kJump});
      }
      continue;
    }
    if (record_at == kStitchesAt) {
      // The opening record is always a move, flagged or not.
      if (ax.step != 0 || ay.step != 0) {
        p.events.push_back(
            {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kJump});
      }
      continue;
    }
    p.events.push_back(
        {static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kStitch});
  }
  p.events.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), NeedleOp::kEnd});

  if (colours > 0) {
    auto listed = block_threads(indices, chart);
    const auto blocks = block_count(p);
    // A list shorter than the blocks wears its last thread on; extra entries go.
    while (listed.size() < blocks) listed.push_back(listed.back());
    listed.resize(blocks);
    p.threads = std::move(listed);
  }
  return p;
}

namespace {

class PecEncoder {
 public:
  explicit PecEncoder(ByteWriter& out) : out_(out) {}

  void stitch_to(std::int32_t tx, std::int32_t ty) {
    open();
    steps_to(tx, ty, [this](std::int32_t dx, std::int32_t dy) {
      axis(dx);
      axis(dy);
    });
  }

  void jump_to(std::int32_t tx, std::int32_t ty) {
    if (tx == x_ && ty == y_) return;
    bool first = true;
    steps_to(tx, ty, [this, &first](std::int32_t dx, std::int32_t dy) {
      const std::uint8_t flags = first && trim_ ? kTrimFlag : kJumpFlag;
      long_axis(dx, flags);
      long_axis(dy, flags);
      first = false;
      opened_ = true;
    });
    trim_ = false;
  }

  void trim() {
    flush_trim();
    trim_ = true;
  }

  void colour_change(bool second) {
    open();
    out_.u8(kChangeMark);
    out_.u8(kChangeMark2);
    out_.u8(second ? 1 : 2);
  }

  void end() {
    open();
    out_.u8(kEndMark);
  }

 private:
  // The first record after the block head is read as a move; a design that
  // does not open with a jump gets a move that goes nowhere.
  void open() {
    flush_trim();
    if (opened_) return;
    long_axis(0, kJumpFlag);
    long_axis(0, kJumpFlag);
    opened_ = true;
  }

  // A trim not followed by a jump rides on a move of length zero.
  void flush_trim() {
    if (!trim_) return;
    long_axis(0, kTrimFlag);
    long_axis(0, kTrimFlag);
    trim_ = false;
    opened_ = true;
  }

  void axis(std::int32_t d) {
    if (d >= kMinShort && d <= kMaxShort) {
      out_.u8(static_cast<std::uint8_t>(d & 0x7F));
    } else {
      long_axis(d, 0);
    }
  }

  void long_axis(std::int32_t d, std::uint8_t flags) {
    const auto v = static_cast<std::uint32_t>(d) & 0x0FFF;
    out_.u8(static_cast<std::uint8_t>(kLongForm | flags | (v >> 8)));
    out_.u8(static_cast<std::uint8_t>(v & 0xFF));
  }

  template <typename Emit>
  void steps_to(std::int32_t tx, std::int32_t ty, Emit emit) {
    // A step one record holds is written as it is (down to -2048); only
    // longer ones are split.
    const std::int64_t dx = std::int64_t{tx} - x_, dy = std::int64_t{ty} - y_;
    if (dx >= -kMaxLong - 1 && dx <= kMaxLong && dy >= -kMaxLong - 1 && dy <= kMaxLong)
      emit(static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy));
    else
      for_each_delta(x_, y_, tx, ty, kMaxLong, emit);
    x_ = tx;
    y_ = ty;
  }

  ByteWriter& out_;
  std::int32_t x_ = 0, y_ = 0;
  bool trim_ = false;
  bool opened_ = false;
};

// The monochrome icons: a frame with the stitches scaled into it, least
// significant bit leftmost.
class Icon {
 public:
  Icon() : bits_(kIconSize, 0) {
    for (std::size_t c = 2; c + 2 < kIconWidth; ++c) {
      set(c, 1);
      set(c, kIconHeight - 2);
    }
    for (std::size_t r = 2; r + 2 < kIconHeight; ++r) {
      set(1, r);
      set(kIconWidth - 2, r);
    }
  }

  void line(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1) {
    const std::int64_t n = std::max({abs64(x1 - x0), abs64(y1 - y0), std::int64_t{1}});
    for (std::int64_t i = 0; i <= n; ++i) {
      set(static_cast<std::size_t>(x0 + (x1 - x0) * i / n),
          static_cast<std::size_t>(y0 + (y1 - y0) * i / n));
    }
  }

  std::span<const std::uint8_t> bytes() const { return bits_; }

 private:
  void set(std::size_t c, std::size_t r) {
    if (c >= kIconWidth || r >= kIconHeight) return;
    bits_[r * kIconStride + c / 8] |= static_cast<std::uint8_t>(1u << (c % 8));
  }
  std::vector<std::uint8_t> bits_;
};

// Maps design positions into the icon's inside, keeping the aspect ratio.
struct IconScale {
  static constexpr std::int64_t kLeft = 4, kTop = 4;
  static constexpr std::int64_t kWidth = kIconWidth - 8, kHeight = kIconHeight - 8;
  std::int64_t min_x = 0, min_y = 0, span = 1;
  explicit IconScale(const PatternExtents& e) {
    if (e.empty) return;
    min_x = e.min_x;
    min_y = e.min_y;
    const std::int64_t w = std::int64_t{e.max_x} - e.min_x + 1;
    const std::int64_t h = std::int64_t{e.max_y} - e.min_y + 1;
    // span / kWidth design units per pixel across, span / kHeight down.
    span = std::max({w, h * kWidth / kHeight, std::int64_t{1}});
  }
  std::int64_t col(std::int32_t x) const { return kLeft + (x - min_x) * (kWidth - 1) / span; }
  std::int64_t row(std::int32_t y) const { return kTop + (y - min_y) * (kWidth - 1) / span; }
};

std::string label_of(const std::string& name) {
  std::string s = name.substr(0, kLabelSize);
  for (auto& c : s) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7E) c = '_';
  }
  s.resize(kLabelSize, ' ');
  return s;
}

}  // namespace

Status write_pec_section(ByteWriter& out, const Pattern& p, const std::string& file) {
  std::vector<std::uint8_t> indices;
  for (const auto& c : pec_colour_list(p)) indices.push_back(c.index);
  KORVANE_FAIL_IF(indices.size() > kPecMaxBlocks, ErrorCode::kUnsupportedForm, file,
                  "a PEC design holds at most " + std::to_string(kPecMaxBlocks) +
                      " colour blocks (stops count as blocks); this one has " +
                      std::to_string(indices.size()));

  const std::string label = "LA:" + label_of(p.name) + "\r";
  for (const char c : label) out.u8(static_cast<std::uint8_t>(c));
  for (int i = 0; i < 12; ++i) out.u8(' ');
  out.u8(0xFF);
  out.u8(0x00);
  out.u8(static_cast<std::uint8_t>(kIconStride));
  out.u8(static_cast<std::uint8_t>(kIconHeight));
  for (int i = 0; i < 12; ++i) out.u8(' ');
  out.u8(static_cast<std::uint8_t>(indices.size() - 1));
  out.bytes(indices);
  for (std::size_t i = indices.size(); i < kColourSlots; ++i) out.u8(' ');

  const auto extents = stitch_extents(p);
  const auto side = [](std::int64_t v) {
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(v, 0, 0x7FFF));
  };
  const std::size_t block_at = out.size();
  out.u16le(0);
  const std::size_t graphics_at = out.size();
  out.u8(0);  // where the icons begin, from the stitch block on: filled in below
  out.u16le(0);
  out.u8(0x31);
  out.u8(0xFF);
  out.u8(0xF0);
  out.u16le(side(extents.empty ? 0 : std::int64_t{extents.max_x} - extents.min_x));
  out.u16le(side(extents.empty ? 0 : std::int64_t{extents.max_y} - extents.min_y));
  out.u16le(0x1E0);
  out.u16le(0x1B0);

  const IconScale scale(extents);
  std::vector<Icon> icons(indices.size() + 1);
  std::size_t icon_block = 0;
  bool drawn = false;  // the previous event was a stitch of this block
  std::int32_t px = 0, py = 0;
  PecEncoder enc(out);
  bool second = false;
  for (const auto& e : p.events) {
    switch (e.op) {
      case NeedleOp::kStitch: {
        enc.stitch_to(e.x, e.y);
        const auto c1 = scale.col(e.x), r1 = scale.row(e.y);
        const auto c0 = drawn ? scale.col(px) : c1, r0 = drawn ? scale.row(py) : r1;
        icons[0].line(c0, r0, c1, r1);
        icons[icon_block + 1].line(c0, r0, c1, r1);
        drawn = true;
        break;
      }
      case NeedleOp::kJump:
        enc.jump_to(e.x, e.y);
        drawn = false;
        break;
      case NeedleOp::kTrim:
        enc.trim();
        drawn = false;
        break;
      case NeedleOp::kColourChange:
      case NeedleOp::kStop:
        enc.colour_change(second);
        second = !second;
        ++icon_block;
        drawn = false;
        break;
      case NeedleOp::kEnd:
        break;
    }
    if (e.op == NeedleOp::kEnd) break;
    px = e.x;
    py = e.y;
  }
  enc.end();

  const std::size_t graphics = out.size() - block_at;
  auto image = out.view();
  image[graphics_at] = static_cast<std::uint8_t>(graphics & 0xFF);
  image[graphics_at + 1] = static_cast<std::uint8_t>((graphics >> 8) & 0xFF);
  image[graphics_at + 2] = static_cast<std::uint8_t>((graphics >> 16) & 0xFF);
  KORVANE_FAIL_IF(graphics > 0xFFFFFF, ErrorCode::kUnsupportedForm, file,
                  "the stitches take more than the 16 MB a PEC section can hold");
  for (const auto& icon : icons) out.bytes(icon.bytes());
  return Ok{};
}

}  // namespace kvn::formats
