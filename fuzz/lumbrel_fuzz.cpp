// lumbrel on arbitrary HUC bytes in memory. Only a whole HUC image is taken:
// header, colour table, the 0xC4 mark and the stream its header counts. An SHV
// image that comes back must navigate to a header and colour table that carry the
// HUC fields unchanged, followed by the HUC stitch stream byte for byte.
//
// Mode byte: bit 0 also an output file, bit 1 a HUC file name for the design name.
#include <cstdlib>
#include <string>

#include "convert/entry.hpp"
#include "formats/huc_layout.hpp"
#include "fuzz/fuzz_check.hpp"
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
  kvn::convert::LumbrelCall call;
  call.pFileShv = out_name ? "out.shv" : nullptr;
  call.pshv = &pshv;
  call.sshv = &sshv;
  call.pFileHuc = huc_name ? "in.huc" : nullptr;
  call.phuc = huc.data();
  call.shuc = static_cast<std::int32_t>(huc.size());
  kvn::convert::Diagnostics diag;
  const int r = kvn::convert::run_lumbrel(call, fs, diag);

  const bool too_short =
      huc.size() < f::kHucHdrSize || huc.size() < f::huc_stream_at(huc[0]) || huc[1] != 0xC4 ||
      huc.size() - f::huc_stream_at(huc[0]) < 2 * ((std::size_t{huc[27]} << 8) | huc[28]);
  if (r != 0) {
    KORVANE_FUZZ_CHECK(too_short, "a whole HUC image failed: " +
                                      (diag.errors.empty() ? "" : diag.errors[0].message()));
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

  const f::ByteReader rd(shv, "out.shv");
  auto at = f::GetShvStitchPos(rd);
  KORVANE_FUZZ_CHECK(at.has_value(), at ? "" : at.error().message());
  KORVANE_FUZZ_CHECK(shv[f::kShvNameLengthAt] <= 127, "design name longer than 127 bytes");
  auto hdr = f::read_shvhdr(rd, *at);
  KORVANE_FUZZ_CHECK(hdr.has_value(), "no header after the preview");
  KORVANE_FUZZ_CHECK(f::has_shv_signature(*hdr), "output lacks the SHV marks");
  const f::ByteReader hr(huc, "in.huc");
  auto hh = f::read_huchdr(hr);
  KORVANE_FUZZ_CHECK(hh.has_value(), "the oracle could not read the HUC header");
  KORVANE_FUZZ_CHECK(hdr->nColors == hh->nColors && hdr->x0 == hh->x0 && hdr->y0 == hh->y0 &&
                         hdr->x1 == hh->x1 && hdr->y1 == hh->y1 &&
                         hdr->Stitches == hh->Stitches,
                     "header fields not carried over");
  const std::size_t table = *at + f::kShvHdrSize;
  std::vector<f::shvcolor_t> colours;
  for (std::size_t c = 0; c < hh->nColors; ++c) {
    auto sc = f::read_shvcolor(rd, table + c * f::kShvColorSize);
    auto hc = f::read_huccolor(hr, c);
    KORVANE_FUZZ_CHECK(sc.has_value() && hc.has_value(), "colour table cut short");
    KORVANE_FUZZ_CHECK(sc->Stitches == hc->Stitches && sc->Color == hc->Color &&
                           sc->xpos == hc->xpos && sc->ypos == hc->ypos,
                       "colour record " + std::to_string(c) + " not carried over");
    colours.push_back(*sc);
  }
  const std::size_t stream_at = table + f::kShvColorSize * hh->nColors;
  const std::span<const std::uint8_t> huc_stream(huc.data() + f::huc_stream_at(hh->nColors),
                                                 huc.size() - f::huc_stream_at(hh->nColors));
  KORVANE_FUZZ_CHECK(stream_at <= shv.size() &&
                         kvn::fuzz::same(shv.subspan(stream_at), huc_stream),
                     "the stitch stream was not copied unchanged");
  kvn::fuzz::walk_blocks(shv.subspan(stream_at), colours);
  // With a stream of exactly its count the image is a whole design the model reads and writes back.
  if (huc_stream.size() == 2 * std::size_t{hh->Stitches}) kvn::fuzz::check_navigates(shv);
  std::free(pshv);
  return 0;
}
