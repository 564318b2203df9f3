#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/event_sink.hpp"
#include "formats/pattern.hpp"
#include "formats/shv_layout.hpp"

namespace kvn::formats {

/// Reads an SHV design (either dimension block) into a pattern: one block
/// per colour record, walked by the records' counts. Each block opens with a
/// jump from where the one before ended; in its body a normal record is a
/// stitch, every long move record a jump whatever its length (writers use
/// them for jumps only), 0x80 0x03 a trim, any other escape nothing. Refuses
/// colour counts that do not add up to the header's total or blocks that run
/// past the stream.
Result<Pattern> read_shv(const ByteReader& in);
/// The same, with the events handed to `sink` as they are decoded rather
/// than kept in the pattern.
Result<Pattern> read_shv_events(const ByteReader& in, EventSink& sink);

/// Reads a HUC design image by the same rules; the stream is what follows the
/// colour table, as the SHV writer takes it.
Result<Pattern> read_huc(const ByteReader& in);

/// Every design of a DHV container as a pattern of its own, in container
/// order, each read like an SHV file and named by its own name field.
Result<std::vector<Pattern>> read_dhv_designs(const ByteReader& in);

/// All designs of a DHV container as one pattern, placed as combining places
/// them: each design in container order, its colour blocks after the last
/// one's, shifted by its placement (a jump there opens it when the placement
/// is not zero) and, all but the last, closed by a jump back to the start
/// point. One thing differs from reading the combined image: a design that
/// opens with a normal record keeps it as the move it is, where behind a
/// placement record the combined stream would sew it. A container of one
/// design gives that design as it stands. Named after the container.
Result<Pattern> read_dhv_combined(const ByteReader& in);

/// A pattern encoded as an SHV stream: what an SHV image holds of a design
/// apart from its name, preview and hoop code.
struct ShvEncoding {
  std::vector<std::uint8_t> stream;
  std::vector<shvcolor_t> colours;  // one per block, counts and start positions from the stream
  std::int16_t x0 = 0, y0 = 0, x1 = 0, y1 = 0;  // largest and smallest x, y reached
  std::uint32_t words = 0;                      // stream.size() / 2
};

/// How many normal records a stitch of (dx, dy) takes: the fewest equal
/// steps that each fit one (x -127..127, y -128..127).
std::int64_t stitch_steps(std::int64_t dx, std::int64_t dy);

/// Encodes `p` the way SHV machines' own writers do: one block per colour
/// (a stop also begins a block, in the same colour, as SHV has no stop);
/// each block opens with a long move record from where the last one ended to
/// its first needle position (the target of a jump the block begins with,
/// otherwise where the needle stands); stitches as normal records, those too
/// long for one split into equal steps along the line; jumps as long move
/// records; trims as 0x80 0x03. Colour codes come from the threads, or from
/// default_shv_code() when the pattern has none. Refuses more than 255
/// blocks, positions beyond the 16-bit range and streams beyond 32-bit counts.
Result<ShvEncoding> encode_shv(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
