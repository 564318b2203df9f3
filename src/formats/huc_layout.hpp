#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "formats/byte_reader.hpp"
#include "formats/byte_writer.hpp"

namespace kvn::formats {

// The HUC design image: header, colour table, stitch stream; big-endian.
inline constexpr std::size_t kHucHdrSize = 29;
inline constexpr std::size_t kHucColorSize = 7;
inline constexpr std::size_t kHucNameSize = 16;
inline constexpr std::uint8_t kHucSignature = 0xC4;
inline constexpr std::uint8_t kHucHoopNoOption = 0x40;
// What the 8-bit and 16-bit fields of the layout can hold.
inline constexpr std::uint32_t kMaxHucColours = 255;
inline constexpr std::uint32_t kMaxHucWords = 65535;

struct huchdr_t {
  std::uint8_t nColors = 0;
  std::uint8_t Signature = kHucSignature;
  std::uint8_t Hoop = kHucHoopNoOption;           // bits 0-1: hoop option
  std::array<std::uint8_t, kHucNameSize> Name{};  // space-padded, no terminator
  std::int16_t x0 = 0;                            // largest x
  std::int16_t y0 = 0;
  std::int16_t x1 = 0;  // smallest x
  std::int16_t y1 = 0;
  std::uint16_t Stitches = 0;  // words of the whole stream
};

struct huccolor_t {
  std::uint16_t Stitches = 0;  // words of this colour's block
  std::uint8_t Color = 0;
  std::int16_t xpos = 0;
  std::int16_t ypos = 0;
};

Result<huchdr_t> read_huchdr(const ByteReader& huc);

/// Refuses a HUC design image from outside that an SHV writer cannot use
/// whole: a header or colour table past its end, a signature other than
/// 0xC4, or fewer than 2 * huchdr_t::Stitches bytes of stream after the
/// colour table. More bytes after the stream are allowed.
Status check_huc_image(const ByteReader& huc);
/// Colour record i (0-based) of the colour table.
Result<huccolor_t> read_huccolor(const ByteReader& huc, std::size_t i);

void write_huchdr(ByteWriter& out, const huchdr_t& h);
void write_huccolor(ByteWriter& out, const huccolor_t& c);

inline constexpr std::size_t huc_color_at(std::size_t i) { return kHucHdrSize + kHucColorSize * i; }
inline constexpr std::size_t huc_stream_at(std::size_t n_colors) { return huc_color_at(n_colors); }

}  // namespace kvn::formats
