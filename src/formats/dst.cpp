#include "formats/dst.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string_view>

#include "formats/byte_writer.hpp"
#include "formats/event_sink.hpp"
#include "formats/move_steps.hpp"
#include "formats/needle_step.hpp"

namespace kvn::formats {

namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr std::size_t kRecordSize = 3;
constexpr std::size_t kLabelWidth = 16;

// Every record's third byte has its two low bits set; the two high bits say
// what the record is (both: colour change, or with bits 4 and 5 too: end).
constexpr std::uint8_t kAlwaysSet = 0x03;
constexpr std::uint8_t kJumpBit = 0x80;
constexpr std::uint8_t kChangeBits = 0xC0;
constexpr std::uint8_t kEndMask = 0xF3;
constexpr std::uint8_t kSequinBit = 0x40;

// A record holds dx and dy as balanced-ternary digits (weights 1, 3, 9, 27,
// 81), each digit a pair of bits: one for +weight, one for -weight.
struct TernaryBit {
  std::uint8_t byte, bit;
  bool is_x;
  std::int8_t weight;
};
constexpr TernaryBit kBits[] = {
    {0, 0, true, 1},   {0, 1, true, -1},  {0, 2, true, 9},    {0, 3, true, -9},  {1, 0, true, 3},
    {1, 1, true, -3},  {1, 2, true, 27},  {1, 3, true, -27},  {2, 2, true, 81},  {2, 3, true, -81},
    {0, 7, false, 1},  {0, 6, false, -1}, {0, 5, false, 9},   {0, 4, false, -9}, {1, 7, false, 3},
    {1, 6, false, -3}, {1, 5, false, 27}, {1, 4, false, -27}, {2, 5, false, 81}, {2, 4, false, -81},
};

struct Delta {
  std::int8_t x = 0, y = 0;
};

// What each value of each record byte adds to dx and dy (y upwards, as stored).
constexpr std::array<std::array<Delta, 256>, 3> make_decode() {
  std::array<std::array<Delta, 256>, 3> t{};
  for (const auto& b : kBits) {
    for (int v = 0; v < 256; ++v) {
      if (!((v >> b.bit) & 1)) continue;
      auto& d = t[b.byte][static_cast<std::size_t>(v)];
      (b.is_x ? d.x : d.y) = static_cast<std::int8_t>((b.is_x ? d.x : d.y) + b.weight);
    }
  }
  return t;
}
constexpr auto kDecode = make_decode();

// kDecode with both displacements in one word, dx + dy * 65536 with dy turned
// down as the model runs: the three bytes' sums need two additions, and each
// sum of dx stays within +-121, so its low 16 bits are dx.
constexpr std::array<std::array<std::int32_t, 256>, 3> make_packed_decode() {
  std::array<std::array<std::int32_t, 256>, 3> t{};
  for (std::size_t b = 0; b < 3; ++b)
    for (std::size_t v = 0; v < 256; ++v)
      t[b][v] = kDecode[b][v].x - kDecode[b][v].y * 65536;
  return t;
}
constexpr auto kPackedDecode = make_packed_decode();

// The three record bytes that move one axis by v, for v in -121..121.
using AxisBytes = std::array<std::uint8_t, 3>;
constexpr std::array<AxisBytes, 2 * kDstMaxStep + 1> make_encode(bool is_x) {
  std::array<AxisBytes, 2 * kDstMaxStep + 1> t{};
  for (int v = -kDstMaxStep; v <= kDstMaxStep; ++v) {
    AxisBytes out{};
    int rest = v;
    for (const int weight : {1, 3, 9, 27, 81}) {
      const int r = ((rest % 3) + 3) % 3;
      const int digit = r == 2 ? -1 : r;
      rest = (rest - digit) / 3;
      if (digit == 0) continue;
      for (const auto& b : kBits) {
        if (b.is_x == is_x && b.weight == digit * weight) out[b.byte] |= std::uint8_t(1u << b.bit);
      }
    }
    t[static_cast<std::size_t>(v + kDstMaxStep)] = out;
  }
  return t;
}
constexpr auto kEncodeX = make_encode(true);
constexpr auto kEncodeY = make_encode(false);

// The label field: up to its carriage return, cut at a NUL (some writers end
// the name with one and pad after it), without the spaces around it.
std::string read_label(std::span<const std::uint8_t> head) {
  std::string name;
  for (std::size_t i = 3; i < head.size() && head[i] != '\r' && head[i] != 0; ++i)
    name.push_back(static_cast<char>(head[i]));
  const auto first = name.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') + 1 - first);
}

// The header's record count ("ST:" and up to 7 digits, spaces before them),
// or nothing where the field does not hold a number.
std::optional<std::size_t> header_count(std::span<const std::uint8_t> head) {
  constexpr std::size_t kCountAt = 20, kDigitsAt = 23, kDigitsWidth = 7;
  if (head[kCountAt] != 'S' || head[kCountAt + 1] != 'T' || head[kCountAt + 2] != ':')
    return std::nullopt;
  std::size_t i = kDigitsAt, n = 0, digits = 0;
  while (i < kDigitsAt + kDigitsWidth && (head[i] == ' ' || head[i] == '+')) ++i;
  for (; i < kDigitsAt + kDigitsWidth && head[i] >= '0' && head[i] <= '9'; ++i, ++digits)
    n = n * 10 + static_cast<std::size_t>(head[i] - '0');
  if (digits == 0) return std::nullopt;
  return n;
}

// Turns DST's runs of jumps into trims as they are read: the third jump in a
// row after a stitch puts a trim before the run, and a run that comes back to
// where it began (the usual trim mark) is dropped, as it moves nothing.
template <class Events>
class JumpRuns {
 public:
  explicit JumpRuns(Events& events) : events_(events) {}

