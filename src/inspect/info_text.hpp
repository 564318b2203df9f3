#pragma once

#include <string>
#include <vector>

#include "korvane/survey.hpp"

namespace kvn::inspect {

/// One file's designs as an aligned table, its colours listed below it.
std::string info_table(const FileInfo& info);

/// Every result as one JSON document: {"files": [...]}, one entry per file in
/// order, with "ok" false and the "error" message for a file that failed. A
/// file or design name that is not valid UTF-8 also comes as its bytes
/// ("file_bytes", "name_bytes"), so that a script can still open the file.
/// Ends with a newline.
std::string info_json(const std::vector<Result<FileInfo>>& results);

}  // namespace kvn::inspect
