#include "convert/previews.hpp"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "inspect/pictures.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/survey.hpp"

namespace kvn::convert {
namespace {

const char* suffix(PictureKind kind) {
  switch (kind) {
    case PictureKind::kPreview:
      return "-preview";
    case PictureKind::kStitches:
      return "-stitches";
    case PictureKind::kLayout:
      return "-layout";
  }
  return "-preview";
}

}  // namespace

std::string picture_name(const std::string& path, const std::string* out_dir, PictureKind kind,
                         unsigned number) {
  std::string dir;
  if (out_dir) {
    dir = *out_dir;
    if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  } else {
    dir = path.substr(0, file_name_start(path));
  }
  std::string name = dir + design_name(path) + suffix(kind);
  if (number != 0) {
    char num[16];
    std::snprintf(num, sizeof num, "-%03u", number);
    name += num;
  }
  return name + ".png";
}

std::vector<std::string> picture_names(const std::string& path, const std::string* out_dir,
                                       bool container, std::size_t designs) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < designs; ++i) {
    const unsigned number = container ? static_cast<unsigned>(i + 1) : 0;
    names.push_back(picture_name(path, out_dir, PictureKind::kPreview, number));
    names.push_back(picture_name(path, out_dir, PictureKind::kStitches, number));
  }
  if (container) names.push_back(picture_name(path, out_dir, PictureKind::kLayout, 0));
  return names;
}

Result<std::vector<std::string>> preview_names(const std::string& path, const std::string* out_dir,
                                               const formats::ByteReader& in) {
  const auto kind = formats::recognise_kind(in.bytes());
  if (kind == formats::ContentKind::kDhvContainer || kind == formats::ContentKind::kShvDesign) {
    KORVANE_TRY(r, inspect::recognise(in));
    return picture_names(path, out_dir, r.kind == FileKind::kContainer, r.designs.size());
  }
  // Any other kind is refused as recognise() refuses it.
  if (!inspect::pattern_readable(kind)) return inspect::recognise(in).error();
  // A design without a stored preview has its drawing only.
  return std::vector<std::string>{picture_name(path, out_dir, PictureKind::kStitches, 0)};
}

InputResult run_previews(const std::string& path, const std::string* out_dir, OutputWriter& out,
                         std::optional<std::span<const std::uint8_t>> bytes,
                         const std::vector<std::string>* planned_names) {
  if (out_dir && out_dir->empty())
    return failure(make_error(ErrorCode::kEmptyOutputName, path,
                              "the directory for the pictures must be named"));
  if (!inspect::png_supported())
    return failure(
        make_error(ErrorCode::kCannotEncode, path, "this korvane was built without a PNG library"));
  std::vector<std::uint8_t> loaded;
  if (!bytes) {
    auto r = out.fs().read_whole(path);
    if (!r) return failure(r.error());
    loaded = std::move(*r);
    bytes = loaded;
  }
  const formats::ByteReader in(*bytes, path);
  auto names = planned_names ? Result<std::vector<std::string>>(*planned_names)
                             : preview_names(path, out_dir, in);
  if (!names) return failure(names.error());
  std::vector<PlannedOutput> planned;
  for (const auto& n : *names) planned.push_back({n, path});
  auto refusals = check_outputs(planned, {path}, out.fs());
  if (!refusals.empty()) return failure(std::move(refusals.front()));

  // Every picture is drawn and encoded before the first file is written; only
  // the encoded files are kept, never more than one picture's pixels.
  std::vector<std::vector<std::uint8_t>> files;
  std::optional<Error> encoding;
  auto add = [&](const inspect::Picture& picture) -> bool {
    auto png = inspect::encode_png(picture, (*names)[files.size()]);
    if (!png) {
      encoding = png.error();
      return false;
    }
    files.push_back(std::move(*png));
    return true;
  };
  const auto kind = formats::recognise_kind(in.bytes());
  if (kind == formats::ContentKind::kDhvContainer || kind == formats::ContentKind::kShvDesign) {
    auto r = inspect::recognise(in);
    if (!r) return failure(r.error());
    const bool container = r->kind == FileKind::kContainer;
    std::vector<formats::Pattern> patterns;
    patterns.reserve(r->designs.size());
    for (const auto& v : r->designs) {
      auto p = inspect::shv_pattern(in.bytes().subspan(static_cast<std::size_t>(v.offset),
                                                       static_cast<std::size_t>(v.length)),
                                    path, v.design);
      if (!p) return failure(p.error());
      if (!add(inspect::stored_preview_picture(v.design)) || !add(inspect::stitch_picture(*p)))
        return failure(std::move(*encoding));
      if (container) patterns.push_back(std::move(*p));
    }
    std::vector<inspect::PlacedPattern> placed;
    for (std::size_t i = 0; i < patterns.size(); ++i)
      placed.push_back({&patterns[i], r->designs[i].Xoffset, r->designs[i].Yoffset});
    if (container && !add(inspect::layout_picture(placed))) return failure(std::move(*encoding));
  } else {
    auto p = formats::read_pattern(in, kind);
    if (!p) return failure(p.error());
    if (!add(inspect::stitch_picture(*p))) return failure(std::move(*encoding));
  }

  InputResult r;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!out.write((*names)[i], files[i], r)) break;
  return r;
}

}  // namespace kvn::convert
