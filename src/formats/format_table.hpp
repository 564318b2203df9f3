#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/error.hpp"
#include "formats/file_kind.hpp"
#include "formats/hoop.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// What a format is to korvane's users: it decides how it is grouped in the
/// sentence that says what korvane reads.
enum class Family {
  kContainer,  // several designs with their placements
  kMakers,     // the designs of the container's own machines (SHV, HUC)
  kOther,      // the designs of other machines
  kPicture,    // a picture, never a design
  kDocument,   // a listing of the needle events for people and scripts
};

/// What a format can hold, so that a pattern can be fitted to it before it
/// is written. Lengths are per axis, in 0.1 mm; 0 means no limit.
struct WriterLimits {
  std::int32_t longest_stitch = 0;
  std::int32_t longest_jump = 0;
  // Jumps no longer than this on both axes are sewn as stitches: the format
  // has only long moves, which are jumps when they are longer. 0: none.
  std::int32_t shortest_jump = 0;
  std::size_t most_colours = 0;
  std::size_t most_stitches = 0;
  bool trims = false;      // a trim of its own; otherwise it is written as jumps
  bool stops = false;      // a stop apart from a colour change
  bool colours = false;    // the file stores its threads' colours
  bool empty_blocks = true;  // a colour block with no needle event is kept
  const char* chart = "";  // the thread chart colours are picked from, "" when stored as RGB
  // The thread a file of the format holds for `t`: the chart entry its
  // writer picks. nullptr where threads are stored as they are.
  Thread (*thread_in_chart)(const Thread& t) = nullptr;
  // The file keeps each thread's name and catalogue number as thread_in_chart
  // gives them, so the read-back check compares them too.
  bool names = false;
  std::span<const HoopSize> hoops{};  // smallest first; empty where the format names no hoop
};

using ReadFn = Result<Pattern> (*)(const ByteReader&);
using WriteFn = Result<std::vector<std::uint8_t>> (*)(const Pattern&, const std::string& file);

/// One format korvane knows. Everything that lists formats walks the table:
/// recognition, --convert's targets, --formats, --help, the page.
struct Format {
  ContentKind kind;
  const char* name;     // "DST"
  const char* noun;     // "DST design", "DHV container", "PNG picture"
  const char* article;  // "a", or "an" where the name is spoken with a vowel first
  Family family;
  std::span<const std::string_view> extensions;  // lower case; the first is written
  const char* mime;
  ReadFn read;             // the needle events of one design; nullptr where not read so
  WriteFn write;           // nullptr where this layer has no writer (see `writable`)
  bool writable;           // --convert writes it (SHV and the documents are written above)
  WriterLimits limits;     // what a written file can hold
  const char* unreadable;  // why korvane cannot read it, where it only recognises it
};

/// Every format, in the order they are listed to users.
std::span<const Format> format_table();

/// The row of `kind`; nullptr for kUnknown.
const Format* format_of(ContentKind kind);

/// The format whose name or extension is `name` ("dst", ".DST", "garden.dst"
/// by its extension); nullptr for any other.
const Format* format_named(std::string_view name);

/// One rule of recognition: the first rule in order whose test holds names
/// the kind of a file.
struct RecognitionRule {
  ContentKind kind;
  bool (*test)(const ByteReader&);
};
std::span<const RecognitionRule> recognition_order();

/// The extensions of the formats --convert writes, in table order: "shv, dst, ...".
std::string writable_extensions();

}  // namespace kvn::formats
