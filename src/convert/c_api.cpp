// The only extern "C" definitions, and the one place where a conversion's
// result becomes the C functions' number and last error: no exception
// crosses into C.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "convert/c_shim.hpp"
#include "convert/entry.hpp"
#include "convert/output_plan.hpp"
#include "formats/byte_order.hpp"
#include "formats/byte_reader.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "korvane/korvane.h"
#include "korvane/korvane.hpp"
#include "shvgen/preview.hpp"

static_assert(KORVANE_OK == static_cast<int>(kvn::ErrorCode::kOk));

namespace {

using kvn::ErrorCode;
using kvn::formats::ByteReader;

constexpr const char* kMemory = "(memory)";

// Per thread, so that concurrent callers each see their own last failure.
struct LastFailure {
  std::string message;
  ErrorCode code = ErrorCode::kOk;
};
thread_local LastFailure g_last;

void succeeded() {
  g_last.message.clear();
  g_last.code = ErrorCode::kOk;
}

void failed(const kvn::Error& e) {
  g_last.code = e.code;
  g_last.message = e.message();
}

// What an exception leaves: the code always, the words when memory allows.
void failed_by_exception(ErrorCode code) noexcept {
  g_last.code = code;
  try {
    g_last.message = kvn::make_error(code, {}).message();
  } catch (...) {
    g_last.message.clear();
  }
}

// Every extern "C" function that can allocate runs inside this: no
// exception crosses into C.
template <class R, class F>
R guarded(F&& f, R on_exception) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    failed_by_exception(ErrorCode::kOutOfMemory);
  } catch (...) {
    failed_by_exception(ErrorCode::kInternal);
  }
  return on_exception;
}

int fail(kvn::Conversion what, const kvn::Error& e) {
  failed(e);
  return kvn::c_result(what, e);
}

// The records of one colour block of `n` words at `p`, for callers that give
// no length: each record's first two bytes tell its size, so the walk reads
// only what the block itself covers. The counting follows decode_block.
std::size_t trusted_block_extent(const unsigned char* p, std::int32_t n) {
  const auto record = [p](std::size_t at, std::int32_t& words) {
    const std::span<const std::uint8_t, 2> head(p + at, 2);
    const bool long_move =
        head[0] == kvn::formats::kEscape && head[1] == kvn::formats::kLongMoveMark;
    words = long_move ? kvn::formats::kLongMoveWords : 1;
    return long_move ? kvn::formats::kLongMoveBytes : std::size_t{2};
  };
  std::int32_t words = 0;
  std::size_t at = record(0, words);
  const std::int64_t left = std::int64_t{n} - words;
  for (std::int64_t j = 0; j < left; j += words) at += record(at, words);
  return at;
}

int get_xy(const unsigned char* phucst, std::size_t size, std::int32_t n, std::int16_t* xx,
           std::int16_t* yy) {
  if (!xx || !yy || (!phucst && size != 0)) {
    failed(kvn::make_error(ErrorCode::kBadArgument, {}, "a null pointer"));
    return KORVANE_FAILED;
  }
  const ByteReader stream(std::span<const std::uint8_t>(phucst, size), {});
  std::int16_t x = *xx;
  std::int16_t y = *yy;
  const auto end = kvn::formats::decode_block(stream.bytes(), 0, n, [&](const auto& r) {
    x = kvn::formats::wrap16(std::int32_t{x} + r.dx);
    y = kvn::formats::wrap16(std::int32_t{y} + r.dy);
  });
  if (end.truncated) {
    failed(stream.error_at(end.offset, ErrorCode::kTruncated,
                           "a colour block of " + std::to_string(n) +
                               " words runs past the end of the stream (" + std::to_string(size) +
                               " bytes)"));
    return KORVANE_FAILED;
  }
  *xx = x;
  *yy = y;
  succeeded();
  return KORVANE_OK;
}

