#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>

#include "convert/caller_memory.hpp"
#include "convert/combine.hpp"
#include "convert/entry.hpp"
#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "korvane/types.h"

namespace kvn::convert {
namespace {

using formats::ByteReader;
using formats::ContainerLayout;

constexpr const char* kMemory = "(memory)";

int fail(Diagnostics& diag, Error e) {
  diag.errors.push_back(std::move(e));
  return kKorvaneFailed;
}

// The base output name: the given one, or one derived from the container's
// name unless only memory output was asked for.
std::optional<std::string> base_name(const KorvaneCall& call) {
  if (call.pFileShv) return std::string(call.pFileShv);
  if (call.pshv || !call.pFileDhv) return std::nullopt;
  return shv_name(call.pFileDhv);
}

// The blocks made for the caller, freed unless handed out: a call that fails
// leaves the caller nothing to release.
class CallerBlocks {
 public:
  CallerBlocks() = default;
  CallerBlocks(const CallerBlocks&) = delete;
  CallerBlocks& operator=(const CallerBlocks&) = delete;
  ~CallerBlocks() {
    for (auto* b : blocks_) std::free(b);
    std::free(list_);
  }

  bool add(std::span<const std::uint8_t> bytes) {
    blocks_.push_back(caller_copy(bytes));
    return blocks_.back() != nullptr;
  }
  bool make_list(std::size_t n) {
    list_ =
        static_cast<pbcb_list_t*>(std::malloc(offsetof(pbcb_list_t, entry) + n * sizeof(pbcb_t)));
    return list_ != nullptr;
  }
  std::uint8_t* release_block() {
    auto* b = blocks_.front();
    blocks_.clear();
    return b;
  }
  // Fills the list with the blocks, in order, and gives it away.
  pbcb_list_t* release_list(const std::vector<std::uint32_t>& sizes) {
    for (std::size_t i = 0; i < blocks_.size(); ++i) list_->entry[i] = {blocks_[i], sizes[i]};
    list_->count = static_cast<std::uint32_t>(blocks_.size());
    blocks_.clear();
    return std::exchange(list_, nullptr);
  }

 private:
  std::vector<std::uint8_t*> blocks_;
  pbcb_list_t* list_ = nullptr;
};

class Split {
 public:
  Split(const KorvaneCall& call, OutputWriter& out, Diagnostics& diag, const ByteReader& in,
        const ContainerLayout& layout)
      : call_(call), out_(out), diag_(diag), in_(in), layout_(layout) {}

  int run() {
    const std::size_t n = layout_.designs.size();
    if (!call_.pFileShv && !call_.pshv && !call_.pFileDhv)
      return fail(diag_, make_error(ErrorCode::kNoInputName, kMemory,
                                    "the container came from memory and no output name was given"));
    const bool list_wanted = n >= 2 && call_.pshv && call_.lpParamOut;
    if (n >= 2 && call_.pshv && !call_.lpParamOut && !call_.pFileShv)
      return fail(diag_, make_error(ErrorCode::kBadArgument, in_.file(),
                                    std::to_string(n) +
                                        " designs cannot come back through pshv: a design list "
                                        "(lpParamOut) must be asked for"));

    std::vector<PlannedOutput> planned;
    for (auto& name : korvane_file_names(call_, n))
      planned.push_back({std::move(name), in_.file()});
    std::vector<std::string> inputs;
    if (call_.pFileDhv) inputs.emplace_back(call_.pFileDhv);
    auto refusals = check_outputs(planned, inputs, out_.fs());
    if (!refusals.empty()) {
      for (auto& e : refusals) diag_.errors.push_back(std::move(e));
      return kKorvaneFailed;
    }

    // Copies for the caller come first: running out of memory writes nothing.
    CallerBlocks handed;
    std::vector<std::uint32_t> sizes;
    const bool single_wanted = n == 1 && call_.pshv;
    if (list_wanted && !handed.make_list(n)) return out_of_memory();
    for (std::size_t i = 0; i < n && (single_wanted || list_wanted); ++i) {
      if (!handed.add(design(i))) return out_of_memory();
      sizes.push_back(static_cast<std::uint32_t>(design(i).size()));
    }
    // Written straight from the container image: no copy per design.
    for (std::size_t i = 0; i < planned.size(); ++i)
      if (!out_.write(planned[i].name, design(i), diag_)) return kKorvaneFailed;
    // Memory goes out only once the files are durable too.
    if (single_wanted || list_wanted)
      if (auto st = out_.finish(); !st) return fail(diag_, st.error());

    if (single_wanted) {
      *call_.pshv = handed.release_block();
      if (call_.sshv) *call_.sshv = static_cast<std::int32_t>(sizes[0]);
    } else if (list_wanted) {
      *call_.lpParamOut = handed.release_list(sizes);
      *call_.pshv = nullptr;
      if (call_.sshv) *call_.sshv = 0;
    }
    return 0;
  }

