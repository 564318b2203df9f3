#include "formats/file_kind.hpp"

#include <algorithm>
#include <optional>
#include <string_view>

#include "formats/byte_reader.hpp"
#include "formats/container.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"

namespace kvn::formats {
namespace {

struct KindText {
  ContentKind kind;
  const char* article;
  const char* name;
};

constexpr KindText kKindTexts[] = {
    {ContentKind::kUnknown, "an", "unknown file"},
    {ContentKind::kDhvContainer, "a", "DHV container"},
    {ContentKind::kShvDesign, "an", "SHV design"},
    {ContentKind::kHucDesign, "a", "HUC design"},
    {ContentKind::kDst, "a", "DST design"},
    {ContentKind::kExp, "an", "EXP design"},
    {ContentKind::kJef, "a", "JEF design"},
    {ContentKind::kPes, "a", "PES design"},
    {ContentKind::kPec, "a", "PEC design"},
    {ContentKind::kVp3, "a", "VP3 design"},
    {ContentKind::kVp4, "a", "VP4 design"},
    {ContentKind::kHus, "a", "HUS design"},
    {ContentKind::kVip, "a", "VIP design"},
    {ContentKind::kXxx, "an", "XXX design"},
    {ContentKind::kSew, "a", "SEW design"},
    {ContentKind::kPng, "a", "PNG picture"},
};

const KindText& text_of(ContentKind kind) {
  for (const auto& t : kKindTexts)
    if (t.kind == kind) return t;
  return kKindTexts[0];
}

// A container of more designs than this is not believed: a count read from
// text or picture bytes is far larger, and would only be reported as nonsense.
constexpr std::uint32_t kMostBelievableDesigns = 65535;

bool starts_with(const ByteReader& in, std::size_t at, std::string_view magic) {
  auto s = in.span_at(at, magic.size(), "a mark");
  return s && std::equal(s->begin(), s->end(), magic.begin(),
                         [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
}

// The foreign formats keep their numbers little-endian.
std::optional<std::uint32_t> le32(const ByteReader& in, std::size_t at) {
  auto b = in.take<4>(at, "a number");
  if (!b) return std::nullopt;
  return std::uint32_t{(*b)[0]} | std::uint32_t{(*b)[1]} << 8 | std::uint32_t{(*b)[2]} << 16 |
         std::uint32_t{(*b)[3]} << 24;
}

std::optional<std::uint16_t> le16(const ByteReader& in, std::size_t at) {
  auto b = in.take<2>(at, "a number");
  if (!b) return std::nullopt;
  return static_cast<std::uint16_t>((*b)[0] | (*b)[1] << 8);
}

bool all_bytes(const ByteReader& in, std::size_t at, std::size_t len, bool (*ok)(std::uint8_t)) {
  auto s = in.span_at(at, len, "a field");
  return s && std::all_of(s->begin(), s->end(), ok);
}

bool text_or_zero(std::uint8_t b) {
  return b == 0 || b == '\r' || b == '\n' || b == '\t' || (b >= 0x20 && b < 0x7F);
}
bool is_digit(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool is_zero(std::uint8_t b) { return b == 0; }

bool marked_as_shv(const ByteReader& in) {
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

ContentKind foreign_by_magic(const ByteReader& in) {
  if (starts_with(in, 0, "\x89PNG\r\n\x1A\n")) return ContentKind::kPng;
  if (starts_with(in, 0, "#PES") && all_bytes(in, 4, 4, is_digit)) return ContentKind::kPes;
  if (starts_with(in, 0, "#PEC0001")) return ContentKind::kPec;
  if (starts_with(in, 0, "%vsm%")) return ContentKind::kVp3;
  if (starts_with(in, 0, "%Vp4%")) return ContentKind::kVp4;
  const auto magic = le32(in, 0);
  if (magic == 0x00C8AF5Bu || magic == 0x00C8FC5Du) return ContentKind::kHus;
  if (magic == 0x0190FC5Du) return ContentKind::kVip;
  // A DST head is 512 bytes of labelled text fields: "LA:" the label, then "ST:".
  if (in.size() >= 512 && starts_with(in, 0, "LA:") && starts_with(in, 20, "ST:"))
    return ContentKind::kDst;
  // JEF begins with the offset of its stitches, which follow a 116-byte head
  // and two 4-byte entries per colour.
  const auto colours = le32(in, 24);
  if (magic && colours && *colours >= 1 && *colours <= 255 && *magic == 116 + 8 * *colours &&
      *magic <= in.size())
    return ContentKind::kJef;
  return ContentKind::kUnknown;
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

// SEW: a little-endian colour count, its colour list, and the stitches at a
// fixed place, opened by a move command.
bool sew_layout(const ByteReader& in) {
  constexpr std::size_t kStitchesAt = 0x1D78;
  const auto colours = le16(in, 0);
  auto first = in.u8(kStitchesAt, "the stitches");
  return colours && *colours >= 1 && *colours <= 255 && first && *first == 0x80;
}

// XXX: a 256-byte head, zero but for a few counts near its start, that ends
// with the offset of the colour table after the stitches.
bool xxx_layout(const ByteReader& in) {
  const auto table = le32(in, 0xFC);
  return table && *table >= 0x100 && *table < in.size() && all_bytes(in, 0, 0x17, is_zero) &&
         all_bytes(in, 0x40, 0xFC - 0x40, is_zero);
}

// EXP has no head at all: only an unbroken run of 2-byte records that opens
// with a 0x80 command, every command followed by a move, is taken for one.
bool exp_layout(const ByteReader& in) {
  if (in.size() < 4 || in.size() % 2 != 0) return false;
  auto all = in.span_at(0, in.size(), "the stitches");
  if (!all || (*all)[0] != 0x80) return false;
  const auto b = *all;
  bool after_command = false;
  for (std::size_t i = 0; i < b.size(); i += 2) {
    if (b[i] == 0x80 && !after_command) {
      const std::uint8_t c = b[i + 1];
      if (c != 0x01 && c != 0x02 && c != 0x04 && c != 0x80) return false;
      after_command = true;
      continue;
    }
    if (b[i] == 0x80 || b[i + 1] == 0x80) return false;
    after_command = false;
  }
  return true;
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
  switch (found) {
    case ContentKind::kShvDesign:
      return wanted == WantedKind::kHucDesign
                 ? "it is already an SHV design"
                 : "it is already an SHV design: nothing to split or combine";
    case ContentKind::kHucDesign:
      return "use --huc to make an SHV design of it";
    case ContentKind::kDhvContainer:
      return "use --split or --combine to make SHV designs of it";
    case ContentKind::kPng:
      return "korvane reads embroidery files, not pictures";
    case ContentKind::kVp4:
      return "save it as SHV with embroidery software first";
    case ContentKind::kUnknown:
      break;
    default:
      return "use --convert to make an SHV design of it";
  }
  return "korvane reads DHV containers, SHV and HUC designs, and DST, EXP, JEF, PES, PEC, VP3, "
         "HUS, VIP, XXX and SEW designs";
}

}  // namespace

ContentKind recognise_kind(std::span<const std::uint8_t> bytes) {
  const ByteReader in(bytes, "");
  if (marked_as_shv(in)) {
    auto shv = read_shv_design(in);
    if (shv && shv->trailing.empty()) return ContentKind::kShvDesign;
    return container_of_whole_designs(in) ? ContentKind::kDhvContainer : ContentKind::kShvDesign;
  }
  if (container_of_whole_designs(in)) return ContentKind::kDhvContainer;
  if (const auto foreign = foreign_by_magic(in); foreign != ContentKind::kUnknown) return foreign;
  if (huc_fills_file(in)) return ContentKind::kHucDesign;
  if (read_container(in)) return ContentKind::kDhvContainer;
  if (huc_head_readable(in)) return ContentKind::kHucDesign;
  if (sew_layout(in)) return ContentKind::kSew;
  if (xxx_layout(in)) return ContentKind::kXxx;
  if (looks_like_damaged_container(in)) return ContentKind::kDhvContainer;
  if (exp_layout(in)) return ContentKind::kExp;
  return ContentKind::kUnknown;
}

const char* kind_name(ContentKind kind) { return text_of(kind).name; }

Error wrong_kind(ContentKind found, WantedKind wanted, std::string file) {
  if (found == ContentKind::kUnknown)
    return make_error(ErrorCode::kNotRecognised, std::move(file),
                      "not a file korvane knows; " + what_to_do(found, wanted));
  const KindText& t = text_of(found);
  return make_error(ErrorCode::kWrongKind, std::move(file),
                    std::string("this is ") + t.article + " " + t.name + ", not " +
                        wanted_text(wanted) + "; " + what_to_do(found, wanted));
}

}  // namespace kvn::formats
