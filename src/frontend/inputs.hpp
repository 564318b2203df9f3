#pragma once

#include <optional>
#include <string>
#include <vector>

#include "convert/file_io.hpp"

namespace kvn::frontend {

/// One input as given, or the words saying why it cannot be converted.
struct InputItem {
  std::string file;
  std::optional<std::string> problem;
  friend bool operator==(const InputItem&, const InputItem&) = default;
};

/// The inputs a command line names: a folder stands for the containers in it
/// (in its subfolders too when `recursive`); an empty name is kept, to be
/// reported in its place, since a batch reports every argument.
std::vector<InputItem> expand_inputs(const std::vector<std::string>& args, bool recursive,
                                     convert::FileSystem& fs = convert::real_file_system());

}  // namespace kvn::frontend
