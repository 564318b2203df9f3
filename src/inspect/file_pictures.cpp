#include "inspect/file_pictures.hpp"

#include <string>

#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "inspect/survey.hpp"

namespace kvn::inspect {
namespace {

// Containers and SHV designs hold stored previews and placements; any other
// format is one design drawn from its stitches.
bool shv_family(formats::ContentKind kind) {
  return kind == formats::ContentKind::kDhvContainer || kind == formats::ContentKind::kShvDesign;
}

Error no_design(const formats::ByteReader& in, std::int32_t design) {
  return make_error(ErrorCode::kBadArgument, in.file(),
                    "no design number " + std::to_string(std::int64_t{design} + 1));
}

// Every design of a recognised container or SHV design, read as a pattern.
Result<std::vector<formats::Pattern>> patterns_of(const formats::ByteReader& in,
                                                  const Recognised& r) {
  std::vector<formats::Pattern> patterns;
  patterns.reserve(r.designs.size());
  for (const auto& v : r.designs) {
    KORVANE_TRY(p, shv_pattern(in.bytes().subspan(static_cast<std::size_t>(v.offset), v.length),
                               in.file(), v.design));
    patterns.push_back(std::move(p));
  }
  return patterns;
}

std::vector<PlacedPattern> placed_of(const Recognised& r,
                                     const std::vector<formats::Pattern>& patterns) {
  std::vector<PlacedPattern> placed;
  for (std::size_t i = 0; i < patterns.size(); ++i)
    placed.push_back({&patterns[i], r.designs[i].Xoffset, r.designs[i].Yoffset});
  return placed;
}

Picture layout_of(const Recognised& r, const std::vector<formats::Pattern>& patterns) {
  return layout_picture(placed_of(r, patterns));
}

AnyPicture stitches_as(const PictureStyle& style, const formats::Pattern& p) {
  if (style.lines) return stitch_picture(p);
  return realistic_picture(p, style.look);
}

AnyPicture layout_as(const PictureStyle& style, const Recognised& r,
                     const std::vector<formats::Pattern>& patterns) {
  if (style.lines) return layout_of(r, patterns);
  return realistic_layout(placed_of(r, patterns), style.look);
}

}  // namespace

Result<std::vector<PictureSlot>> file_pictures(const formats::ByteReader& in) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (!shv_family(kind)) {
    // Any other kind is refused as recognise() refuses it.
    if (!pattern_readable(kind)) return recognise(in).error();
    return std::vector<PictureSlot>{{PictureKind::kStitches, 0}};
  }
  KORVANE_TRY(r, recognise(in));
  const bool container = r.kind == FileKind::kContainer;
  std::vector<PictureSlot> slots;
  for (std::size_t i = 0; i < r.designs.size(); ++i) {
    const unsigned number = container ? static_cast<unsigned>(i + 1) : 0;
    slots.push_back({PictureKind::kPreview, number});
    slots.push_back({PictureKind::kStitches, number});
  }
  if (container) slots.push_back({PictureKind::kLayout, 0});
  return slots;
}

Status draw_file_pictures(const formats::ByteReader& in, const PictureStyle& style,
                          const std::function<Status(const AnyPicture&)>& take) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (!shv_family(kind)) {
    KORVANE_TRY(p, formats::read_pattern(in, kind));
    return take(stitches_as(style, p));
  }
  KORVANE_TRY(r, recognise(in));
  const bool container = r.kind == FileKind::kContainer;
  // Each design is read only once the pictures before it are taken, so a
  // failure names the first thing that went wrong in drawing order.
  std::vector<formats::Pattern> patterns;
  for (const auto& v : r.designs) {
    KORVANE_TRY(p, shv_pattern(in.bytes().subspan(static_cast<std::size_t>(v.offset), v.length),
                               in.file(), v.design));
    if (auto st = take(AnyPicture{stored_preview_picture(v.design)}); !st) return st;
    if (auto st = take(stitches_as(style, p)); !st) return st;
    if (container) patterns.push_back(std::move(p));
  }
  if (container) return take(layout_as(style, r, patterns));
  return Ok{};
}

Result<Picture> design_picture(const formats::ByteReader& in, std::int32_t design) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (!shv_family(kind)) {
    if (design > 0) return no_design(in, design);
    KORVANE_TRY(p, formats::read_pattern(in, kind));
    return stitch_picture(p);
  }
  KORVANE_TRY(r, recognise(in));
  if (design >= 0 && static_cast<std::size_t>(design) >= r.designs.size())
    return no_design(in, design);
  KORVANE_TRY(patterns, patterns_of(in, r));
  if (design >= 0) return stitch_picture(patterns[static_cast<std::size_t>(design)]);
  return layout_of(r, patterns);
}

Result<RgbaPicture> realistic_design_picture(const formats::ByteReader& in, std::int32_t design,
                                             const ThreadLook& look) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (!shv_family(kind)) {
    if (design > 0) return no_design(in, design);
    KORVANE_TRY(p, formats::read_pattern(in, kind));
    return realistic_picture(p, look);
  }
  KORVANE_TRY(r, recognise(in));
  if (design >= 0 && static_cast<std::size_t>(design) >= r.designs.size())
    return no_design(in, design);
  KORVANE_TRY(patterns, patterns_of(in, r));
  if (design >= 0) return realistic_picture(patterns[static_cast<std::size_t>(design)], look);
  return realistic_layout(placed_of(r, patterns), look);
}

}  // namespace kvn::inspect
