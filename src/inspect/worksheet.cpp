#include "inspect/worksheet.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_threads.hpp"
#include "inspect/millimetres.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/survey.hpp"

namespace kvn::inspect {
namespace {

using formats::NeedleOp;
using formats::Pattern;

// A worksheet's picture is at most this many pixels along its longer side:
// sharp in print at its printed size, and a page that stays small.
constexpr double kSheetPictureSide = 1000;

// Text for HTML: markup characters escaped, and any byte that is not
// printable ASCII shown as '?', since stored names may hold any byte value.
std::string html(const std::string& text) {
  std::string s;
  for (const char c : text) {
    switch (c) {
      case '&':
        s += "&amp;";
        break;
      case '<':
        s += "&lt;";
        break;
      case '>':
        s += "&gt;";
        break;
      case '"':
        s += "&quot;";
        break;
      default:
        s.push_back(c >= ' ' && c <= '~' ? c : '?');
    }
  }
  return s;
}

std::string base64(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string s;
  s.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t left = bytes.size() - i;
    const std::uint32_t v = (std::uint32_t{bytes[i]} << 16) |
                            (left > 1 ? std::uint32_t{bytes[i + 1]} << 8 : 0) |
                            (left > 2 ? std::uint32_t{bytes[i + 2]} : 0);
    s += kDigits[(v >> 18) & 63];
    s += kDigits[(v >> 12) & 63];
    s += left > 1 ? kDigits[(v >> 6) & 63] : '=';
    s += left > 2 ? kDigits[v & 63] : '=';
  }
  return s;
}

std::string fixed(double v, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, v);
  return text;
}

std::string hex(const Rgb& c) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02X%02X%02X", c.r, c.g, c.b);
  return text;
}

std::string duration(double minutes) {
  const auto total = static_cast<long long>(std::llround(minutes));
  if (total < 60) return std::to_string(total) + " min";
  return std::to_string(total / 60) + " h " + std::to_string(total % 60) + " min";
}

// The colours a design is sewn in: those its format stores, else the
// chart's colours a conversion to SHV gives its blocks, so that the picture
// and the table agree with what the machine will show.
Pattern with_threads(Pattern p) {
  if (p.threads.empty())
    for (std::size_t b = 0; b < formats::block_count(p); ++b)
      p.threads.push_back(formats::thread_for_shv_code(formats::default_shv_code(b)));
  return p;
}

// The longest a picture's side may be in millimetres before the sheet's
// scale is lowered.
ThreadLook sheet_look(ThreadLook look, double span_mm) {
  const double side = (span_mm + 2 * std::max(1.0, 2 * look.thread_width_mm)) * look.pixels_per_mm;
  if (side > kSheetPictureSide) look.pixels_per_mm *= kSheetPictureSide / side;
  look.pixels_per_mm = std::max(look.pixels_per_mm, kMinPixelsPerMm);
  return look;
}

Result<std::string> picture_tag(const RgbaPicture& picture, const std::string& what) {
  KORVANE_TRY(png, encode_png(picture, what));
  std::string s = "<img class=\"picture\" alt=\"";
  s.append(html(what)).append("\" src=\"data:image/png;base64,").append(base64(png));
  s.append("\" width=\"").append(std::to_string(picture.width));
  s.append("\" height=\"").append(std::to_string(picture.height)).append("\">\n");
  return s;
}

std::string size_line(const formats::PatternExtents& e) {
  if (e.empty) return "no stitches";
  const std::int64_t w = std::int64_t{e.max_x} - e.min_x, h = std::int64_t{e.max_y} - e.min_y;
  std::string s = millimetres(w);
  s.append(" x ").append(millimetres(h)).append(" mm, hoop ");
  const HoopClass c = hoop_class_for(static_cast<std::int32_t>(std::min<std::int64_t>(w, INT32_MAX)),
                                     static_cast<std::int32_t>(std::min<std::int64_t>(h, INT32_MAX)));
  s.append(c == HoopClass::kLarger ? "larger than every hoop" : hoop_class_name(c));
  if (c != HoopClass::kLarger) s.append(" mm");
  return s;
}

std::string row(std::initializer_list<std::string> cells, const char* tag = "td") {
  std::string s = "<tr>";
  for (const auto& c : cells) s.append("<").append(tag).append(">").append(c).append("</").append(tag).append(">");
  return s + "</tr>\n";
}

std::string total_cell(const char* key, std::uint64_t v) {
  std::string s = "<td data-total=\"";
  s.append(key).append("\">").append(std::to_string(v)).append("</td>");
  return s;
}

