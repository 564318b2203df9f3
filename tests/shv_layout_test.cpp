#include <gtest/gtest.h>

#include "formats/shv_layout.hpp"
#include "korvane/korvane.h"
#include "support/design_builders.hpp"

namespace kvn::formats {
namespace {

using test::Bytes;
using test::shv_image;

struct NavCase {
  const char* name;
  std::string design_name;
  Bytes dims;
  std::size_t bitmap;
  std::size_t header_at;  // where shvhdr_t begins
  bool long_form;
  std::int16_t x_offset;
};

const NavCase kNav[] = {
    {"EmptyNameAllZero", "", {0, 0, 0, 0, 0, 0}, 0, 93, false, 0},
    {"NamedAllZero", "garden", {0, 0, 0, 0, 0, 0}, 0, 99, false, 0},
    {"OddPixelsRoundRowsUp", "", {3, 5, 13, 2, 13, 2}, 9, 102, false, 13},
    {"ShortBlockBeginning255And254", "", {255, 254, 0xFB, 0, 0xFB, 0}, 255 * 127, 93 + 255 * 127,
     false, -5},
    {"Long300By180", "x", {255, 255, 1, 0x01, 0x2C, 0x00, 0xB4, 0xFF, 0xFB, 0, 3, 0xFF, 0xFB, 0, 3},
     27000, 88 + 15 + 27000, true, -5},
    {"LongMarkWhateverTheThirdByte", "", {255, 255, 7, 0, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}, 4,
     87 + 15 + 4, true, 0},
};

TEST(GetShvStitchPos, SkipsNameDimensionBlockAndPreview) {
  for (const auto& c : kNav) {
    SCOPED_TRACE(c.name);
    const Bytes shv = shv_image(c.design_name, c.dims, c.bitmap, Bytes(19, 0));
    const ByteReader in(shv, "t.shv");
    const auto at = GetShvStitchPos(in);
    ASSERT_TRUE(at) << at.error().message();
    EXPECT_EQ(*at, c.header_at);
    const auto d = read_dimensions(in, kShvNameAt + c.design_name.size());
    ASSERT_TRUE(d);
    EXPECT_EQ(d->long_form, c.long_form);
    EXPECT_EQ(d->x_offset, c.x_offset);
    // The unbounded C navigation must agree with the bounded one.
    auto copy = shv;
    EXPECT_EQ(::GetShvStitchPos(copy.data()) - copy.data(), static_cast<std::ptrdiff_t>(c.header_at));
  }
}

TEST(GetShvStitchPos, RefusesAPreviewThatRunsPastTheImage) {
  const Bytes cut_bitmap = shv_image("g", {4, 4, 0, 0, 0, 0}, 7);
  auto r = GetShvStitchPos(ByteReader(cut_bitmap, "t.shv"));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().code, ErrorCode::kDesignTruncated);
  EXPECT_EQ(r.error().offset, 88u);

  const Bytes cut_block = shv_image("g", {255, 255, 1, 0}, 0);
  r = GetShvStitchPos(ByteReader(cut_block, "t.shv"));
  ASSERT_FALSE(r);
  EXPECT_EQ(r.error().code, ErrorCode::kTruncated);
  EXPECT_EQ(r.error().message().rfind("t.shv: byte 88", 0), 0u);
}

}  // namespace
}  // namespace kvn::formats
