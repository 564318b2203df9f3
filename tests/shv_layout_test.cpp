#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

#include "formats/shv_design.hpp"
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
    {"ShortBlockBeginning255And254",
     "",
     {255, 254, 0xFB, 0, 0xFB, 0},
     255 * 127,
     93 + 255 * 127,
     false,
     -5},
    {"Long300By180",
     "x",
     {255, 255, 1, 0x01, 0x2C, 0x00, 0xB4, 0xFF, 0xFB, 0, 3, 0xFF, 0xFB, 0, 3},
     27000,
     88 + 15 + 27000,
     true,
     -5},
    {"LongMarkWhateverTheThirdByte",
     "",
     {255, 255, 7, 0, 2, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0},
     4,
     87 + 15 + 4,
     true,
     0},
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
    EXPECT_EQ(::GetShvStitchPos(copy.data()) - copy.data(),
              static_cast<std::ptrdiff_t>(c.header_at));
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

bool same(std::span<const std::uint8_t> a, std::span<const std::uint8_t> b) {
  return std::ranges::equal(a, b);
}

// Every value the writer computes from 16-bit extents is one the block can
// hold: it reads back unchanged, in the form it was written.
TEST(ShvDimensions, ValuesFromAnyExtentsReadBackAsWritten) {
  const std::int16_t values[] = {-32768, -32767, -2559, -2550, -1271, -1270, -137, -9,
                                 0,      1,      9,     10,    1271,  1281,  2550, 32767};
  for (auto x0 : values)
    for (auto y0 : values)
      for (auto x1 : values)
        for (auto y1 : values) {
          const ShvDimensions d = dimensions_for_extents(x0, y0, x1, y1);
          ByteWriter out;
          write_dimensions(out, d);
          ASSERT_EQ(out.size(), d.block_size());
          const auto back = read_dimensions(ByteReader(out.view(), "t.shv"), 0);
          ASSERT_TRUE(back);
          ASSERT_EQ(*back, d) << x0 << " " << y0 << " " << x1 << " " << y1;
        }
}

// Reading what the writer wrote gives the design back, section by section,
// over names, both dimension forms, colour tables and trailing bytes.
TEST(ShvDesign, ReadsBackWhatItWrote) {
  const ShvDimensions dims[] = {
      {false, 0, 0, 0, 0},     {false, 3, 5, 13, -2}, {false, 255, 254, -128, 127},
      {true, 300, 180, -5, 3}, {true, 256, 0, 0, 0},  {true, 2, 1, -3277, 3277},
  };
  const Bytes text = [] {
    Bytes t(kShvHeaderTextSize, 0);
    std::iota(t.begin(), t.begin() + 20, std::uint8_t{'A'});
    return t;
  }();
  const Bytes names[] = {{}, {'r', 'o', 's', 'e'}, Bytes(255, 0xFF)};
  const std::vector<shvcolor_t> tables[] = {
      {}, {{3, 5, 0, 0}}, {{0x12345678, 47, -1, 300}, {1, 0, 32767, -32768}}};
  const Bytes trailers[] = {{}, {0xAA, 0xBB, 0xCC}};
  for (const auto& dim : dims)
    for (const auto& name : names)
      for (const auto& table : tables)
        for (const auto& trailing : trailers) {
          ShvDesign d;
          d.header_text = text;
          d.name = name;
          d.dimensions = dim;
          Bytes bitmap(static_cast<std::size_t>(dim.bitmap_size()));
          std::iota(bitmap.begin(), bitmap.end(), std::uint8_t{7});
          d.bitmap = bitmap;
          d.header = {static_cast<std::uint8_t>(table.size()),
                      0xC4,
                      0x28,
                      1,
                      0xB2,
                      0x0102,
                      -300,
                      20,
                      -32768,
                      32767,
                      0};
          d.colours = table;
          const Bytes stream = test::cat({test::long_move(-300, 20), test::rec(5, -5)});
          d.header.Stitches = static_cast<std::uint32_t>(stream.size() / 2);
          d.stream = stream;
          d.trailing = trailing;
          SCOPED_TRACE(std::to_string(dim.scanlines) + " x " + std::to_string(dim.pixels) +
                       ", name " + std::to_string(name.size()) + ", colours " +
                       std::to_string(table.size()) + ", trailing " +
                       std::to_string(trailing.size()));

          ByteWriter out;
          write_shv_design(out, d);
          ASSERT_EQ(out.size(), shv_design_size(d));
          const auto back = read_shv_design(ByteReader(out.view(), "t.shv"));
          ASSERT_TRUE(back) << back.error().message();
          EXPECT_TRUE(same(back->header_text, d.header_text));
          EXPECT_TRUE(same(back->name, d.name));
          EXPECT_EQ(back->dimensions, d.dimensions);
          EXPECT_TRUE(same(back->bitmap, d.bitmap));
          EXPECT_EQ(back->header, d.header);
          EXPECT_EQ(back->colours, d.colours);
          EXPECT_TRUE(same(back->stream, d.stream));
          EXPECT_TRUE(same(back->trailing, d.trailing));
          EXPECT_EQ(back->dimensions_at, kShvNameAt + name.size());
          EXPECT_EQ(back->header_at, back->dimensions_at + dim.block_size() + bitmap.size());
        }
}

}  // namespace
}  // namespace kvn::formats