 private:
  std::span<const std::uint8_t> design(std::size_t i) const {
    const auto& d = layout_.designs[i];
    return in_.bytes().subspan(d.begin, d.length);
  }
  int out_of_memory() { return fail(diag_, make_error(ErrorCode::kOutOfMemory, in_.file())); }

  const KorvaneCall& call_;
  OutputWriter& out_;
  Diagnostics& diag_;
  const ByteReader& in_;
  const ContainerLayout& layout_;
};

}  // namespace

std::vector<std::string> korvane_file_names(const KorvaneCall& call, std::size_t designs) {
  const auto base = base_name(call);
  if (!base || designs == 0) return {};
  if (designs == 1 || (call.lParamIn & KORVANE_COMBINE) != 0) return {*base};
  std::vector<std::string> names;
  names.reserve(designs);
  for (std::size_t i = 0; i < designs; ++i)
    names.push_back(numbered_name(*base, static_cast<unsigned>(i + 1)));
  return names;
}

int run_korvane(const KorvaneCall& call, OutputWriter& out, Diagnostics& diag) {
  std::vector<std::uint8_t> loaded;
  std::span<const std::uint8_t> image;
  const std::string file = call.pFileDhv ? call.pFileDhv : kMemory;
  if (call.pFileShv && !*call.pFileShv)
    return fail(diag, make_error(ErrorCode::kEmptyOutputName, file, "pFileShv is \"\""));
  if (call.pdhv) {
    if (call.sdhv < 0)
      return fail(diag, make_error(ErrorCode::kCannotRead, file,
                                   "negative container size " + std::to_string(call.sdhv)));
    image = {call.pdhv, static_cast<std::size_t>(call.sdhv)};
  } else {
    if (!call.pFileDhv)
      return fail(diag, make_error(ErrorCode::kNoInputName, file, "no container was given"));
    auto r = out.fs().read_whole(call.pFileDhv);
    if (!r) return fail(diag, r.error());
    loaded = std::move(*r);
    image = loaded;
  }
  const ByteReader in(image, file);
  // Another kind of file is named as what it is, never read as a bogus container.
  if (const auto kind = formats::recognise_kind(image); kind != formats::ContentKind::kDhvContainer)
    return fail(diag, formats::wrong_kind(kind, formats::WantedKind::kContainer, file));
  auto layout = formats::read_container(in);
  if (!layout) return fail(diag, layout.error());
  const bool combine = (call.lParamIn & KORVANE_COMBINE) != 0;
  // A split copies designs unread: only whole ones may go out.
  if (!combine || layout->designs.size() == 1) {
    if (auto whole = formats::check_designs_whole(in, *layout); !whole)
      return fail(diag, whole.error());
  }
  if (combine && layout->designs.size() >= 2) {
    auto huc = build_combined_huc(in, *layout);
    if (!huc) return fail(diag, huc.error());
    LumbrelCall next;
    next.pFileShv = call.pFileShv;
    next.pshv = call.pshv;
    next.sshv = call.sshv;
    next.pFileHuc = call.pFileDhv;
    next.phuc = huc->data();
    next.shuc = static_cast<std::int32_t>(huc->size());
    // The container's name is protected even when its bytes came from memory.
    return run_lumbrel(next, out, diag, call.pFileDhv ? file : std::string(), true);
  }
  return Split(call, out, diag, in, *layout).run();
}

int run_korvane(const KorvaneCall& call, FileSystem& fs, Diagnostics& diag) {
  OutputWriter out(fs);
  int r = run_korvane(call, out, diag);
  if (auto st = out.finish(); !st) {
    diag.errors.push_back(st.error());
    r = kKorvaneFailed;
  }
  return r;
}

}  // namespace kvn::convert
