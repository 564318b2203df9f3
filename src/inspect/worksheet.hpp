#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"
#include "inspect/pictures.hpp"
#include "inspect/realistic.hpp"
#include "korvane/korvane.hpp"

namespace kvn::inspect {

/// What a worksheet counts of one design.
struct SheetColour {
  std::uint8_t code = 0;  // the thread chart's code
  Rgb colour;
  std::string name;
  std::string catalogue;
  std::uint64_t stitches = 0;
  double stitch_mm = 0;  // the lengths of its stitches, added up
};
struct SheetTotals {
  std::uint64_t stitches = 0, jumps = 0, trims = 0, colour_changes = 0, stops = 0;
  double stitch_mm = 0;
};
struct SheetCounts {
  std::vector<SheetColour> colours;  // in sewing order, one per colour block
  SheetTotals totals;
};

/// Counts `pattern` as the worksheet shows it. A format without colours gets
/// the chart's colours that a conversion to SHV gives its blocks.
SheetCounts count_for_sheet(const formats::Pattern& pattern);

/// Minutes the machine takes: stitches at its speed, plus each colour change
/// and each trim at its cost.
double sewing_minutes(const SheetTotals& t, const WorksheetOptions& rules);

/// One self-contained HTML page for the image `in` (a design of any format
/// korvane reads, or a DHV container: its layout and a section per design),
/// its pictures embedded as PNG, laid out to print on one A4 or Letter page.
Result<std::string> worksheet_html(const formats::ByteReader& in, const ThreadLook& look,
                                   const WorksheetOptions& rules);

}  // namespace kvn::inspect
