// Reading arbitrary bytes as an XXX or a SEW design (the last byte chooses):
// a reading is sound, with at most two events per two-byte record.
#include "formats/sew.hpp"
#include "formats/xxx.hpp"
#include "fuzz/read_pattern_check.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  const auto split = kvn::fuzz::take_mode(data, size);
  if (!split) return 0;
  const auto& body = split->body;
  if (split->mode % 2 == 0) {
    kvn::fuzz::check_read_pattern(f::read_xxx(f::ByteReader(body, "in.xxx")), body.size() + 1);
  } else {
    kvn::fuzz::check_read_pattern(f::read_sew(f::ByteReader(body, "in.sew")), body.size() + 1);
  }
  return 0;
}
