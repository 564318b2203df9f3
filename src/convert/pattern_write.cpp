#include "convert/pattern_write.hpp"

#include "convert/fitting.hpp"
#include "convert/pattern_text.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::convert {

const formats::Format* writable_format_named(std::string_view name) {
  const formats::Format* f = formats::format_named(name);
  return f && f->writable ? f : nullptr;
}

Result<std::vector<std::uint8_t>> write_pattern(const formats::Pattern& p, formats::ContentKind kind,
                                                const std::string& file) {
  auto ok = formats::check_pattern(p, file);
  if (!ok) return ok.error();
  const formats::Format* f = formats::format_of(kind);
  if (f && f->write) return f->write(p, file);
  // The writers that need a layer above the formats': the SHV writer draws
  // the stored preview, and the documents are text for people and scripts.
  if (kind == formats::ContentKind::kShvDesign) return shvgen::write_shv(p, file);
  if (kind == formats::ContentKind::kSvg) return write_svg(p);
  if (kind == formats::ContentKind::kCsv) return write_csv(p);
  if (kind == formats::ContentKind::kJson) return write_json(p);
  return make_error(ErrorCode::kUnsupportedForm, file,
                    std::string("korvane cannot write ") +
                        (f ? std::string(f->extensions.front()) : "this format") + " yet");
}

Status stream_pattern(const formats::Pattern& p, formats::ContentKind kind, const std::string& file,
                      ByteSink& sink) {
  void (*document)(const formats::Pattern&, ByteSink&) =
      kind == formats::ContentKind::kSvg    ? stream_svg
      : kind == formats::ContentKind::kCsv  ? stream_csv
      : kind == formats::ContentKind::kJson ? stream_json
                                            : nullptr;
  const formats::Format* f = formats::format_of(kind);
  if (document && !(f && f->write)) {
    if (auto ok = formats::check_pattern(p, file); !ok) return ok.error();
    document(p, sink);
    return Ok{};
  }
  // The largest SHV designs are written as their two parts: joining them
  // would hold the stitch stream twice.
  if (kind == formats::ContentKind::kShvDesign && !damage_asked()) {
    auto pieces = shvgen::write_shv_pieces(p, file);
    if (!pieces) return pieces.error();
    sink.put(pieces->head);
    sink.put(pieces->stream);
    return Ok{};
  }
  auto image = write_pattern(p, kind, file);
  if (!image) return image.error();
  if (f) damage_if_asked(*image, *f);
  sink.put(*image);
  return Ok{};
}

}  // namespace kvn::convert
