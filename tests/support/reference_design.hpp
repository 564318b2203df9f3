#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "formats/pattern.hpp"

namespace kvn::test {

/// The real design files made by other software, kept outside the project:
/// $KORVANE_SHARED_DIR/realdesigns, else ../shared/realdesigns beside the
/// source tree; nullopt when neither is there (tests then skip and say so).
std::optional<std::filesystem::path> real_designs_dir();

/// What an open library read from a real design file: its needle events in
/// the model's frame (0.1 mm, y down), its colour blocks, extents and threads.
struct ReferenceDesign {
  std::vector<formats::NeedleEvent> events;
  std::vector<long long> stitches_per_block;
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;  // mm
  std::vector<std::uint32_t> thread_rgb;              // 0xRRGGBB
};

/// Reads reference/NAME.json; nullopt when the file is missing, unreadable,
/// or records that the library could not read the design.
std::optional<ReferenceDesign> load_reference(const std::filesystem::path& json);

/// The reference file of the real design at `design` (realdesigns/dst/x.dst
/// -> realdesigns/reference/x.dst.json).
std::filesystem::path reference_path(const std::filesystem::path& design);

}  // namespace kvn::test
