#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/error.hpp"
#include "formats/pattern.hpp"
#include "korvane/version.h"

namespace kvn::shvgen {

/// Our own text at the start of every SHV image we write; the rest of the
/// 86-byte field is zeros, so its last byte is always 0.
inline constexpr std::string_view kShvHeaderText =
    "korvane " KORVANE_VERSION_STRING " " KORVANE_WEB_ADDRESS;
/// The longest design name stored; longer names keep their first bytes.
inline constexpr std::size_t kMaxDesignName = 127;
/// The largest SHV image whose length the 32-bit size of the interfaces can carry.
inline constexpr std::uint64_t kMaxShvImage = 0x7FFFFFFF;

/// The hoop code for a design `width` x `height` (tenths of a millimetre,
/// x extent first) and the HUC header's `Hoop` byte: the code of its class in
/// formats::kHoopClasses, which a hoop option replaces in the classes that
/// take one.
std::uint8_t hoop_code(std::int32_t width, std::int32_t height, std::uint8_t huc_hoop);

/// The design name of an image with no file name: its size as "%08lX".
std::string size_name(std::uint32_t shucin);

/// The whole SHV design image for the HUC design image `huc`: header text,
/// `design_name` (its first 127 bytes), dimension block, preview, shvhdr_t
/// with the hoop code, the colour table and the HUC stitch stream unchanged.
/// Fails with kHucTooShort when `huc` is shorter than its header and colour
/// table; the stream is taken from the image's length, not its counts.
Result<std::vector<std::uint8_t>> build_shv(const formats::ByteReader& huc,
                                            std::string_view design_name);

/// The SHV design image of `p` (see formats::encode_shv() for the stream):
/// named by `p.name` (its first 127 bytes), the preview drawn by the same
/// renderer as build_shv()'s, the hoop code from the design's size. `file`
/// names the output in refusals.
Result<std::vector<std::uint8_t>> write_shv(const formats::Pattern& p, const std::string& file);

/// write_shv()'s image in its two parts, everything up to the stitch stream
/// and the stream, so that a caller writing to a file need not hold a third
/// copy of the largest part joined to the first.
struct ShvPieces {
  std::vector<std::uint8_t> head;
  std::vector<std::uint8_t> stream;
};
Result<ShvPieces> write_shv_pieces(const formats::Pattern& p, const std::string& file);

}  // namespace kvn::shvgen
