#include "convert/previews.hpp"

#include <cstdio>
#include <utility>
#include <vector>

#include "inspect/survey.hpp"
#include "convert/naming.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/pictures.hpp"

namespace kvn::convert {
namespace {

constexpr int kPreviewsFailed = -1;

const char* suffix(PictureKind kind) {
  switch (kind) {
    case PictureKind::kPreview: return "-preview";
    case PictureKind::kStitches: return "-stitches";
    case PictureKind::kLayout: return "-layout";
  }
  return "-preview";
}

int fail(Diagnostics& diag, Error e) {
  diag.errors.push_back(std::move(e));
  return kPreviewsFailed;
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

int run_previews(const std::string& path, const std::string* out_dir, FileSystem& fs,
                 Diagnostics& diag) {
  if (!inspect::png_supported())
    return fail(diag, make_error(ErrorCode::kCannotEncode, path,
                                 "this korvane was built without a PNG library"));
  auto bytes = fs.read_whole(path);
  if (!bytes) return fail(diag, bytes.error());
  const formats::ByteReader in(*bytes, path);
  auto r = inspect::recognise(in);
  if (!r) return fail(diag, r.error());

  // Every picture is drawn and encoded before the first file is written; only
  // the encoded files are kept, never more than one picture's pixels.
  const bool container = r->kind == FileKind::kContainer;
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  auto add = [&](std::string name, const inspect::Picture& picture) -> bool {
    if (fs.same_file(name, path)) {
      fail(diag, make_error(ErrorCode::kWouldOverwriteInput, name,
                            "it is the file being drawn (" + path + ")"));
      return false;
    }
    auto png = inspect::encode_png(picture, name);
    if (!png) {
      fail(diag, png.error());
      return false;
    }
    files.emplace_back(std::move(name), std::move(*png));
    return true;
  };
  std::vector<inspect::PlacedDesign> placed;
  for (std::size_t i = 0; i < r->designs.size(); ++i) {
    const auto& v = r->designs[i];
    const unsigned number = container ? static_cast<unsigned>(i + 1) : 0;
    if (!add(picture_name(path, out_dir, PictureKind::kPreview, number),
             inspect::stored_preview_picture(v.design)) ||
        !add(picture_name(path, out_dir, PictureKind::kStitches, number),
             inspect::stitch_picture(v.design)))
      return kPreviewsFailed;
    placed.push_back({&v.design, v.Xoffset, v.Yoffset});
  }
  if (container && !add(picture_name(path, out_dir, PictureKind::kLayout, 0),
                        inspect::layout_picture(placed)))
    return kPreviewsFailed;

  for (const auto& [name, png] : files) {
    auto st = fs.replace(name, png);
    if (!st) return fail(diag, st.error());
    diag.written.push_back(name);
  }
  return 0;
}

}  // namespace kvn::convert
