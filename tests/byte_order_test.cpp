#include <gtest/gtest.h>

#include <array>

#include "formats/byte_order.hpp"

namespace kvn::formats {
namespace {

TEST(ByteOrder, ReadsBigEndianSignedShortsAndUnsignedLongs) {
  const std::array<std::uint8_t, 4> b{0xFF, 0xFF, 0x80, 0x01};
  EXPECT_EQ(GetShort(std::span<const std::uint8_t, 2>(b.data(), 2)), -1);
  EXPECT_EQ(GetShort(std::span<const std::uint8_t, 2>(b.data() + 2, 2)), -32767);
  EXPECT_EQ(GetLong(b), 0xFFFF8001u);
}

TEST(ByteOrder, PutShortStoresLowBitsAndChains) {
  std::array<std::uint8_t, 4> b{};
  const auto next = PutShort(b, 0, -5);
  EXPECT_EQ(PutShort(b, next, 0x12345), 4u);
  EXPECT_EQ(b, (std::array<std::uint8_t, 4>{0xFF, 0xFB, 0x23, 0x45}));
  EXPECT_EQ(ReverseShort(0xFFFB), 0xFBFF);
}

}  // namespace
}  // namespace kvn::formats
