#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"
#include "formats/colour_chart.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Brother's fixed PEC thread palette as PEC colour lists index it; entry 0 is
/// a placeholder no writer uses.
std::span<const ChartColour> pec_palette();

/// The palette thread the PEC writer picks for `t`, as the reader gives it back.
Thread pec_thread_for(const Thread& t);

/// The index into pec_palette() of the entry the PEC writer picks for `t`.
std::uint8_t pec_palette_index(const Thread& t);

/// One entry of a PEC colour list: the palette index it names, and the
/// pattern's block whose thread it stands for (a stop repeats its block's).
struct PecColour {
  std::uint8_t index;
  std::size_t block;
};

/// The colour list write_pec_section() writes for `p`, one entry per block
/// and per stop, in order.
std::vector<PecColour> pec_colour_list(const Pattern& p);

/// The PEC section: what Brother machines read, alone in a .pec file and
/// after the PES header in a .pes file. `pec` begins at the section's "LA:"
/// label. `chart` is the PES header's own thread list when it has one: the
/// PEC colour list only names palette entries, the chart the real threads.
Result<Pattern> read_pec_section(const ByteReader& pec, std::span<const Thread> chart = {});

/// The most colour blocks a PEC colour list can name: its count byte holds
/// blocks - 1, and 0xFF stands for an empty list.
inline constexpr std::size_t kPecMaxBlocks = 255;

/// Appends the PEC section of `p`: label, colour list, stitches and the
/// monochrome icons machines show (the whole design, then one per block).
/// Refuses a pattern with more blocks than the colour list holds.
Status write_pec_section(ByteWriter& out, const Pattern& p, const std::string& file);

}  // namespace kvn::formats
