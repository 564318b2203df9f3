#include "inspect/format_listing.hpp"

#include <algorithm>
#include <vector>

#include "formats/format_table.hpp"
#include "inspect/millimetres.hpp"

namespace kvn::inspect {
namespace {

using formats::Family;
using formats::Format;
using formats::WriterLimits;

const char* what_of(Family family) {
  switch (family) {
    case Family::kContainer:
      return "container";
    case Family::kMakers:
    case Family::kOther:
      return "design";
    case Family::kPicture:
      return "picture";
    case Family::kDocument:
      return "document";
  }
  return "";
}

std::string thousands(std::size_t n) {
  std::string digits = std::to_string(n), s;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
    s += digits[i];
  }
  return s;
}

// What a file of the format holds, in the words a user checks a design against.
std::string limits_text(const Format& f) {
  if (!f.writable) return "";
  if (f.family == Family::kDocument || f.family == Family::kPicture) return "every needle event";
  const WriterLimits& l = f.limits;
  std::vector<std::string> parts;
  if (l.longest_stitch != 0 && l.longest_stitch == l.longest_jump) {
    parts.push_back("steps up to " + millimetres(l.longest_stitch) + " mm");
  } else {
    if (l.longest_stitch != 0) parts.push_back("stitches up to " + millimetres(l.longest_stitch) + " mm");
    if (l.longest_jump != 0) parts.push_back("jumps up to " + millimetres(l.longest_jump) + " mm");
    if (l.longest_stitch != 0 && l.longest_jump == 0) parts.push_back("jumps of any length");
  }
  if (!l.colours)
    parts.push_back("no colours");
  else if (l.most_colours != 0)
    parts.push_back(thousands(l.most_colours) + " colours");
  if (*l.chart) parts.push_back("threads from the " + std::string(l.chart) + " chart");
  if (l.most_stitches != 0) parts.push_back(thousands(l.most_stitches) + " stitch words");
  parts.push_back(l.trims ? "trims" : "trims as jumps");
  parts.push_back(l.stops ? "stops" : "stops as colour changes");
  std::string s;
  for (const auto& p : parts) s += (s.empty() ? "" : "; ") + p;
  return s;
}

// A container is read whole, design by design, rather than as one pattern.
bool reads(const Format& f) { return f.read || f.family == Family::kContainer; }

std::string extensions_text(const Format& f) {
  std::string s;
  // One word, so that a script can take the columns by their place.
  for (const auto e : f.extensions) s += std::string(s.empty() ? "." : ",.") + std::string(e);
  return s;
}

// The table's own strings are plain ASCII without quotes or backslashes,
// so they go into JSON as they are.
std::string quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }
const char* boolean(bool b) { return b ? "true" : "false"; }

}  // namespace

std::string formats_text() {
  const std::vector<std::string> head = {"format", "what", "extensions", "read", "write",
                                         "a written file holds"};
  std::vector<std::vector<std::string>> rows;
  for (const auto& f : formats::format_table())
    rows.push_back({f.name, what_of(f.family), extensions_text(f), reads(f) ? "yes" : "no",
                    f.writable ? "yes" : "no", limits_text(f)});
  std::vector<std::size_t> width(head.size());
  for (std::size_t c = 0; c < head.size(); ++c) {
    width[c] = head[c].size();
    for (const auto& r : rows) width[c] = std::max(width[c], r[c].size());
  }
  std::string out;
  auto line = [&](const std::vector<std::string>& cells) {
    std::string l;
    for (std::size_t c = 0; c < cells.size(); ++c) {
      l += cells[c];
      if (c + 1 < cells.size()) l += std::string(width[c] - cells[c].size() + 2, ' ');
    }
    while (!l.empty() && l.back() == ' ') l.pop_back();
    out += l + "\n";
  };
  line(head);
  for (const auto& r : rows) line(r);
  return out;
}

std::string formats_json() {
  std::string j = "{\n  \"formats\": [";
  bool first = true;
  for (const auto& f : formats::format_table()) {
    j += first ? "\n    {" : ",\n    {";
    first = false;
    j += "\"format\": " + quoted(f.name) + ", \"what\": " + quoted(what_of(f.family)) +
         ", \"extensions\": [";
    for (std::size_t i = 0; i < f.extensions.size(); ++i)
      j += (i ? ", " : "") + quoted(f.extensions[i]);
    j += "], \"mime\": " + quoted(f.mime) + ", \"read\": " + boolean(reads(f)) +
         ", \"write\": " + boolean(f.writable);
    if (f.writable) {
      const WriterLimits& l = f.limits;
      j += ", \"limits\": {\"longest_stitch\": " + std::to_string(l.longest_stitch) +
           ", \"longest_jump\": " + std::to_string(l.longest_jump) +
           ", \"most_colours\": " + std::to_string(l.most_colours) +
           ", \"most_stitches\": " + std::to_string(l.most_stitches) +
           ", \"trims\": " + boolean(l.trims) + ", \"stops\": " + boolean(l.stops) +
           ", \"colours\": " + boolean(l.colours) + ", \"chart\": " + quoted(l.chart) + "}";
    }
    j += "}";
  }
  j += "\n  ],\n  \"units\": \"lengths in tenths of a millimetre per axis; 0 means no limit\"\n}\n";
  return j;
}

std::string writable_list() {
  std::vector<std::string> names;
  for (const auto& f : formats::format_table())
    if (f.writable) names.emplace_back(f.extensions.front());
  std::string s;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) s += i + 1 == names.size() ? " or " : ", ";
    s += names[i];
  }
  return s;
}

}  // namespace kvn::inspect
