#include "tools/example_gen.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"
#include "formats/container.hpp"
#include "formats/huc_layout.hpp"
#include "formats/stitch.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::example {
namespace {

using formats::ByteWriter;

// Colour codes the preview maps to its own colours; codes above are carried
// as they stand and must survive every conversion too.
constexpr std::int64_t kMappedColourCodes = 48;
// Strides coprime with 48, so a design of 48 colours carries every mapped code.
constexpr std::array<std::int64_t, 5> kColourStrides = {1, 5, 7, 11, 13};
constexpr std::int64_t kNormalDxMax = 127;  // a first byte of 0x80 would be an escape
constexpr std::int64_t kNormalDyMin = -128;
constexpr std::int64_t kNormalDyMax = 127;
constexpr std::int64_t kSmallLongMax = formats::kLongStitchLimit - 1;
constexpr std::size_t kCornerWords = 2 * formats::kLongMoveWords;

std::int64_t clamp64(std::int64_t v, std::int64_t lo, std::int64_t hi) {
  return std::max(lo, std::min(hi, v));
}

// Walks the needle inside the box and writes the records that move it,
// keeping what every reader of the design must find: the extents reached
// and the position at each block start.
class StreamMaker {
 public:
  StreamMaker(const DesignRecipe& recipe, Rng& rng) : recipe_(recipe), rng_(rng) { new_target(); }

  std::int32_t x() const { return x_; }
  std::int32_t y() const { return y_; }
  Design& extents(Design& d) const {
    d.x0 = static_cast<std::int16_t>(x0_);
    d.y0 = static_cast<std::int16_t>(y0_);
    d.x1 = static_cast<std::int16_t>(x1_);
    d.y1 = static_cast<std::int16_t>(y1_);
    d.end_x = static_cast<std::int16_t>(x_);
    d.end_y = static_cast<std::int16_t>(y_);
    return d;
  }

  // One colour block of exactly `words` words (>= 1).
  void block(ByteWriter& out, std::size_t words, bool first_block) {
    std::size_t left = words;
    if (first_block && recipe_.reach_corners && left >= kCornerWords) {
      long_move_to(out, recipe_.box.x_max, recipe_.box.y_max);
      long_move_to(out, recipe_.box.x_min, recipe_.box.y_min);
      left -= kCornerWords;
    } else {
      left -= block_start(out, left);
    }
    while (left > 0) left -= body_record(out, left);
  }

 private:
  std::size_t block_start(ByteWriter& out, std::size_t left) {
    const auto& mix = recipe_.mix;
    if (mix.long_moves && left >= formats::kLongMoveWords && rng_.chance(1, 4)) {
      long_move_to(out, rng_.range(recipe_.box.x_min, recipe_.box.x_max),
                   rng_.range(recipe_.box.y_min, recipe_.box.y_max));
      return formats::kLongMoveWords;
    }
    if (mix.quirky_starts && rng_.chance(1, 8)) {
      // At a block start only 0x80 0x03 stands still; 0x80 0x00 moves by (-128, 0).
      if (x_ - 128 >= recipe_.box.x_min && rng_.chance(1, 2)) {
        escape(out, 0x00);
        advance(-128, 0);
      } else {
        escape(out, formats::kBlockStartControl);
      }
      return 1;
    }
    normal(out);
    return 1;
  }

  std::size_t body_record(ByteWriter& out, std::size_t left) {
    const auto& mix = recipe_.mix;
    if (mix.long_moves && left >= formats::kLongMoveWords && rng_.chance(1, 16)) {
      if (rng_.chance(1, 2)) {
        // Small enough to be drawn as a stitch.
        const auto dx = rng_.range(std::max(-kSmallLongMax, recipe_.box.x_min - std::int64_t{x_}),
                                   std::min(kSmallLongMax, recipe_.box.x_max - std::int64_t{x_}));
        const auto dy = rng_.range(std::max(-kSmallLongMax, recipe_.box.y_min - std::int64_t{y_}),
                                   std::min(kSmallLongMax, recipe_.box.y_max - std::int64_t{y_}));
        long_move_to(out, x_ + dx, y_ + dy);
      } else {
        long_move_to(out, rng_.range(recipe_.box.x_min, recipe_.box.x_max),
                     rng_.range(recipe_.box.y_min, recipe_.box.y_max));
      }
      return formats::kLongMoveWords;
    }
    if (mix.controls && rng_.chance(1, 24)) {
      const std::int64_t pick = rng_.range(0, 3);
      std::uint8_t second = pick == 0   ? formats::kBlockStartControl
                            : pick == 1 ? std::uint8_t{0x00}
                                        : static_cast<std::uint8_t>(rng_.range(2, 255));
      escape(out, second);
      return 1;
    }
    normal(out);
    return 1;
  }

