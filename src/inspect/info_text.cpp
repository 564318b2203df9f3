#include "inspect/info_text.hpp"

#include <cstdio>

#include "inspect/millimetres.hpp"
#include "inspect/survey.hpp"
#include "inspect/text_out.hpp"

namespace kvn::inspect {
namespace {

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
    j.field("x", e.x).field("y", e.y).field("op", std::string(op_name(e.op)));
    j.field("block", block);
    j.close_object();
    if (e.op == EventOp::kColourChange) ++block;
  }
  j.close_array();
}

std::string hex_colour(const ThreadInfo& t) { return inspect::hex_colour(t.r, t.g, t.b); }

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

std::string pattern_table(const FileInfo& info);

// A design no hoop holds tells whether a quarter turn (--rotate fit) would make it fit.
std::string hoop_notes(const FileInfo& info) {
  std::string out;
  for (const auto& d : info.designs) {
    if (d.hoop != HoopClass::kLarger) continue;
    out.append("  design ").append(std::to_string(d.number)).append(" fits no hoop");
    const HoopClass turned = hoop_class_for(d.height, d.width);
    if (turned == HoopClass::kLarger)
      out.append(", even turned\n");
    else
      out.append("; turned it fits the ").append(hoop_class_name(turned)).append(" mm hoop\n");
  }
  return out;
}

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
    j.field("name", c.name);
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

}  // namespace

std::string info_table(const FileInfo& info) {
  if (info.kind == FileKind::kPattern) return pattern_table(info);
  const bool container = info.kind == FileKind::kContainer;
  const bool huc = info.kind == FileKind::kHucDesign;
  std::string out = info.file + ": " +
                    (container ? "DHV container"
                     : huc     ? "HUC design"
                               : "SHV design") +
                    " \"" + printable(info.name) + "\", ";
  if (container)
    out += std::to_string(info.designs.size()) +
           (info.designs.size() == 1 ? " design, " : " designs, ");
  out += std::to_string(info.bytes) + " bytes\n";

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
  // Numbers line up on the right, words on the left.
  out += aligned_rows(rows, {true, false, false, false, false, false, true, true, false, true});
  out += hoop_notes(info);
  for (const auto& d : info.designs) {
    out += "  colours of design " + std::to_string(d.number) + ":";
    if (d.colours.empty()) out += " none";
    // The code and its name together: users look threads up by the name,
    // the machine's own screens by the code.
    for (std::size_t i = 0; i < d.colours.size(); ++i) {
      const auto& c = d.colours[i];
      out.append(i ? ", " : " ")
          .append(std::to_string(unsigned{c.code}))
          .append(" ")
          .append(c.name.empty() ? "(unnamed)" : c.name)
          .append(": ")
          .append(std::to_string(c.words))
          .append(c.words == 1 ? " word" : " words");
    }
    out += "\n";
  }
  return out;
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

std::string pattern_table(const FileInfo& info) {
  std::string out = info.file + ": " + info.format + " design \"" + printable(info.name) + "\", " +
                    std::to_string(info.bytes) + " bytes\n";
  std::vector<std::vector<std::string>> rows = {
      {"#", "name", "size mm", "hoop", "colours", "stitches", "jumps", "trims"}};
  for (const auto& d : info.designs)
    rows.push_back({std::to_string(d.number), printable(d.name), size_text(d),
                    hoop_class_name(d.hoop), std::to_string(d.blocks),
                    std::to_string(d.stitch_count), std::to_string(d.jump_count),
                    std::to_string(d.trim_count)});
  out += aligned_rows(rows, {true, false, false, false, true, true, true, true});
  out += hoop_notes(info);
  for (const auto& d : info.designs) {
    // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
    // for an overlapping copy and warns.
    out.append("  colours of design ").append(std::to_string(d.number)).append(":");
    if (d.threads.empty())
      out.append(" ")
          .append(std::to_string(d.blocks))
          .append(d.blocks == 1 ? " block" : " blocks")
          .append(", the file stores no colours");
    for (std::size_t i = 0; i < d.threads.size(); ++i) {
      const auto& t = d.threads[i];
      out.append(i ? ", " : " ").append(hex_colour(t));
      if (!t.name.empty()) out.append(" ").append(printable(t.name));
      if (!t.catalogue.empty()) out.append(" (").append(printable(t.catalogue)).append(")");
      out.append(": ")
          .append(std::to_string(t.stitches))
          .append(t.stitches == 1 ? " stitch" : " stitches");
    }
    out += "\n";
  }
  return out;
}

}  // namespace

std::string info_json(const std::vector<Result<FileInfo>>& results) {
  JsonWriter j;
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
  return j.take() + "\n";
}

}  // namespace kvn::inspect
