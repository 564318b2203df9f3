#include "convert/fitting.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "formats/move_steps.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_threads.hpp"

namespace kvn::convert {
namespace {

using formats::NeedleEvent;
using formats::NeedleOp;
using formats::Pattern;
using formats::Thread;
using formats::WriterLimits;

// One distance for every report of a colour change, so that it follows
// whatever the charts pick by.
double thread_distance(const Thread& a, const Thread& b) {
  return formats::colour_difference(a.r, a.g, a.b, b.r, b.g, b.b);
}

std::string plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string tenths_as_mm(std::int64_t tenths) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.1f", static_cast<double>(tenths) / 10.0);
  return buf;
}

std::string colour_text(const Thread& t) {
  char hex[8];
  std::snprintf(hex, sizeof hex, "#%02X%02X%02X", t.r, t.g, t.b);
  return t.name.empty() ? std::string(hex) : t.name + " (" + hex + ")";
}

void add(std::vector<Adjustment>& to, const char* code, std::size_t count, std::string sentence) {
  if (count > 0) to.push_back({code, count, std::move(sentence)});
}

// A stop the format cannot say becomes a change to the same thread: the
// machine still stops there, and no block changes colour.
void stops_as_changes(Pattern& p, std::vector<Adjustment>& adj) {
  std::size_t block = 0, count = 0;
  for (auto& e : p.events) {
    if (e.op == NeedleOp::kStop) {
      e.op = NeedleOp::kColourChange;
      if (block < p.threads.size()) {
        const Thread same = p.threads[block];
        p.threads.insert(p.threads.begin() + static_cast<std::ptrdiff_t>(block + 1), same);
      }
      ++count;
    }
    if (e.op == NeedleOp::kColourChange) ++block;
  }
  add(adj, "stops-as-colour-changes", count,
      plural(count, "stop", "stops") +
          " written as a colour change to the same thread: the format has no stop of its own");
}

// A block opens with its first needle event in formats that keep no empty
// block: one with nothing to sew is left out, with its thread.
void drop_empty_blocks(Pattern& p, std::vector<Adjustment>& adj) {
  // Each block: the change that opens it (none for the first) and its events.
  struct Block {
    std::ptrdiff_t change = -1;
    std::size_t from = 0, to = 0;
  };
  std::vector<Block> blocks(1);
  std::size_t end = p.events.size();
  for (std::size_t i = 0; i < p.events.size(); ++i) {
    if (p.events[i].op == NeedleOp::kEnd) {
      end = i;
      break;
    }
    if (p.events[i].op != NeedleOp::kColourChange) continue;
    blocks.back().to = i;
    blocks.push_back({static_cast<std::ptrdiff_t>(i), i + 1, i + 1});
  }
  blocks.back().to = end;
  std::size_t dropped = 0;
  for (const auto& b : blocks) dropped += b.from == b.to ? 1 : 0;
  if (dropped == 0 || dropped == blocks.size()) return;
  std::vector<NeedleEvent> events;
  std::vector<Thread> threads;
  events.reserve(p.events.size());
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const Block& b = blocks[k];
    if (b.from == b.to) continue;
    // The first block kept needs no change before it.
    if (!events.empty()) events.push_back(p.events[static_cast<std::size_t>(b.change)]);
    events.insert(events.end(), p.events.begin() + static_cast<std::ptrdiff_t>(b.from),
                  p.events.begin() + static_cast<std::ptrdiff_t>(b.to));
    if (k < p.threads.size()) threads.push_back(p.threads[k]);
  }
  events.insert(events.end(), p.events.begin() + static_cast<std::ptrdiff_t>(end), p.events.end());
  p.events = std::move(events);
  if (!p.threads.empty()) p.threads = std::move(threads);
  add(adj, "empty-blocks-dropped", dropped,
      plural(dropped, "colour block", "colour blocks") +
          " with nothing to sew left out: the format keeps no empty block");
}