  void new_target() {
    tx_ = rng_.range(recipe_.box.x_min, recipe_.box.x_max);
    ty_ = rng_.range(recipe_.box.y_min, recipe_.box.y_max);
    step_ = rng_.range(8, kNormalDxMax);
  }

  // A stitch toward the current target, kept inside the box and the record's range.
  void normal(ByteWriter& out) {
    if (std::abs(tx_ - x_) < 4 && std::abs(ty_ - y_) < 4) new_target();
    const std::int64_t jitter_x = rng_.range(-3, 3);
    const std::int64_t jitter_y = rng_.range(-3, 3);
    std::int64_t dx = clamp64(tx_ - x_, -step_, step_) + jitter_x;
    std::int64_t dy = clamp64(ty_ - y_, -step_, step_) + jitter_y;
    dx = clamp64(dx, std::max(-kNormalDxMax, recipe_.box.x_min - std::int64_t{x_}),
                 std::min(kNormalDxMax, recipe_.box.x_max - std::int64_t{x_}));
    dy = clamp64(dy, std::max(kNormalDyMin, recipe_.box.y_min - std::int64_t{y_}),
                 std::min(kNormalDyMax, recipe_.box.y_max - std::int64_t{y_}));
    out.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(dx)));
    out.u8(static_cast<std::uint8_t>(static_cast<std::int8_t>(dy)));
    advance(dx, dy);
  }

  void long_move_to(ByteWriter& out, std::int64_t to_x, std::int64_t to_y) {
    const std::int64_t dx = to_x - x_;
    const std::int64_t dy = to_y - y_;
    // Positions wrap at 16 bits, so the wrapped displacement lands exactly on
    // the target even where the true distance needs 17 bits.
    formats::put_long_move(out, formats::wrap16(dx), formats::wrap16(dy));
    advance(formats::wrap16(dx), formats::wrap16(dy));
  }

  void escape(ByteWriter& out, std::uint8_t second) {
    out.u8(formats::kEscape);
    out.u8(second);
  }

  void advance(std::int64_t dx, std::int64_t dy) {
    x_ = static_cast<std::int32_t>(formats::wrap16(x_ + dx));
    y_ = static_cast<std::int32_t>(formats::wrap16(y_ + dy));
    x0_ = std::max(x0_, x_);
    y0_ = std::max(y0_, y_);
    x1_ = std::min(x1_, x_);
    y1_ = std::min(y1_, y_);
  }

  const DesignRecipe& recipe_;
  Rng& rng_;
  std::int32_t x_ = 0, y_ = 0;
  // The start point is part of every design.
  std::int32_t x0_ = 0, y0_ = 0, x1_ = 0, y1_ = 0;
  std::int64_t tx_ = 0, ty_ = 0, step_ = 0;
};

// Word counts of the blocks: every block at least one word, the first one
// room for the corner moves when they are asked for.
std::vector<std::size_t> block_words(std::size_t colours, std::size_t words, bool corners,
                                     Rng& rng) {
  std::vector<std::size_t> out(colours, 1);
  std::size_t spare = words - colours;
  if (corners && spare >= kCornerWords - 1) {
    out[0] += kCornerWords - 1;
    spare -= kCornerWords - 1;
  }
  std::vector<std::uint64_t> weight(colours);
  std::uint64_t total = 0;
  for (auto& w : weight) total += (w = static_cast<std::uint64_t>(rng.range(1, 100)));
  std::size_t given = 0;
  for (std::size_t c = 0; c + 1 < colours; ++c) {
    const auto share = static_cast<std::size_t>(spare * weight[c] / total);
    out[c] += share;
    given += share;
  }
  out.back() += spare - given;
  return out;
}

std::string random_name(Rng& rng) {
  static constexpr std::array<std::size_t, 8> kLengths = {0, 1, 5, 15, 16, 17, 40, 255};
  const std::size_t len = kLengths[static_cast<std::size_t>(rng.range(0, kLengths.size() - 1))];
  std::string s;
  for (std::size_t i = 0; i < len; ++i)
    s.push_back(static_cast<char>(rng.chance(1, 8) ? rng.range(0, 255) : rng.range('a', 'z')));
  return s;
}