// One design's section: picture, size, colour sequence, totals, estimates.
Result<std::string> design_section(const Pattern& raw, const std::string& heading,
                                   const ThreadLook& look, const WorksheetOptions& rules) {
  const Pattern p = with_threads(raw);
  const SheetCounts counts = count_for_sheet(p);
  const auto e = formats::stitch_extents(p);
  const double span_mm =
      e.empty ? 0 : static_cast<double>(std::max(std::int64_t{e.max_x} - e.min_x,
                                                 std::int64_t{e.max_y} - e.min_y)) / 10;
  std::string s = "<section class=\"design\">\n";
  // A sheet of one design has its name as the page's heading already.
  if (!heading.empty()) s.append("<h2>").append(html(heading)).append("</h2>\n");
  s.append("<div class=\"top\">\n");
  KORVANE_TRY(img, picture_tag(realistic_picture(p, sheet_look(look, span_mm)),
                               heading.empty() ? p.name : heading));
  s.append(img);
  s.append("<div class=\"facts\">\n<p>Size: ").append(size_line(e)).append("</p>\n");
  const auto& t = counts.totals;
  s.append("<table class=\"totals\">\n");
  s.append("<tr><th>Stitches</th>").append(total_cell("stitches", t.stitches)).append("</tr>\n");
  s.append("<tr><th>Jumps</th>").append(total_cell("jumps", t.jumps)).append("</tr>\n");
  s.append("<tr><th>Trims</th>").append(total_cell("trims", t.trims)).append("</tr>\n");
  s.append("<tr><th>Colour changes</th>")
      .append(total_cell("colour-changes", t.colour_changes))
      .append("</tr>\n");
  s.append("<tr><th>Stops</th>").append(total_cell("stops", t.stops)).append("</tr>\n");
  s.append("</table>\n");
  s.append("<p>Top thread: about ")
      .append(fixed(t.stitch_mm * rules.take_up / 1000, 1))
      .append(" m</p>\n<p>Sewing time: about ")
      .append(duration(sewing_minutes(t, rules)))
      .append("</p>\n</div>\n</div>\n");
  s.append("<table class=\"colours\">\n");
  s.append(row({"#", "Colour", "Code", "Name", "Catalogue", "Stitches", "Thread (m)"}, "th"));
  for (std::size_t i = 0; i < counts.colours.size(); ++i) {
    const auto& c = counts.colours[i];
    std::string swatch = "<span class=\"swatch\" style=\"background:";
    swatch.append(hex(c.colour)).append("\"></span>");
    s.append(row({std::to_string(i + 1), swatch, std::to_string(c.code), html(c.name),
                  html(c.catalogue), std::to_string(c.stitches),
                  fixed(c.stitch_mm * rules.take_up / 1000, 2)}));
  }
  s.append("</table>\n</section>\n");
  return s;
}

std::string rules_text(const WorksheetOptions& rules) {
  std::string s = "<p class=\"rules\">How the estimates are made: top thread = the lengths of all "
                  "stitches x ";
  s.append(fixed(rules.take_up, 2))
      .append(" (the thread that goes down through the fabric and back). Sewing time = stitches at ")
      .append(fixed(rules.stitches_per_minute, 0))
      .append(" a minute + ")
      .append(fixed(rules.seconds_per_colour_change, 0))
      .append(" s for each colour change + ")
      .append(fixed(rules.seconds_per_trim, 0))
      .append(" s for each trim. Bobbin thread is not counted.</p>\n");
  return s;
}

constexpr const char* kStyle =
    "@page{size:auto;margin:10mm}"
    "body{font-family:sans-serif;font-size:10pt;color:#111;margin:0 auto;max-width:190mm}"
    "h1{font-size:15pt;margin:0 0 2mm}h2{font-size:12pt;margin:3mm 0 1mm}"
    ".top{display:flex;gap:5mm;align-items:flex-start}"
    ".picture{max-width:110mm;max-height:95mm;width:auto;height:auto;border:1px solid #bbb}"
    ".layout{max-width:190mm;max-height:110mm;width:auto;height:auto}"
    "table{border-collapse:collapse}th,td{padding:0.6mm 2mm;text-align:left}"
    ".colours th,.colours td{border-bottom:1px solid #ccc}"
    ".colours td:nth-child(n+6){text-align:right}"
    ".swatch{display:inline-block;width:9mm;height:4mm;border:1px solid #555;"
    "-webkit-print-color-adjust:exact;print-color-adjust:exact}"
    ".rules{font-size:8pt;color:#444}"
    "section{break-inside:avoid}";

}  // namespace

