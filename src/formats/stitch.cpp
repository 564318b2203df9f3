#include "formats/stitch.hpp"

namespace kvn::formats {
namespace detail {

bool decode_record(std::span<const std::uint8_t> stream, std::size_t offset, bool block_start,
                   StitchRecord& rec, std::size_t& length, std::int32_t& words) {
  if (offset > stream.size() || stream.size() - offset < 2) return false;
  const auto b = stream.subspan(offset);
  if (b[0] == kEscape && b[1] == kLongMoveMark) {
    if (stream.size() - offset < kLongMoveBytes) return false;
    const auto dx = GetShort(b.subspan<2, 2>());
    const auto dy = GetShort(b.subspan<4, 2>());
    const bool small = dx > -kLongStitchLimit && dx < kLongStitchLimit && dy > -kLongStitchLimit &&
                       dy < kLongStitchLimit;
    rec = {(!block_start && small) ? RecordKind::kStitch : RecordKind::kMove, dx, dy};
    length = kLongMoveBytes;
    words = kLongMoveWords;
    return true;
  }
  length = 2;
  words = 1;
  const auto dx = static_cast<std::int16_t>(static_cast<std::int8_t>(b[0]));
  const auto dy = static_cast<std::int16_t>(static_cast<std::int8_t>(b[1]));
  if (block_start) {
    // At a block start only 0x80 0x03 is inert; every other escape moves by its bytes.
    if (b[0] == kEscape && b[1] == kBlockStartControl)
      rec = {RecordKind::kControl, 0, 0};
    else
      rec = {RecordKind::kMove, dx, dy};
    return true;
  }
  if (b[0] == kEscape)
    rec = {RecordKind::kControl, 0, 0};
  else
    rec = {RecordKind::kStitch, dx, dy};
  return true;
}

}  // namespace detail

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
