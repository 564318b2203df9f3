#include "frontend/wildcards.hpp"

#include <algorithm>

namespace kvn::frontend {
namespace {

char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool fold_less(const std::string& a, const std::string& b) {
  const auto lt = [](char x, char y) {
    return static_cast<unsigned char>(fold(x)) < static_cast<unsigned char>(fold(y));
  };
  if (std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), lt)) return true;
  if (std::lexicographical_compare(b.begin(), b.end(), a.begin(), a.end(), lt)) return false;
  return a < b;  // names that differ in case only: still one order
}

// A UTF-8 character is one lead byte and its continuation bytes: `?` takes them all.
std::size_t character_length(std::string_view s, std::size_t i) {
  std::size_t n = 1;
  while (i + n < s.size() && (static_cast<unsigned char>(s[i + n]) & 0xC0) == 0x80) ++n;
  return n;
}

}  // namespace

bool has_wildcard(std::string_view arg) {
  return !arg.empty() && arg[0] != '-' && arg.find_first_of("*?") != std::string_view::npos;
}

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Greedy with one point to go back to: linear in practice, never exponential.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (p < pattern.size() && pattern[p] == '?') {
      ++p;
      n += character_length(name, n);
    } else if (p < pattern.size() && fold(pattern[p]) == fold(name[n])) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      resume += character_length(name, resume);
      n = resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

std::vector<std::string> expand_wildcards(const std::vector<std::string>& args,
                                          const ListMatches& list) {
  std::vector<std::string> out;
  out.reserve(args.size());
  bool options_ended = false;
  for (const auto& arg : args) {
    if (arg == "--") options_ended = true;
    const bool expand = has_wildcard(arg) || (options_ended && arg != "--" && !arg.empty() &&
                                              arg.find_first_of("*?") != std::string::npos);
    if (!expand) {
      out.push_back(arg);
      continue;
    }
    const auto cut = arg.find_last_of("/\\:");
    const std::string folder = cut == std::string::npos ? std::string() : arg.substr(0, cut + 1);
    const std::string_view pattern = std::string_view(arg).substr(folder.size());
    // A wildcard in the folder part is not expanded (as cmd's own commands do):
    // no name can match it, so the argument stays as typed.
    std::vector<std::string> names;
    if (folder.find_first_of("*?") == std::string::npos) {
      for (auto& name : list(arg))
        if (name != "." && name != ".." && wildcard_match(pattern, name))
          names.push_back(std::move(name));
    }
    if (names.empty()) {
      out.push_back(arg);
      continue;
    }
    std::sort(names.begin(), names.end(), fold_less);
    for (const auto& name : names) out.push_back(folder + name);
  }
  return out;
}

}  // namespace kvn::frontend
