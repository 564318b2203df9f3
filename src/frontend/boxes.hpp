#pragma once

#include <optional>
#include <string>
#include <vector>

#include "frontend/dialogs.hpp"
#include "korvane/survey.hpp"

// The boxes of the desktop flow, composed once for every kind of dialogs.
namespace kvn::frontend {

/// Where the files went and what they are called: the folder on one line,
/// then the names, or "N designs: first … last" for three or more.
std::string written_text(const std::vector<std::string>& written);

/// A warning when the designs of `info`, combined at their placements, are
/// larger than the largest hoop; nothing for a design file or a fitting layout.
std::optional<std::string> hoop_warning(const FileInfo& info);

/// The split of `path` failed for `reason`.
Box split_failed_box(const std::string& path, const std::string& reason);

/// The split of `path` wrote `written`. With `cannot_combine` the box says
/// why combining would fail and asks nothing; otherwise it asks whether to combine.
Box split_done_box(const std::string& path, const std::vector<std::string>& written,
                   const std::optional<std::string>& warning,
                   const std::optional<std::string>& cannot_combine);

/// After Yes: the combined design written, or why combining failed even
/// though the split's files stand.
Box combined_box(const std::string& path, const std::vector<std::string>& written);
Box combine_failed_box(const std::string& path, const std::vector<std::string>& split_written,
                       const std::string& reason);

}  // namespace kvn::frontend
