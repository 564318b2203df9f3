#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/millimetres.hpp"
#include "korvane/survey.hpp"

namespace kvn::frontend {

using inspect::millimetres;

/// `bytes` as a JSON string literal, quotes included. Valid UTF-8 stays as it
/// is and only what JSON requires is escaped (quote, backslash, control
/// characters); each byte that is not part of valid UTF-8 becomes \uFFFD.
std::string json_string(std::string_view bytes);

/// True when `bytes` is well-formed UTF-8 (no overlong forms, no surrogates,
/// nothing beyond U+10FFFF).
bool valid_utf8(std::string_view bytes);

/// One file's designs as an aligned table, its colours listed below it.
void print_info_table(std::ostream& out, const FileInfo& info);

/// Every result as one JSON document: {"files": [...]}, one entry per file in
/// order, with "ok" false and the "error" message for a file that failed. A
/// file or design name that is not valid UTF-8 also comes as its bytes
/// ("file_bytes", "name_bytes"), so that a script can still open the file.
void print_info_json(std::ostream& out, const std::vector<Result<FileInfo>>& results);

}  // namespace kvn::frontend
