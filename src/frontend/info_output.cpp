#include "frontend/info_output.hpp"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <type_traits>

namespace kvn::frontend {
namespace {

// Writes JSON with two-space indentation; objects opened `compact` keep their
// members on one line, for the many small records such as colours.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out) : out_(out) {}

  JsonWriter& open_object(bool compact = false) { return open('{', compact); }
  JsonWriter& open_array(bool compact = false) { return open('[', compact); }
  JsonWriter& close_object() { return close('}'); }
  JsonWriter& close_array() { return close(']'); }

  JsonWriter& key(std::string_view k) {
    item();
    out_ << json_string(k) << ": ";
    after_key_ = true;
    return *this;
  }
  JsonWriter& string(std::string_view v) { return raw(json_string(v)); }
  // A name as stored: the text, and its bytes too when they are not UTF-8.
  JsonWriter& name_field(std::string_view k, std::string_view v) {
    field(k, v);
    if (valid_utf8(v)) return *this;
    key(std::string(k) + "_bytes").open_array(true);
    for (const char ch : v) number(std::uint64_t{static_cast<unsigned char>(ch)});
    return close_array();
  }
  JsonWriter& number(std::int64_t v) { return raw(std::to_string(v)); }
  JsonWriter& number(std::uint64_t v) { return raw(std::to_string(v)); }
  JsonWriter& boolean(bool v) { return raw(v ? "true" : "false"); }
  JsonWriter& null() { return raw("null"); }
  JsonWriter& raw(std::string_view v) {
    item();
    out_ << v;
    return *this;
  }

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

 private:
  struct Level {
    bool empty = true;
    bool compact = false;
  };

  JsonWriter& open(char c, bool compact) {
    item();
    out_ << c;
    levels_.push_back({true, compact || (!levels_.empty() && levels_.back().compact)});
    return *this;
  }
  JsonWriter& close(char c) {
    const Level l = levels_.back();
    levels_.pop_back();
    if (!l.empty && !l.compact) newline();
    out_ << c;
    return *this;
  }
  // Separates this value from the one before it in the enclosing level.
  void item() {
    if (after_key_) {
      after_key_ = false;
      return;
    }
    if (levels_.empty()) return;
    Level& l = levels_.back();
    if (!l.empty) out_ << (l.compact ? ", " : ",");
    if (!l.compact) newline();
    l.empty = false;
  }
  void newline() { out_ << '\n' << std::string(2 * levels_.size(), ' '); }

  std::ostream& out_;
  std::vector<Level> levels_;
  bool after_key_ = false;
};

// A name for the terminal: bytes that could move the cursor or start a
// multi-byte sequence are shown as \xNN.
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

std::string hex_byte(std::uint8_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%02X", v);
  return buf;
}

std::string size_text(const DesignInfo& d) {
  return millimetres(d.width) + " x " + millimetres(d.height);
}

std::string dimension_text(const DesignInfo& d) {
  return std::string(d.long_dimension_block ? "long" : "short") + " " +
         std::to_string(d.scanlines) + " x " + std::to_string(d.pixels) + ", offset " +
         std::to_string(d.x_offset) + ", " + std::to_string(d.y_offset);
}

const char* event_name(EventOp op) {
  switch (op) {
    case EventOp::kStitch:
      return "stitch";
    case EventOp::kJump:
      return "jump";
    case EventOp::kTrim:
      return "trim";
    case EventOp::kColourChange:
      return "colour_change";
    case EventOp::kStop:
      return "stop";
    case EventOp::kEnd:
      return "end";
  }
  return "stitch";
}

// The needle events, blocks counted from 1, a colour change in the block it ends.
void write_events(JsonWriter& j, const DesignInfo& d) {
  if (!d.has_events) return;
  if (!d.events_error.empty()) {
    j.key("events").null();
    j.field("events_error", d.events_error);
    return;
  }
  j.key("events").open_array();
  std::uint64_t block = 1;
  for (const auto& e : d.events) {
    j.open_object(true);
    j.field("x", e.x).field("y", e.y).field("op", std::string(event_name(e.op)));
    j.field("block", block);
    j.close_object();
    if (e.op == EventOp::kColourChange) ++block;
  }
  j.close_array();
}

std::string hex_colour(const ThreadInfo& t) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "#%02x%02x%02x", t.r, t.g, t.b);
  return buf;
}

void write_pattern_design(JsonWriter& j, const DesignInfo& d) {
  j.open_object();
  j.field("number", d.number);
  j.name_field("name", d.name);
  j.field("bytes", d.bytes);
  j.key("width_mm").raw(millimetres(d.width));
  j.key("height_mm").raw(millimetres(d.height));
  j.key("extents").open_object(true);
  j.field("x0", d.x0).field("y0", d.y0).field("x1", d.x1).field("y1", d.y1);
  j.close_object();
  j.field("hoop", std::string(hoop_class_name(d.hoop)));
  j.field("colour_count", d.blocks);
  j.key("threads").open_array();
  for (const auto& t : d.threads) {
    j.open_object(true);
    j.field("rgb", hex_colour(t));
    j.name_field("name", t.name);
    j.name_field("catalogue", t.catalogue);
    j.field("stitches", t.stitches);
    j.close_object();
  }
  j.close_array();
  j.field("stitches", d.stitch_count).field("jumps", d.jump_count);
  j.field("trims", d.trim_count).field("stops", d.stop_count);
  write_events(j, d);
  j.close_object();
}

