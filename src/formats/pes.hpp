#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// A PES design of any version: the PES header says where its PEC section
/// lies, and from version 5 on lists the design's threads in RGB.
Result<Pattern> read_pes(const ByteReader& in);

/// A standalone PEC design: "#PEC0001" and the PEC section.
Result<Pattern> read_pec(const ByteReader& in);

/// The thread a PES file holds for `t`: its colour, name and number as they
/// are (cut to what a PES string holds); a thread with neither name nor
/// number takes those of the PEC palette entry its colour is matched to.
Thread pes_thread_for(const Thread& t);

/// PES version 6: a header with the hoop, the design's name and its thread
/// list (one thread per PEC colour list entry, as pes_thread_for() gives
/// it), no objects of its own, then the PEC section, which is all a machine
/// reads.
Result<std::vector<std::uint8_t>> write_pes(const Pattern& p, const std::string& file);

/// The standalone PEC file of `p`: its signature, then the PEC section
/// write_pes() embeds, which the machines that read only PEC load.
Result<std::vector<std::uint8_t>> write_pec(const Pattern& p, const std::string& file);

}  // namespace kvn::formats
