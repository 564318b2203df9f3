#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/error.hpp"

namespace kvn::formats {

/// The most bytes one compressed section may expand to: far beyond any real
/// design (a section holds one byte per stitch), and small enough that a
/// hostile header cannot make the decoder hold more than a few megabytes.
inline constexpr std::size_t kMaxExpandedSection = std::size_t{1} << 22;

/// Expands one compressed section of a HUS or VIP design (an LZ77 scheme with
/// Huffman-coded literals, lengths and distances in blocks, the
/// Greenleaf/LHA family) into exactly `expected` bytes. `in` is the window of
/// the section, `what` names it in messages. Fails with kMalformedDesign on a
/// code that matches nothing, a distance before the start of the output, a
/// stream that ends before `expected` bytes, or `expected` over
/// kMaxExpandedSection; never reads outside `in` and never writes more than
/// `expected` bytes.
Result<std::vector<std::uint8_t>> expand_husvip(const ByteReader& in, std::size_t expected,
                                                std::string_view what);

}  // namespace kvn::formats

namespace kvn::formats {

/// Compresses one section of a HUS or VIP design so that expand_husvip gives
/// `in` back: LZ77 matches of 3 to 256 bytes up to 1 KiB back, literals,
/// lengths and distances Huffman-coded per block, every code at most 16 bits
/// long as the expander requires.
std::vector<std::uint8_t> compress_husvip(std::span<const std::uint8_t> in);

}  // namespace kvn::formats
