#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace kvn::convert {

// Inside korvane every name is UTF-8; Windows hands names over and takes them
// back in UTF-16. Windows allows a lone surrogate in a name, which UTF-8
// cannot hold: it travels as the three bytes its code unit would take if it
// were a character (the "WTF-8" convention), so every name survives the trip
// there and back and still opens the same file.

/// UTF-16 for `utf8`; each byte that starts no valid sequence becomes U+FFFD.
std::u16string utf16_from_utf8(std::string_view utf8);
/// UTF-8 for `utf16`, lone surrogates included as above.
std::string utf8_from_utf16(std::u16string_view utf16);

#ifdef _WIN32
// wchar_t is UTF-16 on Windows: the same code units under the type its API takes.
inline std::wstring to_wide(std::string_view utf8) {
  const std::u16string u = utf16_from_utf8(utf8);
  return std::wstring(u.begin(), u.end());
}
inline std::string from_wide(std::wstring_view wide) {
  return utf8_from_utf16(std::u16string(wide.begin(), wide.end()));
}
#endif

// std::filesystem reads a narrow name in the ANSI code page on Windows, where
// "\xE8\x8A\xB1.dhv" would become another name or an exception: every path
// made from one of korvane's names, and every name taken from a path, goes
// through these.
/// The path named by the UTF-8 `name`.
std::filesystem::path path_from_utf8(std::string_view name);
/// The UTF-8 name of `p`, with the system's own separators.
std::string utf8_from_path(const std::filesystem::path& p);
/// The UTF-8 name of `p`, with '/' as the separator.
std::string generic_utf8_from_path(const std::filesystem::path& p);

}  // namespace kvn::convert
