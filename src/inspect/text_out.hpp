#pragma once

// The text every front end and writer puts names into: names come from files
// and may hold any byte, so each kind of document gets them here, made safe
// for it once.

#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "formats/pattern.hpp"
#include "korvane/survey.hpp"

namespace kvn::inspect {

/// Length of the well-formed UTF-8 sequence at the start of `s` (no overlong
/// forms, no surrogates, nothing beyond U+10FFFF), or 0 for none or empty `s`.
std::size_t utf8_sequence(std::string_view s);

/// True when `bytes` is well-formed UTF-8 throughout.
bool valid_utf8(std::string_view bytes);

/// How a JSON string writes the characters JSON will not take as they are.
enum class JsonEscapes {
  kShort,     // \b \f \n \r \t, other controls as \u00XX; ill-formed bytes \uFFFD
  kLowerHex,  // every control and DEL as \u00xx; ill-formed bytes \ufffd
};

/// `bytes` as a JSON string literal, quotes included. Well-formed UTF-8 stays
/// as it is and only what `style` names is escaped; each byte that is not part
/// of well-formed UTF-8 becomes U+FFFD, so the document is always UTF-8.
std::string json_string(std::string_view bytes, JsonEscapes style = JsonEscapes::kShort);

/// `bytes` as XML character data, fit for an element or a quoted attribute:
/// < > & " as entities, characters XML 1.0 does not allow or a drawing cannot
/// show (controls, DEL, U+FFFE, U+FFFF) as '?', each byte that is not part of
/// well-formed UTF-8 as U+FFFD.
std::string xml_text(std::string_view bytes);

/// `bytes` for a terminal: printable ASCII, and every other byte, which could
/// move the cursor or start a multi-byte sequence, as \xNN (backslash too).
std::string printable(std::string_view bytes);

/// Rows of cells, one line each, columns as wide as their widest cell and two
/// spaces apart, two spaces before the first; columns where `right` is true
/// line up on the right. The last column has no padding after it.
std::string aligned_rows(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right);

/// "stitch", "jump", "trim", "colour_change", "stop" or "end".
const char* op_name(formats::NeedleOp op);
const char* op_name(EventOp op);

/// "#rrggbb", lower case.
std::string hex_colour(std::uint8_t r, std::uint8_t g, std::uint8_t b);

/// Writes JSON with two-space indentation into a string; objects opened
/// `compact` keep their members on one line, for the many small records.
class JsonWriter {
 public:
  JsonWriter& open_object(bool compact = false) { return open('{', compact); }
  JsonWriter& open_array(bool compact = false) { return open('[', compact); }
  JsonWriter& close_object() { return close('}'); }
  JsonWriter& close_array() { return close(']'); }

  JsonWriter& key(std::string_view k);
  JsonWriter& string(std::string_view v) { return raw(json_string(v)); }
  /// A name as stored: the text, and when it is not UTF-8 its bytes too as
  /// `k`_bytes, so that a script can still find the file.
  JsonWriter& name_field(std::string_view k, std::string_view v);
  JsonWriter& number(std::int64_t v) { return raw(std::to_string(v)); }
  JsonWriter& number(std::uint64_t v) { return raw(std::to_string(v)); }
  JsonWriter& boolean(bool v) { return raw(v ? "true" : "false"); }
  JsonWriter& null() { return raw("null"); }
  /// `v` as it is: a number already written as text.
  JsonWriter& raw(std::string_view v);

  template <class T>
  JsonWriter& field(std::string_view k, const T& v) {
    key(k);
    if constexpr (std::is_same_v<T, bool>)
      return boolean(v);
    else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>)
      return number(static_cast<std::int64_t>(v));
    else if constexpr (std::is_integral_v<T>)
      return number(static_cast<std::uint64_t>(v));
    else
      return string(v);
  }

  const std::string& text() const { return out_; }
  std::string take() { return std::move(out_); }

 private:
  struct Level {
    bool empty = true;
    bool compact = false;
  };

  JsonWriter& open(char c, bool compact);
  JsonWriter& close(char c);
  void item();
  void newline();

  std::string out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
};

}  // namespace kvn::inspect
