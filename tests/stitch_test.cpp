#include <gtest/gtest.h>

#include <vector>

#include "formats/stitch.hpp"
#include "support/design_builders.hpp"

namespace kvn::formats {
namespace {

using test::Bytes;
using test::cat;
using test::long_move;
using test::raw;
using test::rec;

struct WalkCase {
  const char* name;
  Bytes block;
  std::int32_t n;
  std::int16_t x, y;  // before the block
  std::int16_t end_x, end_y;
};

const WalkCase kWalks[] = {
    {"SingleRecordIsTheBlockStartMove", rec(5, -5), 1, 0, 0, 5, -5},
    {"LongMoveThenNormalRecord", cat({long_move(10, -10), rec(3, 4)}), 5, 100, 100, 113, 94},
    {"SmallLongMoveInTheBody", cat({rec(0, 0), long_move(127, -127)}), 5, 0, 0, 127, -127},
    {"LargeLongMoveInTheBody", cat({rec(0, 0), long_move(128, 0)}), 5, 0, 0, 128, 0},
    {"ControlAtStartAndInBodyAddNothing", cat({raw(0x80, 0x03), raw(0x80, 0x03), rec(1, 2)}), 3, 0,
     0, 1, 2},
    {"EscapeZeroMovesOnlyAtBlockStart", cat({raw(0x80, 0x00), raw(0x80, 0x00)}), 2, 0, 0, -128, 0},
    {"OtherEscapeAtBlockStartMovesBySecondByte", raw(0x80, 0x05), 1, 0, 0, -128, 5},
    {"OnlyTheFirstByteEscapes", cat({rec(0, 0), raw(0x05, 0x80)}), 2, 0, 0, 5, -128},
    {"PositionWrapsAt16Bits", rec(127, -127), 1, 32760, -32760, -32649, 32649},
    {"FirstRecordTakenEvenWithCountZero", cat({rec(5, 5), rec(7, 7)}), 0, 0, 0, 5, 5},
    {"LongMoveWithFewerWordsLeftIsReadWhole", cat({rec(0, 0), long_move(16, 32), rec(1, 1)}), 2, 0,
     0, 16, 32},
    {"StopsWhereTheStreamEnds", cat({rec(0, 0), rec(1, 1)}), 10, 0, 0, 1, 1},
    {"CutLongMoveIsNotRead", cat({rec(0, 0), rec(1, 1), Bytes{0x80, 0x01, 0x00, 0x10}}), 10, 0, 0,
     1, 1},
};

TEST(GetXY, ReturnsWhereABlockEnds) {
  for (const auto& c : kWalks) {
    SCOPED_TRACE(c.name);
    std::int16_t x = c.x, y = c.y;
    GetXY(c.block, c.n, &x, &y);
    EXPECT_EQ(x, c.end_x);
    EXPECT_EQ(y, c.end_y);
  }
}

struct KindCase {
  const char* name;
  Bytes block;
  std::int32_t words;
  std::vector<RecordKind> kinds;
};

const KindCase kKinds[] = {
    {"BlockStartLongMoveIsAMoveHoweverSmall", long_move(1, 1), 4, {RecordKind::kMove}},
    {"BlockStartNormalRecordIsAMove", rec(1, 1), 1, {RecordKind::kMove}},
    {"BodyNormalRecordIsAStitch",
     cat({rec(0, 0), rec(1, 1)}),
     2,
     {RecordKind::kMove, RecordKind::kStitch}},
    {"BodyLongMovesAt127AreStitches",
     cat({rec(0, 0), long_move(127, -127), long_move(-127, 127)}),
     9,
     {RecordKind::kMove, RecordKind::kStitch, RecordKind::kStitch}},
    {"BodyLongMovesAt128AreMoves",
     cat({rec(0, 0), long_move(128, 0), long_move(0, -128)}),
     9,
     {RecordKind::kMove, RecordKind::kMove, RecordKind::kMove}},
    {"BodyEscapesAreControls",
     cat({raw(0x80, 0x03), raw(0x80, 0x00), raw(0x80, 0x7F)}),
     3,
     {RecordKind::kControl, RecordKind::kControl, RecordKind::kControl}},
};

TEST(DecodeBlock, TellsStitchesFromMovesAndControls) {
  for (const auto& c : kKinds) {
    SCOPED_TRACE(c.name);
    std::vector<RecordKind> got;
    const auto end =
        decode_block(c.block, 0, c.words, [&](const StitchRecord& r) { got.push_back(r.kind); });
    EXPECT_EQ(got, c.kinds);
    EXPECT_EQ(end.offset, c.block.size());
    EXPECT_FALSE(end.truncated);
  }
}

TEST(DecodeBlock, NextBlockStartsAfterThePreviousOneAndKeepsThePosition) {
  const Bytes stream = cat({rec(1, 2), rec(3, 4), long_move(100, 200), rec(5, 6)});
  const auto first = decode_block(stream, 0, 2, [](const StitchRecord&) {});
  EXPECT_EQ(first.offset, 4u);
  std::int16_t x = 4, y = 6;
  GetXY(std::span<const std::uint8_t>(stream).subspan(first.offset), 5, &x, &y);
  EXPECT_EQ(x, 109);
  EXPECT_EQ(y, 212);
}

struct BlocksCase {
  const char* name;
  Bytes stream;
  std::vector<std::uint32_t> counts;
  std::int64_t x, y;                // the start
  std::vector<std::size_t> blocks;  // the block of every record met, in order
  std::int64_t end_x, end_y;
  std::size_t end_offset;
  bool truncated;
  std::size_t end_block;  // the block cut short, else the number of blocks
};

const BlocksCase kBlocks[] = {
    {"NoBlocksReadNothing", rec(1, 1), {}, 0, 0, {}, 0, 0, 0, false, 0},
    {"PositionAndReadPositionRunOnIntoTheNextBlock",
     cat({rec(1, 2), rec(3, 4), long_move(100, 200), rec(5, 6)}),
     {2, 5},
     0,
     0,
     {0, 0, 1, 1},
     109,
     212,
     14,
     false, 2},
    {"EveryBlockTakesItsFirstRecordEvenWithCountZero",
     cat({rec(1, 0), rec(0, 1), rec(2, 2)}),
     {0, 0, 1},
     0,
     0,
     {0, 1, 2},
     3,
     3,
     6,
     false, 3},
    {"StopsAtTheBlockTheStreamCutsShort",
     cat({rec(1, 1), rec(2, 2), rec(3, 3)}),
     {2, 3, 1},
     0,
     0,
     {0, 0, 1},
     6,
     6,
     6,
     true, 1},
    {"ALaterBlockWithNoBytesLeftIsCut", cat({rec(1, 1)}), {1, 1}, 0, 0, {0}, 1, 1, 2, true, 1},
    {"CountsBeyondInt32AreCappedNotNegative",
     cat({rec(1, 1), rec(2, 2), rec(3, 3)}),
     {0x80000000u},
     0,
     0,
     {0, 0, 0},
     6,
     6,
     6,
     true, 0},
    {"PositionsAreWideNotWrapped",
     cat({rec(0, 0), long_move(127, -127), long_move(127, -127)}),
     {9},
     32700,
     -32700,
     {0, 0, 0},
     32954,
     -32954,
     18,
     false, 1},
};

TEST(WalkBlocks, CarriesOneReadPositionAndOneNeedlePositionAcrossBlocks) {
  struct Colour {
    std::uint32_t Stitches;
  };
  for (const auto& c : kBlocks) {
    SCOPED_TRACE(c.name);
    std::vector<Colour> colours;
    for (auto n : c.counts) colours.push_back({n});
    std::vector<std::size_t> blocks;
    std::int64_t x = c.x, y = c.y;
    std::size_t offset = 0;
    const auto end = walk_blocks(c.stream, colours, c.x, c.y, [&](const WalkStep& s) {
      // Each step starts where the one before it ended, in position and in the stream.
      EXPECT_EQ(s.x0, x);
      EXPECT_EQ(s.y0, y);
      EXPECT_EQ(s.bytes.data(), c.stream.data() + offset);
      EXPECT_EQ(s.opens, blocks.empty() || blocks.back() != s.block);
      x = s.x1;
      y = s.y1;
      offset += s.bytes.size();
      blocks.push_back(s.block);
    });
    EXPECT_EQ(offset, end.offset);
    EXPECT_EQ(end.block, c.end_block);
    EXPECT_EQ(blocks, c.blocks);
    EXPECT_EQ(end.x, c.end_x);
    EXPECT_EQ(end.y, c.end_y);
    EXPECT_EQ(end.offset, c.end_offset);
    EXPECT_EQ(end.truncated, c.truncated);
  }
}

TEST(PutLongMove, WritesTheEightBytesBigEndian) {
  ByteWriter out;
  put_long_move(out, -5, 300);
  EXPECT_EQ(out.take(), (Bytes{0x80, 0x01, 0xFF, 0xFB, 0x01, 0x2C, 0x80, 0x02}));
}

}  // namespace
}  // namespace kvn::formats
