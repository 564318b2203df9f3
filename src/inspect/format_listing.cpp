#include "inspect/format_listing.hpp"

#include <algorithm>
#include <vector>

#include "formats/format_table.hpp"
#include "inspect/millimetres.hpp"
#include "inspect/text_out.hpp"

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
  if (l.shortest_jump != 0)
    parts.push_back("jumps up to " + millimetres(l.shortest_jump) + " mm sewn as stitches");
  if (!l.colours)
    parts.push_back("no colours");
  else if (l.most_colours != 0)
    parts.push_back(thousands(l.most_colours) + " colours");
  if (*l.chart) parts.push_back("threads from the " + std::string(l.chart) + " chart");
  if (l.names) parts.push_back("thread names and numbers");
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

}  // namespace

std::string formats_text() {
  std::vector<std::vector<std::string>> rows = {
      {"format", "what", "extensions", "read", "write", "a written file holds"}};
  for (const auto& f : formats::format_table())
    rows.push_back({f.name, what_of(f.family), extensions_text(f), reads(f) ? "yes" : "no",
                    f.writable ? "yes" : "no", limits_text(f)});
  const std::string table = aligned_rows(rows, std::vector<bool>(rows.front().size(), false));
  // Rows that can say nothing of what is written end at their last word.
  std::string out;
  std::size_t from = 0;
  while (from < table.size()) {
    std::size_t end = table.find('\n', from);
    if (end == std::string::npos) end = table.size();
    std::size_t last = end;
    while (last > from && table[last - 1] == ' ') --last;
    out.append(table, from, last - from).append("\n");
    from = end + 1;
  }
  return out;
}

std::string formats_json() {
  JsonWriter j;
  j.open_object().key("formats").open_array();
  for (const auto& f : formats::format_table()) {
    j.open_object(true)
        .field("format", f.name)
        .field("what", what_of(f.family))
        .key("extensions")
        .open_array(true);
    for (const auto e : f.extensions) j.string(e);
    j.close_array()
        .field("mime", f.mime)
        .field("read", reads(f))
        .field("write", f.writable);
    if (f.writable) {
      const WriterLimits& l = f.limits;
      j.key("limits")
          .open_object(true)
          .field("longest_stitch", l.longest_stitch)
          .field("longest_jump", l.longest_jump)
          .field("shortest_jump", l.shortest_jump)
          .field("most_colours", l.most_colours)
          .field("most_stitches", l.most_stitches)
          .field("trims", l.trims)
          .field("stops", l.stops)
          .field("colours", l.colours)
          .field("chart", l.chart)
          .field("names", l.names)
          .close_object();
    }
    j.close_object();
  }
  j.close_array()
      .field("units", "lengths in tenths of a millimetre per axis; 0 means no limit")
      .close_object();
  return j.take() + "\n";
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
