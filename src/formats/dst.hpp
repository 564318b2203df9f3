#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/event_sink.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// The longest move one DST record holds in either axis, in 0.1 mm.
inline constexpr std::int32_t kDstMaxStep = 121;
/// The widest extent DST's five-digit header fields can state, in 0.1 mm.
inline constexpr std::int32_t kDstMaxReach = 99999;
/// How many jumps in a row after a stitch stand for a trim: DST has no trim
/// record, and machines and software take a run of three jumps for one.
inline constexpr int kDstJumpsForTrim = 3;

/// Reads a Tajima DST design: the 512-byte text header (its label becomes
/// the name), then 3-byte records up to the end record. Trims are inferred
/// from runs of jumps (see kDstJumpsForTrim); a run that comes back to where
/// it began only marks the trim and is dropped.
Result<Pattern> read_dst(const ByteReader& in);
/// The same, with the events handed to `sink` as they are decoded rather
/// than kept in the pattern.
Result<Pattern> read_dst_events(const ByteReader& in, EventSink& sink);

/// The DST image of `p`: header with counts and extents, long moves split
/// into steps of at most kDstMaxStep, a trim as three jumps that come back
/// to where they began, colour changes and stops as colour-change records.
/// Refuses a design that reaches further than kDstMaxReach from its start.
Result<std::vector<std::uint8_t>> write_dst(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
