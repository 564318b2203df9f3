#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
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

/// Tells a DHV container from an SHV design by content. An image whose
/// shvhdr_t carries the SHV marks and whose stream ends exactly at its end is
/// a design; otherwise an image that lays out as a container whose every
/// design reads whole is a container; otherwise an SHV-marked image with bytes
/// after its stream is a design. Anything else fails with the reason it is not
/// an SHV design when it carries the marks, else with the container's reason.
Result<Recognised> recognise(const formats::ByteReader& in);

/// The hoop class a design `width` x `height` (tenths of a millimetre) calls for.
HoopClass hoop_class_for(std::int32_t width, std::int32_t height);

/// What --info tells of the image `in`.
Result<FileInfo> survey_image(const formats::ByteReader& in);

}  // namespace kvn::inspect