void print_pattern_table(std::ostream& out, const FileInfo& info);

void write_design(JsonWriter& j, const DesignInfo& d, bool has_preview) {
  j.open_object();
  j.field("number", d.number);
  j.name_field("name", d.name);
  j.field("offset", d.offset);
  j.field("bytes", d.bytes);
  j.key("width_mm").raw(millimetres(d.width));
  j.key("height_mm").raw(millimetres(d.height));
  j.key("extents").open_object(true);
  j.field("x0", d.x0).field("y0", d.y0).field("x1", d.x1).field("y1", d.y1);
  j.close_object();
  j.field("hoop", std::string(hoop_class_name(d.hoop)));
  j.field("hoop_code", d.hoop_code);
  j.key("placement_mm");
  if (d.in_container) {
    j.open_object(true);
    j.key("x").raw(millimetres(d.placement_x));
    j.key("y").raw(millimetres(d.placement_y));
    j.close_object();
  } else {
    j.null();
  }
  j.field("colour_count", d.colours.size());
  j.key("colours").open_array();
  for (const auto& c : d.colours) {
    j.open_object(true);
    j.field("code", c.code).field("words", c.words).field("preview_value", c.preview_value);
    j.close_object();
  }
  j.close_array();
  j.field("stitch_words", d.stitch_words);
  if (!has_preview) {
    j.key("dimension_block").null();
    j.key("preview").null();
    write_events(j, d);
    j.close_object();
    return;
  }
  j.key("dimension_block").open_object(true);
  j.field("form", std::string(d.long_dimension_block ? "long" : "short"));
  j.field("scanlines", d.scanlines).field("pixels", d.pixels);
  j.field("x_offset_mm", d.x_offset).field("y_offset_mm", d.y_offset);
  j.close_object();
  j.key("preview").open_object(true);
  j.field("rows", d.scanlines).field("pixels_per_row", d.pixels).field("bytes", d.preview_bytes);
  j.close_object();
  write_events(j, d);
  j.close_object();
}

// Length of the well-formed UTF-8 sequence at the start of `s`, or 0.
std::size_t utf8_sequence(std::string_view s) {
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

}  // namespace

bool valid_utf8(std::string_view bytes) {
  while (!bytes.empty()) {
    const std::size_t n = utf8_sequence(bytes);
    if (n == 0) return false;
    bytes.remove_prefix(n);
  }
  return true;
}

std::string json_string(std::string_view bytes) {
  std::string s = "\"";
  while (!bytes.empty()) {
    const std::size_t n = utf8_sequence(bytes);
    const auto b = static_cast<unsigned char>(bytes[0]);
    if (n == 0) {
      s += "\\uFFFD";
      bytes.remove_prefix(1);
      continue;
    }
    if (n == 1 && (b == '"' || b == '\\')) {
      s += '\\';
      s += bytes[0];
    } else if (n == 1 && b < 0x20) {
      switch (b) {
        case '\b':
          s += "\\b";
          break;
        case '\f':
          s += "\\f";
          break;
        case '\n':
          s += "\\n";
          break;
        case '\r':
          s += "\\r";
          break;
        case '\t':
          s += "\\t";
          break;
        default: {
          char esc[8];
          std::snprintf(esc, sizeof esc, "\\u%04X", b);
          s += esc;
        }
      }
    } else {
      s.append(bytes.substr(0, n));
    }
    bytes.remove_prefix(n);
  }
  return s + "\"";
}

