#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "frontend/dialogs.hpp"
#include "korvane/korvane.hpp"

namespace kvn::frontend {

enum class Command {
  kHelp,
  kVersion,
  kFormats,
  kDialogs,
  kSplit,
  kCombine,
  kHuc,
  kInfo,
  kPreview,
  kConvert,
  kWorksheet,
  kThumbnail
};

struct Options {
  Command command = Command::kSplit;
  std::vector<std::string> files;
  std::optional<std::string> output;  // -o: the output file, or with --preview a directory
  bool json = false;                  // --info, --convert or --formats as JSON
  bool stitches = false;              // --info --json: every needle event too
  std::string to;                     // --convert: the output format
  bool combine = false;               // --convert: a container gives one design
  Turn rotate = Turn::kNone;          // --convert --rotate
  bool keep_origin = false;           // --convert --keep-origin
  bool allow_oversize = false;        // --convert --allow-oversize
  double min_stitch = 0;              // --convert: mm; shorter stitches merge into the next
  DialogChoice dialogs = DialogChoice::kAuto;
  std::optional<std::string> output_dir;  // -O: the folder for every output
  bool quiet = false;                     // -q: no line for what succeeded
  bool recursive = false;                 // -r: folders given include their subfolders
  bool force = false;                     // --force: write-protected outputs are replaced too
  PictureOptions picture;                 // --preview and --worksheet: how threads are drawn
  bool picture_options = false;           // any of them was given
  WorksheetOptions worksheet;             // --worksheet: the estimates' rules
  bool worksheet_options = false;
  unsigned thumbnail_size = 0;  // --thumbnail: pixels on the longer side
};

/// Reads an options-mode command line; on a mistake, says what in `problem`.
std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& problem);

void print_help(std::ostream& out);

}  // namespace kvn::frontend
