// Reading arbitrary bytes as a PES and as a standalone PEC design: either a
// clean error naming the file, or a pattern that keeps the model's rules and
// writes out as PES to a file that reads back to the same stitches, blocks,
// trims and end (PEC steps hold at most 12 bits, so nothing is split).
#include "formats/pec.hpp"
#include "formats/pes.hpp"
#include "fuzz/pattern_fuzz_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const kvn::fuzz::Bytes input(data, data + size);
  for (const bool pes : {true, false}) {
    const char* name = pes ? "in.pes" : "in.pec";
    const f::ByteReader in(input, name);
    const auto p = pes ? f::read_pes(in) : f::read_pec(in);
    kvn::fuzz::check_read(p, name);
    if (!p) continue;
    const auto out = f::write_pes(*p, "out.pes");
    if (!out) {
      KORVANE_FUZZ_CHECK(f::block_count(*p) > f::kPecMaxBlocks, out.error().message());
      continue;
    }
    const auto back = f::read_pes(f::ByteReader(*out, "out.pes"));
    KORVANE_FUZZ_CHECK(back.has_value(), back ? "" : back.error().message());
    kvn::fuzz::check_same_design(*p, *back);
    if (!pes && !p->threads.empty()) {
      // Palette colours map back to themselves.
      kvn::fuzz::check_same_colours(*p, *back);
    }
  }
  return 0;
}
