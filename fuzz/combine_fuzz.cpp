// Combining a container image in memory with the image handed back through
// pshv. A combined design must navigate again and walk block by block; a
// one-design container must come back unchanged; a failure hands out nothing.
//
// Mode byte: bit 0 also an output file, bit 1 stray high bits in lParamIn,
// bit 2 the container's own name.
#include <cstdlib>
#include <string>

#include "formats/huc_layout.hpp"
#include "fuzz/fuzz_check.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto in = kvn::fuzz::take_mode(data, size);
  if (!in) return 0;
  const bool out_name = in->mode & 0x01;
  const bool stray_bits = in->mode & 0x02;
  const bool own_name = in->mode & 0x04;

  kvn::test::FakeFileSystem fs;
  std::uint8_t sentinel_byte = 0;
  std::uint8_t* const kUntouched = &sentinel_byte;
  std::uint8_t* pshv = kUntouched;
  std::int32_t sshv = -12345;

  kvn::test::KorvaneArgs call;
  call.pFileShv = out_name ? "out.shv" : nullptr;
  call.pshv = &pshv;
  call.sshv = &sshv;
  call.pFileDhv = own_name ? "in.dhv" : nullptr;
  call.pdhv = in->body.data();
  call.sdhv = static_cast<std::int32_t>(in->body.size());
  call.lParamIn = stray_bits ? static_cast<std::int32_t>(0x80000001u) : KORVANE_COMBINE;
  kvn::test::Seen diag;
  const int r = kvn::test::korvane_seen(call, fs, diag);

  const auto designs = kvn::fuzz::expected_designs(in->body);
  if (r != 0) {
    KORVANE_FUZZ_CHECK(diag.code != kvn::ErrorCode::kOk, "a failure without a reason");
    KORVANE_FUZZ_CHECK(fs.files.empty(), "a failed combine wrote a file");
    KORVANE_FUZZ_CHECK(pshv == kUntouched && sshv == -12345, "a failed combine handed out");
    KORVANE_FUZZ_CHECK(!designs || designs->size() >= 2 || !kvn::fuzz::all_whole(*designs),
                       "a good one-design container failed: " + diag.message);
    return 0;
  }
  KORVANE_FUZZ_CHECK(designs.has_value(), "a container that must be refused was combined");
  KORVANE_FUZZ_CHECK(designs->size() >= 2 || kvn::fuzz::all_whole(*designs),
                     "a cut-short design was delivered as split");
  KORVANE_FUZZ_CHECK(pshv != kUntouched && pshv != nullptr && sshv >= 0, "no image handed out");
  const std::span<const std::uint8_t> image(pshv, static_cast<std::size_t>(sshv));
  if (out_name) {
    KORVANE_FUZZ_CHECK(fs.files.size() == 1 && kvn::fuzz::same(fs.files["out.shv"], image),
                       "the file differs from the image handed out");
  } else {
    KORVANE_FUZZ_CHECK(fs.files.empty(), "a file nobody asked for");
  }
  if (designs->size() == 1) {
    KORVANE_FUZZ_CHECK(kvn::fuzz::same(image, (*designs)[0]),
                       "a one-design container did not come back unchanged");
  } else {
    const auto d = kvn::fuzz::check_navigates(image);
    std::size_t colours = 0;
    for (const auto& design : *designs) {
      const kvn::formats::ByteReader r_design(design, "design");
      auto at = kvn::formats::GetShvStitchPos(r_design);
      KORVANE_FUZZ_CHECK(at.has_value(), "a design that does not navigate was combined");
      colours += design[*at];
    }
    KORVANE_FUZZ_CHECK(d.header.nColors == colours, "colour records went missing");
    KORVANE_FUZZ_CHECK(d.header.Stitches <= kvn::formats::kMaxHucWords, "count beyond 16 bits");
  }
  std::free(pshv);
  return 0;
}
