#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "formats/error.hpp"

namespace kvn::formats {

/// What a file holds, told by its bytes alone: file names and extensions lie
/// too often to be trusted.
enum class ContentKind {
  kUnknown,
  kDhvContainer,
  kShvDesign,
  kHucDesign,
  kDst,
  kExp,
  kJef,
  kPes,
  kPec,
  kVp3,
  kVp4,
  kHus,
  kVip,
  kXxx,
  kSew,
  kPng,
  // Documents korvane writes and never reads back as designs.
  kSvg,
  kCsv,
  kJson,
};

/// Recognises the kind of `bytes` by the rules of the format table, in its
/// order (formats::recognition_order()). The first matching rule wins:
/// 1. An image whose shvhdr_t carries the SHV marks is an SHV design, even a
///    broken one, unless it is not exactly one design and lays out as a
///    container whose every design reads whole (the marks can occur by chance).
/// 2. A container layout whose every design reads whole as an SHV design.
/// 3. The magic or fixed header of a foreign format, or PNG's signature.
/// 4. A HUC image: its mark byte and a header, colour table and stream that
///    fill the file exactly.
/// 5. A container layout that reads, whatever its designs hold; then a HUC
///    image cut or padded, with its mark, a readable name and colour table;
///    then an SHV design cut inside its prelude.
/// 6. SEW and XXX by their layout, also when cut after their heads.
/// 7. A head of text or zero bytes with a believable design count: a damaged
///    container, left to the container reader to say what is wrong.
/// 8. EXP, only as an unbroken run of records that opens with a command (its
///    last record may be cut); then a SEW design cut inside its head.
/// Everything else is kUnknown.
ContentKind recognise_kind(std::span<const std::uint8_t> bytes);

/// "DHV container", "SHV design", "HUC design", "DST design", "PNG picture", ...
const char* kind_name(ContentKind kind);

/// "korvane reads DHV containers, SHV and HUC designs, and DST, ... designs".
std::string what_korvane_reads();

// The rules of the container family, which the format table puts in their
// places among the others.
class ByteReader;
bool shv_marked_whole_design(const ByteReader& in);  // marked, and one design exactly
bool container_of_whole_designs(const ByteReader& in);
bool shv_marked(const ByteReader& in);  // marked, whatever follows
bool huc_fills_file(const ByteReader& in);
bool container_layout(const ByteReader& in);  // a container, whatever its designs hold
bool huc_head_readable(const ByteReader& in);
bool shv_cut_in_prelude(const ByteReader& in);  // cut before its design header
bool looks_like_damaged_container(const ByteReader& in);

/// What a command needs from its input, for the line that refuses another kind.
enum class WantedKind {
  kContainer,          // split and combine
  kContainerOrDesign,  // --info and --preview
  kHucDesign,          // --huc
};

/// The refusal of a file of kind `found` where `wanted` was needed:
/// kWrongKind, its message "garden.dst: this is a DST design, not a DHV
/// container; <what to do>"; for kUnknown, kNotRecognised, "garden.bin: not a
/// file korvane knows; <what it reads>".
Error wrong_kind(ContentKind found, WantedKind wanted, std::string file);

}  // namespace kvn::formats
