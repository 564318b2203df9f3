#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

#include "convert/caller_memory.hpp"
#include "convert/combine.hpp"
#include "convert/entry.hpp"
#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"

namespace kvn::convert {
namespace {

using formats::ByteReader;
using formats::ContainerLayout;

constexpr const char* kMemory = "(memory)";

// The base output name: the given one, or one derived from the container's
// name unless only memory output was asked for.
std::optional<std::string> base_name(const char* input, const Targets& to) {
  if (to.file) return std::string(to.file);
  if (to.image || !input) return std::nullopt;
  return shv_name(input);
}

class Split {
 public:
  Split(const Source& src, const Targets& to, OutputWriter& out, const ByteReader& in,
        const ContainerLayout& layout)
      : src_(src), to_(to), out_(out), in_(in), layout_(layout) {}

  InputResult run() {
    const std::size_t n = layout_.designs.size();
    if (!to_.file && !to_.image && !src_.file)
      return failure(make_error(ErrorCode::kNoInputName, kMemory,
                                "the container came from memory and no output name was given"));
    const bool list_wanted = n >= 2 && to_.image && to_.list;
    if (n >= 2 && to_.image && !to_.list && !to_.file)
      return failure(make_error(ErrorCode::kBadArgument, in_.file(),
                                std::to_string(n) +
                                    " designs cannot come back through pshv: a design list "
                                    "(lpParamOut) must be asked for"));

    std::vector<PlannedOutput> planned;
    for (auto& name : to_.names ? *to_.names : container_file_names(src_.file, to_, false, n))
      planned.push_back({std::move(name), in_.file()});
    if (planned.size() > n)
      return failure(
          make_error(ErrorCode::kInternal, in_.file(), "the designs changed while read"));
    std::vector<std::string> inputs;
    if (src_.file) inputs.emplace_back(src_.file);
    auto refusals = check_outputs(planned, inputs, out_.fs(), out_.force());
    if (!refusals.empty()) return failure(std::move(refusals.front()));

    // Copies for the caller come first: running out of memory writes nothing.
    InputResult r;
    const bool single_wanted = n == 1 && to_.image;
    if (list_wanted && !r.memory.make_list(n)) return out_of_memory();
    for (std::size_t i = 0; i < n && (single_wanted || list_wanted); ++i)
      if (!r.memory.add(design(i))) return out_of_memory();
    // Written straight from the container image: no copy per design.
    for (std::size_t i = 0; i < planned.size(); ++i)
      if (!out_.write(planned[i].name, design(i), r)) return r;
    // Memory goes out only once the files are durable too.
    if (single_wanted || list_wanted)
      if (auto st = out_.finish(); !st) r.error = st.error();
    return r;
  }

 private:
  std::span<const std::uint8_t> design(std::size_t i) const {
    const auto& d = layout_.designs[i];
    return in_.bytes().subspan(d.begin, d.length);
  }
  InputResult out_of_memory() { return failure(make_error(ErrorCode::kOutOfMemory, in_.file())); }

