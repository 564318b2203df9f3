#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kvn::test {

/// A parsed JSON value, for tests that read back what korvane prints. Numbers
/// keep their text so that "39.2" can be compared exactly.
struct JsonValue {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = Kind::kNull;
  bool boolean = false;
  std::string text;  // a number's digits, or a string's decoded bytes (\uXXXX as UTF-8)
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;

  const JsonValue& operator[](const std::string& key) const { return members.at(key); }
  const JsonValue& operator[](std::size_t i) const { return items.at(i); }
  long long integer() const { return std::stoll(text); }
};

/// True when `text` is well-formed UTF-8: no overlong forms, surrogates or
/// code points beyond U+10FFFF, no sequence cut short.
bool strict_utf8(std::string_view text);

/// Parses one whole JSON document strictly (well-formed UTF-8, RFC 8259
/// grammar, nothing after it but white space); nothing on any mistake.
std::optional<JsonValue> parse_json(std::string_view text);

}  // namespace kvn::test
