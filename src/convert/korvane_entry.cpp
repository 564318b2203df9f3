#include <cstddef>
#include <cstdlib>
#include <new>
#include <optional>
#include <string>

#include "convert/caller_memory.hpp"
#include "convert/combine.hpp"
#include "convert/entry.hpp"
#include "convert/naming.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "korvane/korvane.h"

namespace kvn::convert {
namespace {

using formats::ByteReader;
using formats::ContainerLayout;

int fail(Diagnostics& diag, Error e) {
  diag.errors.push_back(std::move(e));
  return kKorvaneFailed;
}

class Split {
 public:
  Split(const KorvaneCall& call, FileSystem& fs, Diagnostics& diag, const ByteReader& in,
        const ContainerLayout& layout)
      : call_(call), fs_(fs), diag_(diag), in_(in), layout_(layout) {}

  int run() { return layout_.designs.size() == 1 ? single() : several(); }

 private:
  std::span<const std::uint8_t> design(std::size_t i) const {
    const auto& d = layout_.designs[i];
    return in_.bytes().subspan(d.begin, d.length);
  }

  // Base output name: the given one, or one derived from the container's name
  // unless only memory output was asked for.
  std::optional<std::string> base_name(bool& failed) {
    failed = false;
    if (call_.pFileShv) return std::string(call_.pFileShv);
    if (call_.pshv) return std::nullopt;
    if (!call_.pFileDhv) {
      failed = true;
      fail(diag_, make_error(ErrorCode::kNoInputName, "(memory)",
                             "the container came from memory and no output name was given"));
      return std::nullopt;
    }
    return shv_name(call_.pFileDhv);
  }

  bool overwrites_input(const std::string& out) {
    if (call_.pdhv || !call_.pFileDhv || !fs_.same_file(out, call_.pFileDhv)) return false;
    fail(diag_, make_error(ErrorCode::kWouldOverwriteInput, out,
                           std::string("it is the container being converted (") +
                               call_.pFileDhv + ")"));
    return true;
  }

  bool write(const std::string& name, std::span<const std::uint8_t> bytes) {
    auto st = fs_.replace(name, bytes);
    if (!st) {
      fail(diag_, st.error());
      return false;
    }
    diag_.written.push_back(name);
    return true;
  }

  int single() {
    bool failed = false;
    const auto name = base_name(failed);
    if (failed) return kKorvaneFailed;
    if (name && overwrites_input(*name)) return kKorvaneFailed;
    const auto bytes = design(0);
    if (name && !write(*name, bytes)) return kKorvaneFailed;
    if (call_.pshv) {
      auto* copy = caller_copy(bytes);
      if (!copy) return fail(diag_, make_error(ErrorCode::kOutOfMemory, in_.file()));
      *call_.pshv = copy;
      if (call_.sshv) *call_.sshv = static_cast<std::int32_t>(bytes.size());
    }
    return 0;
  }

  int several() {
    bool failed = false;
    const auto base = base_name(failed);
    if (failed) return kKorvaneFailed;
    const std::size_t n = layout_.designs.size();
    std::vector<std::string> names;
    if (base) {
      names.reserve(n);
      for (std::size_t i = 0; i < n; ++i) {
        names.push_back(numbered_name(*base, static_cast<unsigned>(i + 1)));
        if (overwrites_input(names.back())) return kKorvaneFailed;
      }
    }
    pbcb_list_t* list = nullptr;
    if (call_.pshv && call_.lpParamOut) {
      list = static_cast<pbcb_list_t*>(
          std::malloc(offsetof(pbcb_list_t, entry) + n * sizeof(pbcb_t)));
      if (!list) return fail(diag_, make_error(ErrorCode::kOutOfMemory, in_.file()));
      list->count = 0;
      *call_.lpParamOut = list;
    }
    for (std::size_t i = 0; i < n; ++i) {
      const auto bytes = design(i);
      // Written straight from the container image: no copy per design.
      if (base && !write(names[i], bytes)) return kKorvaneFailed;
      if (list) {
        auto* copy = caller_copy(bytes);
        if (!copy) return fail(diag_, make_error(ErrorCode::kOutOfMemory, in_.file()));
        list->entry[i].pb = copy;
        list->entry[i].cb = static_cast<std::uint32_t>(bytes.size());
        if (list->count == 0) {
          *call_.pshv = nullptr;
          if (call_.sshv) *call_.sshv = 0;
        }
        ++list->count;
      }
    }
    return 0;
  }

  const KorvaneCall& call_;
  FileSystem& fs_;
  Diagnostics& diag_;
  const ByteReader& in_;
  const ContainerLayout& layout_;
};

}  // namespace

int run_korvane(const KorvaneCall& call, FileSystem& fs, Diagnostics& diag) {
  std::vector<std::uint8_t> loaded;
  std::span<const std::uint8_t> image;
  const std::string file = call.pFileDhv ? call.pFileDhv : "(memory)";
  if (call.pdhv) {
    if (call.sdhv < 0)
      return fail(diag, make_error(ErrorCode::kCannotRead, file,
                                   "negative container size " + std::to_string(call.sdhv)));
    image = {call.pdhv, static_cast<std::size_t>(call.sdhv)};
  } else {
    if (!call.pFileDhv)
      return fail(diag, make_error(ErrorCode::kNoInputName, file, "no container was given"));
    auto r = fs.read_whole(call.pFileDhv);
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
    return run_lumbrel(next, fs, diag, call.pdhv ? std::string() : file, true);
  }
  return Split(call, fs, diag, in, *layout).run();
}

}  // namespace kvn::convert
