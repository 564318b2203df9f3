// lumbrel on arbitrary HUC bytes in memory. Only a whole HUC image is taken:
// header, colour table, the 0xC4 mark and the stream its header counts. An SHV
// image that comes back must navigate to a header and colour table that carry the
// HUC fields unchanged, followed by the HUC stitch stream byte for byte.
//
// Mode byte: bit 0 also an output file, bit 1 a HUC file name for the design name.
#include <cstdlib>
#include <string>

#include "formats/huc_layout.hpp"
#include "fuzz/fuzz_check.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  namespace f = kvn::formats;
  auto in = kvn::fuzz::take_mode(data, size);
  if (!in) return 0;
  const auto& huc = in->body;
  const bool out_name = in->mode & 0x01;
  const bool huc_name = in->mode & 0x02;

  kvn::test::FakeFileSystem fs;
  std::uint8_t sentinel_byte = 0;
  std::uint8_t* const kUntouched = &sentinel_byte;
  std::uint8_t* pshv = kUntouched;
  std::int32_t sshv = -12345;
  kvn::test::LumbrelArgs call;
  call.pFileShv = out_name ? "out.shv" : nullptr;
  call.pshv = &pshv;
  call.sshv = &sshv;
  call.pFileHuc = huc_name ? "in.huc" : nullptr;
  call.phuc = huc.data();
  call.shuc = static_cast<std::int32_t>(huc.size());
  kvn::test::Seen diag;
  const int r = kvn::test::lumbrel_seen(call, fs, diag);

  const bool too_short =
      huc.size() < f::kHucHdrSize || huc.size() < f::huc_stream_at(huc[0]) || huc[1] != 0xC4 ||
      huc.size() - f::huc_stream_at(huc[0]) < 2 * ((std::size_t{huc[27]} << 8) | huc[28]);
  if (r != 0) {
    KORVANE_FUZZ_CHECK(too_short, "a whole HUC image failed: " + diag.message);
    KORVANE_FUZZ_CHECK(r == 1, "a HUC image that is not whole gave " + std::to_string(r));
    KORVANE_FUZZ_CHECK(fs.files.empty() && pshv == kUntouched && sshv == -12345,
                       "a failure wrote or handed out");
    return 0;
  }
  KORVANE_FUZZ_CHECK(!too_short, "a HUC image that is not whole was accepted");
  KORVANE_FUZZ_CHECK(pshv != kUntouched && pshv != nullptr && sshv > 0, "no image handed out");
  const std::span<const std::uint8_t> shv(pshv, static_cast<std::size_t>(sshv));
  if (out_name)
    KORVANE_FUZZ_CHECK(fs.files.size() == 1 && kvn::fuzz::same(fs.files["out.shv"], shv),
                       "the file differs from the image handed out");

  // The HUC stream may run past its count; those bytes trail the SHV stream.
  const auto d = kvn::fuzz::check_navigates(shv, true);
  KORVANE_FUZZ_CHECK(d.name.size() <= 127, "design name longer than 127 bytes");
  const f::ByteReader hr(huc, "in.huc");
  auto hh = f::read_huchdr(hr);
  KORVANE_FUZZ_CHECK(hh.has_value(), "the oracle could not read the HUC header");
  KORVANE_FUZZ_CHECK(d.header.nColors == hh->nColors && d.header.x0 == hh->x0 &&
                         d.header.y0 == hh->y0 && d.header.x1 == hh->x1 && d.header.y1 == hh->y1 &&
                         d.header.Stitches == hh->Stitches,
                     "header fields not carried over");
  for (std::size_t c = 0; c < hh->nColors; ++c) {
    auto hc = f::read_huccolor(hr, c);
    KORVANE_FUZZ_CHECK(hc.has_value(), "the oracle could not read a HUC colour record");
    KORVANE_FUZZ_CHECK(d.colours[c] == (f::shvcolor_t{hc->Stitches, hc->Color, hc->xpos, hc->ypos}),
                       "colour record " + std::to_string(c) + " not carried over");
  }
  const std::span<const std::uint8_t> huc_stream(huc.data() + f::huc_stream_at(hh->nColors),
                                                 huc.size() - f::huc_stream_at(hh->nColors));
  KORVANE_FUZZ_CHECK(d.stream.size() + d.trailing.size() == huc_stream.size() &&
                         kvn::fuzz::same(shv.last(huc_stream.size()), huc_stream),
                     "the stitch stream was not copied unchanged");
  // The blocks walk on into the trailing bytes when the counts ask for more.
  kvn::fuzz::walk_blocks(shv.last(huc_stream.size()), d.colours);
  std::free(pshv);
  return 0;
}
