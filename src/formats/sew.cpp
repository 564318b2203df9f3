#include "formats/sew.hpp"

#include <algorithm>
#include <array>
#include <string>

#include "formats/byte_writer.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kColoursAt = 2;
constexpr std::size_t kStitchesAt = 0x1D78;
constexpr std::size_t kMaxColours = (kStitchesAt - kColoursAt) / 2;
constexpr std::uint8_t kCommand = 0x80;
constexpr std::uint8_t kColourChangeBit = 0x01;
constexpr std::uint8_t kMove = 0x02;
constexpr std::uint8_t kMoveToo = 0x04;
// Janome's end record; what follows it is padding, not stitches.
constexpr std::uint8_t kEnd = 0x10;

// Janome's chart for SEW, by the index the file stores (the catalogue number).
// The index means the same thread as in the JEF chart, so the names follow
// it: the published SEW tables name some entries after a neighbour (a yellow
// "Ocean Blue", a green "Royal Purple"), which would tell users the wrong
// thread to put on.
constexpr std::array<ChartColour, 79> kSewChart = {{
    {0, 0, 0, "Unknown", ""},
    {0, 0, 0, "Black", ""},
    {255, 255, 255, "White", ""},
    {255, 255, 23, "Yellow", ""},
    {250, 160, 96, "Hazel", ""},
    {92, 118, 73, "Green Dust", ""},
    {64, 192, 48, "Green", ""},
    {101, 194, 200, "Sky", ""},
    {172, 128, 190, "Purple", ""},
    {245, 188, 203, "Pink", ""},
    {255, 0, 0, "Red", ""},
    {192, 128, 0, "Brown", ""},
    {0, 0, 240, "Blue", ""},
    {228, 195, 93, "Gold", ""},
    {165, 42, 42, "Dark Brown", ""},
    {213, 176, 212, "Pale Violet", ""},
    {252, 242, 148, "Pale Yellow", ""},
    {240, 208, 192, "Pale Pink", ""},
    {255, 192, 0, "Peach", ""},
    {201, 164, 128, "Beige", ""},
    {155, 61, 75, "Wine Red", ""},
    {160, 184, 204, "Pale Sky", ""},
    {127, 194, 28, "Yellow Green", ""},
    {185, 185, 185, "Silver Grey", ""},
    {160, 160, 160, "Grey", ""},
    {152, 214, 189, "Pale Aqua", ""},
    {184, 240, 240, "Baby Blue", ""},
    {54, 139, 160, "Powder Blue", ""},
    {79, 131, 171, "Bright Blue", ""},
    {56, 106, 145, "Slate Blue", ""},
    {0, 32, 107, "Navy Blue", ""},
    {229, 197, 202, "Salmon Pink", ""},
    {249, 103, 107, "Coral", ""},
    {227, 49, 31, "Burnt Orange", ""},
    {226, 161, 136, "Cinnamon", ""},
    {181, 148, 116, "Umber", ""},
    {228, 207, 153, "Blonde", ""},
    {225, 203, 0, "Sunflower", ""},
    {225, 173, 212, "Orchid Pink", ""},
    {195, 0, 126, "Peony Purple", ""},
    {128, 0, 75, "Burgundy", ""},
    {160, 96, 176, "Royal Purple", ""},
    {192, 64, 32, "Cardinal Red", ""},
    {202, 224, 192, "Opal Green", ""},
    {137, 152, 86, "Moss Green", ""},
    {0, 170, 0, "Meadow Green", ""},
    {33, 138, 33, "Dark Green", ""},
    {93, 174, 148, "Aquamarine", ""},
    {76, 191, 143, "Emerald Green", ""},
    {0, 119, 114, "Peacock Green", ""},
    {112, 112, 112, "Dark Grey", ""},
    {242, 255, 255, "Ivory White", ""},
    {177, 88, 24, "Hazel", ""},
    {203, 138, 7, "Toast", ""},
    {247, 146, 123, "Salmon", ""},
    {152, 105, 45, "Cocoa Brown", ""},
    {162, 113, 72, "Sienna", ""},
    {123, 85, 74, "Sepia", ""},
    {79, 57, 70, "Dark Sepia", ""},
    {82, 58, 151, "Violet Blue", ""},
    {0, 0, 160, "Blue Ink", ""},
    {0, 150, 222, "Solar Blue", ""},
    {178, 221, 83, "Green Dust", ""},
    {250, 143, 187, "Crimson", ""},
    {222, 100, 158, "Floral Pink", ""},
    {181, 80, 102, "Wine", ""},
    {94, 87, 71, "Olive Drab", ""},
    {76, 136, 31, "Meadow", ""},
    {228, 220, 121, "Mustard", ""},
    {203, 138, 26, "Yellow Ocher", ""},
    {198, 170, 66, "Beige", ""},
    {236, 176, 44, "Honey Dew", ""},
    {248, 128, 64, "Tangerine", ""},
    {255, 229, 5, "Canary Yellow", ""},
    {250, 122, 122, "Vermilion", ""},
    {107, 224, 0, "Bright Green", ""},
    {56, 108, 174, "Ocean Blue", ""},
    {208, 186, 176, "Beige Grey", ""},
    {227, 190, 129, "Bamboo", ""},
}};

