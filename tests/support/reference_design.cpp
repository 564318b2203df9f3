#include "support/reference_design.hpp"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "support/mini_json.hpp"

namespace kvn::test {

std::optional<std::filesystem::path> real_designs_dir() {
  std::vector<std::filesystem::path> candidates;
  if (const char* shared = std::getenv("KORVANE_SHARED_DIR")) {
    candidates.emplace_back(std::filesystem::path(shared) / "realdesigns");
  }
#ifdef KORVANE_SOURCE_DIR
  candidates.emplace_back(std::filesystem::path(KORVANE_SOURCE_DIR) / ".." / "shared" /
                          "realdesigns");
#endif
  for (const auto& c : candidates) {
    std::error_code ec;
    if (std::filesystem::is_directory(c, ec)) return c;
  }
  return std::nullopt;
}

std::filesystem::path reference_path(const std::filesystem::path& design) {
  return design.parent_path().parent_path() / "reference" / (design.filename().string() + ".json");
}

std::optional<ReferenceDesign> load_reference(const std::filesystem::path& json) {
  std::ifstream f(json, std::ios::binary);
  if (!f) return std::nullopt;
  const std::string text((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  const auto doc = parse_json(text);
  if (!doc || !doc->members.count("stitches")) return std::nullopt;

  static const std::map<std::string, formats::NeedleOp> kOps = {
      {"STITCH", formats::NeedleOp::kStitch}, {"JUMP", formats::NeedleOp::kJump},
      {"TRIM", formats::NeedleOp::kTrim},     {"COLOR_CHANGE", formats::NeedleOp::kColourChange},
      {"STOP", formats::NeedleOp::kStop},     {"END", formats::NeedleOp::kEnd},
  };
  ReferenceDesign r;
  for (const auto& s : (*doc)["stitches"].items) {
    const auto op = kOps.find(s[2].text);
    if (op == kOps.end()) return std::nullopt;
    r.events.push_back({static_cast<std::int32_t>(std::stod(s[0].text)),
                        static_cast<std::int32_t>(std::stod(s[1].text)), op->second});
  }
  for (const auto& n : (*doc)["stitches_per_block"].items)
    r.stitches_per_block.push_back(n.integer());
  const auto& e = (*doc)["extents_mm"];
  r.min_x = std::stod(e["min_x"].text);
  r.min_y = std::stod(e["min_y"].text);
  r.max_x = std::stod(e["max_x"].text);
  r.max_y = std::stod(e["max_y"].text);
  for (const auto& t : (*doc)["thread_colours"].items) {
    const std::string hex = t["hex"].text;
    if (hex.size() == 7 && hex[0] == '#') {
      r.thread_rgb.push_back(static_cast<std::uint32_t>(std::stoul(hex.substr(1), nullptr, 16)));
    }
  }
  return r;
}

}  // namespace kvn::test
