// Writes the containers the speed and memory figures are measured on, made by
// the example generator from fixed seeds:
//   split1000  1,000 designs, about 50 MB: splitting against coreutils split
//   twelve     12 designs of 5,000 words each, placed apart: a large combine
//   largest    the largest combine the HUC layout allows: 255 colours and
//              65,535 words in all, extents within a few tenths of +-32,767
#include <cstdio>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/huc_layout.hpp"
#include "tools/example_gen.hpp"

namespace {

using kvn::example::DesignRecipe;

constexpr std::uint64_t kSeed = 5150;

// 1,000 designs of about 50 KB. Twenty distinct designs are cycled: splitting
// never looks inside a design, and making 1,000 previews would only slow the
// set-up down.
kvn::Result<kvn::example::Bytes> split1000() {
  kvn::example::Rng rng(kSeed);
  std::vector<kvn::example::Design> distinct;
  for (int i = 0; i < 20; ++i) {
    DesignRecipe s;
    s.colours = 6;
    s.words = 24000;
    s.name = "bench" + std::to_string(i + 1);
    s.Xoffset = static_cast<std::int16_t>(100 * i);
    KORVANE_TRY(d, kvn::example::make_design(s, rng));
    distinct.push_back(std::move(d));
  }
  std::vector<kvn::example::Design> all;
  for (int i = 0; i < 1000; ++i)
    all.push_back(distinct[static_cast<std::size_t>(i) % distinct.size()]);
  return kvn::example::wrap_container("bench", all, kvn::example::Unread::kZero, rng);
}

kvn::Result<kvn::example::Bytes> twelve() {
  std::vector<DesignRecipe> recipes;
  for (int i = 0; i < 12; ++i) {
    DesignRecipe s;
    s.colours = 5;
    s.words = 5000;
    s.box = {-600, 600, -600, 600};
    s.name = "twelve" + std::to_string(i + 1);
    // A 4 x 3 grid, 15 cm apart.
    s.Xoffset = static_cast<std::int16_t>((i % 4) * 1500 - 2250);
    s.Yoffset = static_cast<std::int16_t>((i / 4) * 1500 - 1500);
    recipes.push_back(s);
  }
  KORVANE_TRY(c, kvn::example::generate("twelve", recipes, kSeed));
  return c.dhv;
}

// Five designs of 51 colours, each placed near a corner of the 16-bit plane
// (the last near the middle) and reaching its box's corners, so that the
// combined extents come within 7 tenths of +-32,767. Every design is placed
// and all but the last get a return record: 36 words added to the designs'
// 65,499, exactly 65,535 in all.
kvn::Result<kvn::example::Bytes> largest() {
  constexpr std::int16_t kCorner = 30000;
  constexpr std::int16_t kReach = 2760;
  const std::int16_t at[5][2] = {
      {kCorner, kCorner}, {-kCorner, -kCorner}, {kCorner, -kCorner}, {-kCorner, kCorner}, {0, 100}};
  const std::size_t words[5] = {13100, 13100, 13100, 13100, 13099};
  std::vector<DesignRecipe> recipes;
  for (int i = 0; i < 5; ++i) {
    DesignRecipe s;
    s.colours = 51;
    s.words = words[i];
    s.box = {-kReach, kReach, -kReach, kReach};
    s.reach_corners = true;
    s.name = "largest" + std::to_string(i + 1);
    s.Xoffset = at[i][0];
    s.Yoffset = at[i][1];
    recipes.push_back(s);
  }
  KORVANE_TRY(c, kvn::example::generate("largest", recipes, kSeed));
  return c.dhv;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: make_bench_container split1000|twelve|largest OUT.dhv\n");
    return 2;
  }
  const std::string kind = argv[1];
  kvn::Result<kvn::example::Bytes> made =
      kvn::make_error(kvn::ErrorCode::kBadArgument, kind, "unknown container kind");
  if (kind == "split1000") made = split1000();
  if (kind == "twelve") made = twelve();
  if (kind == "largest") made = largest();
  if (!made) {
    std::fprintf(stderr, "make_bench_container: %s\n", made.error().message().c_str());
    return 1;
  }
  auto st = kvn::convert::real_file_system().replace(argv[2], *made);
  if (!st) {
    std::fprintf(stderr, "make_bench_container: %s\n", st.error().message().c_str());
    return 1;
  }
  return 0;
}