// Every thread becomes the chart entry the writer stores, so that the
// written file can be compared with the design thread by thread.
void match_colours(Pattern& p, const WriterLimits& lim, std::vector<Adjustment>& adj) {
  if (!lim.thread_in_chart || p.threads.empty()) return;
  std::size_t changed = 0, worst_block = 0;
  double worst = -1;
  Thread worst_from, worst_to;
  for (std::size_t i = 0; i < p.threads.size(); ++i) {
    Thread held = lim.thread_in_chart(p.threads[i]);
    const double d = thread_distance(p.threads[i], held);
    if (held.r != p.threads[i].r || held.g != p.threads[i].g || held.b != p.threads[i].b) {
      ++changed;
      if (d > worst) {
        worst = d;
        worst_block = i;
        worst_from = p.threads[i];
        worst_to = held;
      }
    }
    p.threads[i] = std::move(held);
  }
  if (changed == 0) return;
  char de[32];
  std::snprintf(de, sizeof de, "%.1f", worst);
  add(adj, "colours-matched", changed,
      plural(changed, "thread colour", "thread colours") + " matched to the nearest in the " +
          lim.chart + " chart; the furthest is colour " + std::to_string(worst_block + 1) + ", " +
          colour_text(worst_from) + " as " + colour_text(worst_to) + ", \xCE\x94" "E " + de);
}

// Blocks beyond what the format counts are sewn on in the thread before
// them: first where neighbours share a thread (nothing changes on the
// machine but one stop less), then from the end.
void merge_colours(Pattern& p, const WriterLimits& lim, std::vector<Adjustment>& adj) {
  if (lim.most_colours == 0) return;
  std::size_t blocks = formats::block_count(p);
  if (blocks <= lim.most_colours) return;
  const std::size_t before = blocks;
  std::vector<bool> drop(p.events.size(), false);
  if (p.threads.size() == blocks) {
    std::size_t block = 0;
    for (std::size_t i = 0; i < p.events.size() && blocks > lim.most_colours; ++i) {
      if (p.events[i].op != NeedleOp::kColourChange) continue;
      const Thread& a = p.threads[block];
      const Thread& b = p.threads[block + 1];
      if (a.r == b.r && a.g == b.g && a.b == b.b && a.name == b.name) {
        drop[i] = true;
        --blocks;
      }
      ++block;
    }
  }
  std::size_t kept = 1;
  for (std::size_t i = 0; i < p.events.size(); ++i) {
    if (p.events[i].op != NeedleOp::kColourChange || drop[i]) continue;
    if (kept == lim.most_colours) {
      drop[i] = true;
    } else {
      ++kept;
    }
  }
  std::vector<Thread> threads;
  std::vector<NeedleEvent> events;
  events.reserve(p.events.size());
  std::size_t block = 0;
  if (!p.threads.empty()) threads.push_back(p.threads[0]);
  for (std::size_t i = 0; i < p.events.size(); ++i) {
    if (p.events[i].op == NeedleOp::kColourChange) {
      ++block;
      if (drop[i]) continue;
      if (block < p.threads.size()) threads.push_back(p.threads[block]);
    }
    events.push_back(p.events[i]);
  }
  p.events = std::move(events);
  p.threads = std::move(threads);
  const std::size_t merged = before - formats::block_count(p);
  add(adj, "colours-merged", merged,
      plural(merged, "colour block", "colour blocks") + " sewn on in the thread before: the format holds at most " +
          std::to_string(lim.most_colours) + " colours and the design has " +
          std::to_string(before));
}

