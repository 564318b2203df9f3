#include "frontend/boxes.hpp"

#include <algorithm>

#include "frontend/texts.hpp"
#include "inspect/millimetres.hpp"
#include "inspect/survey.hpp"

namespace kvn::frontend {
namespace {

std::size_t name_start(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? 0 : slash + 1;
}

Box box(const char* caption, const std::string& path, const std::string& rest, BoxIcon icon) {
  return {caption, std::string(caption) + "\n" + path + "\n\n" + rest, icon};
}

}  // namespace

std::string written_text(const std::vector<std::string>& written) {
  if (written.empty()) return "Nothing was written.";
  const std::string& first = written.front();
  const std::string folder = first.substr(0, name_start(first));
  std::string text =
      folder.empty() ? "Written in the current folder:\n" : "Written in " + folder + ":\n";
  auto name = [](const std::string& p) { return p.substr(name_start(p)); };
  if (written.size() >= 3)
    return text + std::to_string(written.size()) + " designs: " + name(first) + " \u2026 " +
           name(written.back());
  for (std::size_t i = 0; i < written.size(); ++i) text += (i ? ", " : "") + name(written[i]);
  return text;
}

std::optional<std::string> hoop_warning(const FileInfo& info) {
  if (info.kind != FileKind::kContainer || info.designs.size() < 2) return std::nullopt;
  // Combining keeps every design at its placement around one start point.
  std::int64_t left = 0, right = 0, top = 0, bottom = 0;
  bool first = true;
  for (const auto& d : info.designs) {
    const std::int64_t x1 = d.x1 + d.placement_x, x0 = d.x0 + d.placement_x;
    const std::int64_t y1 = d.y1 + d.placement_y, y0 = d.y0 + d.placement_y;
    left = first ? x1 : std::min(left, x1);
    right = first ? x0 : std::max(right, x0);
    top = first ? y1 : std::min(top, y1);
    bottom = first ? y0 : std::max(bottom, y0);
    first = false;
  }
  const std::int64_t width = right - left, height = bottom - top;
  const auto fits = [](std::int64_t v) { return v <= INT32_MAX; };
  if (fits(width) && fits(height) &&
      inspect::hoop_class_for(static_cast<std::int32_t>(width),
                              static_cast<std::int32_t>(height)) != HoopClass::kLarger)
    return std::nullopt;
  return "Combined, the designs measure " + inspect::millimetres(width) + " x " +
         inspect::millimetres(height) + " mm: larger than the largest hoop (" +
         hoop_class_name(HoopClass::k150x360) + " mm).";
}

Box split_failed_box(const std::string& path, const std::string& reason) {
  return box(texts::kFailedCaption, path, reason, BoxIcon::kWarning);
}

Box split_done_box(const std::string& path, const std::vector<std::string>& written,
                   const std::optional<std::string>& warning,
                   const std::optional<std::string>& cannot_combine) {
  std::string rest = written_text(written);
  if (cannot_combine)
    return box(texts::kCreatedCaption, path,
               rest + "\n\n" + texts::kCannotCombine + "\n" + *cannot_combine,
               BoxIcon::kInformation);
  if (warning) rest += "\n\n" + *warning;
  return box(texts::kCreatedCaption, path, rest + "\n\n" + texts::kQuestion, BoxIcon::kInformation);
}

Box combined_box(const std::string& path, const std::vector<std::string>& written) {
  return box(texts::kCombinedCaption, path, written_text(written), BoxIcon::kInformation);
}

Box combine_failed_box(const std::string& path, const std::vector<std::string>& split_written,
                       const std::string& reason) {
  return box(texts::kNotCombinedCaption, path,
             std::string(texts::kCombineFailed) + "\n" + reason + "\n\n" + texts::kSplitStands +
                 "\n" + written_text(split_written),
             BoxIcon::kWarning);
}

}  // namespace kvn::frontend
