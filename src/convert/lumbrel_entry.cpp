#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "convert/caller_memory.hpp"
#include "convert/entry.hpp"
#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "formats/byte_reader.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "formats/huc_layout.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::convert {
namespace {

constexpr const char* kMemory = "(memory)";

int fail(Diagnostics& diag, Error e, int result) {
  diag.errors.push_back(std::move(e));
  return result;
}

// Faults of the HUC input give 1; everything after it has been read gives -1.
int result_for(ErrorCode code) {
  return code == ErrorCode::kHucTooShort || code == ErrorCode::kCannotOpen ||
                 code == ErrorCode::kCannotRead
             ? kLumbrelCannotRead
             : kLumbrelCannotWrite;
}

}  // namespace

int run_lumbrel(const LumbrelCall& call, OutputWriter& out, Diagnostics& diag,
                const std::string& protected_input, bool built_here) {
  if (call.pFileShv && !*call.pFileShv)
    return fail(diag,
                make_error(ErrorCode::kEmptyOutputName, call.pFileHuc ? call.pFileHuc : kMemory,
                           "pFileShv is \"\""),
                kLumbrelCannotWrite);
  // The HUC image: the caller's memory wins over the file.
  std::vector<std::uint8_t> loaded;
  std::span<const std::uint8_t> image;
  std::string source;
  if (call.phuc) {
    if (call.shuc < 0)
      return fail(diag,
                  make_error(ErrorCode::kCannotRead, kMemory,
                             "negative HUC design size " + std::to_string(call.shuc)),
                  kLumbrelCannotRead);
    image = {call.phuc, static_cast<std::size_t>(call.shuc)};
    source = kMemory;
  } else {
    if (!call.pFileHuc)
      return fail(diag, make_error(ErrorCode::kNoInputName, kMemory, "no HUC design was given"),
                  kLumbrelCannotRead);
    auto r = out.fs().read_whole(call.pFileHuc);
    if (!r) return fail(diag, r.error(), kLumbrelCannotRead);
    loaded = std::move(*r);
    image = loaded;
    source = call.pFileHuc;
    // A HUC file has one mark byte; only a file known to be something else is
    // refused here, anything unclear is left to the HUC reader to judge. A
    // "damaged container" is only a guess from text or zeros (an empty file
    // is one), so it counts as unclear.
    const auto kind = formats::recognise_kind(image);
    const bool guessed_container =
        kind == formats::ContentKind::kDhvContainer &&
        !formats::read_container(formats::ByteReader(image, source));
    if (kind != formats::ContentKind::kHucDesign && kind != formats::ContentKind::kUnknown &&
        !guessed_container)
      return fail(diag, formats::wrong_kind(kind, formats::WantedKind::kHucDesign, source),
                  kLumbrelCannotRead);
  }

  if (!built_here) {
    if (auto whole = formats::check_huc_image(formats::ByteReader(image, source)); !whole)
      return fail(diag, whole.error(), kLumbrelCannotRead);
  }

  // What to produce: the named file, the image in memory, or both; with
  // neither, a file named after the HUC file.
  std::string out_file;
  if (call.pFileShv)
    out_file = call.pFileShv;
  else if (!call.pshv) {
    if (!call.pFileHuc)
      return fail(diag,
                  make_error(ErrorCode::kNoInputName, kMemory,
                             "the HUC design came from memory and no output was asked for"),
                  kLumbrelCannotWrite);
    out_file = shv_name(call.pFileHuc);
  }
  if (!out_file.empty()) {
    std::vector<std::string> inputs;
    if (call.pFileHuc) inputs.emplace_back(call.pFileHuc);
    if (!protected_input.empty()) inputs.push_back(protected_input);
    auto refusals =
        check_outputs({{out_file, call.pFileHuc ? call.pFileHuc : kMemory}}, inputs, out.fs());
    if (!refusals.empty()) return fail(diag, std::move(refusals.front()), kLumbrelCannotWrite);
  }

  // The design name comes from the output's file name, else the input's, else
  // the image's size.
  const char* name_source = call.pFileShv ? call.pFileShv : call.pFileHuc;
  const std::string name = name_source
                               ? design_name(name_source)
                               : shvgen::size_name(static_cast<std::uint32_t>(image.size()));

  auto shv = shvgen::build_shv(formats::ByteReader(image, source), name);
  if (!shv) return fail(diag, shv.error(), result_for(shv.error().code));
  // The input is no longer needed: release it before the output is copied.
  std::vector<std::uint8_t>().swap(loaded);

  // Copy for the caller before writing, so that a failed allocation writes
  // nothing; the copy then serves the write and the first buffer goes.
  std::unique_ptr<std::uint8_t, decltype(&std::free)> handed(nullptr, &std::free);
  std::span<const std::uint8_t> bytes = *shv;
  if (call.pshv) {
    handed.reset(caller_copy(*shv));
    if (!handed)
      return fail(diag, make_error(ErrorCode::kOutOfMemory, out_file.empty() ? kMemory : out_file),
                  kLumbrelCannotWrite);
    bytes = {handed.get(), shv->size()};
    std::vector<std::uint8_t>().swap(*shv);
  }
  if (!out_file.empty() && !out.write(out_file, bytes, diag)) return kLumbrelCannotWrite;
  if (call.pshv) {
    // Memory goes out only once the file is durable too.
    if (auto st = out.finish(); !st) return fail(diag, st.error(), kLumbrelCannotWrite);
    if (call.sshv) *call.sshv = static_cast<std::int32_t>(bytes.size());
    *call.pshv = handed.release();
  }
  return 0;
}

int run_lumbrel(const LumbrelCall& call, FileSystem& fs, Diagnostics& diag,
                const std::string& protected_input, bool built_here) {
  OutputWriter out(fs);
  int r = run_lumbrel(call, out, diag, protected_input, built_here);
  if (auto st = out.finish(); !st) {
    diag.errors.push_back(st.error());
    r = kLumbrelCannotWrite;
  }
  return r;
}

}  // namespace kvn::convert