// Stitches shorter than `shortest` (0.1 mm) are left out while a stitch
// follows them: the next one then starts where the short one began, so the
// line keeps its course and its end.
void drop_short_stitches(Pattern& p, double shortest, std::vector<Adjustment>& adj) {
  if (!(shortest > 0)) return;
  std::size_t dropped = 0;
  std::vector<NeedleEvent> events;
  events.reserve(p.events.size());
  std::int64_t x = 0, y = 0;
  for (std::size_t i = 0; i < p.events.size(); ++i) {
    const NeedleEvent& e = p.events[i];
    if (e.op == NeedleOp::kStitch && i + 1 < p.events.size() &&
        p.events[i + 1].op == NeedleOp::kStitch) {
      const double dx = static_cast<double>(e.x - x), dy = static_cast<double>(e.y - y);
      if (std::sqrt(dx * dx + dy * dy) < shortest) {
        ++dropped;
        continue;
      }
    }
    x = e.x;
    y = e.y;
    events.push_back(e);
  }
  p.events = std::move(events);
  char mm[32];
  std::snprintf(mm, sizeof mm, "%g", shortest / 10.0);
  add(adj, "short-stitches-dropped", dropped,
      plural(dropped, "stitch", "stitches") + " shorter than " + mm +
          " mm merged into the stitch after them, as --min-stitch asks");
}

// A trim with no stitch before it since the last cut has nothing to cut.
void drop_idle_trims(Pattern& p, const WriterLimits& lim, std::vector<Adjustment>& adj) {
  std::size_t dropped = 0, kept = 0;
  bool sewn = false;
  std::erase_if(p.events, [&](const NeedleEvent& e) {
    if (e.op == NeedleOp::kStitch) sewn = true;
    if (e.op != NeedleOp::kTrim) return false;
    if (!sewn) {
      ++dropped;
      return true;
    }
    sewn = false;
    ++kept;
    return false;
  });
  add(adj, "trims-dropped", dropped,
      plural(dropped, "trim", "trims") + " left out, with no stitch to cut since the last one");
  if (!lim.trims)
    add(adj, "trims-as-jumps", kept,
        plural(kept, "trim", "trims") +
            " written as the short jumps machines cut at: the format has no trim of its own");
}

// Moves longer than a record are split into equal steps by the one rule
// every writer shares, so that the writers find nothing left to split.
void split_long_moves(Pattern& p, const WriterLimits& lim, std::vector<Adjustment>& adj) {
  if (lim.longest_stitch <= 0 && lim.longest_jump <= 0) return;
  const auto too_long = [](std::int64_t d, std::int32_t most) {
    return most > 0 && (d > most || -d > most);
  };
  std::size_t stitches = 0, jumps = 0;
  std::int64_t x = 0, y = 0;
  bool any = false;
  for (const auto& e : p.events) {
    const std::int32_t most = e.op == NeedleOp::kStitch ? lim.longest_stitch
                              : e.op == NeedleOp::kJump ? lim.longest_jump
                                                        : 0;
    if (too_long(e.x - x, most) || too_long(e.y - y, most)) {
      any = true;
      break;
    }
    x = e.x;
    y = e.y;
  }
  if (!any) return;
  std::vector<NeedleEvent> events;
  events.reserve(p.events.size() + p.events.size() / 8);
  x = 0;
  y = 0;
  for (const auto& e : p.events) {
    const std::int32_t most = e.op == NeedleOp::kStitch ? lim.longest_stitch
                              : e.op == NeedleOp::kJump ? lim.longest_jump
                                                        : 0;
    if (too_long(e.x - x, most) || too_long(e.y - y, most)) {
      formats::for_each_step(x, y, e.x, e.y, most, [&](std::int64_t sx, std::int64_t sy) {
        events.push_back(
            {static_cast<std::int32_t>(sx), static_cast<std::int32_t>(sy), e.op});
      });
      ++(e.op == NeedleOp::kStitch ? stitches : jumps);
    } else {
      events.push_back(e);
    }
    x = e.x;
    y = e.y;
  }
  p.events = std::move(events);
  add(adj, "stitches-split", stitches,
      plural(stitches, "stitch", "stitches") + " longer than " +
          tenths_as_mm(lim.longest_stitch) + " mm split into shorter ones");
  add(adj, "jumps-split", jumps,
      plural(jumps, "jump", "jumps") + " longer than " + tenths_as_mm(lim.longest_jump) +
          " mm split into shorter ones");
}