std::int32_t s8(std::uint8_t b) { return static_cast<std::int8_t>(b); }

}  // namespace

std::span<const ChartColour> sew_chart() { return kSewChart; }

Thread sew_thread_for(const Thread& t) {
  const std::size_t index = nearest_chart_colour(kSewChart, t.r, t.g, t.b, 1);
  const auto& c = kSewChart[index];
  return {c.r, c.g, c.b, c.name, std::to_string(index), std::nullopt};
}

Result<Pattern> read_sew(const ByteReader& in) {
  KORVANE_TRY(colours, in.u16le(0, "the colour count"));
  KORVANE_FAIL_AT(colours > kMaxColours, in, 0, ErrorCode::kMalformedDesign,
                  std::to_string(colours) + " colours do not fit before the stitches");
  std::vector<Thread> threads;
  for (std::size_t c = 0; c < colours; ++c) {
    const std::size_t at = kColoursAt + 2 * c;
    KORVANE_TRY(index, in.u16le(at, "a thread index"));
    KORVANE_FAIL_AT(index >= kSewChart.size(), in, at, ErrorCode::kMalformedDesign,
                    "thread " + std::to_string(c + 1) + " names colour " + std::to_string(index) +
                        ", which the SEW chart does not have");
    const auto& t = kSewChart[index];
    threads.push_back({t.r, t.g, t.b, t.name, std::to_string(index), std::nullopt});
  }

  Pattern p;
  std::int32_t x = 0, y = 0;
  std::size_t blocks = 1;
  std::size_t at = kStitchesAt;
  bool ended = false;
  while (in.contains(at, 2)) {
    KORVANE_TRY(r, in.take<2>(at, "a stitch"));
    at += 2;
    if (r[0] != kCommand) {
      KORVANE_FAIL_AT(!step(x, s8(r[0])) || !step(y, -s8(r[1])), in, at - 2,
                      ErrorCode::kMalformedDesign, "the stitches walk the needle past 10 km");
      p.events.push_back({x, y, NeedleOp::kStitch});
      continue;
    }
    const std::uint8_t command = r[1];
    if (command == kEnd) {
      ended = true;
      break;
    }
    KORVANE_TRY(args, in.take<2>(at, "a command's move"));
    at += 2;
    if (command & kColourChangeBit) {
      p.events.push_back({x, y, NeedleOp::kColourChange});
      ++blocks;
    } else if (command == kMove || command == kMoveToo) {
      KORVANE_FAIL_AT(!step(x, s8(args[0])) || !step(y, -s8(args[1])), in, at - 4,
                      ErrorCode::kMalformedDesign, "the stitches walk the needle past 10 km");
      p.events.push_back({x, y, NeedleOp::kJump});
    } else {
      return in.error_at(at - 4, ErrorCode::kMalformedDesign,
                         "unknown stitch command 80 " + std::to_string(command));
    }
  }
  // SEW counts nothing: only the end record tells a whole design from one
  // whose file was cut at a record.
  KORVANE_FAIL_AT(!ended, in, std::min(at, in.size()), ErrorCode::kDesignTruncated,
                  at > in.size() ? "the file ends after " + grouped(in.size()) +
                                       " bytes, before its stitches, which begin at byte " +
                                       grouped(kStitchesAt)
                                 : "the file ends after " + grouped(in.size()) +
                                       " bytes without an end record");
  p.events.push_back({x, y, NeedleOp::kEnd});
  if (!threads.empty()) {
    KORVANE_FAIL_AT(threads.size() < blocks, in, 0, ErrorCode::kMalformedDesign,
                    std::to_string(blocks) + " colour blocks but " +
                        std::to_string(threads.size()) + " threads");
    threads.resize(blocks);
  }
  p.threads = std::move(threads);
  return p;
}

}  // namespace kvn::formats