unsigned char* trusted_stitch_pos(unsigned char* pShvIn) {
  namespace f = kvn::formats;
  // The caller promises a whole design, which holds its header record after
  // the dimension block and the preview: the window up to a long block after
  // the name lies inside it, and the walk reads only what the header promises.
  const auto name_length = ByteReader(std::span<const std::uint8_t>(pShvIn, f::kShvNameAt), {})
                               .u8(f::kShvNameLengthAt, "the design's name length");
  static_assert(f::kShvHdrSize >= f::kLongDimensionSize - f::kShortDimensionSize);
  const ByteReader head(
      std::span<const std::uint8_t>(pShvIn, f::kShvNameAt + *name_length + f::kLongDimensionSize),
      {});
  const auto p = f::walk_shv_prelude(
      head, [](f::ShvSection, std::uint64_t, std::uint64_t, const f::ShvPrelude&) -> kvn::Status {
        return kvn::Ok{};
      });
  if (!p) return nullptr;  // cannot happen: the window holds the block
  return pShvIn + p->header_at;
}

std::int64_t checked_stitch_pos(const unsigned char* shv, std::size_t size) {
  if (!shv && size != 0) {
    failed(kvn::make_error(ErrorCode::kBadArgument, {}, "a null pointer"));
    return -1;
  }
  const auto at =
      kvn::formats::GetShvStitchPos(ByteReader(std::span<const std::uint8_t>(shv, size), {}));
  if (!at) {
    failed(at.error());
    return -1;
  }
  succeeded();
  return static_cast<std::int64_t>(*at);
}

}  // namespace

namespace kvn {

int c_result(Conversion what, const Error& e) {
  const bool unreadable_huc = e.code == ErrorCode::kHucTooShort ||
                              e.code == ErrorCode::kCannotOpen || e.code == ErrorCode::kCannotRead;
  return what == Conversion::kHuc && unreadable_huc ? KORVANE_HUC_UNREADABLE : KORVANE_FAILED;
}

namespace convert {

int korvane_on(FileSystem& fs, const char* pFileShv, std::uint8_t** pshv, std::int32_t* sshv,
               const char* pFileDhv, const std::uint8_t* pdhv, std::int32_t sdhv,
               std::int32_t lParamIn, void** lpParamOut) noexcept {
  return guarded(
      [&] {
        const bool combining = (lParamIn & KORVANE_COMBINE) != 0;
        const Conversion what = combining ? Conversion::kCombine : Conversion::kSplit;
        const std::string file = pFileDhv ? pFileDhv : kMemory;
        if (pFileShv && !*pFileShv)
          return fail(what, make_error(ErrorCode::kEmptyOutputName, file, "pFileShv is \"\""));
        Source in{pFileDhv, std::nullopt};
        if (pdhv) {
          if (sdhv < 0)
            return fail(what, make_error(ErrorCode::kCannotRead, file,
                                         "negative container size " + std::to_string(sdhv)));
          in.bytes = std::span<const std::uint8_t>(pdhv, static_cast<std::size_t>(sdhv));
        }
        const Targets to{pFileShv, pshv != nullptr, lpParamOut != nullptr};
        auto r = run_alone(fs, [&](OutputWriter& out) {
          return combining ? combine(in, to, out) : split(in, to, out);
        });
        if (!r) return fail(what, *r.error);
        if (r.memory.is_list()) {
          *lpParamOut = r.memory.release_list();
          *pshv = nullptr;
          if (sshv) *sshv = 0;
        } else if (r.memory.size() == 1) {
          if (sshv) *sshv = static_cast<std::int32_t>(r.memory.block(0).size());
          *pshv = r.memory.release_block();
        }
        succeeded();
        return KORVANE_OK;
      },
      KORVANE_FAILED);
}

int lumbrel_on(FileSystem& fs, const char* pFileShv, std::uint8_t** pshv, std::int32_t* sshv,
               const char* pFileHuc, const std::uint8_t* phuc, std::int32_t shuc) noexcept {
  return guarded(
      [&] {
        if (pFileShv && !*pFileShv)
          return fail(Conversion::kHuc,
                      make_error(ErrorCode::kEmptyOutputName, pFileHuc ? pFileHuc : kMemory,
                                 "pFileShv is \"\""));
        // Every fault of the HUC input itself, whatever its code, means the
        // HUC design cannot be read.
        Source in{pFileHuc, std::nullopt};
        if (phuc) {
          if (shuc < 0) {
            failed(make_error(ErrorCode::kCannotRead, kMemory,
                              "negative HUC design size " + std::to_string(shuc)));
            return KORVANE_HUC_UNREADABLE;
          }
          in.bytes = std::span<const std::uint8_t>(phuc, static_cast<std::size_t>(shuc));
        }
        auto huc = read_huc_input(in, fs);
        if (!huc) {
          failed(huc.error());
          return KORVANE_HUC_UNREADABLE;
        }
        const Targets to{pFileShv, pshv != nullptr, false};
        auto r = run_alone(
            fs, [&](OutputWriter& out) { return shv_from_huc(std::move(*huc), to, out); });
        if (!r) return fail(Conversion::kHuc, *r.error);
        if (pshv) {
          if (sshv) *sshv = static_cast<std::int32_t>(r.memory.block(0).size());
          *pshv = r.memory.release_block();
        }
        succeeded();
        return KORVANE_OK;
      },
      KORVANE_FAILED);
}

}  // namespace convert
}  // namespace kvn

