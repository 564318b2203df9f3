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

/// A design converted: what was written, each change the conversion made,
/// and whether the files were read back.
Box converted_box(const std::string& path, const Outcome& outcome);
Box convert_failed_box(const std::string& path, const std::string& reason);

/// What an SHV design holds, asking whether to convert it to another format.
Box shv_box(const std::string& path, const FileInfo& info);

/// A design no hoop of `format` holds as it lies but one holds turned.
struct TooLarge {
  std::int32_t width = 0, height = 0;  // the design's, tenths of a millimetre
  std::string format;                  // "SHV"
  std::int32_t largest_width = 0, largest_height = 0;
  std::int32_t turned_width = 0, turned_height = 0;  // the hoop that holds it turned
};
Box too_large_box(const std::string& path, const TooLarge& t);

/// `file` could not be written in its folder for `reason`; asks for another.
Box unwritable_box(const std::string& file, const std::string& reason, bool file_exists);

/// The end of a run over several files: one line (and its changes) per file.
Box summary_box(const std::vector<std::string>& entries, std::size_t done, std::size_t failed,
                std::size_t skipped);

}  // namespace kvn::frontend
