#include <span>
#include <string>
#include <utility>
#include <vector>

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

}  // namespace

Result<HucInput> read_huc_input(const Source& in, FileSystem& fs) {
  HucInput huc;
  huc.file = in.file;
  // The caller's memory wins over the file.
  if (in.bytes && !in.read) {
    huc.image = *in.bytes;
    huc.source = kMemory;
  } else {
    if (!in.file) return make_error(ErrorCode::kNoInputName, kMemory, "no HUC design was given");
    if (in.bytes) {
      huc.image = *in.bytes;
    } else {
      KORVANE_TRY(bytes, fs.read_whole(in.file));
      huc.loaded = std::move(bytes);
      huc.image = huc.loaded;
    }
    huc.source = in.file;
    // A HUC file has one mark byte; only a file known to be something else is
    // refused here, anything unclear is left to the HUC reader to judge. A
    // "damaged container" is only a guess from text or zeros (an empty file
    // is one), so it counts as unclear.
    const auto kind = formats::recognise_kind(huc.image);
    const bool guessed_container =
        kind == formats::ContentKind::kDhvContainer &&
        !formats::read_container(formats::ByteReader(huc.image, huc.source));
    if (kind != formats::ContentKind::kHucDesign && kind != formats::ContentKind::kUnknown &&
        !guessed_container)
      return formats::wrong_kind(kind, formats::WantedKind::kHucDesign, huc.source);
  }
  if (auto whole = formats::check_huc_image(formats::ByteReader(huc.image, huc.source)); !whole)
    return whole.error();
  return huc;
}

InputResult shv_from_huc(HucInput huc, const Targets& to, OutputWriter& out,
                         const std::string& protected_input) {
  // What to produce: the named file, the image in memory, or both; with
  // neither, a file named after the HUC file.
  std::string out_file;
  if (to.names && !to.names->empty())
    out_file = to.names->front();
  else if (to.file)
    out_file = to.file;
  else if (!to.image) {
    if (!huc.file)
      return failure(make_error(ErrorCode::kNoInputName, kMemory,
                                "the HUC design came from memory and no output was asked for"));
    out_file = shv_name(huc.file);
  }
  if (!out_file.empty()) {
    std::vector<std::string> inputs;
    if (huc.file) inputs.emplace_back(huc.file);
    if (!protected_input.empty()) inputs.push_back(protected_input);
    auto refusals =
        check_outputs({{out_file, huc.file ? huc.file : kMemory}}, inputs, out.fs(), out.force());
    if (!refusals.empty()) return failure(std::move(refusals.front()));
  }

  // The design name comes from the output's file name, else the input's, else
  // the image's size.
  const char* name_source = to.file ? to.file : huc.file;
  const std::string name = name_source
                               ? design_name(name_source)
                               : shvgen::size_name(static_cast<std::uint32_t>(huc.image.size()));

  auto shv = shvgen::build_shv(formats::ByteReader(huc.image, huc.source), name);
  if (!shv) return failure(shv.error());
  // The input is no longer needed: release it before the output is copied.
  std::vector<std::uint8_t>().swap(huc.loaded);

  // Copy for the caller before writing, so that a failed allocation writes
  // nothing; the copy then serves the write and the first buffer goes.
  InputResult r;
  std::span<const std::uint8_t> bytes = *shv;
  if (to.image) {
    if (!r.memory.add(*shv))
      return failure(make_error(ErrorCode::kOutOfMemory, out_file.empty() ? kMemory : out_file));
    bytes = r.memory.block(0);
    std::vector<std::uint8_t>().swap(*shv);
  }
  if (!out_file.empty() && !out.write(out_file, bytes, r)) return r;
  // Memory goes out only once the file is durable too.
  if (to.image)
    if (auto st = out.finish(); !st) r.error = st.error();
  return r;
}

}  // namespace kvn::convert
