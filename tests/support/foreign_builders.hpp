#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace kvn::test {

using Bytes = std::vector<std::uint8_t>;

/// Minimal files of the Viking, Pfaff, Singer and Janome formats, written
/// from their layouts for tests and fuzz seeds. Stitch records go in as the
/// format stores them, so a test can also write what a reader must refuse.

/// Bit fields (value, width) written most significant bit first, padded
/// with zeros to a whole byte: hand-made HUS/VIP compressed streams.
Bytes bit_fields(const std::vector<std::pair<std::uint32_t, int>>& fields);

/// A HUS/VIP compressed section holding `plain` as literals only: one block,
/// every literal a 9-bit code (the symbol code's lengths all 9, given by a
/// one-symbol code-length code), the distance code a single fixed symbol.
Bytes husvip_literals(const Bytes& plain);

struct HusRecord {
  std::uint8_t attribute;  // 0x80 stitch, 0x81 jump, 0x84 colour change, 0x88 trim, 0x90 end
  std::int8_t dx, dy;      // 0.1 mm, y upwards
};

/// A HUS file with chart indices, or with `vip` a VIP file with RGB threads
/// (only the first three of each 4-byte entry of `colours` are used then).
Bytes hus_file(const std::vector<HusRecord>& records, const std::vector<std::uint16_t>& indices);
Bytes vip_file(const std::vector<HusRecord>& records,
               const std::vector<std::array<std::uint8_t, 3>>& rgb);

struct Vp3Block {
  std::int32_t start_x, start_y;  // 1/1000 mm from the centre, y upwards
  std::array<std::uint8_t, 3> rgb;
  Bytes stitches;  // the records as stored; the closing zero byte is added
};
Bytes vp3_file(const std::vector<Vp3Block>& blocks, std::int32_t centre_x = 0,
               std::int32_t centre_y = 0);

/// `stitches` as stored, end record included; threads after it.
Bytes xxx_file(const Bytes& stitches, const std::vector<std::array<std::uint8_t, 3>>& rgb);

/// `stitches` as stored from the fixed offset on.
Bytes sew_file(const std::vector<std::uint16_t>& indices, const Bytes& stitches);

}  // namespace kvn::test
