#include "formats/jef.hpp"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>
#include <string_view>

#include "formats/byte_writer.hpp"
#include "formats/event_sink.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

std::int64_t abs64(std::int64_t v) { return v < 0 ? -v : v; }

constexpr std::size_t kStitchOffsetAt = 0;
constexpr std::size_t kColourCountAt = 24;
constexpr std::size_t kColoursAt = 116;
constexpr std::uint32_t kFlags = 0x14;
constexpr std::uint32_t kThreadType = 0x0D;
// Written files carry a fixed date so that the same design gives the same bytes.
constexpr std::string_view kDate = "20000101000000";

constexpr std::uint8_t kControl = 0x80;
constexpr std::uint8_t kChange = 0x01;
constexpr std::uint8_t kMove = 0x02;
constexpr std::uint8_t kEndMark = 0x10;
// A step is a signed byte on each axis, y negated; a stitch's x byte may not
// be 0x80 (-128), which marks a control record.
constexpr std::int32_t kMaxStep = 127;

constexpr std::array<ChartColour, 79> kJanomeChart{{
    {0, 0, 0, "Placeholder", "000"},
    {0, 0, 0, "Black", "002"},
    {255, 255, 255, "White", "001"},
    {255, 255, 23, "Yellow", "204"},
    {255, 102, 0, "Orange", "203"},
    {47, 89, 51, "Olive Green", "219"},
    {35, 115, 54, "Green", "226"},
    {101, 194, 200, "Sky", "217"},
    {171, 90, 150, "Purple", "208"},
    {246, 105, 160, "Pink", "201"},
    {255, 0, 0, "Red", "225"},
    {177, 112, 78, "Brown", "214"},
    {11, 47, 132, "Blue", "207"},
    {228, 195, 93, "Gold", "003"},
    {72, 26, 5, "Dark Brown", "205"},
    {172, 156, 199, "Pale Violet", "209"},
    {252, 242, 148, "Pale Yellow", "210"},
    {249, 153, 183, "Pale Pink", "211"},
    {250, 179, 129, "Peach", "212"},
    {201, 164, 128, "Beige", "213"},
    {151, 5, 51, "Wine Red", "215"},
    {160, 184, 204, "Pale Sky", "216"},
    {127, 194, 28, "Yellow Green", "218"},
    {229, 229, 229, "Silver Gray", "220"},
    {136, 155, 155, "Gray", "221"},
    {152, 214, 189, "Pale Aqua", "227"},
    {178, 225, 227, "Baby Blue", "228"},
    {54, 139, 160, "Powder Blue", "229"},
    {79, 131, 171, "Bright Blue", "230"},
    {56, 106, 145, "Slate Blue", "231"},
    {7, 22, 80, "Navy Blue", "232"},
    {249, 153, 162, "Salmon Pink", "233"},
    {249, 103, 107, "Coral", "234"},
    {227, 49, 31, "Burnt Orange", "235"},
    {226, 161, 136, "Cinnamon", "236"},
    {181, 148, 116, "Umber", "237"},
    {228, 207, 153, "Blond", "238"},
    {255, 203, 0, "Sunflower", "239"},
    {225, 173, 212, "Orchid Pink", "240"},
    {195, 0, 126, "Peony Purple", "241"},
    {128, 0, 75, "Burgundy", "242"},
    {84, 5, 113, "Royal Purple", "243"},
    {177, 5, 37, "Cardinal Red", "244"},
    {202, 224, 192, "Opal Green", "245"},
    {137, 152, 86, "Moss Green", "246"},
    {92, 148, 26, "Meadow Green", "247"},
    {0, 49, 20, "Dark Green", "248"},
    {93, 174, 148, "Aquamarine", "249"},
    {76, 191, 143, "Emerald Green", "250"},
    {0, 119, 114, "Peacock Green", "251"},
    {89, 91, 97, "Dark Gray", "252"},
    {255, 255, 242, "Ivory White", "253"},
    {177, 88, 24, "Hazel", "254"},
    {203, 138, 7, "Toast", "255"},
    {152, 108, 128, "Salmon", "256"},
    {152, 105, 45, "Cocoa Brown", "257"},
    {77, 52, 25, "Sienna", "258"},
    {76, 51, 11, "Sepia", "259"},
    {51, 32, 10, "Dark Sepia", "260"},
    {82, 58, 151, "Violet Blue", "261"},
    {13, 33, 126, "Blue Ink", "262"},
    {30, 119, 172, "Sola Blue", "263"},
    {178, 221, 83, "Green Dust", "264"},
    {243, 54, 137, "Crimson", "265"},
    {222, 100, 158, "Floral Pink", "266"},
    {152, 65, 97, "Wine", "267"},
    {76, 86, 18, "Olive Drab", "268"},
    {76, 136, 31, "Meadow", "269"},
    {228, 222, 121, "Mustard", "270"},
    {203, 138, 26, "Yellow Ocher", "271"},
    {203, 162, 28, "Old Gold", "272"},
    {255, 152, 5, "Honey Dew", "273"},
    {252, 178, 87, "Tangerine", "274"},
    {255, 229, 5, "Canary Yellow", "275"},
    {240, 51, 31, "Vermilion", "202"},
    {26, 132, 45, "Bright Green", "206"},
    {56, 108, 174, "Ocean Blue", "222"},
    {227, 196, 180, "Beige Gray", "223"},
    {227, 172, 129, "Bamboo", "224"},
}};

