#include "inspect/text_out.hpp"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace kvn::inspect {
namespace {

constexpr const char* kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

}  // namespace

std::size_t utf8_sequence(std::string_view s) {
  if (s.empty()) return 0;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b = byte(0);
  if (b < 0x80) return 1;
  std::size_t n = 0;
  unsigned char lo = 0x80, hi = 0xBF;  // the allowed range of the second byte
  if (b >= 0xC2 && b <= 0xDF) {
    n = 2;
  } else if (b >= 0xE0 && b <= 0xEF) {
    n = 3;
    if (b == 0xE0) lo = 0xA0;  // overlong
    if (b == 0xED) hi = 0x9F;  // surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    n = 4;
    if (b == 0xF0) lo = 0x90;  // overlong
    if (b == 0xF4) hi = 0x8F;  // beyond U+10FFFF
  } else {
    return 0;
  }
  if (s.size() < n || byte(1) < lo || byte(1) > hi) return 0;
  for (std::size_t i = 2; i < n; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return n;
}

bool valid_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t n = utf8_sequence(bytes);
    if (n == 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}

std::string json_string(std::string_view bytes, JsonEscapes style) {
  const bool lower = style == JsonEscapes::kLowerHex;
  std::string s = "\"";
  while (!bytes.empty()) {
    const std::size_t n = utf8_sequence(bytes);
    if (n == 0) {
      s += lower ? "\\ufffd" : "\\uFFFD";
      bytes.remove_prefix(1);
      continue;
    }
    const auto b = static_cast<unsigned char>(bytes[0]);
    const char* short_form = nullptr;
    if (!lower) {
      switch (b) {
        case '\b':
          short_form = "\\b";
          break;
        case '\f':
          short_form = "\\f";
          break;
        case '\n':
          short_form = "\\n";
          break;
        case '\r':
          short_form = "\\r";
          break;
        case '\t':
          short_form = "\\t";
          break;
        default:
          break;
      }
    }
    if (b == '"' || b == '\\') {
      s += '\\';
      s += bytes[0];
    } else if (short_form) {
      s += short_form;
    } else if (b < 0x20 || (lower && b == 0x7F)) {
      char esc[8];
      std::snprintf(esc, sizeof esc, lower ? "\\u%04x" : "\\u%04X", b);
      s += esc;
    } else {
      s.append(bytes.substr(0, n));
    }
    bytes.remove_prefix(n);
  }
  return s + "\"";
}

std::string xml_text(std::string_view bytes) {
  std::string r;
  while (!bytes.empty()) {
    const std::size_t n = utf8_sequence(bytes);
    if (n == 0) {
      r += kReplacement;
      bytes.remove_prefix(1);
      continue;
    }
    const std::string_view ch = bytes.substr(0, n);
    const auto b = static_cast<unsigned char>(ch[0]);
    if (ch == "<")
      r += "&lt;";
    else if (ch == ">")
      r += "&gt;";
    else if (ch == "&")
      r += "&amp;";
    else if (ch == "\"")
      r += "&quot;";
    else if (b < 0x20 || b == 0x7F || ch == "\xEF\xBF\xBE" || ch == "\xEF\xBF\xBF")
      r += '?';
    else
      r += ch;
    bytes.remove_prefix(n);
  }
  return r;
}

std::string printable(std::string_view bytes) {
  std::string s;
  for (const char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x20 && b < 0x7F && b != '\\') {
      s += ch;
    } else {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\x%02X", b);
      s += esc;
    }
  }
  return s;
}

std::string aligned_rows(const std::vector<std::vector<std::string>>& rows,
                         const std::vector<bool>& right) {
  std::string out;
  if (rows.empty()) return out;
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& r : rows)
    for (std::size_t c = 0; c < r.size() && c < widths.size(); ++c)
      widths[c] = std::max(widths[c], r[c].size());
  for (const auto& r : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < r.size() && c < widths.size(); ++c) {
      line += ' ';
      const std::string pad(widths[c] - r[c].size(), ' ');
      const bool last = c + 1 == r.size();
      line += c < right.size() && right[c] ? pad + r[c] : r[c] + (last ? "" : pad);
      if (!last) line += ' ';
    }
    out += line;
    out += '\n';
  }
  return out;
}

namespace {

// One list of names for both kinds of needle op: the pattern's and the one
// the C++ interface reports, numbered alike.
constexpr const char* kOpNames[] = {"stitch", "jump", "trim", "colour_change", "stop", "end"};

template <class Op>
constexpr bool numbered_as_names() {
  return static_cast<int>(Op::kStitch) == 0 && static_cast<int>(Op::kJump) == 1 &&
         static_cast<int>(Op::kTrim) == 2 && static_cast<int>(Op::kColourChange) == 3 &&
         static_cast<int>(Op::kStop) == 4 && static_cast<int>(Op::kEnd) == 5;
}
static_assert(numbered_as_names<formats::NeedleOp>() && numbered_as_names<EventOp>());

template <class Op>
const char* name_of(Op op) {
  const auto i = static_cast<std::size_t>(op);
  return i < std::size(kOpNames) ? kOpNames[i] : kOpNames[0];
}

}  // namespace

const char* op_name(formats::NeedleOp op) { return name_of(op); }
const char* op_name(EventOp op) { return name_of(op); }

std::string hex_colour(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", r, g, b);
  return buf;
}

JsonWriter& JsonWriter::key(std::string_view k) {
  item();
  out_ += json_string(k);
  out_ += ": ";
  after_key_ = true;
  return *this;
}

JsonWriter& JsonWriter::name_field(std::string_view k, std::string_view v) {
  field(k, v);
  if (valid_utf8(v)) return *this;
  key(std::string(k) + "_bytes").open_array(true);
  for (const char ch : v) number(std::uint64_t{static_cast<unsigned char>(ch)});
  return close_array();
}

JsonWriter& JsonWriter::raw(std::string_view v) {
  item();
  out_ += v;
  return *this;
}

JsonWriter& JsonWriter::open(char c, bool compact) {
  item();
  out_ += c;
  levels_.push_back({true, compact || (!levels_.empty() && levels_.back().compact)});
  return *this;
}

JsonWriter& JsonWriter::close(char c) {
  const Level l = levels_.back();
  levels_.pop_back();
  if (!l.empty && !l.compact) newline();
  out_ += c;
  return *this;
}

// Separates this value from the one before it in the enclosing level.
void JsonWriter::item() {
  if (after_key_) {
    after_key_ = false;
    return;
  }
  if (levels_.empty()) return;
  Level& l = levels_.back();
  if (!l.empty) out_ += l.compact ? ", " : ",";
  if (!l.compact) newline();
  l.empty = false;
}

void JsonWriter::newline() {
  out_ += '\n';
  out_.append(2 * levels_.size(), ' ');
}

}  // namespace kvn::inspect