namespace kvn::formats {

namespace {


constexpr std::int32_t kSewSteps = kSewMaxStep;
// Black, red, blue and green from the chart, for designs that name no threads.
constexpr std::array<std::uint16_t, 4> kDefaultIndices{1, 10, 12, 6};

std::uint8_t low(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

}  // namespace

Result<std::vector<std::uint8_t>> write_sew(const Pattern& p, const std::string& file) {
  const auto index_of = [&](std::size_t b) -> std::uint16_t {
    if (p.threads.empty()) return kDefaultIndices[b % kDefaultIndices.size()];
    const auto& t = p.threads[b];
    return static_cast<std::uint16_t>(nearest_chart_colour(kSewChart, t.r, t.g, t.b, 1));
  };
  std::vector<std::uint16_t> indices{index_of(0)};
  std::size_t block = 0;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kColourChange) indices.push_back(index_of(++block));
    if (e.op == NeedleOp::kStop) indices.push_back(indices.back());
  }
  KORVANE_FAIL_IF(indices.size() > kSewMaxColours, ErrorCode::kUnsupportedForm, file,
                  "a SEW design holds at most " + std::to_string(kSewMaxColours) +
                      " colour blocks (stops count as blocks); this one has " +
                      std::to_string(indices.size()));

  ByteWriter out(kStitchesAt + 2 * p.events.size() + 8);
  out.u16le(static_cast<std::uint32_t>(indices.size()));
  for (const auto i : indices) out.u16le(i);
  out.zeros(kStitchesAt - out.size());

  std::int32_t x = 0, y = 0;
  const auto command = [&](std::uint8_t c, std::int32_t dx, std::int32_t dy) {
    out.u8(kCommand);
    out.u8(c);
    out.u8(low(dx));
    out.u8(low(-dy));  // SEW's y runs upwards
  };
  const auto jump_to = [&](std::int32_t to_x, std::int32_t to_y) {
    for_each_delta(x, y, to_x, to_y, kSewSteps,
               [&](std::int32_t dx, std::int32_t dy) { command(kMove, dx, dy); });
    x = to_x;
    y = to_y;
  };
  // Machines and readers find the stitches by this opening move record.
  command(kMove, 0, 0);
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    if (e.op == NeedleOp::kStitch) {
      for_each_delta(x, y, e.x, e.y, kSewSteps, [&](std::int32_t dx, std::int32_t dy) {
        out.u8(low(dx));
        out.u8(low(-dy));
      });
      x = e.x;
      y = e.y;
      continue;
    }
    if (e.x != x || e.y != y) jump_to(e.x, e.y);
    if (e.op == NeedleOp::kColourChange || e.op == NeedleOp::kStop) command(kColourChangeBit, 0, 0);
  }
  out.u8(kCommand);
  out.u8(kEnd);
  return out.take();
}

}  // namespace kvn::formats