// A format whose only move record is a long one reads a short move as a
// stitch: such jumps inside a block are sewn, and the user is told so.
void sew_short_jumps(Pattern& p, const WriterLimits& lim, std::vector<Adjustment>& adj) {
  if (lim.shortest_jump <= 0) return;
  std::size_t count = 0;
  std::int64_t x = 0, y = 0;
  bool in_block = false;
  for (auto& e : p.events) {
    if (e.op == NeedleOp::kColourChange) in_block = false;
    if (e.op == NeedleOp::kStitch || e.op == NeedleOp::kTrim) in_block = true;
    const std::int64_t dx = e.x - x, dy = e.y - y;
    if (e.op == NeedleOp::kJump && in_block && (dx != 0 || dy != 0) &&
        std::max(dx, -dx) <= lim.shortest_jump && std::max(dy, -dy) <= lim.shortest_jump) {
      e.op = NeedleOp::kStitch;
      ++count;
    }
    x = e.x;
    y = e.y;
  }
  add(adj, "short-jumps-sewn", count,
      plural(count, "jump", "jumps") + " of at most " + tenths_as_mm(lim.shortest_jump) +
          " mm sewn as stitches: the format moves without sewing only over longer distances");
}

}  // namespace

Result<Pattern> fit_to_limits(Pattern p, const formats::Format& target,
                              const ConvertOptions& options, std::vector<Adjustment>& adjustments) {
  const WriterLimits& lim = target.limits;
  if (!lim.stops) stops_as_changes(p, adjustments);
  if (!lim.empty_blocks) drop_empty_blocks(p, adjustments);
  if (lim.colours) match_colours(p, lim, adjustments);
  merge_colours(p, lim, adjustments);
  drop_short_stitches(p, options.min_stitch * 10.0, adjustments);
  drop_idle_trims(p, lim, adjustments);
  split_long_moves(p, lim, adjustments);
  sew_short_jumps(p, lim, adjustments);
  // most_stitches is not refused here: SHV's counts are 32-bit, its 65,535
  // words are the HUC image's bound, which combining checks, and designs
  // beyond it convert today.
  return p;
}

namespace {

// What a machine does, as two files that sew the same design both say it:
// the moves between two stitches count only by where they end (formats
// split and join jumps their own way), repeated trims are one cut, and a
// format without trims of its own says them with jumps, so they are not
// compared there.
struct Mark {
  enum Kind : std::uint8_t { kStitch, kMove, kTrim, kChange, kStop } kind;
  std::int32_t x, y;
  // The needle event it comes from, counted from 1; of the design only, as a
  // file read in chunks counts afresh in each.
  std::size_t event;

  bool same(const Mark& o) const { return kind == o.kind && x == o.x && y == o.y; }
};

// The marks of a design one at a time, so that comparing two designs
// needs no copy of either. The events may come in chunks, as a reader
// decodes them: the marks then stop at the end of each chunk until the
// next one is fed, or the last.
class Marks {
 public:
  Marks(std::span<const NeedleEvent> events, bool trims, bool whole = true)
      : events_(events), trims_(trims), whole_(whole) {}

  // The events after the ones given so far, all of them once `last`.
  void feed(std::span<const NeedleEvent> events, bool last) {
    events_ = events;
    i_ = 0;
    whole_ = last;
    starved_ = false;
  }
  // No mark can be told until more events are fed.
  bool starved() const { return starved_; }

  // The next mark, or nullptr after the last or while starved; valid until
  // the next call.
  const Mark* next() {
    if (head_ < count_) return &buf_[head_++];
    head_ = count_ = 0;
    while (count_ == 0 && !done_ && !starved_) step();
    return count_ > 0 ? &buf_[head_++] : nullptr;
  }

