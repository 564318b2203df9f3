// A folder given as an input stands for the containers in it.
#pragma once

#include <string>
#include <vector>

#include "convert/file_io.hpp"

namespace kvn::convert {

/// True when `path` names an existing folder of `fs`.
bool is_folder(const std::string& path, FileSystem& fs);

/// The DHV containers in the folder `dir` of `fs` (by extension, in any letter
/// case), in its subfolders too when `recursive`, sorted by path.
Result<std::vector<std::string>> containers_in(const std::string& dir, bool recursive,
                                               FileSystem& fs);

}  // namespace kvn::convert
