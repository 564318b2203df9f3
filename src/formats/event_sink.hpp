#pragma once

#include <algorithm>
#include <cstddef>
#include <limits>
#include <span>
#include <vector>

#include "formats/byte_reader.hpp"
#include "formats/pattern.hpp"

namespace kvn::formats {

/// Takes a design's needle events a chunk at a time, in order, as a reader
/// decodes them: whoever only walks the events once (comparing a written
/// file with the design it should hold) needs no second full design.
class EventSink {
 public:
  virtual void take(std::span<const NeedleEvent> events) = 0;

 protected:
  ~EventSink() = default;
};

/// Where a reader puts its events when it builds a whole pattern. The
/// readers are written against this interface and EventChunks' alike, so
/// that the one decoding serves both and the ordinary read stays a plain
/// vector's pushes.
class EventList {
 public:
  void reserve(std::size_t n) { events.reserve(n); }
  void push_back(const NeedleEvent& e) { events.push_back(e); }
  std::size_t size() const { return events.size(); }
  // Positions count from the design's first event.
  void insert_at(std::size_t at, const NeedleEvent& e) {
    events.insert(events.begin() + static_cast<std::ptrdiff_t>(at), e);
  }
  void cut_to(std::size_t at) {
    events.erase(events.begin() + static_cast<std::ptrdiff_t>(at), events.end());
  }
  void hold_from(std::size_t) {}
  void release() {}
  void finish() {}

  std::vector<NeedleEvent> events;
};

/// Events gathered into a small buffer and handed to a sink each time it
/// fills, so that a design of any size takes the same few kilobytes. A
/// reader that may still change events it has put (DST's runs of jumps turn
/// into trims only later) holds them back from the position it names.
class EventChunks {
 public:
  static constexpr std::size_t kChunk = 2048;

  explicit EventChunks(EventSink& sink) : sink_(sink) { buf_.reserve(kChunk); }

  void reserve(std::size_t) {}
  void push_back(const NeedleEvent& e) {
    if (buf_.size() >= kChunk) send();
    buf_.push_back(e);
  }
  std::size_t size() const { return sent_ + buf_.size(); }
  // `at` is never before a position held back, so it is still in the buffer.
  void insert_at(std::size_t at, const NeedleEvent& e) {
    buf_.insert(buf_.begin() + static_cast<std::ptrdiff_t>(at - sent_), e);
  }
  void cut_to(std::size_t at) { buf_.resize(at - sent_); }
  void hold_from(std::size_t at) { held_ = at; }
  void release() { held_ = kNone; }
  // Hands over what is left: the reader has put its last event.
  void finish() {
    release();
    send();
  }

 private:
  static constexpr std::size_t kNone = std::numeric_limits<std::size_t>::max();

  // A held run longer than the buffer lets it grow until the run is settled.
  void send() {
    const std::size_t n = held_ == kNone ? buf_.size() : std::min(buf_.size(), held_ - sent_);
    if (n == 0) return;
    sink_.take(std::span<const NeedleEvent>(buf_.data(), n));
    buf_.erase(buf_.begin(), buf_.begin() + static_cast<std::ptrdiff_t>(n));
    sent_ += n;
  }

  EventSink& sink_;
  std::vector<NeedleEvent> buf_;
  std::size_t sent_ = 0;
  std::size_t held_ = kNone;
};

/// The two reads of one decoding `read_into(in, events)`: the whole
/// pattern, or the pattern without its events, which go to `sink`.
template <class ReadInto>
Result<Pattern> read_whole(const ByteReader& in, ReadInto read_into) {
  EventList list;
  auto p = read_into(in, list);
  if (p) p->events = std::move(list.events);
  return p;
}

template <class ReadInto>
Result<Pattern> read_streamed(const ByteReader& in, EventSink& sink, ReadInto read_into) {
  EventChunks chunks(sink);
  auto p = read_into(in, chunks);
  if (p) chunks.finish();
  return p;
}

}  // namespace kvn::formats