void print_info_table(std::ostream& out, const FileInfo& info) {
  if (info.kind == FileKind::kPattern) return print_pattern_table(out, info);
  const bool container = info.kind == FileKind::kContainer;
  const bool huc = info.kind == FileKind::kHucDesign;
  out << info.file << ": "
      << (container ? "DHV container"
          : huc     ? "HUC design"
                    : "SHV design")
      << " \"" << printable(info.name) << "\", ";
  if (container)
    out << info.designs.size() << (info.designs.size() == 1 ? " design, " : " designs, ");
  out << info.bytes << " bytes\n";

  std::vector<std::vector<std::string>> rows = {{"#", "name", "size mm", "hoop", "code",
                                                 "placement mm", "colours", "words",
                                                 "dimension block", "preview bytes"}};
  for (const auto& d : info.designs)
    rows.push_back(
        {std::to_string(d.number), printable(d.name), size_text(d), hoop_class_name(d.hoop),
         hex_byte(d.hoop_code),
         d.in_container ? millimetres(d.placement_x) + ", " + millimetres(d.placement_y) : "-",
         std::to_string(d.colours.size()), std::to_string(d.stitch_words),
         huc ? "-" : dimension_text(d), huc ? "-" : std::to_string(d.preview_bytes)});
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& r : rows)
    for (std::size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], r[c].size());
  for (const auto& r : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < r.size(); ++c) {
      line += ' ';
      // Numbers line up on the right, words on the left.
      const bool right = c == 0 || c == 6 || c == 7 || c == 9;
      const std::string pad(widths[c] - r[c].size(), ' ');
      line += right ? pad + r[c] : r[c] + (c + 1 < r.size() ? pad : "");
      if (c + 1 < r.size()) line += ' ';
    }
    out << line << "\n";
  }
  for (const auto& d : info.designs) {
    out << "  colours of design " << d.number << ":";
    if (d.colours.empty()) out << " none";
    for (std::size_t i = 0; i < d.colours.size(); ++i)
      out << (i ? ", " : " ") << "code " << unsigned{d.colours[i].code} << ": "
          << d.colours[i].words << (d.colours[i].words == 1 ? " word" : " words");
    out << "\n";
  }
}

namespace {

const char* kind_text(FileKind kind) {
  switch (kind) {
    case FileKind::kContainer:
      return "container";
    case FileKind::kDesign:
      return "design";
    case FileKind::kHucDesign:
      return "huc";
    case FileKind::kPattern:
      return "pattern";
  }
  return "design";
}

// Rows of cells, columns as wide as their widest cell; the columns in
// `right` line up on the right.
void print_rows(std::ostream& out, const std::vector<std::vector<std::string>>& rows,
                const std::vector<bool>& right) {
  std::vector<std::size_t> widths(rows[0].size(), 0);
  for (const auto& r : rows)
    for (std::size_t c = 0; c < r.size(); ++c) widths[c] = std::max(widths[c], r[c].size());
  for (const auto& r : rows) {
    std::string line = " ";
    for (std::size_t c = 0; c < r.size(); ++c) {
      line += ' ';
      const std::string pad(widths[c] - r[c].size(), ' ');
      line += right[c] ? pad + r[c] : r[c] + (c + 1 < r.size() ? pad : "");
      if (c + 1 < r.size()) line += ' ';
    }
    out << line << "\n";
  }
}

}  // namespace

namespace {

void print_pattern_table(std::ostream& out, const FileInfo& info) {
  out << info.file << ": " << info.format << " design \"" << printable(info.name) << "\", "
      << info.bytes << " bytes\n";
  std::vector<std::vector<std::string>> rows = {
      {"#", "name", "size mm", "hoop", "colours", "stitches", "jumps", "trims"}};
  for (const auto& d : info.designs)
    rows.push_back({std::to_string(d.number), printable(d.name), size_text(d),
                    hoop_class_name(d.hoop), std::to_string(d.blocks),
                    std::to_string(d.stitch_count), std::to_string(d.jump_count),
                    std::to_string(d.trim_count)});
  print_rows(out, rows, {true, false, false, false, true, true, true, true});
  for (const auto& d : info.designs) {
    out << "  colours of design " << d.number << ":";
    if (d.threads.empty())
      out << " " << d.blocks << (d.blocks == 1 ? " block" : " blocks")
          << ", the file stores no colours";
    for (std::size_t i = 0; i < d.threads.size(); ++i) {
      const auto& t = d.threads[i];
      out << (i ? ", " : " ") << hex_colour(t);
      if (!t.name.empty()) out << " " << printable(t.name);
      if (!t.catalogue.empty()) out << " (" << printable(t.catalogue) << ")";
      out << ": " << t.stitches << (t.stitches == 1 ? " stitch" : " stitches");
    }
    out << "\n";
  }
}

}  // namespace

void print_info_json(std::ostream& out, const std::vector<Result<FileInfo>>& results) {
  JsonWriter j(out);
  j.open_object();
  j.key("files").open_array();
  for (const auto& r : results) {
    j.open_object();
    if (!r) {
      j.name_field("file", r.error().file);
      j.field("ok", false);
      j.field("error", r.error().message());
      j.close_object();
      continue;
    }
    const auto& f = *r;
    j.name_field("file", f.file);
    j.field("ok", true);
    j.field("kind", std::string(kind_text(f.kind)));
    if (f.kind == FileKind::kPattern) j.field("format", f.format);
    j.name_field("name", f.name);
    j.field("bytes", f.bytes);
    j.field("design_count", f.designs.size());
    j.key("designs").open_array();
    for (const auto& d : f.designs) {
      if (f.kind == FileKind::kPattern)
        write_pattern_design(j, d);
      else
        write_design(j, d, f.kind != FileKind::kHucDesign);
    }
    j.close_array();
    j.close_object();
  }
  j.close_array();
  j.close_object();
  out << "\n";
}

}  // namespace kvn::frontend