// Blocks of a pattern without colours get these, in turn.
constexpr std::array<std::uint8_t, 8> kDefaultIndices{1, 10, 12, 22, 3, 8, 4, 7};

Thread chart_thread(std::int32_t index) {
  const auto i = static_cast<std::size_t>(abs64(std::int64_t{index})) % kJanomeChart.size();
  const auto& c = kJanomeChart[i];
  return Thread{c.r, c.g, c.b, c.name, c.catalogue, std::nullopt};
}

std::int32_t janome_index(const Thread& t) {
  return static_cast<std::int32_t>(nearest_chart_colour(kJanomeChart, t.r, t.g, t.b, 1));
}

std::int32_t signed8(std::uint8_t b) { return b > 127 ? std::int32_t{b} - 256 : std::int32_t{b}; }

}  // namespace

std::span<const ChartColour> janome_chart() { return kJanomeChart; }

Thread janome_thread_for(const Thread& t) { return chart_thread(janome_index(t)); }

namespace {

// The threads come back in the pattern, the events go to `events`.
template <class Events>
Result<Pattern> read_jef_into(const ByteReader& in, Events& events) {
  KORVANE_TRY(stitch_at, in.u32le(kStitchOffsetAt, "the JEF stitch offset"));
  KORVANE_TRY(count, in.u32le(kColourCountAt, "the JEF colour count"));
  KORVANE_FAIL_AT(!in.contains(kColoursAt, 0) || count > (in.size() - kColoursAt) / 4, in,
                  kColourCountAt, ErrorCode::kMalformedDesign,
                  "the colour count " + std::to_string(count) + " does not fit in the file");
  KORVANE_FAIL_AT(stitch_at < kColoursAt || stitch_at > in.size(), in, kStitchOffsetAt,
                  ErrorCode::kMalformedDesign,
                  "the stitch offset " + std::to_string(stitch_at) + " lies outside the file's " +
                      std::to_string(in.size()) + " bytes");
  std::vector<std::int32_t> entries;
  entries.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    KORVANE_TRY(v, in.s32le(kColoursAt + 4 * std::size_t{i}, "the JEF colour list"));
    entries.push_back(v);
  }

