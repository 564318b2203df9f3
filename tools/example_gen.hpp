// Example containers made from a seed: every design is a real SHV design built
// by the SHV writer from a HUC design image whose colour positions, counts and
// extents agree with its stitch stream. Tests, fuzz seeds and benchmarks all
// draw their inputs from here, so a seed names the same bytes everywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/error.hpp"

namespace kvn::example {

using Bytes = std::vector<std::uint8_t>;

/// splitmix64: small, fast and the same on every platform and compiler, which
/// std::mt19937's distributions are not.
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  /// Uniform in [lo, hi] (both included); lo <= hi.
  std::int64_t range(std::int64_t lo, std::int64_t hi);
  /// True with probability num / den.
  bool chance(std::uint32_t num, std::uint32_t den) { return range(1, den) <= num; }

 private:
  std::uint64_t state_;
};

/// The rectangle a design's needle stays in, tenths of a millimetre from its
/// start point; it always contains the start point.
struct Box {
  std::int16_t x_min = -300;
  std::int16_t x_max = 300;
  std::int16_t y_min = -300;
  std::int16_t y_max = 300;
};

/// Which records a stream may hold besides normal stitches.
struct RecordMix {
  bool long_moves = true;     // 0x80 0x01 records, small (drawn) and large (moves)
  bool controls = true;       // 0x80 0x03, 0x80 0x00 and other escapes in block bodies
  bool quirky_starts = true;  // blocks opening with 0x80 0x03 or the moving escape 0x80 0x00
};

/// One design to make.
struct DesignRecipe {
  std::size_t colours = 3;  // colour records, 1 ... 255
  std::size_t words = 200;  // stitch stream length in words, exactly; >= colours
  Box box;
  bool reach_corners = false;  // visit (x_max, y_max) and (x_min, y_min) so the extents are the box
  RecordMix mix;
  std::uint8_t hoop = 0x40;  // huchdr_t::Hoop; bits 0-1 steer the hoop code
  std::string name;          // design name stored in the SHV image (<= 255 bytes)
  std::int16_t Xoffset = 0;  // placement in the container
  std::int16_t Yoffset = 0;
};

/// What was made for one design, with what a reader should find in it.
struct Design {
  DesignRecipe recipe;
  Bytes huc;  // the HUC design image the SHV design was built from
  Bytes shv;  // the SHV design image stored in the container
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // extents the stream reaches
  std::int16_t end_x = 0, end_y = 0;            // where the needle stands after the stream
};

/// Bytes of a container that no reader interprets, filled with noise so tests
/// can show they are not read, or left zero.
enum class Unread { kZero, kNoise };

struct Container {
  Bytes dhv;
  std::vector<Design> designs;
};

/// Parameters of a whole container; anything left unset is drawn from the seed.
struct Params {
  std::uint64_t seed = 1;
  std::size_t designs = 3;
  std::optional<std::size_t> colours;  // per design
  std::optional<std::size_t> words;    // per design
  std::optional<std::string> name;     // container name; designs are named after it
  bool big = false;                    // designs over 255 mm: the long dimension block
  bool plain = false;                  // normal stitches only
  bool placements = true;              // non-zero placements for some designs
  std::int16_t spread = 1500;          // largest |placement|
  std::int16_t reach = 700;            // largest distance from the start point, unless big
  Unread unread = Unread::kZero;
};

/// A container's name and the designs to make for it.
struct Plan {
  std::string name;
  std::vector<DesignRecipe> designs;
};

/// Draws the name and design recipes of a container from `p`.
Plan plan(const Params& p);

/// The HUC design image of `recipe`, its stream drawn from `rng`; `out` receives
/// the extents and end point. Never fails: every recipe value is clamped to
/// what the layout holds.
Bytes make_huc(const DesignRecipe& recipe, Rng& rng, Design& out);

/// Makes one design: its HUC image, then the SHV image the SHV writer builds.
Result<Design> make_design(const DesignRecipe& recipe, Rng& rng);

/// Wraps finished designs into a DHV container named `name`.
Bytes wrap_container(const std::string& name, const std::vector<Design>& designs, Unread unread,
                     Rng& rng);

/// plan + make_design + wrap_container.
Result<Container> generate(const Params& p);

/// Makes `recipes` into one container.
Result<Container> generate(const std::string& name, const std::vector<DesignRecipe>& recipes,
                           std::uint64_t seed, Unread unread = Unread::kZero);

/// The bundled example, garden.dhv: a flower, a leaf with a ladybird and the
/// word GARDEN, each an embroidery of several colours, placed to fit one hoop.
Result<Container> garden();

}  // namespace kvn::example
