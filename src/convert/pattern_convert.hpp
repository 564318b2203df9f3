#pragma once

#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/output_plan.hpp"
#include "convert/pattern_write.hpp"
#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"
#include "korvane/korvane.hpp"

namespace kvn::convert {

/// The designs of a DHV container as patterns: each design on its own, or
/// with `combine` one pattern of all of them placed as combining places them.
/// Where combining refuses them and they are put together all the same,
/// `beyond_combining` receives combining's refusal.
Result<std::vector<formats::Pattern>> container_patterns(
    const formats::ByteReader& in, bool combine,
    std::optional<Error>* beyond_combining = nullptr);

/// The format a --convert run writes: `options.to`, else the extension of
/// `output` when that names a file, else SHV.
Result<const formats::Format*> target_format(const ConvertOptions& options, const std::string* output,
                                   bool output_is_folder);

/// True when `output` names a folder: it ends in a separator or is one.
bool names_folder(const std::string* output, FileSystem& fs);

/// The files --convert makes of the image `in` of `input`, in order.
Result<std::vector<std::string>> converted_names(const std::string& input,
                                                 const std::string* output,
                                                 const ConvertOptions& options,
                                                 const formats::ByteReader& in, FileSystem& fs);

/// What a plan already knows of an input of --convert.
struct PlannedConversion {
  std::span<const std::uint8_t> bytes;    // the input's, read once
  const std::vector<std::string>* names;  // converted_names() of them, when they could be told
  std::optional<const formats::Format*> format;     // target_format(), when it could be told
  std::vector<std::uint8_t>* owner = nullptr;  // holds `bytes`, freed once the designs are read
};

/// Converts `input` into every file of converted_names(): several are each
/// encoded and checked before the first is written, one is written as it is
/// encoded and checked before it takes its name. Reads and names the input
/// where `planned` does not tell. The input's bytes are freed once its designs
/// are read, the plan's too where it names their owner.
InputResult convert_pattern(const std::string& input, const std::string* output,
                            const ConvertOptions& options, OutputWriter& out,
                            const PlannedConversion* planned = nullptr);

}  // namespace kvn::convert
