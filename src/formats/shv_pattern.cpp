#include "formats/shv_pattern.hpp"

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "formats/byte_writer.hpp"
#include "formats/container.hpp"
#include "formats/event_sink.hpp"
#include "formats/huc_layout.hpp"
#include "formats/shv_design.hpp"
#include "formats/shv_threads.hpp"
#include "formats/stitch.hpp"

namespace kvn::formats {
namespace {

// Where huchdr_t keeps the stream's total, for refusals that point at it.
constexpr std::size_t kHucStitchesAt = 27;

// The stream's records as needle events, the blocks' threads into `p`.
// Positions keep the stream's 16-bit wrap, so that a long move across more
// than 32767 lands where the machine lands. Kept out of line: inlined into
// its caller, the walk runs short of registers.
template <class Events>
[[gnu::noinline]] WalkEnd decode_stream(std::span<const std::uint8_t> stream,
                                        const std::vector<shvcolor_t>& blocks, Pattern& p,
                                        Events& events) {
  return walk_blocks(stream, blocks, 0, 0, [&](const WalkStep& s) {
    const auto x = wrap16(s.x1), y = wrap16(s.y1);
    if (s.opens) {
      if (s.block > 0) events.push_back({wrap16(s.x0), wrap16(s.y0), NeedleOp::kColourChange});
      p.threads.push_back(thread_for_shv_code(blocks[s.block].Color));
    }
    const bool escape = s.bytes[0] == kEscape;
    const bool trim = escape && s.bytes[1] == kBlockStartControl;
    if (s.bytes.size() == kLongMoveBytes || (s.opens && !trim))
      events.push_back({x, y, NeedleOp::kJump});
    else if (trim)
      events.push_back({x, y, NeedleOp::kTrim});
    else if (!escape)
      events.push_back({x, y, NeedleOp::kStitch});
  });
}

// The stream decoded block by block. The name and threads come back in the
// pattern, the events go to `events`.
template <class Events>
Result<Pattern> decode(const ByteReader& in, std::size_t stream_at,
                       std::span<const std::uint8_t> stream,
                       const std::vector<shvcolor_t>& blocks, std::string name, Events& events) {
  Pattern p;
  p.name = std::move(name);
  // At most one event a word, plus the colour changes and the end.
  events.reserve(stream.size() / 2 + blocks.size() + 1);
  p.threads.reserve(blocks.size());
  const auto end = decode_stream(stream, blocks, p, events);
  KORVANE_FAIL_AT(end.truncated, in, stream_at + end.offset, ErrorCode::kMalformedDesign,
                  "colour block " + std::to_string(end.block + 1) + " of " +
                      std::to_string(blocks.size()) + " runs past the end of the stitch stream");
  events.push_back({wrap16(end.x), wrap16(end.y), NeedleOp::kEnd});
  return p;
}

Status check_counts(const ByteReader& in, std::size_t total_at,
                    const std::vector<shvcolor_t>& blocks, std::uint64_t total) {
  const std::uint64_t sum =
      std::accumulate(blocks.begin(), blocks.end(), std::uint64_t{0},
                      [](std::uint64_t s, const shvcolor_t& b) { return s + b.Stitches; });
  KORVANE_FAIL_AT(sum != total, in, total_at, ErrorCode::kMalformedDesign,
                  "the colour records count " + std::to_string(sum) +
                      " stitch words, but the header counts " + std::to_string(total));
  return Ok{};
}

std::string trimmed_name(std::span<const std::uint8_t> bytes) {
  std::string s(bytes.begin(), bytes.end());
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.pop_back();
  return s;
}

// Rounds a / b to the nearest integer, halves upward; b > 0.
std::int64_t round_div(std::int64_t a, std::int64_t b) {
  const std::int64_t n = 2 * a + b, d = 2 * b;
  return n >= 0 ? n / d : -((-n + d - 1) / d);
}

// The counts are 32-bit, but every size the interfaces pass is a signed
// 32-bit byte count: the stream must stay below 2 GiB with room for the rest.
constexpr std::size_t kMaxShvWords = 0x3FFF0000;

class Encoder {
 public:
  // Room for a record per stitch and a long move for every other event,
  // so that the stream is not copied as it grows: only stitches longer
  // than a record take more.
  explicit Encoder(std::size_t stitches, std::size_t others)
      : out_(2 * stitches + kLongMoveBytes * others + 16) {}

