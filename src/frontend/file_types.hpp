#pragma once

#include <string>
#include <vector>

#include "frontend/dialogs.hpp"

namespace kvn::frontend {

/// The open dialog's filters: "Embroidery designs" with every extension
/// korvane reads, then one filter per format read, then "All files".
std::vector<FileType> open_file_types();

/// The save dialog's types: one per format --convert writes, in table order.
/// `format_names` gets each type's format name, as --to takes it.
std::vector<FileType> save_file_types(std::vector<std::string>* format_names = nullptr);

}  // namespace kvn::frontend
