#include "formats/pattern_read.hpp"

#include "formats/format_table.hpp"

namespace kvn::formats {

Result<Pattern> read_pattern(const ByteReader& in, ContentKind kind) {
  const Format* f = format_of(kind);
  if (f && f->read) return f->read(in);
  // No open description of the format is known: it stays unread rather than guessed at.
  if (f && f->unreadable) return make_error(ErrorCode::kUnsupportedForm, in.file(), f->unreadable);
  return make_error(ErrorCode::kWrongKind, in.file(),
                    std::string("this is a ") + kind_name(kind) + ", not a single design");
}

}  // namespace kvn::formats
