// Reading arbitrary bytes as a design of any format the format table reads;
// the last byte picks the row (its kind's number, or any readable row by its
// place). A refusal names the file; a reading keeps the model's rules and
// holds no more events than the format can describe in that many bytes; a
// reading of a format korvane writes writes out and reads back with the same
// stitches in the same blocks. A new row is fuzzed here once it has seeds.
#include <vector>

#include "convert/pattern_write.hpp"
#include "formats/format_table.hpp"
#include "formats/husvip_compress.hpp"
#include "fuzz/pattern_fuzz_check.hpp"
#include "fuzz/read_pattern_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const auto split = kvn::fuzz::take_mode(data, size);
  if (!split) return 0;
  std::vector<const f::Format*> readable;
  const f::Format* row = nullptr;
  for (const auto& format : f::format_table()) {
    if (!format.read) continue;
    readable.push_back(&format);
    if (static_cast<std::uint8_t>(format.kind) == split->mode) row = &format;
  }
  if (!row) row = readable[split->mode % readable.size()];

  const std::string file = "in." + std::string(row->extensions.front());
  const auto p = row->read(f::ByteReader(split->body, file));
  kvn::fuzz::check_read(p, file.c_str());
  // Compressed sections expand to at most their largest size each.
  kvn::fuzz::check_read_pattern(p, 2 * split->body.size() + 2 * f::kMaxExpandedSection + 1);
  if (!p || !row->writable) return 0;

  const auto out = kvn::convert::write_pattern(*p, row->kind, "out");
  if (!out) {
    // Damaged input may run further out, or hold more, than a design written.
    const auto code = out.error().code;
    KORVANE_FUZZ_CHECK(code == kvn::ErrorCode::kCoordinateOutOfRange ||
                           code == kvn::ErrorCode::kTooManyWords ||
                           code == kvn::ErrorCode::kTooManyColours ||
                           code == kvn::ErrorCode::kUnsupportedForm,
                       out.error().message());
    return 0;
  }
  const auto back = row->read(f::ByteReader(*out, "out"));
  KORVANE_FUZZ_CHECK(back.has_value(), back ? "" : back.error().message());
  // A format without stops of its own turns each into a colour change.
  if (row->limits.stops || kvn::test::count_op(*p, f::NeedleOp::kStop) == 0) {
    KORVANE_FUZZ_CHECK(
        kvn::test::stitches_by_block(*p).size() == kvn::test::stitches_by_block(*back).size(),
        "the colour blocks changed");
  }
  return 0;
}
