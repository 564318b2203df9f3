#pragma once

#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/output_plan.hpp"
#include "formats/byte_reader.hpp"
#include "inspect/file_pictures.hpp"

namespace kvn::convert {

using inspect::PictureKind;

/// Where a picture of `path` goes: `out_dir` (when given) or the directory of
/// `path`, then the file-name part of `path` without its extension, "-preview",
/// "-stitches" or "-layout", for the designs of a container "-" and the design
/// number in at least three digits (`number` 0: none), and ".png".
std::string picture_name(const std::string& path, const std::string* out_dir, PictureKind kind,
                         unsigned number);

/// The names of every picture of the image `in` of `path`, in the order they
/// are written (inspect::file_pictures()); an error for a file that gives none.
Result<std::vector<std::string>> preview_names(const std::string& path, const std::string* out_dir,
                                               const formats::ByteReader& in);

/// Reads `path` through `fs`, draws every picture in memory, and only then
/// writes them, each completely or not at all. Returns 0, or -1 with the
/// reason in `diag` (pictures written before a failing one are kept).
int run_previews(const std::string& path, const std::string* out_dir, FileSystem& fs,
                 Diagnostics& diag);
/// The same as part of a larger invocation whose writer makes the run durable.
int run_previews(const std::string& path, const std::string* out_dir, OutputWriter& out,
                 Diagnostics& diag);

}  // namespace kvn::convert
