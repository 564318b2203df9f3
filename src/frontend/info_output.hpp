#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "korvane/survey.hpp"

namespace kvn::frontend {

/// Tenths of a millimetre as millimetres with one decimal: -15 gives "-1.5".
std::string millimetres(std::int64_t tenths);

/// `bytes` as a JSON string literal, quotes included. Each byte is read as
/// the Latin-1 character of that value, since stored names carry no encoding:
/// printable ASCII stays as it is, everything else becomes a \u escape.
std::string json_string(std::string_view bytes);

/// One file's designs as an aligned table, its colours listed below it.
void print_info_table(std::ostream& out, const FileInfo& info);

/// Every report as one JSON document: {"files": [...]}, one entry per file in
/// order, with "ok" false and the "error" message for a file that failed.
void print_info_json(std::ostream& out, const std::vector<InfoReport>& reports);

}  // namespace kvn::frontend
