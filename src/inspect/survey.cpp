#include "inspect/survey.hpp"

#include <algorithm>
#include <string>

#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "formats/format_table.hpp"
#include "formats/hoop.hpp"
#include "formats/huc_layout.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_threads.hpp"
#include "inspect/pictures.hpp"
#include "shvgen/colour_tables.hpp"

namespace kvn {

const char* hoop_class_name(HoopClass c) {
  switch (c) {
    case HoopClass::k100x100:
      return "100 x 100";
    case HoopClass::k100x170:
      return "100 x 170";
    case HoopClass::k150x150:
      return "150 x 150";
    case HoopClass::k150x240:
      return "150 x 240";
    case HoopClass::k150x360:
      return "150 x 360";
    case HoopClass::kLarger:
      return "larger";
  }
  return "larger";
}

namespace inspect {
namespace {

ColourInfo colour_info(std::uint8_t code, std::uint32_t words) {
  const formats::ShvThread* t = formats::find_shv_thread(code);
  return {code, words, shvgen::pixel_for_colour(code), t ? std::string(t->name) : std::string()};
}

using formats::ByteReader;

Recognised single_design(const formats::ShvDesign& d, std::size_t length) {
  Recognised r;
  r.kind = FileKind::kDesign;
  r.name = d.name;
  DesignView v;
  v.length = length;
  v.design = d;
  r.designs.push_back(std::move(v));
  return r;
}

Result<Recognised> container_designs(const ByteReader& in, const formats::ContainerLayout& layout) {
  Recognised r;
  r.kind = FileKind::kContainer;
  r.name = layout.name;
  r.designs.reserve(layout.designs.size());
  for (std::size_t i = 0; i < layout.designs.size(); ++i) {
    const auto& ref = layout.designs[i];
    KORVANE_TRY(shv, in.window(ref.begin, ref.length, "a design"));
    auto d = formats::read_shv_design(shv);
    if (!d) {
      Error e = d.error();
      e.detail = "design " + std::to_string(i + 1) + ": " + e.detail;
      return e;
    }
    DesignView v;
    v.offset = ref.begin;
    v.length = ref.length;
    v.in_container = true;
    v.Xoffset = ref.Xoffset;
    v.Yoffset = ref.Yoffset;
    v.design = std::move(*d);
    r.designs.push_back(std::move(v));
  }
  return r;
}

// Extents and what they call for, the same for an SHV and a HUC design.
void set_extents(DesignInfo& info, std::int16_t x0, std::int16_t y0, std::int16_t x1,
                 std::int16_t y1) {
  info.x0 = x0;
  info.y0 = y0;
  info.x1 = x1;
  info.y1 = y1;
  info.width = std::int32_t{x0} - x1;
  info.height = std::int32_t{y0} - y1;
  info.hoop = hoop_class_for(info.width, info.height);
}

DesignInfo describe_design(const DesignView& v, unsigned number) {
  const auto& d = v.design;
  const auto& h = d.header;
  DesignInfo info;
  info.number = number;
  info.name.assign(d.name.begin(), d.name.end());
  set_extents(info, h.x0, h.y0, h.x1, h.y1);
  info.hoop_code = h.Hoop;
  info.in_container = v.in_container;
  info.placement_x = v.Xoffset;
  info.placement_y = v.Yoffset;
  info.colours.reserve(d.colours.size());
  for (const auto& c : d.colours) info.colours.push_back(colour_info(c.Color, c.Stitches));
  info.stitch_words = h.Stitches;
  info.long_dimension_block = d.dimensions.long_form;
  info.scanlines = d.dimensions.scanlines;
  info.pixels = d.dimensions.pixels;
  info.x_offset = d.dimensions.x_offset;
  info.y_offset = d.dimensions.y_offset;
  info.preview_bytes = d.bitmap.size();
  info.offset = v.offset;
  info.bytes = v.length;
  return info;
}

// The stored name without the spaces that pad it to its field.
std::string huc_name(const formats::huchdr_t& h) {
  std::string name(h.Name.begin(), h.Name.end());
  while (!name.empty() && (name.back() == ' ' || name.back() == '\0')) name.pop_back();
  return name;
}

}  // namespace

// A HUC design has no preview and no placement: its header, colour table and
// the length of its stream are all there is to tell.
Result<FileInfo> survey_huc(const ByteReader& in) {
  KORVANE_TRY(h, formats::read_huchdr(in));
  DesignInfo d;
  d.name = huc_name(h);
  set_extents(d, h.x0, h.y0, h.x1, h.y1);
  d.hoop_code = h.Hoop;
  d.stitch_words = h.Stitches;
  d.bytes = in.size();
  d.colours.reserve(h.nColors);
  for (std::size_t i = 0; i < h.nColors; ++i) {
    KORVANE_TRY(c, formats::read_huccolor(in, i));
    d.colours.push_back(colour_info(c.Color, c.Stitches));
  }
  const std::uint64_t stream_end =
      formats::huc_stream_at(h.nColors) + 2 * std::uint64_t{h.Stitches};
  if (stream_end > in.size())
    return in.error_at(formats::huc_stream_at(h.nColors), ErrorCode::kDesignTruncated,
                       "the HUC design claims " + std::to_string(h.Stitches) +
                           " stitch words, which end at byte " + std::to_string(stream_end) +
                           ", beyond the end of the file (" + std::to_string(in.size()) +
                           " bytes)");
  FileInfo info;
  info.file = in.file();
  info.kind = FileKind::kHucDesign;
  info.name = d.name;
  info.bytes = in.size();
  info.designs.push_back(std::move(d));
  return info;
}

// HoopClass lists the classes in the order of formats::kHoopClasses, kLarger last.
static_assert(static_cast<std::size_t>(HoopClass::kLarger) == formats::kHoopClassCount);

HoopClass hoop_class_for(std::int32_t width, std::int32_t height) {
  return static_cast<HoopClass>(formats::hoop_class_index(width, height));
}

namespace {

Result<Recognised> recognise_as(const ByteReader& in, formats::ContentKind kind) {
  if (kind == formats::ContentKind::kShvDesign) {
    KORVANE_TRY(shv, formats::read_shv_design(in));
    return single_design(shv, in.size());
  }
  if (kind == formats::ContentKind::kDhvContainer) {
    KORVANE_TRY(layout, formats::read_container(in));
    return container_designs(in, layout);
  }
  return formats::wrong_kind(kind, formats::WantedKind::kContainerOrDesign, in.file());
}

}  // namespace

Result<Recognised> recognise(const ByteReader& in) {
  return recognise_as(in, formats::recognise_kind(in.bytes()));
}

namespace {

EventOp event_op(formats::NeedleOp op) {
  switch (op) {
    case formats::NeedleOp::kStitch:
      return EventOp::kStitch;
    case formats::NeedleOp::kJump:
      return EventOp::kJump;
    case formats::NeedleOp::kTrim:
      return EventOp::kTrim;
    case formats::NeedleOp::kColourChange:
      return EventOp::kColourChange;
    case formats::NeedleOp::kStop:
      return EventOp::kStop;
    case formats::NeedleOp::kEnd:
      return EventOp::kEnd;
  }
  return EventOp::kStitch;
}

void set_events(DesignInfo& d, const Result<formats::Pattern>& p) {
  d.has_events = true;
  if (!p) {
    d.events_error = p.error().message();
    return;
  }
  d.events.reserve(p->events.size());
  for (const auto& e : p->events) d.events.push_back({e.x, e.y, event_op(e.op)});
}

std::int16_t clamp16(std::int32_t v) {
  return static_cast<std::int16_t>(std::clamp<std::int32_t>(v, -32768, 32767));
}

Result<FileInfo> survey_pattern(const ByteReader& in, formats::ContentKind kind, bool events) {
  KORVANE_TRY(p, formats::read_pattern(in, kind));
  DesignInfo d;
  d.name = p.name;
  const auto e = formats::stitch_extents(p);
  if (!e.empty) {
    d.x0 = clamp16(e.max_x), d.y0 = clamp16(e.max_y);
    d.x1 = clamp16(e.min_x), d.y1 = clamp16(e.min_y);
    d.width = e.max_x - e.min_x;
    d.height = e.max_y - e.min_y;
  }
  d.hoop = hoop_class_for(d.width, d.height);
  d.bytes = in.size();
  d.blocks = formats::block_count(p);
  std::vector<std::uint64_t> per_block(formats::block_count(p), 0);
  std::size_t block = 0;
  for (const auto& ev : p.events) {
    switch (ev.op) {
      case formats::NeedleOp::kStitch:
        ++d.stitch_count;
        ++per_block[block];
        break;
      case formats::NeedleOp::kJump:
        ++d.jump_count;
        break;
      case formats::NeedleOp::kTrim:
        ++d.trim_count;
        break;
      case formats::NeedleOp::kStop:
        ++d.stop_count;
        break;
      case formats::NeedleOp::kColourChange:
        ++block;
        break;
      case formats::NeedleOp::kEnd:
        break;
    }
  }
  for (std::size_t i = 0; i < p.threads.size(); ++i) {
    const auto& t = p.threads[i];
    d.threads.push_back({t.r, t.g, t.b, t.name, t.catalogue, per_block[i]});
  }
  if (events) set_events(d, p);
  FileInfo info;
  info.file = in.file();
  info.kind = FileKind::kPattern;
  info.format = formats::format_of(kind)->name;
  info.name = p.name;
  info.bytes = in.size();
  info.designs.push_back(std::move(d));
  return info;
}

}  // namespace

bool pattern_readable(formats::ContentKind kind) {
  const formats::Format* f = formats::format_of(kind);
  return f && f->read;
}

std::string readable_formats() {
  std::string s;
  for (const auto& f : formats::format_table()) {
    if (f.family == formats::Family::kContainer || f.read)
      s += std::string(s.empty() ? "" : ", ") + f.name;
  }
  return s;
}

Error not_readable(const ByteReader& in, formats::ContentKind kind) {
  const std::string reads = "korvane reads " + readable_formats() + " files";
  if (kind == formats::ContentKind::kUnknown)
    return make_error(ErrorCode::kNotRecognised, in.file(), "not a file korvane knows; " + reads);
  const formats::Format* f = formats::format_of(kind);
  return make_error(ErrorCode::kWrongKind, in.file(),
                    std::string("this is ") + f->article + " " + f->noun +
                        ", which korvane cannot read; " + reads);
}

Result<FileInfo> survey_image(const ByteReader& in, bool events) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (kind == formats::ContentKind::kHucDesign) {
    KORVANE_TRY(info, survey_huc(in));
    if (events) set_events(info.designs[0], formats::read_pattern(in, kind));
    return info;
  }
  if (kind != formats::ContentKind::kDhvContainer && kind != formats::ContentKind::kShvDesign &&
      kind != formats::ContentKind::kUnknown) {
    if (pattern_readable(kind)) return survey_pattern(in, kind, events);
  }
  KORVANE_TRY(r, recognise_as(in, kind));
  FileInfo info;
  info.file = in.file();
  info.kind = r.kind;
  info.name.assign(r.name.begin(), r.name.end());
  info.bytes = in.size();
  info.designs.reserve(r.designs.size());
  for (std::size_t i = 0; i < r.designs.size(); ++i) {
    info.designs.push_back(describe_design(r.designs[i], static_cast<unsigned>(i + 1)));
    if (events) {
      const auto& v = r.designs[i];
      set_events(info.designs.back(),
                 shv_pattern(in.bytes().subspan(static_cast<std::size_t>(v.offset),
                                                static_cast<std::size_t>(v.length)),
                             in.file(), v.design));
    }
  }
  return info;
}

}  // namespace inspect
}  // namespace kvn