  void stitch() {
    trimmed_ = false;
    end_run();
  }
  void colour_change() {
    trimmed_ = true;
    end_run();
  }
  void jump(std::int32_t from_x, std::int32_t from_y, std::int32_t x, std::int32_t y) {
    if (!in_run_) {
      in_run_ = true;
      run_start_ = events_.size();
      events_.hold_from(run_start_);
      count_ = 0;
      anchor_x_ = from_x;
      anchor_y_ = from_y;
    }
    ++count_;
    events_.push_back({x, y, NeedleOp::kJump});
    if (!trimmed_ && count_ == kDstJumpsForTrim) {
      events_.insert_at(run_start_, {anchor_x_, anchor_y_, NeedleOp::kTrim});
      ++run_start_;
      trimmed_ = true;
    }
    if (x == anchor_x_ && y == anchor_y_) events_.cut_to(run_start_);
  }

 private:
  void end_run() {
    if (in_run_) events_.release();
    in_run_ = false;
  }

  Events& events_;
  bool trimmed_ = true;  // nothing to cut before the first stitch
  bool in_run_ = false;
  std::size_t run_start_ = 0;
  int count_ = 0;
  std::int32_t anchor_x_ = 0, anchor_y_ = 0;
};

// The name comes back in the pattern, the events go to `events`.
template <class Events>
Result<Pattern> read_dst_into(const ByteReader& in, Events& events) {
  KORVANE_TRY(head, in.span_at(0, kHeaderSize, "the DST header"));
  KORVANE_FAIL_AT(head[0] != 'L' || head[1] != 'A' || head[2] != ':', in, 0,
                  ErrorCode::kMalformedDesign,
                  "the DST header does not open with its label field \"LA:\"");
  Pattern p;
  p.name = read_label(head);

  const std::size_t records = (in.size() - kHeaderSize) / kRecordSize;
  KORVANE_TRY(body, in.span_at(kHeaderSize, records * kRecordSize, "the stitch records"));
  // A trim put before a run of jumps and a colour change that moves each add
  // an event to their record; room for one in three is more than any real
  // design needs, so that the events of millions of records take one
  // allocation, never one twice as large. Room never written takes no memory.
  events.reserve(records + 1 + records / kDstJumpsForTrim);
  JumpRuns<Events> runs(events);
  std::int32_t x = 0, y = 0;
  bool ended = false;
  for (std::size_t r = 0; r < records; ++r) {
    const std::uint8_t b0 = body[kRecordSize * r];
    const std::uint8_t b1 = body[kRecordSize * r + 1];
    const std::uint8_t b2 = body[kRecordSize * r + 2];
    const std::size_t at = kHeaderSize + kRecordSize * r;
    KORVANE_FAIL_AT((b2 & kAlwaysSet) != kAlwaysSet, in, at, ErrorCode::kMalformedDesign,
                    "record " + std::to_string(r) +
                        " is not a DST record: the two low bits of its third byte are clear");
    if ((b2 & kEndMask) == kEndMask) {
      ended = true;
      break;
    }
    const std::int32_t from_x = x, from_y = y;
    // Stored upwards; the model's y runs down.
    const std::int32_t both = kPackedDecode[0][b0] + kPackedDecode[1][b1] + kPackedDecode[2][b2];
    const auto dx = static_cast<std::int16_t>(static_cast<std::uint32_t>(both) & 0xFFFF);
    x += dx;
    y += (both - dx) / 65536;
    // Only damaged input goes that far, and an event cannot hold it.
    const auto beyond = [](std::int64_t v) {
      return static_cast<std::uint64_t>(v + kFarthestPosition) >
             2 * static_cast<std::uint64_t>(kFarthestPosition);
    };
    KORVANE_FAIL_AT(beyond(x) || beyond(y), in, at, ErrorCode::kCoordinateOutOfRange,
                    "the records walk the needle past 10 km");
    const bool moved = x != from_x || y != from_y;
    if ((b2 & kChangeBits) == kChangeBits) {
      // The model's colour change does not move: a record that does moves first.
      if (moved) events.push_back({x, y, NeedleOp::kJump});
      events.push_back({x, y, NeedleOp::kColourChange});
      runs.colour_change();
    } else if (b2 & (kJumpBit | kSequinBit)) {
      // Sequin records (bit 6 alone, or jumps between them) carry no sequins
      // in the model: they are moves like any jump.
      runs.jump(from_x, from_y, x, y);
    } else {
      events.push_back({x, y, NeedleOp::kStitch});
      runs.stitch();
    }
  }
  if (!ended) {
    // Without its end record a design is whole only when it holds as many
    // records as its header counts; some writers leave the last record, the
    // end record, with one or two of its three bytes, so that one counts.
    // Real headers count the end record or not, and some count a few
    // records more or fewer, but those files all end with an end record.
    const std::size_t held = records + ((in.size() - kHeaderSize) % kRecordSize != 0 ? 1 : 0);
    const auto counted = header_count(head);
    KORVANE_FAIL_AT(!counted, in, in.size(), ErrorCode::kDesignTruncated,
                    "the file ends after " + grouped(in.size()) +
                        " bytes without an end record, and its header does not count its records");
    KORVANE_FAIL_AT(held < *counted, in, in.size(), ErrorCode::kDesignTruncated,
                    grouped(held) + " records of the " + grouped(*counted) +
                        " its header counts, and no end record");
  }
  events.push_back({x, y, NeedleOp::kEnd});
  return p;
}

}  // namespace