  const Source& src_;
  const Targets& to_;
  OutputWriter& out_;
  const ByteReader& in_;
  const ContainerLayout& layout_;
};

InputResult run_container(const Source& src, const Targets& to, OutputWriter& out, bool combine) {
  std::vector<std::uint8_t> loaded;
  std::span<const std::uint8_t> image;
  const std::string file = src.file ? src.file : kMemory;
  if (to.file && !*to.file)
    return failure(make_error(ErrorCode::kEmptyOutputName, file, "pFileShv is \"\""));
  if (src.bytes) {
    image = *src.bytes;
  } else {
    if (!src.file)
      return failure(make_error(ErrorCode::kNoInputName, file, "no container was given"));
    auto r = out.fs().read_whole(src.file);
    if (!r) return failure(r.error());
    loaded = std::move(*r);
    image = loaded;
  }
  const ByteReader in(image, file);
  // Another kind of file is named as what it is, never read as a bogus container.
  if (const auto kind = formats::recognise_kind(image); kind != formats::ContentKind::kDhvContainer)
    return failure(formats::wrong_kind(kind, formats::WantedKind::kContainer, file));
  auto layout = formats::read_container(in);
  if (!layout) return failure(layout.error());
  // A split copies designs unread: only whole ones may go out.
  if (!combine || layout->designs.size() == 1) {
    if (auto whole = formats::check_designs_whole(in, *layout); !whole)
      return failure(whole.error());
  }
  if (combine && layout->designs.size() >= 2) {
    auto huc = build_combined_huc(in, *layout);
    if (!huc) return failure(huc.error());
    // Combining's own image is consistent by construction: it is not checked
    // again as one from outside would be.
    HucInput combined;
    combined.loaded = std::move(*huc);
    combined.image = combined.loaded;
    combined.source = kMemory;
    combined.file = src.file;
    // The container's name is protected even when its bytes came from memory.
    return shv_from_huc(std::move(combined), to, out, src.file ? file : std::string());
  }
  return Split(src, to, out, in, *layout).run();
}

}  // namespace

CallerMemory::CallerMemory(CallerMemory&& other) noexcept
    : blocks_(std::move(other.blocks_)),
      sizes_(std::move(other.sizes_)),
      list_(std::exchange(other.list_, nullptr)) {
  other.blocks_.clear();
}

CallerMemory& CallerMemory::operator=(CallerMemory&& other) noexcept {
  if (this != &other) {
    free_all();
    blocks_ = std::move(other.blocks_);
    sizes_ = std::move(other.sizes_);
    list_ = std::exchange(other.list_, nullptr);
    other.blocks_.clear();
  }
  return *this;
}

CallerMemory::~CallerMemory() { free_all(); }

void CallerMemory::free_all() {
  for (auto* b : blocks_) std::free(b);
  blocks_.clear();
  sizes_.clear();
  std::free(std::exchange(list_, nullptr));
}

bool CallerMemory::add(std::span<const std::uint8_t> bytes) {
  blocks_.reserve(blocks_.size() + 1);
  sizes_.reserve(sizes_.size() + 1);
  auto* copy = caller_copy(bytes);
  if (!copy) return false;
  blocks_.push_back(copy);
  sizes_.push_back(static_cast<std::uint32_t>(bytes.size()));
  return true;
}

bool CallerMemory::make_list(std::size_t n) {
  list_ = static_cast<pbcb_list_t*>(std::malloc(offsetof(pbcb_list_t, entry) + n * sizeof(pbcb_t)));
  return list_ != nullptr;
}

std::uint8_t* CallerMemory::release_block() {
  auto* b = blocks_.front();
  blocks_.erase(blocks_.begin());
  sizes_.erase(sizes_.begin());
  return b;
}

pbcb_list_t* CallerMemory::release_list() {
  for (std::size_t i = 0; i < blocks_.size(); ++i) list_->entry[i] = {blocks_[i], sizes_[i]};
  list_->count = static_cast<std::uint32_t>(blocks_.size());
  blocks_.clear();
  sizes_.clear();
  return std::exchange(list_, nullptr);
}

InputResult failure(Error e) {
  InputResult r;
  r.error = std::move(e);
  return r;
}

std::vector<std::string> container_file_names(const char* input, const Targets& to, bool combine,
                                              std::size_t designs) {
  const auto base = base_name(input, to);
  if (!base || designs == 0) return {};
  if (designs == 1 || combine) return {*base};
  std::vector<std::string> names;
  names.reserve(designs);
  for (std::size_t i = 0; i < designs; ++i)
    names.push_back(numbered_name(*base, static_cast<unsigned>(i + 1)));
  return names;
}

InputResult split(const Source& in, const Targets& to, OutputWriter& out) {
  return run_container(in, to, out, false);
}

InputResult combine(const Source& in, const Targets& to, OutputWriter& out) {
  return run_container(in, to, out, true);
}

}  // namespace kvn::convert
