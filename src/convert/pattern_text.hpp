#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/pattern.hpp"

namespace kvn::convert {

/// An SVG drawing: every stitch a line in its thread's colour, jumps not
/// drawn, one <g> per colour block, the viewBox in millimetres with y down.
std::vector<std::uint8_t> write_svg(const formats::Pattern& p);

/// One line per needle event: index,x,y,op,block (x and y in 0.1 mm, y down;
/// blocks counted from 1, a colour change counted in the block it ends).
std::vector<std::uint8_t> write_csv(const formats::Pattern& p);

/// {"name", "threads": [...], "events": [{"x","y","op","block"}, ...]}.
std::vector<std::uint8_t> write_json(const formats::Pattern& p);

/// The same documents, handed to `sink` piece by piece as they are made: a
/// design of millions of stitches makes documents of hundreds of megabytes.
void stream_svg(const formats::Pattern& p, ByteSink& sink);
void stream_csv(const formats::Pattern& p, ByteSink& sink);
void stream_json(const formats::Pattern& p, ByteSink& sink);

}  // namespace kvn::convert