SheetCounts count_for_sheet(const Pattern& pattern) {
  SheetCounts c;
  const std::size_t blocks = formats::block_count(pattern);
  c.colours.resize(blocks);
  for (std::size_t b = 0; b < blocks; ++b) {
    auto& col = c.colours[b];
    const Rgb rgb = thread_colour(pattern, b);
    col.colour = rgb;
    if (b < pattern.threads.size()) {
      const auto& t = pattern.threads[b];
      col.code = formats::shv_code_for(t);
      col.name = t.name;
      col.catalogue = t.catalogue;
    } else {
      col.code = formats::default_shv_code(b);
    }
    if (col.name.empty())
      if (const auto* chart = formats::find_shv_thread(col.code)) col.name = chart->name;
  }
  std::size_t block = 0;
  std::int64_t x = 0, y = 0;
  for (const auto& e : pattern.events) {
    switch (e.op) {
      case NeedleOp::kStitch: {
        const double dx = static_cast<double>(e.x - x), dy = static_cast<double>(e.y - y);
        const double mm = std::sqrt(dx * dx + dy * dy) / 10;
        ++c.totals.stitches;
        c.totals.stitch_mm += mm;
        ++c.colours[block].stitches;
        c.colours[block].stitch_mm += mm;
        break;
      }
      case NeedleOp::kJump:
        ++c.totals.jumps;
        break;
      case NeedleOp::kTrim:
        ++c.totals.trims;
        break;
      case NeedleOp::kStop:
        ++c.totals.stops;
        break;
      case NeedleOp::kColourChange:
        ++c.totals.colour_changes;
        block = std::min(block + 1, blocks - 1);
        break;
      case NeedleOp::kEnd:
        break;
    }
    x = e.x;
    y = e.y;
  }
  return c;
}

double sewing_minutes(const SheetTotals& t, const WorksheetOptions& rules) {
  return static_cast<double>(t.stitches) / rules.stitches_per_minute +
         (static_cast<double>(t.colour_changes) * rules.seconds_per_colour_change +
          static_cast<double>(t.trims) * rules.seconds_per_trim) /
             60;
}

Result<std::string> worksheet_html(const formats::ByteReader& in, const ThreadLook& look,
                                   const WorksheetOptions& rules) {
  const auto kind = formats::recognise_kind(in.bytes());
  std::vector<Pattern> patterns;
  std::vector<PlacedPattern> placed;
  std::string title;
  bool container = false;
  if (kind == formats::ContentKind::kDhvContainer || kind == formats::ContentKind::kShvDesign) {
    KORVANE_TRY(r, recognise(in));
    container = r.kind == FileKind::kContainer;
    title.assign(r.name.begin(), r.name.end());
    for (const auto& v : r.designs) {
      KORVANE_TRY(p, shv_pattern(in.bytes().subspan(static_cast<std::size_t>(v.offset), v.length),
                                 in.file(), v.design));
      patterns.push_back(std::move(p));
    }
    for (std::size_t i = 0; i < patterns.size(); ++i)
      placed.push_back({&patterns[i], r.designs[i].Xoffset, r.designs[i].Yoffset});
  } else {
    if (!pattern_readable(kind)) return recognise(in).error();
    KORVANE_TRY(p, formats::read_pattern(in, kind));
    title = p.name;
    patterns.push_back(std::move(p));
  }
  if (title.empty()) {
    const std::string& f = in.file();
    const std::size_t slash = f.find_last_of("/\\");
    title = slash == std::string::npos ? f : f.substr(slash + 1);
  }

  std::string s = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
  s.append(html(title)).append(" - worksheet</title>\n<style>").append(kStyle);
  s.append("</style>\n</head>\n<body>\n<h1>").append(html(title)).append("</h1>\n");
  if (container) {
    std::vector<Pattern> coloured;
    coloured.reserve(patterns.size());
    for (const auto& p : patterns) coloured.push_back(with_threads(p));
    std::vector<PlacedPattern> layout = placed;
    for (std::size_t i = 0; i < layout.size(); ++i) layout[i].pattern = &coloured[i];
    // The layout at the scale that fits the widest hoop on the sheet.
    ThreadLook layout_look = look;
    layout_look.pixels_per_mm = std::min(look.pixels_per_mm, 5.0);
    KORVANE_TRY(png, encode_png(realistic_layout(layout, layout_look), title));
    s.append("<p><img class=\"layout\" alt=\"layout of ").append(html(title));
    s.append("\" src=\"data:image/png;base64,").append(base64(png)).append("\"></p>\n");
  }
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    std::string heading = container ? "Design " + std::to_string(i + 1) : std::string();
    if (container && !patterns[i].name.empty()) heading.append(": ").append(patterns[i].name);
    KORVANE_TRY(section, design_section(patterns[i], heading, look, rules));
    s.append(section);
  }
  s.append(rules_text(rules));
  s.append("</body>\n</html>\n");
  return s;
}

}  // namespace kvn::inspect
