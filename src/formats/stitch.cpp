#include "formats/stitch.hpp"

namespace kvn::formats {
void GetXY(std::span<const std::uint8_t> phucst, std::int32_t n, std::int16_t* xx,
           std::int16_t* yy) {
  std::int16_t x = *xx;
  std::int16_t y = *yy;
  decode_block(phucst, 0, n, [&](const StitchRecord& r) {
    x = wrap16(std::int32_t{x} + r.dx);
    y = wrap16(std::int32_t{y} + r.dy);
  });
  *xx = x;
  *yy = y;
}

void put_long_move(ByteWriter& out, std::int16_t dx, std::int16_t dy) {
  out.u8(kEscape);
  out.u8(kLongMoveMark);
  out.u16(dx);
  out.u16(dy);
  out.u8(kEscape);
  out.u8(kLongMoveTail);
}

}  // namespace kvn::formats
