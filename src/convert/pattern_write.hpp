#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "formats/pattern.hpp"

namespace kvn::convert {

/// The formats korvane writes a design in.
enum class DesignFormat { kShv, kDst, kExp, kJef, kPes, kSvg, kCsv, kJson };

/// The format a file name's extension or a --to value names ("shv", ".DST",
/// "garden.pes"); nullopt for any other.
std::optional<DesignFormat> design_format_named(std::string_view name);

/// "shv", "dst", ...: the extension written for `f`.
const char* extension_of(DesignFormat f);

/// The file image of `p` in format `f`; `file` names the output in refusals.
Result<std::vector<std::uint8_t>> write_pattern(const formats::Pattern& p, DesignFormat f,
                                                const std::string& file);

}  // namespace kvn::convert