  void start_block(std::uint8_t code) {
    close_block();
    colours_.push_back({0, code, static_cast<std::int16_t>(x_), static_cast<std::int16_t>(y_)});
    block_from_ = out_.size();
  }
  void close_block() {
    if (colours_.empty()) return;
    colours_.back().Stitches = static_cast<std::uint32_t>((out_.size() - block_from_) / 2);
  }
  void jump(std::int32_t x, std::int32_t y) {
    // Positions lie in 16 bits, so the wrapped displacement lands exactly.
    put_long_move(out_, wrap16(x - x_), wrap16(y - y_));
    move_to(x, y);
  }
  void trim() {
    out_.u8(kEscape);
    out_.u8(kBlockStartControl);
  }
  // Equal steps along the line: each point rounded to the nearest tenth, so
  // none lies more than 0.071 mm off it, and the last one exact. A normal
  // record reaches -127..127 in x and -128..127 in y; rounded steps stay
  // within the bounds the exact step keeps. Like a jump, a stitch goes the
  // way the stream's 16-bit positions lead: for two positions less than
  // 32768 apart, straight there; further apart (only ever read from a stream
  // that wrapped), round the wrap, which is how the reader reads it back.
  void stitch(std::int32_t x, std::int32_t y) {
    const std::int64_t dx = wrap16(x - x_), dy = wrap16(y - y_);
    if (dx >= -127 && dx <= 127 && dy >= -128 && dy <= 127) {
      // Nearly every stitch fits one record; stitch_steps and the rounding
      // below would give dx, dy exactly, at the cost of four divisions.
      out_.u8(static_cast<std::uint8_t>(dx));
      out_.u8(static_cast<std::uint8_t>(dy));
      move_to(wrap16(x_ + dx), wrap16(y_ + dy));
      return;
    }
    const std::int64_t steps = stitch_steps(dx, dy);
    std::int64_t done_x = 0, done_y = 0;
    for (std::int64_t i = 1; i <= steps; ++i) {
      const std::int64_t to_x = round_div(dx * i, steps), to_y = round_div(dy * i, steps);
      out_.u8(static_cast<std::uint8_t>(to_x - done_x));
      out_.u8(static_cast<std::uint8_t>(to_y - done_y));
      move_to(wrap16(x_ + to_x - done_x), wrap16(y_ + to_y - done_y));
      done_x = to_x;
      done_y = to_y;
    }
  }

  // The stitches of a run of events from `k`, as stitch() writes them, while
  // each fits one record and lies within 16 bits, up to kRun of them; returns
  // the index of the first event not taken. The needle's state is kept in
  // locals here: through the byte stores of the stream, every member of the
  // encoder would be read again for each stitch.
  static constexpr std::size_t kRun = 256;
  std::size_t short_stitches(const std::vector<NeedleEvent>& events, std::size_t k) {
    const std::size_t from = out_.size();
    const std::size_t end = std::min(events.size(), k + kRun);
    std::uint8_t* w = out_.extend(2 * (end - k));
    std::int32_t x = x_, y = y_;
    std::int32_t min_x = min_x_, max_x = max_x_, min_y = min_y_, max_y = max_y_;
    std::size_t i = k;
    for (; i < end; ++i) {
      const NeedleEvent& e = events[i];
      if (e.op != NeedleOp::kStitch || !fits16(e.x) || !fits16(e.y)) break;
      const std::int64_t dx = wrap16(e.x - x), dy = wrap16(e.y - y);
      if (dx < -127 || dx > 127 || dy < -128 || dy > 127) break;
      *w++ = static_cast<std::uint8_t>(dx);
      *w++ = static_cast<std::uint8_t>(dy);
      x = wrap16(x + dx);
      y = wrap16(y + dy);
      min_x = std::min(min_x, x);
      max_x = std::max(max_x, x);
      min_y = std::min(min_y, y);
      max_y = std::max(max_y, y);
    }
    out_.truncate(from + 2 * (i - k));
    x_ = x;
    y_ = y;
    min_x_ = min_x;
    max_x_ = max_x;
    min_y_ = min_y;
    max_y_ = max_y;
    return i;
  }

  std::size_t blocks() const { return colours_.size(); }
  std::int32_t x() const { return x_; }
  std::int32_t y() const { return y_; }
  std::size_t bytes() const { return out_.size(); }