  Pattern p;
  if (!entries.empty()) p.threads.push_back(chart_thread(entries[0]));
  events.reserve((in.size() - stitch_at) / 2 + 1);
  std::int64_t x = 0, y = 0;
  std::size_t entry = 0;
  std::size_t at = stitch_at;
  const auto here = [&](NeedleOp op) {
    events.push_back({static_cast<std::int32_t>(x), static_cast<std::int32_t>(y), op});
  };
  while (true) {
    KORVANE_TRY(head, in.take<2>(at, "a JEF stitch record"));
    if (head[0] != kControl) {
      x += signed8(head[0]);
      y -= signed8(head[1]);  // JEF's y runs upwards
      at += 2;
      here(NeedleOp::kStitch);
    } else if (head[1] == kEndMark) {
      break;
    } else {
      KORVANE_TRY(step, in.take<2>(at + 2, "a JEF control record"));
      const std::int32_t dx = signed8(step[0]), dy = -signed8(step[1]);
      if (head[1] == kMove) {
        if (dx == 0 && dy == 0) {
          here(NeedleOp::kTrim);
        } else {
          x += dx;
          y += dy;
          here(NeedleOp::kJump);
        }
      } else if (head[1] == kChange) {
        ++entry;
        if (entry < entries.size() && entries[entry] == 0) {
          here(NeedleOp::kStop);
        } else {
          here(NeedleOp::kColourChange);
          if (!entries.empty()) {
            p.threads.push_back(entry < entries.size() ? chart_thread(entries[entry])
                                                       : p.threads.back());
          }
        }
        if (dx != 0 || dy != 0) {
          x += dx;
          y += dy;
          here(NeedleOp::kJump);
        }
      } else {
        return in.error_at(at + 1, ErrorCode::kMalformedDesign,
                           "unknown JEF control record 0x80 0x" +
                               std::string(1, "0123456789ABCDEF"[head[1] >> 4]) +
                               std::string(1, "0123456789ABCDEF"[head[1] & 0x0F]));
      }
      at += 4;
    }
    KORVANE_FAIL_AT(x < -kFarthestPosition || x > kFarthestPosition || y < -kFarthestPosition ||
                        y > kFarthestPosition,
                    in, at, ErrorCode::kMalformedDesign, "the stitches walk the needle past 10 km");
  }
  here(NeedleOp::kEnd);
  return p;
}

}  // namespace

constexpr auto kReadJefInto = [](const ByteReader& in, auto& events) {
  return read_jef_into(in, events);
};

Result<Pattern> read_jef(const ByteReader& in) { return read_whole(in, kReadJefInto); }

Result<Pattern> read_jef_events(const ByteReader& in, EventSink& sink) {
  return read_streamed(in, sink, kReadJefInto);
}

