#pragma once

#include <string_view>

namespace kvn::frontend {

/// Whether `name` matches a file-dialog pattern such as "*.DHV": '*' stands for
/// any run of characters, '?' for one, and letters match in either case, as
/// the Windows open dialog matches them (garden.dhv, garden.DHV, garden.Dhv).
/// Only ASCII letters fold; any other byte must match exactly.
inline bool matches_file_pattern(std::string_view name, std::string_view pattern) {
  auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  // Greedy match with one backtrack point, the last '*': linear for the
  // one-star patterns a dialog uses, and never recursive.
  std::size_t n = 0, p = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace kvn::frontend
