// Splitting a container image in memory, with every shape of output request
// picked by the trailing byte. Every delivered design must be exactly the
// bytes the container holds for it; a refused container delivers nothing.
//
// Mode byte: bit 0 an output name, bit 1 pshv, bit 2 lpParamOut, bit 3 the
// container's own name, bit 4 stray high bits in lParamIn, bit 5 a disk that
// fills after (bits 6-7) writes.
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "fuzz/fuzz_check.hpp"
#include "support/c_calls.hpp"
#include "support/fake_file_system.hpp"

namespace {

using kvn::fuzz::Bytes;

std::string numbered(const char* base, std::size_t i) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%s%03zu.shv", base, i);
  return buf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto in = kvn::fuzz::take_mode(data, size);
  if (!in) return 0;
  const std::uint8_t mode = in->mode;
  const bool out_name = mode & 0x01;
  const bool want_pshv = mode & 0x02;
  const bool want_list = mode & 0x04;
  const bool own_name = mode & 0x08;
  const bool stray_bits = mode & 0x10;
  const int fill_after = (mode & 0x20) ? (mode >> 6) : -1;

  kvn::test::FakeFileSystem fs;
  fs.fail_writes_after = fill_after;
  std::uint8_t sentinel_byte = 0;
  std::uint8_t* const kUntouched = &sentinel_byte;
  void* const kListUntouched = &sentinel_byte;
  std::uint8_t* pshv = kUntouched;
  std::int32_t sshv = -12345;
  void* list_out = kListUntouched;

  kvn::test::KorvaneArgs call;
  call.pFileShv = out_name ? "out.shv" : nullptr;
  call.pshv = want_pshv ? &pshv : nullptr;
  call.sshv = want_pshv ? &sshv : nullptr;
  call.pFileDhv = own_name ? "in.dhv" : nullptr;
  call.pdhv = in->body.data();
  call.sdhv = static_cast<std::int32_t>(in->body.size());
  call.lParamIn = stray_bits ? 0x7FFFFFFE : 0;
  call.lpParamOut = want_list ? &list_out : nullptr;
  kvn::test::Seen diag;
  const int r = kvn::test::korvane_seen(call, fs, diag);

  const auto designs = kvn::fuzz::expected_designs(in->body);
  const bool want_file = out_name || (!want_pshv && own_name);
  const bool nothing_named = !out_name && !want_pshv && !own_name;
  if (!designs || !kvn::fuzz::all_whole(*designs) || nothing_named) {
    KORVANE_FUZZ_CHECK(r == -1, "a refused container gave " + std::to_string(r));
    KORVANE_FUZZ_CHECK(diag.code != kvn::ErrorCode::kOk, "a failure without a reason");
    KORVANE_FUZZ_CHECK(fs.files.empty(), "a refused container wrote files");
    KORVANE_FUZZ_CHECK(pshv == kUntouched && sshv == -12345 && list_out == kListUntouched,
                       "a refused container handed something out");
    return 0;
  }
  const std::size_t n = designs->size();
  const char* base = out_name ? "out" : "in";

  if (n == 1) {
    const auto& d = (*designs)[0];
    if (want_file && fill_after == 0) {
      KORVANE_FUZZ_CHECK(r == -1, "a failed write gave " + std::to_string(r));
      KORVANE_FUZZ_CHECK(fs.files.empty(), "a failed write left a file");
      KORVANE_FUZZ_CHECK(pshv == kUntouched, "a failed write handed out an image");
      return 0;
    }
    KORVANE_FUZZ_CHECK(r == 0, "a good one-design container gave " + std::to_string(r));
    if (want_file) {
      const std::string name = std::string(base) + ".shv";
      KORVANE_FUZZ_CHECK(fs.files.size() == 1 && fs.files.count(name) == 1, "wrong files");
      KORVANE_FUZZ_CHECK(kvn::fuzz::same(fs.files[name], d), "the file is not the design");
    } else {
      KORVANE_FUZZ_CHECK(fs.files.empty(), "a file nobody asked for");
    }
    if (want_pshv) {
      KORVANE_FUZZ_CHECK(pshv != kUntouched && pshv != nullptr, "no image handed out");
      KORVANE_FUZZ_CHECK(sshv >= 0 && kvn::fuzz::same({pshv, static_cast<std::size_t>(sshv)}, d),
                         "the image is not the design");
      std::free(pshv);
    }
    KORVANE_FUZZ_CHECK(list_out == kListUntouched, "a one-design container made a list");
    return 0;
  }

  // Several designs to memory need a list to come back in.
  if (want_pshv && !want_list && !out_name) {
    KORVANE_FUZZ_CHECK(r == -1, "several designs without a list gave " + std::to_string(r));
    KORVANE_FUZZ_CHECK(fs.files.empty(), "a refused call wrote files");
    KORVANE_FUZZ_CHECK(pshv == kUntouched && sshv == -12345 && list_out == kListUntouched,
                       "a refused call handed something out");
    return 0;
  }
  // Several designs: files written stop at the first failing write.
  const std::size_t written =
      want_file && fill_after >= 0 && static_cast<std::size_t>(fill_after) < n
          ? static_cast<std::size_t>(fill_after)
          : (want_file ? n : 0);
  const bool failed = want_file && written < n;
  KORVANE_FUZZ_CHECK(r == (failed ? -1 : 0), "several designs gave " + std::to_string(r));
  KORVANE_FUZZ_CHECK(fs.files.size() == written, "wrong number of files");
  for (std::size_t i = 0; i < written; ++i) {
    const auto it = fs.files.find(numbered(base, i + 1));
    KORVANE_FUZZ_CHECK(it != fs.files.end(), "missing " + numbered(base, i + 1));
    KORVANE_FUZZ_CHECK(kvn::fuzz::same(it->second, (*designs)[i]),
                       numbered(base, i + 1) + " is not its design");
  }
  // The list goes out only when everything succeeded.
  if (want_pshv && want_list && !failed) {
    auto* list = static_cast<pbcb_list_t*>(list_out);
    KORVANE_FUZZ_CHECK(list_out != kListUntouched && list != nullptr, "no design list");
    KORVANE_FUZZ_CHECK(list->count == n, "the list holds " + std::to_string(list->count));
    for (std::size_t i = 0; i < list->count; ++i) {
      KORVANE_FUZZ_CHECK(kvn::fuzz::same({list->entry[i].pb, list->entry[i].cb}, (*designs)[i]),
                         "list entry " + std::to_string(i) + " is not its design");
      std::free(list->entry[i].pb);
    }
    KORVANE_FUZZ_CHECK(pshv == nullptr && sshv == 0, "pshv not cleared beside a list");
    std::free(list);
  } else {
    KORVANE_FUZZ_CHECK(pshv == kUntouched && sshv == -12345, "pshv changed without a list");
    KORVANE_FUZZ_CHECK(list_out == kListUntouched, "a list handed out by a failed call or unasked");
  }
  return 0;
}