  // Passes over the stitches both designs share from here, nearly all of a
  // design, without the bookkeeping of single marks.
  static void skip_same_stitches(Marks& a, Marks& b) {
    if (!a.plain() || !b.plain()) return;
    const std::size_t na = a.events_.size(), nb = b.events_.size();
    std::size_t i = a.i_, j = b.i_;
    while (i < na && j < nb) {
      const NeedleEvent& e = a.events_[i];
      const NeedleEvent& f = b.events_[j];
      if (e.op != NeedleOp::kStitch || f.op != NeedleOp::kStitch || e.x != f.x || e.y != f.y) break;
      ++i;
      ++j;
    }
    if (i == a.i_) return;
    a.stitched_to(i);
    b.stitched_to(j);
  }

 private:
  // Nothing buffered or pending: the next event decides the next mark alone.
  bool plain() const {
    return head_ == count_ && !done_ && !trim_ && at_x_ == to_x_ && at_y_ == to_y_;
  }
  // As if step() had taken the stitches up to `i`.
  void stitched_to(std::size_t i) {
    i_ = i;
    at_x_ = to_x_ = events_[i - 1].x;
    at_y_ = to_y_ = events_[i - 1].y;
    from_ = i_ + 1;
  }
  void push(Mark::Kind k, std::int32_t x, std::int32_t y, std::size_t event) {
    buf_[count_++] = {k, x, y, event};
  }
  void flush() {
    if (trim_) push(Mark::kTrim, to_x_, to_y_, from_);
    if (to_x_ != at_x_ || to_y_ != at_y_) push(Mark::kMove, to_x_, to_y_, from_);
    at_x_ = to_x_;
    at_y_ = to_y_;
    trim_ = false;
  }
  void step() {
    if (i_ >= events_.size() && !whole_) {
      starved_ = true;
      return;
    }
    if (i_ >= events_.size()) {
      flush();
      done_ = true;
      return;
    }
    const NeedleEvent& e = events_[i_++];
    switch (e.op) {
      case NeedleOp::kStitch:
        if (to_x_ != at_x_ || to_y_ != at_y_ || trim_) flush();
        push(Mark::kStitch, e.x, e.y, i_);
        at_x_ = to_x_ = e.x;
        at_y_ = to_y_ = e.y;
        from_ = i_ + 1;
        break;
      case NeedleOp::kJump:
        to_x_ = e.x;
        to_y_ = e.y;
        break;
      case NeedleOp::kTrim:
        trim_ = trim_ || trims_;
        break;
      case NeedleOp::kColourChange:
      case NeedleOp::kStop:
        flush();
        push(e.op == NeedleOp::kStop ? Mark::kStop : Mark::kChange, at_x_, at_y_, i_);
        from_ = i_ + 1;
        break;
      case NeedleOp::kEnd:
        flush();
        done_ = true;
        break;
    }
  }

  std::span<const NeedleEvent> events_;
  bool trims_;
  bool whole_;  // no events follow events_
  bool starved_ = false;
  std::size_t i_ = 0, from_ = 1;
  std::int32_t at_x_ = 0, at_y_ = 0, to_x_ = 0, to_y_ = 0;
  bool trim_ = false, done_ = false;
  Mark buf_[3] = {};
  std::size_t head_ = 0, count_ = 0;
};

std::string mark_text(const Mark* m) {
  if (!m) return "nothing";
  const auto at = std::string("(") + tenths_as_mm(m->x) + ", " + tenths_as_mm(m->y) + ") mm";
  switch (m->kind) {
    case Mark::kStitch:
      return std::string("a stitch to ") + at;
    case Mark::kMove:
      return std::string("a jump to ") + at;
    case Mark::kTrim:
      return "a trim";
    case Mark::kChange:
      return "a colour change";
    case Mark::kStop:
      return "a stop";
  }
  return "nothing";
}

// The file's marks, chunk by chunk as its reader hands the events over,
// against the fitted design's; the first difference is kept.
class MarkComparison final : public formats::EventSink {
 public:
  MarkComparison(const Pattern& fitted, bool trims)
      : want_(fitted.events, trims), have_({}, trims, false) {}

