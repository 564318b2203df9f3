#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern.hpp"

namespace kvn::convert {

/// The format korvane writes that a file name's extension or a --to value
/// names ("shv", ".DST", "garden.pes"); nullptr for any other.
const formats::Format* writable_format_named(std::string_view name);

/// The file image of `p` in format `kind`; `file` names the output in refusals.
Result<std::vector<std::uint8_t>> write_pattern(const formats::Pattern& p, formats::ContentKind kind,
                                                const std::string& file);

/// The same bytes as write_pattern(), handed to `sink`: a document piece by
/// piece as it is made, a design file whole (it is a few bytes a stitch).
/// Nothing is put when the design is refused.
Status stream_pattern(const formats::Pattern& p, formats::ContentKind kind, const std::string& file,
                      ByteSink& sink);

}  // namespace kvn::convert
