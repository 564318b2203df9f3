// korvane_make_example: writes example DHV containers (or one of their
// designs as a HUC or SHV image) from a seed, for the bundled example, fuzz
// seeds and benchmarks.
#include <charconv>
#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "convert/file_io.hpp"
#include "tools/example_gen.hpp"

namespace {

constexpr const char* kHelp =
    "usage: korvane_make_example [options] -o FILE\n"
    "\n"
    "Writes a DHV container whose designs are drawn from a seed; the same\n"
    "options always give the same bytes.\n"
    "\n"
    "  --seed N        seed of every random choice (default 1)\n"
    "  --designs K     number of designs (default 3)\n"
    "  --colours C     colour records per design, 1-255 (default: drawn, 1-6 or 48)\n"
    "  --words W       stitch words per design, up to 65535 (default: drawn, 20-600)\n"
    "  --name NAME     container name; designs are named NAME1, NAME2, ...\n"
    "                  (default: drawn, 0-255 bytes)\n"
    "  --big           designs over 255 mm along one axis (long dimension block)\n"
    "  --plain         normal stitches only: no long moves, no control records\n"
    "  --no-placements every design placed at (0, 0)\n"
    "  --spread S      largest placement distance, tenths of a mm (default 1500)\n"
    "  --reach R       largest stitch distance from a design's start point,\n"
    "                  tenths of a mm (default 700; --big ignores it)\n"
    "  --garden        the bundled example: a flower, a leaf and lettering\n"
    "                  (every option but -o is ignored)\n"
    "  --noise         fill the bytes no reader interprets with noise, not zeros\n"
    "  --emit KIND     dhv (default), or huc / shv: only the design of --index\n"
    "  --index I       which design --emit huc/shv writes, from 1 (default 1)\n"
    "  -o FILE         output file (required)\n"
    "  -h, --help      this text\n";

std::optional<long long> number(std::string_view s) {
  long long v = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

int usage(const std::string& problem) {
  std::cerr << "korvane_make_example: " << problem << "\n"
            << "Try 'korvane_make_example --help'.\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  kvn::example::Params p;
  std::string out_path;
  std::string emit = "dhv";
  long long index = 1;
  bool garden = false;
  std::vector<std::string> args(argv + 1, argv + argc);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> std::optional<std::string> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    auto ranged = [&](long long lo, long long hi) -> std::optional<long long> {
      auto v = value();
      if (!v) return std::nullopt;
      auto n = number(*v);
      if (!n || *n < lo || *n > hi) return std::nullopt;
      return n;
    };
    if (a == "-h" || a == "--help") {
      std::cout << kHelp;
      return 0;
    } else if (a == "--seed") {
      auto v = ranged(0, 0x7FFFFFFFFFFFFFFFll);
      if (!v) return usage("--seed needs a non-negative number");
      p.seed = static_cast<std::uint64_t>(*v);
    } else if (a == "--designs") {
      auto v = ranged(1, 100000);
      if (!v) return usage("--designs needs a number from 1 to 100000");
      p.designs = static_cast<std::size_t>(*v);
    } else if (a == "--colours") {
      auto v = ranged(1, 255);
      if (!v) return usage("--colours needs a number from 1 to 255");
      p.colours = static_cast<std::size_t>(*v);
    } else if (a == "--words") {
      auto v = ranged(1, 65535);
      if (!v) return usage("--words needs a number from 1 to 65535");
      p.words = static_cast<std::size_t>(*v);
    } else if (a == "--name") {
      auto v = value();
      if (!v || v->size() > 255) return usage("--name needs a name of at most 255 bytes");
      p.name = *v;
    } else if (a == "--big") {
      p.big = true;
    } else if (a == "--plain") {
      p.plain = true;
    } else if (a == "--no-placements") {
      p.placements = false;
    } else if (a == "--spread") {
      auto v = ranged(0, 30000);
      if (!v) return usage("--spread needs a number from 0 to 30000");
      p.spread = static_cast<std::int16_t>(*v);
    } else if (a == "--reach") {
      auto v = ranged(0, 2500);
      if (!v) return usage("--reach needs a number from 0 to 2500");
      p.reach = static_cast<std::int16_t>(*v);
    } else if (a == "--garden") {
      garden = true;
    } else if (a == "--noise") {
      p.unread = kvn::example::Unread::kNoise;
    } else if (a == "--emit") {
      auto v = value();
      if (!v || (*v != "dhv" && *v != "huc" && *v != "shv"))
        return usage("--emit needs dhv, huc or shv");
      emit = *v;
    } else if (a == "--index") {
      auto v = ranged(1, 100000);
      if (!v) return usage("--index needs a design number from 1");
      index = *v;
    } else if (a == "-o" || a == "--output") {
      auto v = value();
      if (!v) return usage("-o needs a file name");
      out_path = *v;
    } else {
      return usage("unknown option '" + a + "'");
    }
  }
  if (out_path.empty()) return usage("no output file given (-o FILE)");
  if (emit != "dhv" && static_cast<std::size_t>(index) > (garden ? 3 : p.designs))
    return usage("--index is beyond the number of designs");

  auto made = garden ? kvn::example::garden() : kvn::example::generate(p);
  if (!made) {
    std::cerr << "korvane_make_example: " << made.error().message() << "\n";
    return 1;
  }
  const auto& design = made->designs[static_cast<std::size_t>(index - 1)];
  const auto& bytes = emit == "dhv" ? made->dhv : emit == "huc" ? design.huc : design.shv;
  auto st = kvn::convert::real_file_system().replace(out_path, bytes);
  if (!st) {
    std::cerr << "korvane_make_example: " << st.error().message() << "\n";
    return 1;
  }
  return 0;
}
