#pragma once

#include <cstdint>
#include <functional>
#include <variant>
#include <vector>

#include "formats/byte_reader.hpp"
#include "inspect/pictures.hpp"
#include "inspect/realistic.hpp"
#include "korvane/survey.hpp"

namespace kvn::inspect {

enum class PictureKind { kPreview, kStitches, kLayout };

/// One picture a file gives: what it shows, and the number (from 1) of the
/// design of a container it shows; 0 for a file of one design or a layout.
struct PictureSlot {
  PictureKind kind = PictureKind::kStitches;
  unsigned number = 0;
};

/// Every picture the image `in` gives, in the order they are drawn: for a DHV
/// container or SHV design each design's stored preview and its stitches,
/// then a container's layout; for a design of any other format korvane reads
/// its stitches only. An error for a file that is none of these.
Result<std::vector<PictureSlot>> file_pictures(const formats::ByteReader& in);

/// How the stitches and a layout are drawn: as threads on fabric, or
/// (`lines`) as one-pixel lines on the grey checker.
struct PictureStyle {
  bool lines = false;
  ThreadLook look;
};

/// A picture as it was drawn: indexed, or in full colour.
using AnyPicture = std::variant<Picture, RgbaPicture>;

/// Draws the pictures file_pictures() names, in its order, handing each to
/// `take` as soon as it is drawn, so that no more than one picture's pixels
/// are held at a time. Stops at the first error, the file's or take's.
Status draw_file_pictures(const formats::ByteReader& in, const PictureStyle& style,
                          const std::function<Status(const AnyPicture&)>& take);

/// One picture, as the page shows it: the stitches of design `design` (from
/// 0), or for a negative `design` a container's or SHV design's layout (a
/// design of another format: its stitches).
Result<Picture> design_picture(const formats::ByteReader& in, std::int32_t design);

/// design_picture() drawn as threads on fabric.
Result<RgbaPicture> realistic_design_picture(const formats::ByteReader& in, std::int32_t design,
                                             const ThreadLook& look);

}  // namespace kvn::inspect
