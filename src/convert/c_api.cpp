// The only extern "C" definitions: no exception crosses into C.
#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>

#include "convert/entry.hpp"
#include "formats/byte_order.hpp"
#include "formats/byte_reader.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "korvane/korvane.h"
#include "shvgen/preview.hpp"

// The public names must mean what the entries return.
static_assert(KORVANE_FAILED == kvn::convert::kKorvaneFailed);
static_assert(KORVANE_FAILED == kvn::convert::kLumbrelCannotWrite);
static_assert(KORVANE_HUC_UNREADABLE == kvn::convert::kLumbrelCannotRead);
static_assert(KORVANE_OK == static_cast<int>(kvn::ErrorCode::kOk));

namespace {

using kvn::ErrorCode;
using kvn::formats::ByteReader;

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
  g_last.message = e.message();
  g_last.code = e.code;
}

void remember(int result, const kvn::convert::Diagnostics& diag) {
  g_last.message.clear();
  for (const auto& e : diag.errors) {
    if (!g_last.message.empty()) g_last.message += '\n';
    g_last.message += e.message();
  }
  // The first failure is the cause; later ones follow from it.
  if (result == KORVANE_OK)
    g_last.code = ErrorCode::kOk;
  else
    g_last.code = diag.errors.empty() ? ErrorCode::kInternal : diag.errors.front().code;
}

template <class F>
int guarded(F&& f, int on_exception) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    failed(kvn::make_error(ErrorCode::kOutOfMemory, {}));
  } catch (...) {
    failed(kvn::make_error(ErrorCode::kInternal, {}));
  }
  return on_exception;
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

}  // namespace

extern "C" {

int korvane(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileDhv,
            const unsigned char* pdhv, int32_t sdhv, int32_t lParamIn, void** lpParamOut) {
  return guarded(
      [&] {
        kvn::convert::Diagnostics diag;
        const kvn::convert::KorvaneCall call{pFileShv, pshv, sshv,     pFileDhv,
                                             pdhv,     sdhv, lParamIn, lpParamOut};
        const int r = kvn::convert::run_korvane(call, kvn::convert::real_file_system(), diag);
        remember(r, diag);
        return r;
      },
      KORVANE_FAILED);
}

int lumbrel(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileHuc,
            const unsigned char* phuc, int32_t shuc) {
  return guarded(
      [&] {
        kvn::convert::Diagnostics diag;
        const kvn::convert::LumbrelCall call{pFileShv, pshv, sshv, pFileHuc, phuc, shuc};
        const int r = kvn::convert::run_lumbrel(call, kvn::convert::real_file_system(), diag);
        remember(r, diag);
        return r;
      },
      KORVANE_FAILED);
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

unsigned char* GetShvStitchPos(unsigned char* pShvIn) {
  if (!pShvIn) return nullptr;
  namespace f = kvn::formats;
  // Exactly the bytes the header promises: the name length, then the
  // dimension block, whose first two bytes tell its form.
  const auto name_length = ByteReader(std::span<const std::uint8_t>(pShvIn, f::kShvNameAt), {})
                               .u8(f::kShvNameLengthAt, "the design's name length");
  const std::size_t dims_at = f::kShvNameAt + *name_length;
  const auto mark = ByteReader(std::span<const std::uint8_t>(pShvIn, dims_at + 2), {})
                        .take<2>(dims_at, "the dimension block");
  const bool long_form = (*mark)[0] == f::kLongDimensionMark && (*mark)[1] == f::kLongDimensionMark;
  const std::size_t block = long_form ? f::kLongDimensionSize : f::kShortDimensionSize;
  const ByteReader head(std::span<const std::uint8_t>(pShvIn, dims_at + block), {});
  const auto d = f::read_dimensions(head, dims_at);
  if (!d) return nullptr;  // cannot happen: the window holds the block
  return pShvIn + dims_at + block + static_cast<std::size_t>(d->bitmap_size());
}

int64_t korvane_shv_stitch_pos(const unsigned char* shv, size_t size) {
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
  return static_cast<int64_t>(*at);
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
