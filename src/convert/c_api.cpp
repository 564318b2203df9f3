// The only extern "C" definitions: no exception crosses into C.
#include <cstdint>
#include <algorithm>
#include <limits>
#include <new>
#include <string>

#include "convert/entry.hpp"
#include "formats/byte_order.hpp"
#include "formats/shv_layout.hpp"
#include "formats/stitch.hpp"
#include "shvgen/preview.hpp"
#include "korvane/korvane.h"
#include "korvane/korvane.hpp"

namespace {

thread_local std::string g_last_error;

void remember(const kvn::convert::Diagnostics& diag) {
  g_last_error.clear();
  for (const auto& e : diag.errors) {
    if (!g_last_error.empty()) g_last_error += '\n';
    g_last_error += e.message();
  }
}

template <class F>
int guarded(F&& f, int on_exception) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    g_last_error = "not enough memory";
  } catch (...) {
    g_last_error = "internal error";
  }
  return on_exception;
}

}  // namespace

extern "C" {

int korvane(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileDhv,
            const unsigned char* pdhv, int32_t sdhv, int32_t lParamIn, void** lpParamOut) {
  return guarded(
      [&] {
        kvn::convert::Diagnostics diag;
        const kvn::convert::KorvaneCall call{pFileShv, pshv, sshv, pFileDhv,
                                             pdhv,     sdhv, lParamIn, lpParamOut};
        const int r = kvn::convert::run_korvane(call, kvn::convert::real_file_system(), diag);
        remember(diag);
        return r;
      },
      kvn::convert::kKorvaneFailed);
}

int lumbrel(const char* pFileShv, unsigned char** pshv, int32_t* sshv, const char* pFileHuc,
            const unsigned char* phuc, int32_t shuc) {
  return guarded(
      [&] {
        kvn::convert::Diagnostics diag;
        const kvn::convert::LumbrelCall call{pFileShv, pshv, sshv, pFileHuc, phuc, shuc};
        const int r = kvn::convert::run_lumbrel(call, kvn::convert::real_file_system(), diag);
        remember(diag);
        return r;
      },
      kvn::convert::kLumbrelCannotWrite);
}

const char* korvane_last_error(void) { return g_last_error.c_str(); }

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
  // The block's own count bounds the walk; the first record is read whole even when n < 1.
  const std::uint64_t words = n > 1 ? static_cast<std::uint64_t>(n) : 1;
  const std::size_t span = static_cast<std::size_t>(
      std::min<std::uint64_t>(2 * words + 6, std::numeric_limits<std::size_t>::max() / 2));
  kvn::formats::GetXY(std::span<const std::uint8_t>(phucst, span), n, xx, yy);
}

unsigned char* GetShvStitchPos(unsigned char* pShvIn) {
  if (!pShvIn) return nullptr;
  // No length comes with the image: bound the reader by the most that a name
  // and a long dimension block (65,535 rows of 65,535 pixels) can describe.
  constexpr std::size_t kMostBeforeHeader =
      kvn::formats::kShvNameAt + 255 + kvn::formats::kLongDimensionSize + 65535u * 32768u;
  const kvn::formats::ByteReader shv(std::span<const std::uint8_t>(pShvIn, kMostBeforeHeader), "");
  const auto at = kvn::formats::GetShvStitchPos(shv);
  return at ? pShvIn + *at : nullptr;
}

int32_t MakeShvBmp(unsigned char* pshvout, const unsigned char* phuc, int32_t shuc,
                   int32_t pixels, int32_t scanlines) {
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

namespace kvn {

namespace {
Report to_report(int result, const convert::Diagnostics& diag) {
  Report r;
  r.result = result;
  r.written = diag.written;
  for (const auto& e : diag.errors) r.messages.push_back(e.message());
  return r;
}
}  // namespace

Report convert_container(const std::string& dhv_path, bool combine, const std::string* shv_path) {
  convert::Diagnostics diag;
  convert::KorvaneCall call;
  call.pFileShv = shv_path ? shv_path->c_str() : nullptr;
  call.pFileDhv = dhv_path.c_str();
  call.lParamIn = combine ? KORVANE_COMBINE : 0;
  int r = 0;
  try {
    r = convert::run_korvane(call, convert::real_file_system(), diag);
  } catch (const std::bad_alloc&) {
    diag.errors.push_back(make_error(ErrorCode::kOutOfMemory, dhv_path));
    r = convert::kKorvaneFailed;
  }
  return to_report(r, diag);
}

Report convert_huc(const std::string& huc_path, const std::string* shv_path) {
  convert::Diagnostics diag;
  convert::LumbrelCall call;
  call.pFileShv = shv_path ? shv_path->c_str() : nullptr;
  call.pFileHuc = huc_path.c_str();
  int r = 0;
  try {
    r = convert::run_lumbrel(call, convert::real_file_system(), diag);
  } catch (const std::bad_alloc&) {
    diag.errors.push_back(make_error(ErrorCode::kOutOfMemory, huc_path));
    r = convert::kLumbrelCannotWrite;
  }
  return to_report(r, diag);
}

}  // namespace kvn
