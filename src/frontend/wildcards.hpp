#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kvn::frontend {

// Windows leaves wildcards to the program: cmd passes `*.dhv` as it is typed.

/// True when `arg` holds `*` or `?` and is not an option.
bool has_wildcard(std::string_view arg);

/// Whether `name` matches `pattern` (`*` any run, `?` one character),
/// ignoring ASCII case as Windows names do.
bool wildcard_match(std::string_view pattern, std::string_view name);

/// The names in a folder that may match `pattern` (a whole argument, folder
/// part included); they are checked again here, so a superset is fine.
using ListMatches = std::function<std::vector<std::string>(const std::string& pattern)>;

/// `args` with every argument that has_wildcard() replaced by the names it
/// matches, in order and with its folder part kept; one that matches nothing
/// stays as it is, so the error names what was typed.
std::vector<std::string> expand_wildcards(const std::vector<std::string>& args,
                                          const ListMatches& list);

}  // namespace kvn::frontend
