#pragma once

#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/output_plan.hpp"
#include "korvane/korvane.hpp"

namespace kvn::convert {

/// The refusals of a whole run of `what` over `inputs`: every input is read
/// to learn how many files it gives. An input that cannot be read or is
/// malformed plans no outputs; converting it reports why.
std::vector<Error> plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                                   const std::string* output, FileSystem& fs,
                                   const ConvertOptions& options = {});

/// The same, with each input's own output (`outputs` runs beside `inputs`).
std::vector<Error> plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                                   const std::vector<std::string>& outputs, FileSystem& fs,
                                   const ConvertOptions& options = {});

/// What `output` means for `input` when the outputs go to folder `dir`: the
/// folder itself for pictures and conversions (which name their outputs
/// there), else the input's SHV name inside it.
std::string output_in_folder(Conversion what, const std::string& input, const std::string& dir);

/// Converts one input of a run through `out`.
InputResult convert_input(Conversion what, const std::string& input, const std::string* output,
                          OutputWriter& out, const ConvertOptions& options = {});

}  // namespace kvn::convert
