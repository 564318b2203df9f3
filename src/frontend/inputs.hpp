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

/// What a folder on the command line stands for.
enum class FolderFiles {
  kContainers,  // splitting and combining: the DHV containers in it
  kDesigns,     // converting, telling and drawing: every design korvane reads
};

struct ExpandedInputs {
  std::vector<InputItem> items;
  /// What a folder held that was left out, and why: told, but no failure.
  std::vector<std::string> notes;
};

/// The inputs a command line names: a folder stands for the files in it that
/// `wanted` takes (in its subfolders too when `recursive`), sorted; a file
/// whose extension is `skip_extension` (the format being written) is left out
/// of a folder, since converting it again would only copy it onto itself. An
/// empty name is kept, to be reported in its place, since a batch reports
/// every argument.
ExpandedInputs expand_inputs(const std::vector<std::string>& args, bool recursive,
                             FolderFiles wanted, const std::string& skip_extension = {},
                             convert::FileSystem& fs = convert::real_file_system());

/// The same for the containers of a split, without the notes.
std::vector<InputItem> expand_inputs(const std::vector<std::string>& args, bool recursive,
                                     convert::FileSystem& fs = convert::real_file_system());

}  // namespace kvn::frontend
