#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/output_plan.hpp"
#include "convert/pattern_write.hpp"
#include "formats/file_kind.hpp"
#include "korvane/korvane.hpp"

namespace kvn::convert {

/// One input of a run as planned: read once, its output names derived once;
/// converting it uses what the plan holds.
struct PlannedInput {
  std::string input;
  std::optional<std::string> output;  // -o, or the input's place in the output folder
  /// The input's bytes, or why it could not be read (its conversion says so).
  Result<std::vector<std::uint8_t>> bytes = std::vector<std::uint8_t>{};
  formats::ContentKind kind = formats::ContentKind::kUnknown;
  /// The files it gives, in order; unset when they could not be told (an input
  /// malformed or of another kind), which its conversion then reports.
  std::optional<std::vector<std::string>> names;
  /// The format --convert writes it in.
  std::optional<const formats::Format*> format;
};

/// A whole run: every input planned, and every output refused that may not
/// be written. When anything is refused, nothing may be converted.
struct Plan {
  std::vector<PlannedInput> inputs;
  std::vector<Error> refusals;
};

/// Plans a run of `what` over `inputs`, each with its own output (`outputs`
/// runs beside `inputs`, or is empty).
Plan plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                     const std::vector<std::string>& outputs, FileSystem& fs,
                     const ConvertOptions& options = {});

/// The same with one output for every input, or none.
Plan plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                     const std::string* output, FileSystem& fs, const ConvertOptions& options = {});

/// What `output` means for `input` when the outputs go to folder `dir`: the
/// folder itself for pictures and conversions (which name their outputs
/// there), else the input's SHV name inside it.
std::string output_in_folder(Conversion what, const std::string& input, const std::string& dir);

/// Converts one planned input through `out`, consuming what the plan holds
/// for it.
InputResult convert_input(Conversion what, PlannedInput&& planned, OutputWriter& out,
                          const ConvertOptions& options = {});

}  // namespace kvn::convert
