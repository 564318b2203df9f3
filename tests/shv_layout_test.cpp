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

TEST(ShvRecords, WriteAndReadBackFieldByField) {
  shvhdr_t h;
  h.nColors = 2;
  h.Hoop = 0xB2;
  h.x0 = 255;
  h.y0 = 10;
  h.x1 = -137;
  h.y1 = -1;
  h.Stitches = 0x12345;
  shvcolor_t c;
  c.Stitches = 70000;
  c.Color = 33;
  c.xpos = -5;
  c.ypos = 300;
  ByteWriter out;
  write_shvhdr(out, h);
  write_shvcolor(out, c);
  const Bytes b = out.take();
  EXPECT_EQ(b, (Bytes{2, 0xC4, 0x28, 0, 0xB2, 0, 0, 0, 0xFF, 0, 10, 0xFF, 0x77, 0xFF, 0xFF, 0, 1,
                      0x23, 0x45,  // shvhdr_t
                      0, 1, 0x11, 0x70, 33, 0, 0, 0, 0, 0, 0xFF, 0xFB, 1, 0x2C}));
  const ByteReader in(b, "t");
  const auto rh = read_shvhdr(in, 0);
  const auto rc = read_shvcolor(in, kShvHdrSize);
  ASSERT_TRUE(rh && rc);
  EXPECT_EQ(rh->x1, -137);
  EXPECT_EQ(rh->Stitches, 0x12345u);
  EXPECT_EQ(rc->Stitches, 70000u);
  EXPECT_EQ(rc->xpos, -5);
}

}  // namespace
}  // namespace kvn::formats
