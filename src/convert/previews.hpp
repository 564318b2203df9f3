#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/output_plan.hpp"
#include "formats/byte_reader.hpp"

namespace kvn::convert {

enum class PictureKind { kPreview, kStitches, kLayout };

/// Where a picture of `path` goes: `out_dir` (when given) or the directory of
/// `path`, then the file-name part of `path` without its extension, "-preview",
/// "-stitches" or "-layout", for the designs of a container "-" and the design
/// number in at least three digits (`number` 0: none), and ".png".
std::string picture_name(const std::string& path, const std::string* out_dir, PictureKind kind,
                         unsigned number);

/// Every picture of `path` in the order they are written: preview and
/// stitches of each design, then a container's layout.
std::vector<std::string> picture_names(const std::string& path, const std::string* out_dir,
                                       bool container, std::size_t designs);

/// Every picture of the image `in` of `path`, in the order they are written:
/// for a DHV container or SHV design as picture_names() tells, for a design
/// of any other format korvane reads its drawing only; an error for a file
/// that is none of these.
Result<std::vector<std::string>> preview_names(const std::string& path, const std::string* out_dir,
                                               const formats::ByteReader& in);

/// Reads `path` (unless `bytes`, already read, are given), draws every picture
/// in memory, and only then writes them, each completely or not at all
/// (pictures written before a failing one are kept). `names`, when given, are
/// preview_names() of those bytes.
InputResult run_previews(const std::string& path, const std::string* out_dir, OutputWriter& out,
                         std::optional<std::span<const std::uint8_t>> bytes = std::nullopt,
                         const std::vector<std::string>* names = nullptr);

}  // namespace kvn::convert
