#pragma once

#include <string>
#include <string_view>

namespace kvn::convert {

/// Where the file-name part of a path begins: after its last '/' or '\'.
std::size_t file_name_start(std::string_view path);

/// The path with the extension of its file-name part replaced by "shv", or
/// ".shv" appended when the file-name part has no '.'.
std::string shv_name(std::string_view path);

/// The name of design `number` (1-based) of several: the path up to the last
/// '.' of its file-name part (or whole), then "%03d.shv".
std::string numbered_name(std::string_view path, unsigned number);

/// The path with the extension of its file-name part replaced by `ext` (or
/// "." and `ext` appended when it has none).
std::string with_extension(std::string_view path, std::string_view ext);

/// numbered_name() with the extension `ext` instead of "shv".
std::string numbered_name(std::string_view path, unsigned number, std::string_view ext);

/// The file-name part without its extension: the design name stored in an SHV file.
std::string design_name(std::string_view path);

}  // namespace kvn::convert