extern "C" {

int korvane(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileDhv,
            const unsigned char* pdhv, int32_t sdhv, int32_t lParamIn, void** lpParamOut) {
  return kvn::convert::korvane_on(kvn::convert::real_file_system(), pFileShv, pshv, sshv, pFileDhv,
                                  pdhv, sdhv, lParamIn, lpParamOut);
}

int lumbrel(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileHuc,
            const unsigned char* phuc, int32_t shuc) {
  return kvn::convert::lumbrel_on(kvn::convert::real_file_system(), pFileShv, pshv, sshv, pFileHuc,
                                  phuc, shuc);
}

void korvane_free_design_list(void* list) {
  auto* l = static_cast<pbcb_list_t*>(list);
  if (!l) return;
  for (std::uint32_t i = 0; i < l->count; ++i) std::free(l->entry[i].pb);
  std::free(l);
}

const char* korvane_last_error(void) { return g_last.message.c_str(); }

int korvane_last_error_code(void) { return static_cast<int>(g_last.code); }

const char* korvane_strerror(int code) { return kvn::describe(static_cast<ErrorCode>(code)); }

unsigned korvane_version_number(void) { return KORVANE_VERSION_NUMBER; }

const char* korvane_version_string(void) { return KORVANE_VERSION_STRING; }

int16_t GetShort(const unsigned char* pBytes) {
  return kvn::formats::GetShort(std::span<const std::uint8_t, 2>(pBytes, 2));
}

uint32_t GetLong(const unsigned char* pBytes) {
  return kvn::formats::GetLong(std::span<const std::uint8_t, 4>(pBytes, 4));
}

int32_t PutShort(unsigned char* pBytes, int32_t offset, int32_t value) {
  kvn::formats::PutShort(std::span<std::uint8_t>(pBytes + offset, 2), 0, value);
  return offset + 2;
}

uint16_t ReverseShort(uint16_t us) { return kvn::formats::ReverseShort(us); }

void GetXY(const unsigned char* phucst, int32_t n, int16_t* xx, int16_t* yy) {
  const std::size_t extent = trusted_block_extent(phucst, n);
  kvn::formats::GetXY(std::span<const std::uint8_t>(phucst, extent), n, xx, yy);
}

int korvane_get_xy(const unsigned char* phucst, size_t size, int32_t n, int16_t* xx, int16_t* yy) {
  return guarded([&] { return get_xy(phucst, size, n, xx, yy); }, KORVANE_FAILED);
}

unsigned char* GetShvStitchPos(unsigned char* pShvIn) {
  if (!pShvIn) return nullptr;
  return guarded([&] { return trusted_stitch_pos(pShvIn); }, static_cast<unsigned char*>(nullptr));
}

int64_t korvane_shv_stitch_pos(const unsigned char* shv, size_t size) {
  return guarded([&] { return checked_stitch_pos(shv, size); }, std::int64_t{-1});
}

int32_t MakeShvBmp(unsigned char* pshvout, const unsigned char* phuc, int32_t shuc, int32_t pixels,
                   int32_t scanlines) {
  if (!pshvout || !phuc || pixels <= 0 || scanlines <= 0) return 0;
  const std::uint64_t area = static_cast<std::uint64_t>(pixels) *
                             kvn::formats::preview_row_size(static_cast<std::uint64_t>(scanlines));
  if (area > SIZE_MAX) return 0;
  return guarded(
      [&] {
        kvn::shvgen::MakeShvBmp(
            std::span<std::uint8_t>(pshvout, static_cast<std::size_t>(area)),
            std::span<const std::uint8_t>(phuc, shuc > 0 ? static_cast<std::size_t>(shuc) : 0),
            pixels, scanlines);
        return 0;
      },
      0);
}

}  // extern "C"