  ShvEncoding finish() {
    close_block();
    ShvEncoding e;
    e.words = static_cast<std::uint32_t>(out_.size() / 2);
    e.stream = out_.take();
    e.colours = std::move(colours_);
    e.x0 = static_cast<std::int16_t>(max_x_);
    e.y0 = static_cast<std::int16_t>(max_y_);
    e.x1 = static_cast<std::int16_t>(min_x_);
    e.y1 = static_cast<std::int16_t>(min_y_);
    return e;
  }

 private:
  // Every position the needle reaches counts, the start point included: the
  // dimension block and the preview place the start point inside the extents.
  void move_to(std::int32_t x, std::int32_t y) {
    x_ = x;
    y_ = y;
    min_x_ = std::min(min_x_, x);
    max_x_ = std::max(max_x_, x);
    min_y_ = std::min(min_y_, y);
    max_y_ = std::max(max_y_, y);
  }

  ByteWriter out_;
  std::vector<shvcolor_t> colours_;
  std::size_t block_from_ = 0;
  std::int32_t x_ = 0, y_ = 0;
  std::int32_t min_x_ = 0, max_x_ = 0, min_y_ = 0, max_y_ = 0;
};

}  // namespace

std::int64_t stitch_steps(std::int64_t dx, std::int64_t dy) {
  auto ceil_div = [](std::int64_t a, std::int64_t b) { return (a + b - 1) / b; };
  const std::int64_t for_x = ceil_div(dx < 0 ? -dx : dx, 127);
  const std::int64_t for_y = dy < 0 ? ceil_div(-dy, 128) : ceil_div(dy, 127);
  return std::max<std::int64_t>({1, for_x, for_y});
}

namespace {

template <class Events>
Result<Pattern> read_shv_into(const ByteReader& in, Events& events) {
  KORVANE_TRY(d, read_shv_design(in));
  auto ok = check_counts(in, d.header_at + shvhdr_at::kStitches, d.colours, d.header.Stitches);
  if (!ok) return ok.error();
  const std::size_t stream_at = d.header_at + kShvHdrSize + kShvColorSize * d.colours.size();
  return decode(in, stream_at, d.stream, d.colours, std::string(d.name.begin(), d.name.end()),
                events);
}

}  // namespace

constexpr auto kReadShvInto = [](const ByteReader& in, auto& events) {
  return read_shv_into(in, events);
};

Result<Pattern> read_shv(const ByteReader& in) { return read_whole(in, kReadShvInto); }

Result<Pattern> read_shv_events(const ByteReader& in, EventSink& sink) {
  return read_streamed(in, sink, kReadShvInto);
}

Result<Pattern> read_huc(const ByteReader& in) {
  auto ok = check_huc_image(in);
  if (!ok) return ok.error();
  KORVANE_TRY(h, read_huchdr(in));
  std::vector<shvcolor_t> blocks;
  blocks.reserve(h.nColors);
  for (std::size_t i = 0; i < h.nColors; ++i) {
    KORVANE_TRY(c, read_huccolor(in, i));
    blocks.push_back({c.Stitches, c.Color, c.xpos, c.ypos});
  }
  auto counts = check_counts(in, kHucStitchesAt, blocks, h.Stitches);
  if (!counts) return counts.error();
  const std::size_t stream_at = huc_stream_at(h.nColors);
  KORVANE_TRY(stream, in.span_at(stream_at, in.size() - stream_at, "the stitches"));
  EventList list;
  auto p = decode(in, stream_at, stream, blocks, trimmed_name(h.Name), list);
  if (p) p->events = std::move(list.events);
  return p;
}

Result<std::vector<Pattern>> read_dhv_designs(const ByteReader& in) {
  KORVANE_TRY(layout, read_container(in));
  std::vector<Pattern> out;
  out.reserve(layout.designs.size());
  for (std::size_t i = 0; i < layout.designs.size(); ++i) {
    const auto& d = layout.designs[i];
    KORVANE_TRY(shv, in.window(d.begin, d.length, "a design"));
    auto p = read_shv(shv);
    if (!p) {
      Error e = p.error();
      e.detail = "design " + std::to_string(i + 1) + ": " + e.detail;
      return e;
    }
    out.push_back(std::move(*p));
  }
  return out;
}

Result<Pattern> read_dhv_combined(const ByteReader& in) {
  KORVANE_TRY(layout, read_container(in));
  KORVANE_TRY(designs, read_dhv_designs(in));
  if (designs.size() == 1) return std::move(designs.front());
  Pattern out;
  out.name.assign(layout.name.begin(), layout.name.end());
  std::size_t events = 0;
  for (const auto& d : designs) events += d.events.size() + 3;
  out.events.reserve(events);
  for (std::size_t i = 0; i < designs.size(); ++i) {
    // A design without colour records has no block to sew.
    if (designs[i].threads.empty()) continue;
    const std::int32_t dx = layout.designs[i].Xoffset, dy = layout.designs[i].Yoffset;
    if (!out.threads.empty()) out.events.push_back({0, 0, NeedleOp::kColourChange});
    if (dx != 0 || dy != 0) out.events.push_back({dx, dy, NeedleOp::kJump});
    for (const auto& e : designs[i].events) {
      if (e.op == NeedleOp::kEnd) break;
      out.events.push_back({e.x + dx, e.y + dy, e.op});
    }
    if (i + 1 < designs.size()) out.events.push_back({0, 0, NeedleOp::kJump});
    out.threads.insert(out.threads.end(), designs[i].threads.begin(), designs[i].threads.end());
  }
  const NeedleEvent last = out.events.empty() ? NeedleEvent{} : out.events.back();
  out.events.push_back({last.x, last.y, NeedleOp::kEnd});
  return out;
}

Result<ShvEncoding> encode_shv(const Pattern& p, const std::string& file) {
  const auto stitches = static_cast<std::size_t>(
      std::count_if(p.events.begin(), p.events.end(),
                    [](const NeedleEvent& e) { return e.op == NeedleOp::kStitch; }));
  Encoder enc(stitches, p.events.size() - stitches);
  std::size_t source_block = 0;
  bool open = false;
  auto code_of = [&](std::size_t b) {
    return b < p.threads.size() ? shv_code_for(p.threads[b]) : default_shv_code(b);
  };
  for (std::size_t k = 0; k < p.events.size(); ++k) {
    const NeedleEvent& ev = p.events[k];
    if (ev.op == NeedleOp::kEnd) break;
    if (ev.op == NeedleOp::kColourChange || ev.op == NeedleOp::kStop) {
      // A block opens with its first needle event, so empty blocks leave no trace.
      if (ev.op == NeedleOp::kColourChange) ++source_block;
      open = false;
      continue;
    }
    KORVANE_FAIL_IF(!fits16(ev.x) || !fits16(ev.y), ErrorCode::kCoordinateOutOfRange, file,
                    "needle event " + std::to_string(k + 1) + " lies at (" + std::to_string(ev.x) +
                        ", " + std::to_string(ev.y) +
                        "), beyond the -32768 ... 32767 tenths of a millimetre SHV holds");
    if (!open) {
      KORVANE_FAIL_IF(enc.blocks() == kMaxHucColours, ErrorCode::kTooManyColours, file,
                      "the design needs more than the 255 colour blocks an SHV file holds");
      enc.start_block(code_of(source_block));
      open = true;
      if (ev.op == NeedleOp::kJump) {
        enc.jump(ev.x, ev.y);
        continue;
      }
      // A block that opens by sewing starts where the needle stands.
      enc.jump(enc.x(), enc.y());
    }
    switch (ev.op) {
      case NeedleOp::kStitch:
        // Runs of stitches, nearly the whole design, in one go while no
        // stitch of the run can take the stream past its limit.
        if (enc.bytes() / 2 + Encoder::kRun <= kMaxShvWords) {
          const std::size_t done = enc.short_stitches(p.events, k);
          if (done > k) {
            k = done - 1;
            continue;
          }
        }
        enc.stitch(ev.x, ev.y);
        break;
      case NeedleOp::kJump:
        enc.jump(ev.x, ev.y);
        break;
      case NeedleOp::kTrim:
        enc.trim();
        break;
      case NeedleOp::kColourChange:
      case NeedleOp::kStop:
      case NeedleOp::kEnd:
        break;
    }
    KORVANE_FAIL_IF(enc.bytes() / 2 > kMaxShvWords, ErrorCode::kTooManyWords, file,
                    "the stitch stream needs more words than an SHV file can count");
  }
  return enc.finish();
}

}  // namespace kvn::formats
