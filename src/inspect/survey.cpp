#include "inspect/survey.hpp"

#include <string>

#include "formats/container.hpp"
#include "formats/hoop.hpp"
#include "shvgen/colour_tables.hpp"

namespace kvn {

const char* hoop_class_name(HoopClass c) {
  switch (c) {
    case HoopClass::k100x100: return "100 x 100";
    case HoopClass::k100x170: return "100 x 170";
    case HoopClass::k150x150: return "150 x 150";
    case HoopClass::k150x240: return "150 x 240";
    case HoopClass::k150x360: return "150 x 360";
    case HoopClass::kLarger: return "larger";
  }
  return "larger";
}

namespace inspect {
namespace {

using formats::ByteReader;

bool marked_as_shv(const ByteReader& in) {
  auto at = formats::GetShvStitchPos(in);
  if (!at) return false;
  auto h = formats::read_shvhdr(in, *at);
  return h && formats::has_shv_signature(*h);
}

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

DesignInfo describe_design(const DesignView& v, unsigned number) {
  const auto& d = v.design;
  const auto& h = d.header;
  DesignInfo info;
  info.number = number;
  info.name.assign(d.name.begin(), d.name.end());
  info.x0 = h.x0;
  info.y0 = h.y0;
  info.x1 = h.x1;
  info.y1 = h.y1;
  info.width = std::int32_t{h.x0} - h.x1;
  info.height = std::int32_t{h.y0} - h.y1;
  info.hoop = hoop_class_for(info.width, info.height);
  info.hoop_code = h.Hoop;
  info.in_container = v.in_container;
  info.placement_x = v.Xoffset;
  info.placement_y = v.Yoffset;
  info.colours.reserve(d.colours.size());
  for (const auto& c : d.colours)
    info.colours.push_back({c.Color, c.Stitches, shvgen::pixel_for_colour(c.Color)});
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

}  // namespace

// HoopClass lists the classes in the order of formats::kHoopClasses, kLarger last.
static_assert(static_cast<std::size_t>(HoopClass::kLarger) == formats::kHoopClassCount);

HoopClass hoop_class_for(std::int32_t width, std::int32_t height) {
  return static_cast<HoopClass>(formats::hoop_class_index(width, height));
}

Result<Recognised> recognise(const ByteReader& in) {
  if (!marked_as_shv(in)) {
    KORVANE_TRY(layout, formats::read_container(in));
    return container_designs(in, layout);
  }
  auto shv = formats::read_shv_design(in);
  if (shv && shv->trailing.empty()) return single_design(*shv, in.size());
  // Marked, yet not exactly one design: a container may carry the marks by chance.
  if (auto layout = formats::read_container(in)) {
    auto designs = container_designs(in, *layout);
    if (designs) return designs;
  }
  if (!shv) return shv.error();
  return single_design(*shv, in.size());
}

Result<FileInfo> survey_image(const ByteReader& in) {
  KORVANE_TRY(r, recognise(in));
  FileInfo info;
  info.file = in.file();
  info.kind = r.kind;
  info.name.assign(r.name.begin(), r.name.end());
  info.bytes = in.size();
  info.designs.reserve(r.designs.size());
  for (std::size_t i = 0; i < r.designs.size(); ++i)
    info.designs.push_back(describe_design(r.designs[i], static_cast<unsigned>(i + 1)));
  return info;
}

}  // namespace inspect
}  // namespace kvn
