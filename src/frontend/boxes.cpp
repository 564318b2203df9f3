#include "frontend/boxes.hpp"

#include <algorithm>

#include "frontend/texts.hpp"
#include "korvane/korvane.hpp"
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

std::string changes_text(const Outcome& outcome) {
  std::string text;
  bool checked = !outcome.reports.empty();
  for (std::size_t i = 0; i < outcome.reports.size(); ++i) {
    const std::string lead = outcome.written.size() > 1 && i < outcome.written.size()
                                 ? outcome.written[i].substr(name_start(outcome.written[i])) + ": "
                                 : std::string();
    for (const auto& a : outcome.reports[i].adjustments) text += "\u2022 " + lead + a.sentence + "\n";
    checked = checked && outcome.reports[i].checked;
  }
  if (text.empty()) text = "Nothing needed changing.\n";
  if (checked) text += texts::kChecked;
  if (!text.empty() && text.back() == '\n') text.pop_back();
  return text;
}

Box converted_box(const std::string& path, const Outcome& outcome) {
  return box(texts::kConvertedCaption, path,
             written_text(outcome.written) + "\n\n" + changes_text(outcome), BoxIcon::kInformation);
}

Box convert_failed_box(const std::string& path, const std::string& reason) {
  return box(texts::kNotConvertedCaption, path, reason, BoxIcon::kWarning);
}

namespace {

std::string size_text(std::int64_t width, std::int64_t height) {
  return inspect::millimetres(width) + " x " + inspect::millimetres(height) + " mm";
}

std::string hoop_text(std::int32_t width, std::int32_t height) {
  return std::to_string(width / 10) + " x " + std::to_string(height / 10) + " mm";
}

}  // namespace

Box shv_box(const std::string& path, const FileInfo& info) {
  std::string text;
  for (const auto& d : info.designs) {
    if (info.designs.size() > 1) text += "Design " + std::to_string(d.number) + ": ";
    text += "It measures " + size_text(d.width, d.height);
    text += d.hoop == HoopClass::kLarger
                ? std::string(", larger than every hoop.\n")
                : ", for the " + std::string(hoop_class_name(d.hoop)) + " mm hoop.\n";
    text += std::to_string(d.colours.size()) + (d.colours.size() == 1 ? " colour" : " colours");
    for (std::size_t i = 0; i < d.colours.size(); ++i) {
      const auto& c = d.colours[i];
      text += (i ? ", " : ": ") + std::to_string(unsigned{c.code}) + " " +
              (c.name.empty() ? "(unnamed)" : c.name);
    }
    text += ".\n";
    // Stitches as the needle makes them where they were counted; the file
    // itself only counts the words of its stream.
    std::size_t stitches = 0;
    for (const auto& e : d.events) stitches += e.op == EventOp::kStitch ? 1 : 0;
    text += d.has_events ? std::to_string(stitches) + " stitches.\n"
                         : std::to_string(d.stitch_words) + " stitch words.\n";
  }
  return box(texts::kShvCaption, path, text + "\n" + texts::kConvertShvQuestion,
             BoxIcon::kInformation);
}

Box too_large_box(const std::string& path, const TooLarge& t) {
  return box(texts::kTooLargeCaption, path,
             "It measures " + size_text(t.width, t.height) + "; the largest " + t.format +
                 " hoop is " + hoop_text(t.largest_width, t.largest_height) +
                 ".\nTurned by 90 degrees it fits the " + hoop_text(t.turned_width, t.turned_height) +
                 " hoop.\n\n" + texts::kTurnQuestion,
             BoxIcon::kWarning);
}

Box unwritable_box(const std::string& file, const std::string& reason, bool file_exists) {
  const std::string folder = file.substr(0, name_start(file));
  std::string why = "korvane cannot write " + file.substr(name_start(file)) + " there";
  why += reason.empty() ? std::string(".") : " (" + reason + ").";
  // Where the file itself is in the way, the reason has said so already.
  if (!file_exists)
    why += "\nThe folder may be read-only, on a locked card or disk, or another user's.";
  return box(texts::kUnwritableCaption, folder.empty() ? std::string(".") : folder,
             why + "\n\n" + texts::kOtherFolderQuestion, BoxIcon::kWarning);
}

Box summary_box(const std::vector<std::string>& entries, std::size_t done, std::size_t failed,
                std::size_t skipped) {
  std::string counts = std::to_string(done) + (done == 1 ? " file converted" : " files converted");
  if (failed > 0) counts += ", " + std::to_string(failed) + " NOT converted";
  if (skipped > 0)
    counts += ", " + std::to_string(skipped) + (skipped == 1 ? " left as it is" : " left as they are");
  // A box taller than the screen would hide its OK button.
  constexpr std::size_t kShown = 20;
  std::string list;
  for (std::size_t i = 0; i < entries.size() && i < kShown; ++i) list += entries[i] + "\n";
  if (entries.size() > kShown)
    list += "\u2026 and " + std::to_string(entries.size() - kShown) + " more.\n";
  if (!list.empty()) list.pop_back();
  return box(texts::kSummaryCaption, counts, list,
             failed > 0 ? BoxIcon::kWarning : BoxIcon::kInformation);
}

}  // namespace kvn::frontend
