#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/file_kind.hpp"
#include "formats/shv_design.hpp"
#include "korvane/survey.hpp"

namespace kvn::inspect {

/// One design of a recognised file, navigated whole. Its spans point into the
/// bytes that were recognised.
struct DesignView {
  std::uint64_t offset = 0;  // where its SHV image begins in the file
  std::size_t length = 0;    // bytes of the SHV image
  bool in_container = false;
  std::int16_t Xoffset = 0;  // placement; 0 outside a container
  std::int16_t Yoffset = 0;
  formats::ShvDesign design;
};

struct Recognised {
  FileKind kind = FileKind::kDesign;
  std::span<const std::uint8_t> name;  // the container's or the design's name
  std::vector<DesignView> designs;     // never empty
};

/// Reads a DHV container or an SHV design, told apart by content
/// (formats::recognise_kind). A broken one fails with the reader's reason; a
/// file of any other kind with the one line that says what it is.
Result<Recognised> recognise(const formats::ByteReader& in);

/// The hoop class a design `width` x `height` (tenths of a millimetre) calls for.
HoopClass hoop_class_for(std::int32_t width, std::int32_t height);

/// What --info tells of the image `in`: a container, an SHV design, a HUC
/// design or a design of any other format read_pattern() reads; with
/// `events`, every design's needle events too.
Result<FileInfo> survey_image(const formats::ByteReader& in, bool events = false);

/// True when read_pattern() reads designs of `kind` in this build.
bool pattern_readable(formats::ContentKind kind);

/// "DHV, SHV, HUC, DST, ...": the formats this build reads.
std::string readable_formats();

/// The error for a file korvane cannot read as a design: what it is and what
/// korvane reads.
Error not_readable(const formats::ByteReader& in, formats::ContentKind kind);

/// What --info tells of a HUC design image: its header and colour table.
Result<FileInfo> survey_huc(const formats::ByteReader& in);

}  // namespace kvn::inspect