Box random_box(bool big, std::int16_t reach, Rng& rng) {
  Box b;
  if (big) {
    // Over 255 mm along one axis: the dimension block takes its long form.
    const auto wide_lo = static_cast<std::int16_t>(-rng.range(1300, 2000));
    const auto wide_hi = static_cast<std::int16_t>(rng.range(1300, 2000));
    const auto narrow_lo = static_cast<std::int16_t>(-rng.range(50, 600));
    const auto narrow_hi = static_cast<std::int16_t>(rng.range(50, 600));
    if (rng.chance(1, 2)) {
      b = {wide_lo, wide_hi, narrow_lo, narrow_hi};
    } else {
      b = {narrow_lo, narrow_hi, wide_lo, wide_hi};
    }
    return b;
  }
  // Some designs lie wholly on one side of their start point.
  b.x_min = static_cast<std::int16_t>(-rng.range(0, reach));
  b.x_max = static_cast<std::int16_t>(rng.range(0, reach));
  b.y_min = static_cast<std::int16_t>(-rng.range(0, reach));
  b.y_max = static_cast<std::int16_t>(rng.range(0, reach));
  return b;
}

}  // namespace

std::uint64_t Rng::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::int64_t Rng::range(std::int64_t lo, std::int64_t hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
  if (span == 0) return static_cast<std::int64_t>(next());  // the whole 64-bit range
  return lo + static_cast<std::int64_t>(next() % span);
}

Plan plan(const Params& p) {
  Rng rng(p.seed);
  Plan plan;
  plan.name = p.name ? *p.name : random_name(rng);
  const std::string& base = plan.name;
  auto& out = plan.designs;
  out.reserve(p.designs);
  for (std::size_t i = 0; i < p.designs; ++i) {
    DesignRecipe s;
    s.colours = p.colours ? *p.colours
                          : static_cast<std::size_t>(rng.chance(1, 8) ? kMappedColourCodes
                                                                      : rng.range(1, 6));
    s.colours = std::clamp<std::size_t>(s.colours, 1, formats::kMaxHucColours);
    s.box = random_box(p.big, std::max<std::int16_t>(p.reach, 0), rng);
    s.reach_corners = p.big || rng.chance(1, 2);
    const std::size_t least = s.colours + (s.reach_corners ? kCornerWords : 0);
    s.words = p.words ? *p.words : static_cast<std::size_t>(rng.range(20, 600));
    s.words = std::clamp<std::size_t>(s.words, least, formats::kMaxHucWords);
    if (p.plain) s.mix = {false, false, false};
    s.hoop =
        rng.chance(1, 4) ? static_cast<std::uint8_t>(rng.range(0, 255)) : formats::kHucHoopNoOption;
    s.name = base;
    if (p.designs > 1) s.name += std::to_string(i + 1);
    if (s.name.size() > 255) s.name.resize(255);
    if (p.placements && (i > 0 || rng.chance(1, 2)) && !rng.chance(1, 4)) {
      s.Xoffset = static_cast<std::int16_t>(rng.range(-p.spread, p.spread));
      s.Yoffset = static_cast<std::int16_t>(rng.range(-p.spread, p.spread));
    }
    out.push_back(std::move(s));
  }
  return plan;
}

