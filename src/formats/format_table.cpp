#include "formats/format_table.hpp"

#include <algorithm>
#include <array>
#include <cctype>

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/huc_layout.hpp"
#include "formats/hus.hpp"
#include "formats/jef.hpp"
#include "formats/pec.hpp"
#include "formats/pes.hpp"
#include "formats/sew.hpp"
#include "formats/shv_pattern.hpp"
#include "formats/shv_threads.hpp"
#include "formats/vp3.hpp"
#include "formats/xxx.hpp"

namespace kvn::formats {
namespace {

using Exts = std::string_view;

constexpr Exts kDhvExts[] = {"dhv"};
constexpr Exts kShvExts[] = {"shv"};
constexpr Exts kHucExts[] = {"huc"};
constexpr Exts kDstExts[] = {"dst"};
constexpr Exts kExpExts[] = {"exp"};
constexpr Exts kJefExts[] = {"jef"};
constexpr Exts kPesExts[] = {"pes"};
constexpr Exts kPecExts[] = {"pec"};
constexpr Exts kVp3Exts[] = {"vp3"};
constexpr Exts kVp4Exts[] = {"vp4"};
constexpr Exts kHusExts[] = {"hus"};
constexpr Exts kVipExts[] = {"vip"};
constexpr Exts kXxxExts[] = {"xxx"};
constexpr Exts kSewExts[] = {"sew"};
constexpr Exts kPngExts[] = {"png"};
constexpr Exts kSvgExts[] = {"svg"};
constexpr Exts kCsvExts[] = {"csv"};
constexpr Exts kJsonExts[] = {"json"};

constexpr WriterLimits kNoLimits{};

// What each writer does with what its format cannot say: steps longer than
// its records are split, trims without a record of their own become the
// format's jumps, stops become colour changes.
constexpr WriterLimits kShvLimits{.longest_stitch = 127,
                                  .longest_jump = 0,
                                  .most_colours = kMaxHucColours,
                                  .most_stitches = kMaxHucWords,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true,
                                  .empty_blocks = false,
                                  .chart = "SHV colour code",
                                  .thread_in_chart = shv_thread_for,
                                  .hoops = kShvHoops};
constexpr WriterLimits kDstLimits{.longest_stitch = kDstMaxStep,
                                  .longest_jump = kDstMaxStep,
                                  .trims = false,
                                  .stops = false,
                                  .colours = false};
constexpr WriterLimits kExpLimits{.longest_stitch = kExpMaxStep,
                                  .longest_jump = kExpMaxStep,
                                  .trims = true,
                                  .stops = false,
                                  .colours = false};
constexpr WriterLimits kJefLimits{.longest_stitch = 127,
                                  .longest_jump = 127,
                                  .trims = true,
                                  .stops = true,
                                  .colours = true,
                                  .chart = "Janome",
                                  .thread_in_chart = janome_thread_for,
                                  .hoops = kJanomeHoops};
// PES lists the threads as they are beside the PEC section's palette picks.
constexpr WriterLimits kPesLimits{.longest_stitch = 2047,
                                  .longest_jump = 2047,
                                  .most_colours = 255,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true,
                                  .thread_in_chart = pes_thread_for,
                                  .names = true,
                                  .hoops = kBrotherHoops};
constexpr WriterLimits kPecLimits{.longest_stitch = 2047,
                                  .longest_jump = 2047,
                                  .most_colours = 255,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true,
                                  .chart = "Brother PEC",
                                  .thread_in_chart = pec_thread_for,
                                  .hoops = kBrotherHoops};
constexpr WriterLimits kXxxLimits{.longest_stitch = kXxxMaxStitch,
                                  .longest_jump = 0,
                                  .most_colours = kXxxMaxColours,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true};
constexpr WriterLimits kSewLimits{.longest_stitch = kSewMaxStep,
                                  .longest_jump = kSewMaxStep,
                                  .most_colours = kSewMaxColours,
                                  .trims = false,
                                  .stops = false,
                                  .colours = true,
                                  .chart = "Janome SEW",
                                  .thread_in_chart = sew_thread_for};
constexpr WriterLimits kVp3Limits{.longest_stitch = kVp3LongestStitch,
                                  .longest_jump = 0,
                                  .shortest_jump = kVp3LongestStitch,
                                  .most_colours = kVp3MaxBlocks,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true};
constexpr WriterLimits kHusLimits{.longest_stitch = kHusMaxStep,
                                  .longest_jump = kHusMaxStep,
                                  .most_colours = kHusMaxColours,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true,
                                  .chart = "HUS",
                                  .thread_in_chart = hus_thread_for};
constexpr WriterLimits kVipLimits{.longest_stitch = kHusMaxStep,
                                  .longest_jump = kHusMaxStep,
                                  .most_colours = kVipMaxColours,
                                  .trims = true,
                                  .stops = false,
                                  .colours = true};
constexpr WriterLimits kDocumentLimits{.trims = true, .stops = true, .colours = true};

constexpr const char* kNoOpenDescription =
    "korvane cannot read a VP4 design; save it in another format with embroidery software first";

constexpr Format kFormats[] = {
    {ContentKind::kDhvContainer, "DHV", "DHV container", "a", Family::kContainer, kDhvExts,
     "application/x-korvane-dhv", nullptr, nullptr, false, kNoLimits, nullptr},
    {ContentKind::kShvDesign, "SHV", "SHV design", "an", Family::kMakers, kShvExts, "application/x-korvane-shv",
     read_shv, nullptr, true, kShvLimits, nullptr},
    {ContentKind::kHucDesign, "HUC", "HUC design", "a", Family::kMakers, kHucExts, "application/x-korvane-huc",
     read_huc, nullptr, false, kNoLimits, nullptr},
    {ContentKind::kDst, "DST", "DST design", "a", Family::kOther, kDstExts, "application/x-korvane-dst",
     read_dst, write_dst, true, kDstLimits, nullptr},
    {ContentKind::kExp, "EXP", "EXP design", "an", Family::kOther, kExpExts, "application/x-korvane-exp",
     read_exp, write_exp, true, kExpLimits, nullptr},
    {ContentKind::kJef, "JEF", "JEF design", "a", Family::kOther, kJefExts, "application/x-korvane-jef",
     read_jef, write_jef, true, kJefLimits, nullptr},
    {ContentKind::kPes, "PES", "PES design", "a", Family::kOther, kPesExts, "application/x-korvane-pes",
     read_pes, write_pes, true, kPesLimits, nullptr},
    {ContentKind::kPec, "PEC", "PEC design", "a", Family::kOther, kPecExts, "application/x-korvane-pec",
     read_pec, write_pec, true, kPecLimits, nullptr},
    {ContentKind::kVp3, "VP3", "VP3 design", "a", Family::kOther, kVp3Exts, "application/x-korvane-vp3",
     read_vp3, write_vp3, true, kVp3Limits, nullptr},
    {ContentKind::kVp4, "VP4", "VP4 design", "a", Family::kOther, kVp4Exts, "application/x-korvane-vp4",
     nullptr, nullptr, false, kNoLimits, kNoOpenDescription},
    {ContentKind::kHus, "HUS", "HUS design", "a", Family::kOther, kHusExts, "application/x-korvane-hus",
     read_hus, write_hus, true, kHusLimits, nullptr},
    {ContentKind::kVip, "VIP", "VIP design", "a", Family::kOther, kVipExts, "application/x-korvane-vip",
     read_vip, write_vip, true, kVipLimits, nullptr},
    {ContentKind::kXxx, "XXX", "XXX design", "an", Family::kOther, kXxxExts, "application/x-korvane-xxx",
     read_xxx, write_xxx, true, kXxxLimits, nullptr},
    {ContentKind::kSew, "SEW", "SEW design", "a", Family::kOther, kSewExts, "application/x-korvane-sew",
     read_sew, write_sew, true, kSewLimits, nullptr},
    {ContentKind::kPng, "PNG", "PNG picture", "a", Family::kPicture, kPngExts, "image/png", nullptr, nullptr,
     false, kNoLimits, nullptr},
    {ContentKind::kSvg, "SVG", "SVG picture", "an", Family::kPicture, kSvgExts, "image/svg+xml", nullptr, nullptr,
     true, kDocumentLimits, nullptr},
    {ContentKind::kCsv, "CSV", "CSV document", "a", Family::kDocument, kCsvExts, "text/csv", nullptr, nullptr,
     true, kDocumentLimits, nullptr},
    {ContentKind::kJson, "JSON", "JSON document", "a", Family::kDocument, kJsonExts, "application/json", nullptr,
     nullptr, true, kDocumentLimits, nullptr},
};

bool starts_with(const ByteReader& in, std::size_t at, std::string_view magic) {
  auto s = in.span_at(at, magic.size(), "a mark");
  return s && std::equal(s->begin(), s->end(), magic.begin(),
                         [](std::uint8_t b, char c) { return b == static_cast<std::uint8_t>(c); });
}

// The foreign formats keep their numbers little-endian.
std::optional<std::uint32_t> le32(const ByteReader& in, std::size_t at) {
  auto v = in.u32le(at, "a number");
  return v ? std::optional(*v) : std::nullopt;
}

std::optional<std::uint16_t> le16(const ByteReader& in, std::size_t at) {
  auto v = in.u16le(at, "a number");
  return v ? std::optional(*v) : std::nullopt;
}

bool all_bytes(const ByteReader& in, std::size_t at, std::size_t len, bool (*ok)(std::uint8_t)) {
  auto s = in.span_at(at, len, "a field");
  return s && std::all_of(s->begin(), s->end(), ok);
}

bool is_digit(std::uint8_t b) { return b >= '0' && b <= '9'; }
bool is_label(std::uint8_t b) { return (b >= 0x20 && b < 0x7F) || b == '\r'; }
bool is_zero(std::uint8_t b) { return b == 0; }

bool png_signature(const ByteReader& in) { return starts_with(in, 0, "\x89PNG\r\n\x1A\n"); }
bool pes_head(const ByteReader& in) {
  return starts_with(in, 0, "#PES") && all_bytes(in, 4, 4, is_digit);
}
bool pec_head(const ByteReader& in) { return starts_with(in, 0, "#PEC0001"); }
bool vp3_head(const ByteReader& in) { return starts_with(in, 0, "%vsm%"); }
bool vp4_head(const ByteReader& in) { return starts_with(in, 0, "%Vp4%"); }
bool hus_magic(const ByteReader& in) {
  const auto magic = le32(in, 0);
  return magic == 0x00C8AF5Bu || magic == 0x00C8FC5Du;
}
bool vip_magic(const ByteReader& in) { return le32(in, 0) == 0x0190FC5Du; }

// A DST head is 512 bytes of labelled text fields: "LA:" the label, then "ST:";
// a file cut inside them is still a DST design, a damaged one.
bool dst_head(const ByteReader& in) {
  constexpr std::size_t kCountAt = 20;
  if (!starts_with(in, 0, "LA:")) return false;
  if (in.size() < kCountAt + 3) return all_bytes(in, 3, in.size() - 3, is_label);
  return starts_with(in, kCountAt, "ST:");
}

// JEF begins with the offset of its stitches, which follow a 116-byte head
// and two 4-byte entries per colour.
bool jef_head(const ByteReader& in) {
  const auto offset = le32(in, 0);
  const auto colours = le32(in, 24);
  return offset && colours && *colours >= 1 && *colours <= 255 && *offset == 116 + 8 * *colours &&
         *offset <= in.size();
}

// SEW: a little-endian colour count, its colour list, and the stitches at a
// fixed place, opened by a move command.
constexpr std::size_t kSewStitchesAt = 0x1D78;
constexpr std::uint16_t kSewChartColours = 79;  // Janome's chart, as SEW indexes it
bool sew_layout(const ByteReader& in) {
  const auto colours = le16(in, 0);
  auto first = in.u8(kSewStitchesAt, "the stitches");
  return colours && *colours >= 1 && *colours <= 255 && first && *first == 0x80;
}

// A SEW file cut before its stitches: the colour count and a whole list of
// colours that are all on Janome's chart, which other bytes rarely make.
bool sew_cut_in_head(const ByteReader& in) {
  const auto colours = le16(in, 0);
  if (in.size() > kSewStitchesAt || !colours || *colours < 1 || *colours > 255) return false;
  for (std::size_t c = 0; c < *colours; ++c) {
    const auto index = le16(in, 2 + 2 * c);
    if (!index || *index >= kSewChartColours) return false;
  }
  return true;
}

// XXX: a 256-byte head, zero but for a few counts near its start, that ends
// with the offset of the colour table after the stitches.
bool xxx_layout(const ByteReader& in) {
  // The offset may lie past the end: the file is an XXX design cut short.
  const auto table = le32(in, 0xFC);
  return table && *table >= 0x100 && all_bytes(in, 0, 0x17, is_zero) &&
         all_bytes(in, 0x40, 0xFC - 0x40, is_zero);
}

// EXP has no head at all: only an unbroken run of 2-byte records that opens
// with a 0x80 command, every command followed by a move, is taken for one. A
// last byte alone is a record cut short: the reader says so.
bool exp_layout(const ByteReader& in) {
  if (in.size() < 4) return false;
  auto all = in.span_at(0, in.size() - in.size() % 2, "the stitches");
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

// The order matters where layouts overlap: marks and magic before layouts,
// and the weakest layouts (a damaged container's head of text, EXP's bare
// records) last, so that they only take what nothing else claims.
constexpr RecognitionRule kRecognitionOrder[] = {
    {ContentKind::kShvDesign, shv_marked_whole_design},
    {ContentKind::kDhvContainer, container_of_whole_designs},
    {ContentKind::kShvDesign, shv_marked},
    {ContentKind::kPng, png_signature},
    {ContentKind::kPes, pes_head},
    {ContentKind::kPec, pec_head},
    {ContentKind::kVp3, vp3_head},
    {ContentKind::kVp4, vp4_head},
    {ContentKind::kHus, hus_magic},
    {ContentKind::kVip, vip_magic},
    {ContentKind::kDst, dst_head},
    {ContentKind::kJef, jef_head},
    {ContentKind::kHucDesign, huc_fills_file},
    {ContentKind::kDhvContainer, container_layout},
    {ContentKind::kHucDesign, huc_head_readable},
    {ContentKind::kShvDesign, shv_cut_in_prelude},
    {ContentKind::kSew, sew_layout},
    {ContentKind::kXxx, xxx_layout},
    {ContentKind::kDhvContainer, looks_like_damaged_container},
    {ContentKind::kExp, exp_layout},
    {ContentKind::kSew, sew_cut_in_head},
};

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

std::span<const Format> format_table() { return kFormats; }

const Format* format_of(ContentKind kind) {
  for (const auto& f : kFormats)
    if (f.kind == kind) return &f;
  return nullptr;
}

const Format* format_named(std::string_view name) {
  if (const auto dot = name.rfind('.'); dot != std::string_view::npos) name.remove_prefix(dot + 1);
  const std::string want = lower(name);
  for (const auto& f : kFormats)
    for (const auto ext : f.extensions)
      if (want == ext) return &f;
  return nullptr;
}

std::span<const RecognitionRule> recognition_order() { return kRecognitionOrder; }

std::string writable_extensions() {
  std::string s;
  for (const auto& f : kFormats)
    if (f.writable) s += std::string(s.empty() ? "" : ", ") + std::string(f.extensions.front());
  return s;
}

}  // namespace kvn::formats
