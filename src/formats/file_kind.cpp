#include "formats/file_kind.hpp"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/container.hpp"
#include "formats/format_table.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"

namespace kvn::formats {
namespace {

// A container of more designs than this is not believed: a count read from
// text or picture bytes is far larger, and would only be reported as nonsense.
constexpr std::uint32_t kMostBelievableDesigns = 65535;

bool all_bytes(const ByteReader& in, std::size_t at, std::size_t len, bool (*ok)(std::uint8_t)) {
  auto s = in.span_at(at, len, "a field");
  return s && std::all_of(s->begin(), s->end(), ok);
}

bool text_or_zero(std::uint8_t b) {
  return b == 0 || b == '\r' || b == '\n' || b == '\t' || (b >= 0x20 && b < 0x7F);
}

std::string wanted_text(WantedKind wanted) {
  switch (wanted) {
    case WantedKind::kContainer:
      return "a DHV container";
    case WantedKind::kContainerOrDesign:
      return "a DHV container or SHV design";
    case WantedKind::kHucDesign:
      return "a HUC design";
  }
  return "a DHV container";
}

std::string what_to_do(ContentKind found, WantedKind wanted) {
  if (found == ContentKind::kShvDesign)
    return wanted == WantedKind::kHucDesign
               ? "it is already an SHV design"
               : "it is already an SHV design: nothing to split or combine";
  if (found == ContentKind::kHucDesign) return "use --huc to make an SHV design of it";
  if (found == ContentKind::kDhvContainer)
    return "use --split or --combine to make SHV designs of it";
  const Format* f = format_of(found);
  if (!f) return what_korvane_reads();
  if (f->family == Family::kPicture || f->family == Family::kDocument)
    return "korvane reads embroidery files, not pictures";
  if (!f->read) return "save it as SHV with embroidery software first";
  return "use --convert to make an SHV design of it";
}

// "A, B and C".
std::string listed(const std::vector<std::string>& names) {
  std::string s;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) s += i + 1 == names.size() ? " and " : ", ";
    s += names[i];
  }
  return s;
}

}  // namespace

bool shv_marked(const ByteReader& in) {
  auto at = GetShvStitchPos(in);
  if (!at) return false;
  auto h = read_shvhdr(in, *at);
  return h && has_shv_signature(*h);
}

bool container_of_whole_designs(const ByteReader& in) {
  auto layout = read_container(in);
  if (!layout) return false;
  for (const auto& ref : layout->designs) {
    auto shv = in.window(ref.begin, ref.length, "a design");
    if (!shv || !read_shv_design(*shv)) return false;
  }
  return true;
}

// A HUC image fills its file exactly: header, colour table and stream.
bool huc_fills_file(const ByteReader& in) {
  auto h = read_huchdr(in);
  return h && h->Signature == kHucSignature &&
         huc_stream_at(h->nColors) + 2 * std::uint64_t{h->Stitches} == in.size();
}

// A cut or padded HUC design still shows its mark, its name and its colour table.
bool huc_head_readable(const ByteReader& in) {
  auto h = read_huchdr(in);
  return h && h->Signature == kHucSignature && h->nColors > 0 &&
         huc_stream_at(h->nColors) <= in.size() &&
         std::all_of(h->Name.begin(), h->Name.end(), text_or_zero);
}

// The container family keeps text (or nothing) in its head; a count beyond
// belief means the bytes are something else.
bool looks_like_damaged_container(const ByteReader& in) {
  if (!all_bytes(in, 0, std::min<std::size_t>(in.size(), kNameLengthAt), text_or_zero))
    return false;
  auto n = in.u8(kNameLengthAt, "the name length");
  if (!n) return true;
  auto count = in.u32(kNameAt + *n + kDesignCountAfterName, "the design count");
  return !count || *count <= kMostBelievableDesigns;
}

bool shv_marked_whole_design(const ByteReader& in) {
  if (!shv_marked(in)) return false;
  auto shv = read_shv_design(in);
  return shv && shv->trailing.empty();
}

bool container_layout(const ByteReader& in) { return read_container(in).has_value(); }

// An SHV design cut before its design header still shows its prelude: a head
// and a name of text, then a dimension block that repeats its offsets, as no
// container's head does, and a preview the file ends before or inside. Text
// repeats itself too, but holds no zero or binary byte after the name.
bool shv_cut_in_prelude(const ByteReader& in) {
  auto n = in.u8(kShvNameLengthAt, "the name length");
  if (!n || !all_bytes(in, 0, kShvNameLengthAt, text_or_zero) ||
      !all_bytes(in, kShvNameAt, *n, text_or_zero))
    return false;
  const std::size_t at = kShvNameAt + *n;
  auto dims = read_dimensions(in, at);
  if (!dims || dims->scanlines == 0 || dims->pixels == 0) return false;
  auto block = in.span_at(at, dims->block_size(), "the dimension block");
  if (!block) return false;
  const auto b = *block;
  const auto same = [&b](std::size_t first, std::size_t again, std::size_t len) {
    for (std::size_t i = 0; i < len; ++i)
      if (b[first + i] != b[again + i]) return false;
    return true;
  };
  const bool repeated = dims->long_form
                            ? b[long_dims_at::kVersion] == kLongDimensionVersion &&
                                  same(long_dims_at::kXOffset, long_dims_at::kXOffsetAgain, 4)
                            : same(short_dims_at::kXOffset, short_dims_at::kXOffsetAgain, 2);
  // Zero offsets repeat in a container's head as well, whose bytes there are
  // often zero: those bytes stay the container's, as they always were.
  if (dims->x_offset == 0 && dims->y_offset == 0) return false;
  const auto rest = in.bytes().subspan(at);
  const bool binary = std::any_of(rest.begin(), rest.end(),
                                  [](std::uint8_t c) { return c == 0 || !text_or_zero(c); });
  return repeated && binary &&
         at + dims->block_size() + dims->bitmap_size() + kShvHdrSize > in.size();
}

ContentKind recognise_kind(std::span<const std::uint8_t> bytes) {
  const ByteReader in(bytes, "");
  for (const auto& rule : recognition_order())
    if (rule.test(in)) return rule.kind;
  return ContentKind::kUnknown;
}

const char* kind_name(ContentKind kind) {
  const Format* f = format_of(kind);
  return f ? f->noun : "unknown file";
}

std::string what_korvane_reads() {
  std::vector<std::string> containers, makers, others;
  for (const auto& f : format_table()) {
    if (f.family == Family::kContainer) containers.push_back(f.name);
    if (f.family == Family::kMakers && f.read) makers.push_back(f.name);
    if (f.family == Family::kOther && f.read) others.push_back(f.name);
  }
  return "korvane reads " + listed(containers) + " containers, " + listed(makers) +
         " designs, and " + listed(others) + " designs";
}

Error wrong_kind(ContentKind found, WantedKind wanted, std::string file) {
  if (found == ContentKind::kUnknown)
    return make_error(ErrorCode::kNotRecognised, std::move(file),
                      "not a file korvane knows; " + what_to_do(found, wanted));
  const Format* f = format_of(found);
  return make_error(ErrorCode::kWrongKind, std::move(file),
                    std::string("this is ") + f->article + " " + f->noun + ", not " +
                        wanted_text(wanted) + "; " + what_to_do(found, wanted));
}

}  // namespace kvn::formats