Bytes make_huc(const DesignRecipe& recipe_in, Rng& rng, Design& out) {
  DesignRecipe recipe = recipe_in;
  recipe.colours = std::clamp<std::size_t>(recipe.colours, 1, formats::kMaxHucColours);
  recipe.words = std::clamp<std::size_t>(recipe.words, recipe.colours, formats::kMaxHucWords);
  recipe.box.x_min = std::min<std::int16_t>(recipe.box.x_min, 0);
  recipe.box.y_min = std::min<std::int16_t>(recipe.box.y_min, 0);
  recipe.box.x_max = std::max<std::int16_t>(recipe.box.x_max, 0);
  recipe.box.y_max = std::max<std::int16_t>(recipe.box.y_max, 0);
  out.recipe = recipe;

  const auto sizes = block_words(recipe.colours, recipe.words, recipe.reach_corners, rng);
  const std::int64_t stride =
      kColourStrides[static_cast<std::size_t>(rng.range(0, kColourStrides.size() - 1))];
  const std::int64_t first_code = rng.range(0, kMappedColourCodes - 1);

  StreamMaker maker(recipe, rng);
  ByteWriter stream(2 * recipe.words);
  std::vector<formats::huccolor_t> colours;
  colours.reserve(recipe.colours);
  for (std::size_t c = 0; c < recipe.colours; ++c) {
    formats::huccolor_t hc;
    hc.Stitches = static_cast<std::uint16_t>(sizes[c]);
    hc.Color = rng.chance(1, 8)
                   ? static_cast<std::uint8_t>(rng.range(kMappedColourCodes, 255))
                   : static_cast<std::uint8_t>(
                         (first_code + stride * static_cast<std::int64_t>(c)) % kMappedColourCodes);
    hc.xpos = static_cast<std::int16_t>(maker.x());
    hc.ypos = static_cast<std::int16_t>(maker.y());
    colours.push_back(hc);
    maker.block(stream, sizes[c], c == 0);
  }
  maker.extents(out);

  formats::huchdr_t hdr;
  hdr.nColors = static_cast<std::uint8_t>(recipe.colours);
  hdr.Hoop = recipe.hoop;
  hdr.Name.fill(' ');
  std::copy_n(recipe.name.begin(), std::min(recipe.name.size(), formats::kHucNameSize),
              hdr.Name.begin());
  hdr.x0 = out.x0;
  hdr.y0 = out.y0;
  hdr.x1 = out.x1;
  hdr.y1 = out.y1;
  hdr.Stitches = static_cast<std::uint16_t>(recipe.words);

  ByteWriter huc(formats::huc_stream_at(recipe.colours) + stream.size());
  formats::write_huchdr(huc, hdr);
  for (const auto& c : colours) formats::write_huccolor(huc, c);
  huc.bytes(stream.view());
  return huc.take();
}

Result<Design> make_design(const DesignRecipe& recipe, Rng& rng) {
  Design d;
  d.huc = make_huc(recipe, rng, d);
  const formats::ByteReader in(d.huc, d.recipe.name + ".huc");
  std::string name = d.recipe.name;
  if (name.size() > 255) name.resize(255);
  KORVANE_TRY(shv, shvgen::build_shv(in, name));
  d.shv = std::move(shv);
  return d;
}

Bytes wrap_container(const std::string& name_in, const std::vector<Design>& designs, Unread unread,
                     Rng& rng) {
  const std::string name = name_in.substr(0, 255);
  auto filler = [&]() -> std::uint8_t {
    return unread == Unread::kNoise ? static_cast<std::uint8_t>(rng.range(0, 255)) : 0;
  };
  std::size_t total =
      formats::kNameAt + name.size() + formats::kTableAfterName + 4 * designs.size();
  for (const auto& d : designs) total += formats::kPlacementPrefixSize + d.shv.size();
  ByteWriter out(total);
  for (std::size_t i = 0; i < formats::kNameLengthAt; ++i) out.u8(filler());
  out.u8(static_cast<std::uint8_t>(name.size()));
  for (char c : name) out.u8(static_cast<std::uint8_t>(c));
  // The signature and the four bytes after it are fetched by nobody.
  for (std::size_t i = 0; i < formats::kDesignCountAfterName; ++i) out.u8(filler());
  out.u32(static_cast<std::uint32_t>(designs.size()));
  std::size_t at = out.size() + 4 * designs.size();
  for (const auto& d : designs) {
    out.u32(static_cast<std::uint32_t>(at));
    at += formats::kPlacementPrefixSize + d.shv.size();
  }
  for (const auto& d : designs) {
    out.u8(filler());
    out.u16(d.recipe.Xoffset);
    out.u16(d.recipe.Yoffset);
    out.u8(filler());
    out.u8(filler());
    out.bytes(d.shv);
  }
  return out.take();
}

Result<Container> generate(const std::string& name, const std::vector<DesignRecipe>& recipes,
                           std::uint64_t seed, Unread unread) {
  // A stream of its own for the bytes, so the same recipes give the same designs
  // whatever the plan drew before them.
  Rng rng(seed ^ 0x5DEECE66Dull);
  Container c;
  c.designs.reserve(recipes.size());
  for (const auto& s : recipes) {
    KORVANE_TRY(d, make_design(s, rng));
    c.designs.push_back(std::move(d));
  }
  c.dhv = wrap_container(name, c.designs, unread, rng);
  return c;
}

Result<Container> generate(const Params& p) {
  const auto made = plan(p);
  return generate(made.name, made.designs, p.seed, p.unread);
}

}  // namespace kvn::example
