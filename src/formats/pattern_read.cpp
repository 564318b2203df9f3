#include "formats/pattern_read.hpp"

#include "formats/dst.hpp"
#include "formats/format_table.hpp"
#include "formats/jef.hpp"
#include "formats/shv_pattern.hpp"

namespace kvn::formats {

Result<Pattern> read_pattern(const ByteReader& in, ContentKind kind) {
  const Format* f = format_of(kind);
  if (f && f->read) {
    auto p = f->read(in);
    if (p || !p.error().offset || !p.error().kind.empty()) return p;
    // Recognition already told the kind from the parts that are there; a
    // refusal of the rest says so, rather than leave the user to guess.
    Error e = p.error();
    e.kind = std::string(f->article) + " " + f->noun;
    return e;
  }
  // No open description of the format is known: it stays unread rather than guessed at.
  if (f && f->unreadable) return make_error(ErrorCode::kUnsupportedForm, in.file(), f->unreadable);
  return make_error(ErrorCode::kWrongKind, in.file(),
                    std::string("this is a ") + kind_name(kind) + ", not a single design");
}

EventReadFn event_reader(ContentKind kind) {
  switch (kind) {
    case ContentKind::kShvDesign:
      return read_shv_events;
    case ContentKind::kDst:
      return read_dst_events;
    case ContentKind::kJef:
      return read_jef_events;
    default:
      return nullptr;
  }
}

}  // namespace kvn::formats