namespace {

struct Hoop {
  std::uint32_t code;
  std::int32_t width, height;  // 0.1 mm
};
// The hoops a JEF header names, smallest first.
constexpr std::array<Hoop, 5> kHoops{{
    {1, 500, 500},
    {0, 1100, 1100},
    {3, 1260, 1100},
    {2, 1400, 2000},
    {4, 2000, 2000},
}};
// The hoops whose edge distances the header lists, in its order.
constexpr std::array<Hoop, 4> kEdgeHoops{{
    {0, 1100, 1100},
    {1, 500, 500},
    {2, 1400, 2000},
    {4, 2000, 2000},
}};

std::uint8_t byte_of(std::int32_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

// A step one record holds is written as it is (y, stored negated, reaches
// one further down than up); only longer ones are split.
template <class Put>
void jef_steps(std::int32_t x, std::int32_t y, std::int32_t tx, std::int32_t ty, Put&& put) {
  const std::int64_t dx = std::int64_t{tx} - x, dy = std::int64_t{ty} - y;
  if (dx >= -kMaxStep && dx <= kMaxStep && dy >= -kMaxStep && dy <= kMaxStep + 1)
    put(static_cast<std::int32_t>(dx), static_cast<std::int32_t>(dy));
  else
    for_each_delta(x, y, tx, ty, kMaxStep, put);
}

}  // namespace

Result<std::vector<std::uint8_t>> write_jef(const Pattern& p, const std::string& file) {
  (void)file;
  std::vector<std::int32_t> entries;
  std::size_t block = 0;
  const auto index_of = [&](std::size_t b) -> std::int32_t {
    if (p.threads.empty()) return kDefaultIndices[b % kDefaultIndices.size()];
    const auto& t = p.threads[b];
    return janome_index(t);
  };
  entries.push_back(index_of(0));

  ByteWriter stream(2 * p.events.size() + 2);
  std::int32_t x = 0, y = 0;
  const auto control = [&](std::uint8_t c, std::int32_t dx, std::int32_t dy) {
    stream.u8(kControl);
    stream.u8(c);
    stream.u8(byte_of(dx));
    stream.u8(byte_of(-dy));
  };
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    switch (e.op) {
      case NeedleOp::kStitch:
        jef_steps(x, y, e.x, e.y, [&](std::int32_t dx, std::int32_t dy) {
          stream.u8(byte_of(dx));
          stream.u8(byte_of(-dy));
        });
        x = e.x;
        y = e.y;
        break;
      case NeedleOp::kJump:
        // A move of nothing would read back as a trim.
        if (e.x == x && e.y == y) break;
        jef_steps(x, y, e.x, e.y,
                  [&](std::int32_t dx, std::int32_t dy) { control(kMove, dx, dy); });
        x = e.x;
        y = e.y;
        break;
      case NeedleOp::kTrim:
        control(kMove, 0, 0);
        break;
      case NeedleOp::kColourChange:
        control(kChange, 0, 0);
        entries.push_back(index_of(++block));
        break;
      case NeedleOp::kStop:
        control(kChange, 0, 0);
        entries.push_back(0);
        break;
      case NeedleOp::kEnd:
        break;
    }
  }
  stream.u8(kControl);
  stream.u8(kEndMark);

  const auto e = stitch_extents(p);
  // Distances from the origin, where the machine puts the hoop's centre.
  const std::int64_t left = e.empty ? 0 : std::max<std::int64_t>(0, -std::int64_t{e.min_x});
  const std::int64_t top = e.empty ? 0 : std::max<std::int64_t>(0, -std::int64_t{e.min_y});
  const std::int64_t right = e.empty ? 0 : std::max<std::int64_t>(0, e.max_x);
  const std::int64_t bottom = e.empty ? 0 : std::max<std::int64_t>(0, e.max_y);
  const std::int64_t width = e.empty ? 0 : std::int64_t{e.max_x} - e.min_x;
  const std::int64_t height = e.empty ? 0 : std::int64_t{e.max_y} - e.min_y;
  std::uint32_t hoop = kHoops.back().code;
  for (const auto& h : kHoops) {
    if (width <= h.width && height <= h.height) {
      hoop = h.code;
      break;
    }
  }
  const auto u32 = [](std::int64_t v) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::clamp<std::int64_t>(
        v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max())));
  };

  ByteWriter out(kColoursAt + 8 * entries.size() + stream.size());
  out.u32le(static_cast<std::uint32_t>(kColoursAt + 8 * entries.size()));
  out.u32le(kFlags);
  for (const char c : kDate) out.u8(static_cast<std::uint8_t>(c));
  out.u8(0);
  out.u8(0);
  out.u32le(static_cast<std::uint32_t>(entries.size()));
  out.u32le(static_cast<std::uint32_t>(stream.size() / 2));
  out.u32le(hoop);
  for (const auto v : {left, top, right, bottom}) out.u32le(u32(v));
  for (const auto& h : kEdgeHoops) {
    const std::array<std::int64_t, 4> edges{h.width / 2 - left, h.height / 2 - top,
                                            h.width / 2 - right, h.height / 2 - bottom};
    const bool fits =
        std::all_of(edges.begin(), edges.end(), [](std::int64_t v) { return v >= 0; });
    for (const auto v : edges) out.u32le(fits ? u32(v) : u32(-1));
  }
  for (const auto i : entries) out.u32le(static_cast<std::uint32_t>(i));
  for (std::size_t i = 0; i < entries.size(); ++i) out.u32le(kThreadType);
  out.bytes(stream.view());
  return out.take();
}

}  // namespace kvn::formats
