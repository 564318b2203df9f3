#include "support/mini_json.hpp"

#include <cstdint>

namespace kvn::test {
namespace {

class Parser {
 public:
  explicit Parser(std::string_view s) : s_(s) {}

  std::optional<JsonValue> document() {
    auto v = value();
    space();
    if (!v || at_ != s_.size()) return std::nullopt;
    return v;
  }

 private:
  void space() {
    while (at_ < s_.size() &&
           (s_[at_] == ' ' || s_[at_] == '\n' || s_[at_] == '\r' || s_[at_] == '\t'))
      ++at_;
  }
  bool eat(char c) {
    space();
    if (at_ < s_.size() && s_[at_] == c) return ++at_, true;
    return false;
  }
  bool word(std::string_view w) {
    if (s_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool digits() {
    const std::size_t from = at_;
    while (at_ < s_.size() && s_[at_] >= '0' && s_[at_] <= '9') ++at_;
    return at_ > from;
  }

  std::optional<JsonValue> value() {
    space();
    if (at_ >= s_.size()) return std::nullopt;
    JsonValue v;
    const char c = s_[at_];
    if (c == '{') return object();
    if (c == '[') return array();
    if (c == '"') {
      auto s = string();
      if (!s) return std::nullopt;
      v.kind = JsonValue::Kind::kString;
      v.text = *s;
      return v;
    }
    if (word("null")) return v;
    if (word("true") || word("false")) {
      v.kind = JsonValue::Kind::kBool;
      v.boolean = s_[at_ - 2] == 'u';  // "tr-u-e", not "fal-s-e"
      return v;
    }
    const std::size_t from = at_;
    if (s_[at_] == '-') ++at_;
    if (at_ < s_.size() && s_[at_] == '0')
      ++at_;
    else if (!digits())
      return std::nullopt;
    if (at_ < s_.size() && s_[at_] == '.' && (++at_, !digits())) return std::nullopt;
    if (at_ < s_.size() && (s_[at_] == 'e' || s_[at_] == 'E')) {
      ++at_;
      if (at_ < s_.size() && (s_[at_] == '+' || s_[at_] == '-')) ++at_;
      if (!digits()) return std::nullopt;
    }
    v.kind = JsonValue::Kind::kNumber;
    v.text = std::string(s_.substr(from, at_ - from));
    return v;
  }

  std::optional<std::string> string() {
    if (!eat('"')) return std::nullopt;
    std::string out;
    while (at_ < s_.size()) {
      const char c = s_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ >= s_.size()) return std::nullopt;
      const char e = s_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (s_.size() - at_ < 4) return std::nullopt;
          unsigned v = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = s_[at_++];
            v <<= 4;
            if (h >= '0' && h <= '9')
              v |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
              v |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
              v |= static_cast<unsigned>(h - 'A' + 10);
            else
              return std::nullopt;
          }
          // korvane escapes only control characters and U+FFFD: no surrogates.
          if (v >= 0xD800 && v <= 0xDFFF) return std::nullopt;
          if (v < 0x80) {
            out += static_cast<char>(v);
          } else if (v < 0x800) {
            out += static_cast<char>(0xC0 | (v >> 6));
            out += static_cast<char>(0x80 | (v & 0x3F));
          } else {
            out += static_cast<char>(0xE0 | (v >> 12));
            out += static_cast<char>(0x80 | ((v >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (v & 0x3F));
          }
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::optional<JsonValue> array() {
    JsonValue v;
    v.kind = JsonValue::Kind::kArray;
    eat('[');
    if (eat(']')) return v;
    do {
      auto item = value();
      if (!item) return std::nullopt;
      v.items.push_back(std::move(*item));
    } while (eat(','));
    if (!eat(']')) return std::nullopt;
    return v;
  }

  std::optional<JsonValue> object() {
    JsonValue v;
    v.kind = JsonValue::Kind::kObject;
    eat('{');
    if (eat('}')) return v;
    do {
      space();
      auto key = string();
      if (!key || !eat(':')) return std::nullopt;
      auto item = value();
      if (!item || v.members.count(*key)) return std::nullopt;
      v.members.emplace(*key, std::move(*item));
    } while (eat(','));
    if (!eat('}')) return std::nullopt;
    return v;
  }

  std::string_view s_;
  std::size_t at_ = 0;
};

}  // namespace

bool strict_utf8(std::string_view text) {
  // Decoded to the code point and judged by its value, apart from how korvane
  // judges the leading byte, so that the two cannot share a mistake.
  for (std::size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    std::size_t length = b < 0x80             ? 1
                         : (b & 0xE0) == 0xC0 ? 2
                         : (b & 0xF0) == 0xE0 ? 3
                         : (b & 0xF8) == 0xF0 ? 4
                                              : 0;
    if (length == 0 || text.size() - i < length) return false;
    std::uint32_t cp = length == 1 ? b : b & (0x7Fu >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(text[i + k]);
      if ((c & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (c & 0x3Fu);
    }
    static constexpr std::uint32_t kLeast[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kLeast[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

std::optional<JsonValue> parse_json(std::string_view text) {
  // RFC 8259: text exchanged between systems is UTF-8.
  if (!strict_utf8(text)) return std::nullopt;
  return Parser(text).document();
}

}  // namespace kvn::test
