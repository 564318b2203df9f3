#include "convert/previews.hpp"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "inspect/file_pictures.hpp"
#include "inspect/png_encode.hpp"
#include "inspect/worksheet.hpp"

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

// The folder a picture or worksheet of `path` goes to, ending in a separator.
std::string folder_for(const std::string& path, const std::string* out_dir) {
  if (!out_dir) return path.substr(0, file_name_start(path));
  std::string dir = *out_dir;
  if (!dir.empty() && dir.back() != '/' && dir.back() != '\\') dir += '/';
  return dir;
}

}  // namespace

std::string picture_name(const std::string& path, const std::string* out_dir, PictureKind kind,
                         unsigned number) {
  std::string name = folder_for(path, out_dir) + design_name(path) + suffix(kind);
  if (number != 0) {
    char num[16];
    std::snprintf(num, sizeof num, "-%03u", number);
    name += num;
  }
  return name + ".png";
}

Result<std::vector<std::string>> preview_names(const std::string& path, const std::string* out_dir,
                                               const formats::ByteReader& in) {
  KORVANE_TRY(slots, inspect::file_pictures(in));
  std::vector<std::string> names;
  for (const auto& slot : slots)
    names.push_back(picture_name(path, out_dir, slot.kind, slot.number));
  return names;
}

inspect::PictureStyle picture_style(const PictureOptions& options) {
  inspect::PictureStyle style;
  style.lines = options.lines;
  style.look.thread_width_mm = options.thread_width_mm;
  style.look.pixels_per_mm = options.pixels_per_mm;
  if (options.transparent)
    style.look.fabric.reset();
  else
    style.look.fabric = inspect::Rgb{options.fabric_r, options.fabric_g, options.fabric_b};
  return style;
}

InputResult run_previews(const std::string& path, const std::string* out_dir, OutputWriter& out,
                         std::optional<std::span<const std::uint8_t>> bytes,
                         const std::vector<std::string>* planned_names,
                         const PictureOptions& options) {
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
  auto refusals = check_outputs(planned, {path}, out.fs(), out.force());
  if (!refusals.empty()) return failure(std::move(refusals.front()));

  // Every picture is drawn and encoded before the first file is written; only
  // the encoded files are kept, never more than one picture's pixels.
  std::vector<std::vector<std::uint8_t>> files;
  const Status drawn =
      inspect::draw_file_pictures(in, picture_style(options), [&](const inspect::AnyPicture& picture) -> Status {
        KORVANE_TRY(png, inspect::encode_png(picture, (*names)[files.size()]));
        files.push_back(std::move(png));
        return Ok{};
      });
  if (!drawn) return failure(drawn.error());

  InputResult r;
  for (std::size_t i = 0; i < files.size(); ++i)
    if (!out.write((*names)[i], files[i], r)) break;
  return r;
}

std::string worksheet_name(const std::string& path, const std::string* out_dir) {
  return folder_for(path, out_dir) + design_name(path) + "-worksheet.html";
}

Result<std::vector<std::string>> worksheet_names(const std::string& path,
                                                 const std::string* out_dir,
                                                 const formats::ByteReader& in) {
  // A file that gives pictures gives a worksheet.
  KORVANE_TRY(slots, inspect::file_pictures(in));
  (void)slots;
  return std::vector<std::string>{worksheet_name(path, out_dir)};
}

InputResult run_worksheet(const std::string& path, const std::string* out_dir, OutputWriter& out,
                          std::span<const std::uint8_t> bytes, const ConvertOptions& options) {
  if (out_dir && out_dir->empty())
    return failure(make_error(ErrorCode::kEmptyOutputName, path,
                              "the directory for the worksheet must be named"));
  if (!inspect::png_supported())
    return failure(
        make_error(ErrorCode::kCannotEncode, path, "this korvane was built without a PNG library"));
  const formats::ByteReader in(bytes, path);
  const std::string name = worksheet_name(path, out_dir);
  auto refusals = check_outputs({{name, path}}, {path}, out.fs());
  if (!refusals.empty()) return failure(std::move(refusals.front()));
  auto page = inspect::worksheet_html(in, picture_style(options.picture).look, options.worksheet);
  if (!page) return failure(page.error());
  const std::vector<std::uint8_t> file(page->begin(), page->end());
  InputResult r;
  out.write(name, file, r);
  return r;
}

}  // namespace kvn::convert
