// korvane's view inside containers and designs, for front ends: what --info
// shows and what --preview draws.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "korvane/korvane.hpp"
#include "korvane/result.hpp"

namespace kvn {

/// The hoop classes of the hoop code, smallest first. A design calls for the
/// first class whose size (width along x, height along y) holds it; designs are
/// never turned to fit.
enum class HoopClass { k100x100, k100x170, k150x150, k150x240, k150x360, kLarger };

/// "100 x 100", "100 x 170", "150 x 150", "150 x 240", "150 x 360" or "larger".
const char* hoop_class_name(HoopClass c);

struct ColourInfo {
  std::uint8_t code = 0;           // shvcolor_t::Color
  std::uint32_t words = 0;         // shvcolor_t::Stitches: words of this colour's block
  std::uint8_t preview_value = 0;  // the 4-bit preview colour (1-15) the code maps to
  std::string name;                // the thread chart's name, empty for a code it does not name
};

/// A needle event of --info --stitches: 0.1 mm from the start point, y down.
enum class EventOp { kStitch, kJump, kTrim, kColourChange, kStop, kEnd };
struct EventInfo {
  std::int32_t x = 0;
  std::int32_t y = 0;
  EventOp op = EventOp::kStitch;
};

/// A thread of a design in a format that stores colours as RGB.
struct ThreadInfo {
  std::uint8_t r = 0, g = 0, b = 0;
  std::string name;            // empty when the file names none
  std::string catalogue;       // the maker's number, empty when none
  std::uint64_t stitches = 0;  // stitches of its colour block
};

struct DesignInfo {
  unsigned number = 1;  // 1-based place in its file
  std::string name;     // the name bytes as stored; any byte value may occur
  // Extents, tenths of a millimetre from the start point: x0/y0 largest, x1/y1 smallest.
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  std::int32_t width = 0;               // x0 - x1, tenths of a millimetre
  std::int32_t height = 0;              // y0 - y1
  HoopClass hoop = HoopClass::kLarger;  // the class its size calls for
  std::uint8_t hoop_code = 0;           // shvhdr_t::Hoop as stored
  bool in_container = false;            // placement applies only inside a container
  std::int16_t placement_x = 0;         // Xoffset, tenths of a millimetre
  std::int16_t placement_y = 0;         // Yoffset
  std::vector<ColourInfo> colours;
  std::uint32_t stitch_words = 0;  // shvhdr_t::Stitches
  // The dimension block: preview size and the start point's offset, whole millimetres.
  bool long_dimension_block = false;
  std::uint32_t scanlines = 0;  // preview rows, along x
  std::uint32_t pixels = 0;     // pixels per row, along y
  std::int16_t x_offset = 0;
  std::int16_t y_offset = 0;
  std::uint64_t preview_bytes = 0;  // the stored 4-bit bitmap
  std::uint64_t offset = 0;         // where the design's SHV image begins in its file
  std::uint64_t bytes = 0;          // length of the SHV image
  // Only for designs of other formats (FileKind::kPattern): the colour blocks
  // (threads empty when the format stores no colours) and what the needle does.
  std::vector<ThreadInfo> threads;
  std::uint64_t blocks = 0;
  std::uint64_t stitch_count = 0, jump_count = 0, trim_count = 0, stop_count = 0;
  // With events asked for: every needle event, or why they could not be read.
  bool has_events = false;
  std::vector<EventInfo> events;
  std::string events_error;
};

/// What --info found: a DHV container, an SHV design, or a HUC design (the
/// intermediate image --huc converts), which has no preview of its own.
/// kPattern is a design in any other format korvane reads (DST, PES, ...).
enum class FileKind { kContainer, kDesign, kHucDesign, kPattern };

struct FileInfo {
  std::string file;  // as the user named it
  FileKind kind = FileKind::kDesign;
  std::string name;  // the container's name, or the design's, as stored
  std::uint64_t bytes = 0;
  std::vector<DesignInfo> designs;  // one for an SHV or HUC design file
  std::string format;               // kPattern: "DST", "PES", ...
};

/// Reads `path` and tells what it holds. DHV containers, SHV designs and HUC
/// designs are recognised by their content, never by the file's extension, and
/// so are the designs of every other format korvane reads; a file of another
/// kind fails with kWrongKind, naming the kind it is.
/// With `events`, every design also carries its needle events.
Result<FileInfo> survey_file(const std::string& path, bool events = false);

}  // namespace kvn