  void take(std::span<const NeedleEvent> events) override {
    if (!difference_.empty()) return;
    have_.feed(events, false);
    run();
  }
  // What differs, "" when nothing does; the file's last events have come.
  std::string finish() {
    if (difference_.empty()) {
      have_.feed({}, true);
      run();
    }
    return difference_;
  }

 private:
  void run() {
    for (;;) {
      Marks::skip_same_stitches(want_, have_);
      const Mark* h = have_.next();
      if (!h && have_.starved()) return;
      const Mark* w = want_.next();
      if (!w && !h) return;
      if (w && h && w->same(*h)) continue;
      difference_ = w ? std::string("at needle event ") + std::to_string(w->event)
                      : std::string("after the last needle event");
      difference_ += " the design has " + mark_text(w) + ", the file " + mark_text(h);
      return;
    }
  }

  Marks want_, have_;
  std::string difference_;
};

WrittenDamage& damage_hook() {
  static WrittenDamage hook;
  return hook;
}

}  // namespace

void damage_written_for_tests(WrittenDamage damage) { damage_hook() = std::move(damage); }

bool damage_asked() { return static_cast<bool>(damage_hook()); }

void damage_if_asked(std::vector<std::uint8_t>& written, const formats::Format& target) {
  if (damage_hook()) damage_hook()(written, target);
}

Status check_written(std::span<const std::uint8_t> written, const Pattern& fitted,
                     const formats::Format& target, const std::string& file) {
  // The documents have no reader: they are listings, not designs to sew.
  if (!target.read) return Ok{};
  const auto failed = [&](const std::string& why) {
    return make_error(ErrorCode::kInternal, file,
                      std::string("read back, the written ") + target.name +
                          " file does not hold the design (a fault in korvane: please report "
                          "it): " +
                          why + "; nothing was written");
  };
  // Where the format's reader can hand its events over as it decodes them,
  // the file is compared as it is read, with no second design built: the
  // check then costs little more than the decoding.
  MarkComparison compare(fitted, target.limits.trims);
  const formats::ByteReader in(written, file);
  Result<Pattern> back = [&]() -> Result<Pattern> {
    if (const auto read = formats::event_reader(target.kind)) return read(in, compare);
    auto whole = target.read(in);
    if (whole) compare.take(whole->events);
    return whole;
  }();
  if (!back) return failed(std::string("it cannot be read (") + back.error().message() + ")");
  if (auto difference = compare.finish(); !difference.empty()) return failed(difference);
  if (target.limits.colours && !fitted.threads.empty()) {
    if (back->threads.size() != fitted.threads.size())
      return failed(std::string("the design has ") + plural(fitted.threads.size(), "thread", "threads") +
                    ", the file " + std::to_string(back->threads.size()));
    for (std::size_t i = 0; i < fitted.threads.size(); ++i) {
      const Thread& a = fitted.threads[i];
      const Thread& b = back->threads[i];
      if (a.r != b.r || a.g != b.g || a.b != b.b)
        return failed(std::string("colour ") + std::to_string(i + 1) + " is " + colour_text(a) +
                      " in the design, " + colour_text(b) + " in the file");
      if (target.limits.names && (a.name != b.name || a.catalogue != b.catalogue))
        return failed(std::string("colour ") + std::to_string(i + 1) + " is named \"" + a.name +
                      "\" (" + a.catalogue + ") in the design, \"" + b.name + "\" (" + b.catalogue +
                      ") in the file");
    }
  }
  return Ok{};
}

}  // namespace kvn::convert
