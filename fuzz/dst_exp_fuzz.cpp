// Reading arbitrary bytes as DST (mode byte even) or EXP (odd). A refusal
// names the file and lies inside it; a design read ends with exactly one
// kEnd, and written back and read again it sews the same stitches in the
// same colour blocks and ends where it ended.
#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "fuzz/fuzz_check.hpp"
#include "support/pattern_views.hpp"

namespace {

namespace f = kvn::formats;

using kvn::test::stitches_by_block;

// Every stitch of `a`, in order, among those of `b`: a writer may split a
// stitch too long for its records, and the steps sew on the way.
bool sewn_within(const std::vector<f::NeedleEvent>& a, const std::vector<f::NeedleEvent>& b) {
  std::size_t j = 0;
  for (const auto& e : a) {
    while (j < b.size() && b[j] != e) ++j;
    if (j == b.size()) return false;
    ++j;
  }
  return true;
}

void check_read(const f::Pattern& p) {
  KORVANE_FUZZ_CHECK(!p.events.empty() && p.events.back().op == f::NeedleOp::kEnd,
                     "a design read does not end with kEnd");
  const auto ok = f::check_pattern(p, "in");
  KORVANE_FUZZ_CHECK(ok.has_value(), ok.has_value() ? "" : ok.error().message());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto in = kvn::fuzz::take_mode(data, size);
  if (!in) return 0;
  const bool dst = (in->mode & 1) == 0;
  const auto read = [dst](const kvn::fuzz::Bytes& b, const char* name) {
    const f::ByteReader rd(b, name);
    return dst ? f::read_dst(rd) : f::read_exp(rd);
  };
  const auto p = read(in->body, dst ? "in.dst" : "in.exp");
  if (!p) {
    const auto& e = p.error();
    KORVANE_FUZZ_CHECK(!e.file.empty(), "a refusal names no file");
    KORVANE_FUZZ_CHECK(!e.offset || *e.offset <= in->body.size(), "a refusal points past the end");
    return 0;
  }
  check_read(*p);

  const auto out = dst ? f::write_dst(*p, "out.dst") : f::write_exp(*p, "out.exp");
  if (!out) {
    // Damaged input may run further out than a design that is written.
    KORVANE_FUZZ_CHECK(out.error().code == kvn::ErrorCode::kCoordinateOutOfRange ||
                           out.error().code == kvn::ErrorCode::kTooManyWords ||
                           out.error().code == kvn::ErrorCode::kTooManyColours,
                       out.error().message());
    return 0;
  }
  const auto back = read(*out, "out");
  KORVANE_FUZZ_CHECK(back.has_value(), back.has_value() ? "" : back.error().message());
  check_read(*back);
  const auto before = stitches_by_block(*p);
  const auto after = stitches_by_block(*back);
  KORVANE_FUZZ_CHECK(before.size() == after.size(), "the colour blocks changed");
  for (std::size_t i = 0; i < before.size(); ++i) {
    // DST's reader never yields a stitch longer than its writer's step.
    KORVANE_FUZZ_CHECK(dst ? before[i] == after[i] : sewn_within(before[i], after[i]),
                       "block " + std::to_string(i) + " sews other stitches");
  }
  KORVANE_FUZZ_CHECK(p->events.back() == back->events.back(), "it ends somewhere else");
  // A label that fits DST's field, in printable characters, comes back as it was.
  const bool printable = std::all_of(p->name.begin(), p->name.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
  });
  if (dst && printable && p->name.size() <= 16)
    KORVANE_FUZZ_CHECK(back->name == p->name, "the name changed: " + back->name);
  return 0;
}
