#pragma once

#include <optional>
#include <span>
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

/// Reads `path` (unless `bytes`, already read, are given), draws every picture
/// in memory, and only then writes them, each completely or not at all
/// (pictures written before a failing one are kept). `names`, when given, are
/// preview_names() of those bytes.
InputResult run_previews(const std::string& path, const std::string* out_dir, OutputWriter& out,
                         std::optional<std::span<const std::uint8_t>> bytes = std::nullopt,
                         const std::vector<std::string>* names = nullptr,
                         const PictureOptions& options = {});

/// Where the worksheet of `path` goes: as a picture would, named NAME-worksheet.html.
std::string worksheet_name(const std::string& path, const std::string* out_dir);

/// The worksheet's name when the image `in` gives one; an error for a file
/// that is no design korvane reads.
Result<std::vector<std::string>> worksheet_names(const std::string& path,
                                                 const std::string* out_dir,
                                                 const formats::ByteReader& in);

/// Reads `path` (unless `bytes` are given) and writes its worksheet.
InputResult run_worksheet(const std::string& path, const std::string* out_dir, OutputWriter& out,
                          std::span<const std::uint8_t> bytes, const ConvertOptions& options);

/// The drawing style that `options` ask for.
inspect::PictureStyle picture_style(const PictureOptions& options);

}  // namespace kvn::convert