constexpr auto kReadDstInto = [](const ByteReader& in, auto& events) {
  return read_dst_into(in, events);
};

Result<Pattern> read_dst(const ByteReader& in) { return read_whole(in, kReadDstInto); }

Result<Pattern> read_dst_events(const ByteReader& in, EventSink& sink) {
  return read_streamed(in, sink, kReadDstInto);
}

namespace {

class DstRecords {
 public:
  explicit DstRecords(std::vector<std::uint8_t>& out) : out_(out) {}

  void move_to(std::int32_t x, std::int32_t y, std::uint8_t kind) {
    for_each_step(x_, y_, x, y, kDstMaxStep, [&](std::int64_t sx, std::int64_t sy) {
      record(static_cast<std::int32_t>(sx - x_), static_cast<std::int32_t>(sy - y_), kind);
      x_ = static_cast<std::int32_t>(sx);
      y_ = static_cast<std::int32_t>(sy);
    });
  }
  // Steps by (dx, dy), |dx|, |dy| <= kDstMaxStep.
  void record(std::int32_t dx, std::int32_t dy, std::uint8_t kind) {
    const auto& ex = kEncodeX[static_cast<std::size_t>(dx + kDstMaxStep)];
    // Stored upwards.
    const auto& ey = kEncodeY[static_cast<std::size_t>(-dy + kDstMaxStep)];
    out_.push_back(ex[0] | ey[0]);
    out_.push_back(ex[1] | ey[1]);
    out_.push_back(static_cast<std::uint8_t>(ex[2] | ey[2] | kind | kAlwaysSet));
    ++count_;
  }
  void control(std::uint8_t b2) {
    out_.insert(out_.end(), {0, 0, b2});
    ++count_;
  }
  std::int32_t x() const { return x_; }
  std::int32_t y() const { return y_; }
  std::size_t count() const { return count_; }

