#include "convert/utf16.hpp"

#include <cstdint>

namespace kvn::convert {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

void append_utf8(std::string& out, std::uint32_t cp) {
  const auto byte = [&](std::uint32_t b) { out.push_back(static_cast<char>(b)); };
  if (cp < 0x80) {
    byte(cp);
  } else if (cp < 0x800) {
    byte(0xC0 | (cp >> 6));
    byte(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    byte(0xE0 | (cp >> 12));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  } else {
    byte(0xF0 | (cp >> 18));
    byte(0x80 | ((cp >> 12) & 0x3F));
    byte(0x80 | ((cp >> 6) & 0x3F));
    byte(0x80 | (cp & 0x3F));
  }
}

}  // namespace

std::u16string utf16_from_utf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    std::size_t length = 0;
    std::uint32_t cp = 0;
    std::uint32_t least = 0;
    if (c < 0x80) {
      length = 1, cp = c;
    } else if (c >= 0xC2 && c < 0xE0) {
      length = 2, cp = c & 0x1Fu, least = 0x80;
    } else if (c >= 0xE0 && c < 0xF0) {
      length = 3, cp = c & 0x0Fu, least = 0x800;
    } else if (c >= 0xF0 && c < 0xF5) {
      length = 4, cp = c & 0x07u, least = 0x10000;
    }
    bool valid = length != 0 && i + length <= utf8.size();
    for (std::size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      valid = continuation(next);
      cp = (cp << 6) | (next & 0x3Fu);
    }
    // Overlong forms and values past U+10FFFF would let two spellings name one file.
    if (!valid || cp < least || cp > 0x10FFFF) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));  // a lone surrogate comes back as itself
    }
    i += length;
  }
  return out;
}

std::string utf8_from_utf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    const std::uint32_t unit = utf16[i];
    const bool high = unit >= 0xD800 && unit < 0xDC00;
    if (high && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] < 0xE000) {
      append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (utf16[i + 1] - 0xDC00u));
      ++i;
    } else {
      append_utf8(out, unit);
    }
  }
  return out;
}

#ifdef _WIN32
std::filesystem::path path_from_utf8(std::string_view name) { return to_wide(name); }
std::string utf8_from_path(const std::filesystem::path& p) { return from_wide(p.native()); }
std::string generic_utf8_from_path(const std::filesystem::path& p) {
  return from_wide(p.generic_wstring());
}
#else
std::filesystem::path path_from_utf8(std::string_view name) { return std::string(name); }
std::string utf8_from_path(const std::filesystem::path& p) { return p.native(); }
std::string generic_utf8_from_path(const std::filesystem::path& p) { return p.generic_string(); }
#endif

}  // namespace kvn::convert