 private:
  std::vector<std::uint8_t>& out_;
  std::int32_t x_ = 0, y_ = 0;
  std::size_t count_ = 0;
};

// The label as DST's 16-character field can hold it: no control characters
// (the field ends at a carriage return), cut on a UTF-8 character boundary.
std::string label_field(const std::string& name) {
  std::string s;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    s.push_back(u < 0x20 || u == 0x7F ? ' ' : c);
  }
  if (s.size() > kLabelWidth) {
    std::size_t cut = kLabelWidth;
    while (cut > 0 && (static_cast<unsigned char>(s[cut]) & 0xC0) == 0x80) --cut;
    s.resize(cut);
  }
  return s;
}

}  // namespace

Result<std::vector<std::uint8_t>> write_dst(const Pattern& p, const std::string& file) {
  // The frame visits every position, jumps included, and starts at (0, 0).
  std::int32_t min_x = 0, min_y = 0, max_x = 0, max_y = 0;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    min_x = std::min(min_x, e.x);
    min_y = std::min(min_y, e.y);
    max_x = std::max(max_x, e.x);
    max_y = std::max(max_y, e.y);
  }
  KORVANE_FAIL_IF(-std::int64_t{min_x} > kDstMaxReach || -std::int64_t{min_y} > kDstMaxReach ||
                      max_x > kDstMaxReach || max_y > kDstMaxReach,
                  ErrorCode::kCoordinateOutOfRange, file,
                  "the design reaches more than 9999.9 mm from its start, further than a DST "
                  "header can state");

  std::vector<std::uint8_t> out(kHeaderSize, ' ');
  out.reserve(kHeaderSize + kRecordSize * (p.events.size() + 16));
  DstRecords rec(out);
  std::size_t changes = 0;
  for (const auto& e : p.events) {
    if (e.op == NeedleOp::kEnd) break;
    switch (e.op) {
      case NeedleOp::kStitch:
        rec.move_to(e.x, e.y, 0);
        continue;
      case NeedleOp::kJump:
        if (e.x != rec.x() || e.y != rec.y()) rec.move_to(e.x, e.y, kJumpBit);
        continue;
      case NeedleOp::kTrim:
      case NeedleOp::kColourChange:
      case NeedleOp::kStop:
      case NeedleOp::kEnd:
        break;
    }
    // An event that does not move carries where the needle stands; should it
    // say otherwise, the frame goes there first rather than lose the move.
    if (e.x != rec.x() || e.y != rec.y()) rec.move_to(e.x, e.y, kJumpBit);
    if (e.op == NeedleOp::kTrim) {
      // The common trim mark: three jumps that end where they began.
      rec.record(2, 2, kJumpBit);
      rec.record(-4, -4, kJumpBit);
      rec.record(2, 2, kJumpBit);
    } else {
      rec.control(kChangeBits | kAlwaysSet);
      ++changes;
    }
  }
  rec.control(kEndMask);

  // Counts and extents are known only now: fill in the header, whose
  // fields are fixed-width numbers: a count too wide for one is refused
  // rather than cut.
  KORVANE_FAIL_IF(rec.count() > 9999999, ErrorCode::kTooManyWords, file,
                  std::to_string(rec.count()) + " records, more than DST's header can count");
  KORVANE_FAIL_IF(changes > 999, ErrorCode::kTooManyColours, file,
                  std::to_string(changes) + " colour changes, more than DST's header can count");
  const auto sign = [](std::int32_t v) { return v < 0 ? '-' : '+'; };
  const std::int32_t end_x = rec.x(), end_y = -rec.y();
  char text[kHeaderSize];
  const int n = std::snprintf(
      text, sizeof text,
      "LA:%-16s\rST:%7zu\rCO:%3zu\r+X:%5d\r-X:%5d\r+Y:%5d\r-Y:%5d\rAX:%c%5d\rAY:%c%5d\r"
      "MX:+%5d\rMY:+%5d\rPD:******\r\x1A",
      label_field(p.name).c_str(), rec.count(), changes, max_x, -min_x, -min_y, max_y, sign(end_x),
      std::abs(end_x), sign(end_y), std::abs(end_y), 0, 0);
  KORVANE_FAIL_IF(n < 0 || static_cast<std::size_t>(n) >= kHeaderSize, ErrorCode::kInternal, file,
                  "the DST header does not fit its 512 bytes");
  std::copy(text, text + n, out.begin());
  return out;
}

}  // namespace kvn::formats
