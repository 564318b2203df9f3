// Arbitrary bytes through the page's C interface, as a dropped file arrives:
// recognise, info, split, combine, convert and the pictures. The last byte
// picks the format to convert to and the design to draw. Every call leaves a
// failure with its plain-words message and code, a success with neither;
// kvw_clear forgets every output; what a combine of several designs or a
// conversion to SHV hands out is an SHV design, while a combine of one
// design hands out what the split does; a picture is exactly its RGBA pixels.
#include <array>
#include <climits>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "formats/file_kind.hpp"
#include "fuzz/fuzz_check.hpp"
#include "korvane/result.hpp"
#include "web/web_api.h"

namespace {

using kvn::formats::ContentKind;
using kvn::fuzz::Bytes;

constexpr std::array<const char*, 9> kFormats = {"shv", "dst", "exp",  "jef", "pes",
                                                 "svg", "csv", "json", "xyz"};
constexpr const char* kFile = "in.dhv";

// The common contract of every entry: a result code, and the error to go with it.
void check_outcome(int r, const char* entry) {
  const std::string error = kvw_error();
  if (r == 0) {
    KORVANE_FUZZ_CHECK(error.empty() && kvw_error_code() == 0,
                       std::string(entry) + " succeeded with an error: " + error);
  } else {
    KORVANE_FUZZ_CHECK(r == -1, std::string(entry) + " returned " + std::to_string(r));
    KORVANE_FUZZ_CHECK(!error.empty() && kvw_error_code() != 0,
                       std::string(entry) + " failed without saying why");
    // The message names the file, as the program's does, unless it is about
    // the format asked for.
    KORVANE_FUZZ_CHECK(kvw_error_code() == static_cast<int>(kvn::ErrorCode::kBadArgument) ||
                           error.find(kFile) != std::string::npos,
                       std::string(entry) + ": " + error);
  }
}

void check_outputs_named() {
  for (std::int32_t i = 0; i < kvw_result_count(); ++i) {
    KORVANE_FUZZ_CHECK(kvw_result_name(i)[0] != '\0', "an output without a name");
    KORVANE_FUZZ_CHECK(kvw_result_size(i) >= 0, "an output of negative size");
  }
}

void check_cleared() {
  kvw_clear();
  KORVANE_FUZZ_CHECK(kvw_result_count() == 0, "kvw_clear kept outputs");
  KORVANE_FUZZ_CHECK(kvw_error()[0] == '\0' && kvw_error_code() == 0, "kvw_clear kept the error");
  KORVANE_FUZZ_CHECK(kvw_picture_width() == 0 && kvw_picture_height() == 0,
                     "kvw_clear kept the picture size");
}

// The one output is an SHV design.
void check_shv_output(const char* entry) {
  KORVANE_FUZZ_CHECK(kvw_result_count() == 1, std::string(entry) + ": not one design");
  for (std::int32_t i = 0; i < kvw_result_count(); ++i)
    KORVANE_FUZZ_CHECK(kvw_recognise(kvw_result_data(i), kvw_result_size(i)) ==
                           static_cast<int>(ContentKind::kShvDesign),
                       std::string(entry) + ": " + kvw_result_name(i) + " is no SHV design");
}

void check_picture(int r) {
  check_outcome(r, "kvw_picture");
  if (r != 0) return;
  const std::uint64_t w = kvw_picture_width(), h = kvw_picture_height();
  KORVANE_FUZZ_CHECK(w >= 1 && h >= 1 && kvw_result_count() == 1, "an empty picture");
  KORVANE_FUZZ_CHECK(static_cast<std::uint64_t>(kvw_result_size(0)) == w * h * 4,
                     "the RGBA bytes do not fill the picture");
}

// What the page never passes and other callers of the module may: a null
// name, data or format, a size that disagrees with the data, a design or an
// output index out of any range. Each is refused in words, never a crash.
void check_misuse(const std::uint8_t* p, std::int32_t n, std::uint8_t mode) {
  const auto refused = [](int r, const char* entry) {
    KORVANE_FUZZ_CHECK(
        r == -1 && kvw_error_code() == static_cast<int>(kvn::ErrorCode::kBadArgument),
        std::string(entry) + " took a bad argument");
    KORVANE_FUZZ_CHECK(kvw_error()[0] != '\0', std::string(entry) + " refused without saying why");
    KORVANE_FUZZ_CHECK(kvw_result_count() == 0, std::string(entry) + " refused yet handed out");
    kvw_clear();
  };
  // A negative size is refused whatever the data; so is a positive one without data.
  const std::int32_t bad_size = (mode & 1) ? -1 - n : (n == 0 ? 1 : n);
  const std::uint8_t* bad_data = (mode & 1) ? p : nullptr;
  refused(kvw_info(nullptr, p, n), "kvw_info");
  refused(kvw_split(kFile, bad_data, bad_size), "kvw_split");
  refused(kvw_combine(nullptr, p, n), "kvw_combine");
  refused(kvw_convert(kFile, p, n, nullptr, mode & 2), "kvw_convert");
  refused(kvw_convert(nullptr, p, n, "dst", 0), "kvw_convert");
  refused(kvw_picture(nullptr, p, n, 0), "kvw_picture");
  // A design far out of range fails like any missing design, in words.
  const std::int32_t design = (mode & 4) ? INT32_MAX - (mode >> 4) : INT32_MIN + (mode >> 4);
  const int drawn = kvw_picture(kFile, p, n, design);
  KORVANE_FUZZ_CHECK(drawn == -1 && kvw_error()[0] != '\0', "a design out of range was drawn");
  kvw_clear();
  for (const std::int32_t i : {-1, INT32_MIN, INT32_MAX, static_cast<std::int32_t>(mode)}) {
    KORVANE_FUZZ_CHECK(kvw_result_name(i) == nullptr && kvw_result_data(i) == nullptr &&
                           kvw_result_size(i) == -1 && kvw_error()[0] != '\0',
                       "an output index with no output was answered");
    kvw_clear();
  }
  KORVANE_FUZZ_CHECK(kvw_kind_name(mode - 128) != nullptr, "a kind number without a name");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t mode = data[size - 1];
  // In a buffer of exactly its size, so that the sanitizer sees a read past its end.
  const Bytes body(data, data + size - 1);
  const auto* p = body.empty() ? nullptr : body.data();
  const auto n = static_cast<std::int32_t>(body.size());

  const int kind = kvw_recognise(p, n);
  KORVANE_FUZZ_CHECK(kvw_kind_name(kind) && kvw_kind_name(kind)[0], "a kind without a name");

  // Info always hands out its document, even for a file it cannot read.
  const int info = kvw_info(kFile, p, n);
  check_outcome(info, "kvw_info");
  KORVANE_FUZZ_CHECK(kvw_result_count() == 1 && kvw_result_size(0) > 0, "no info document");
  check_cleared();

  const bool container = kind == static_cast<int>(ContentKind::kDhvContainer);
  const int split = kvw_split(kFile, p, n);
  check_outcome(split, "kvw_split");
  check_outputs_named();
  KORVANE_FUZZ_CHECK(split != 0 || container, "split what is no container");
  // A split hands out the container's bytes as they are, which need not make
  // a design korvane recognises on its own; that is the program's split, not the page's.
  KORVANE_FUZZ_CHECK(split != 0 || kvw_result_count() >= 1, "a split without designs");
  Bytes only_design;
  const bool one_design = split == 0 && kvw_result_count() == 1;
  if (one_design) only_design.assign(kvw_result_data(0), kvw_result_data(0) + kvw_result_size(0));
  check_cleared();

  const int combine = kvw_combine(kFile, p, n);
  check_outcome(combine, "kvw_combine");
  check_outputs_named();
  KORVANE_FUZZ_CHECK(combine != 0 || container, "combined what is no container");
  if (combine == 0 && one_design) {
    // Nothing is combined: the one design goes out as the split gives it.
    KORVANE_FUZZ_CHECK(kvw_result_count() == 1 &&
                           Bytes(kvw_result_data(0), kvw_result_data(0) + kvw_result_size(0)) ==
                               only_design,
                       "kvw_combine: one design not handed out as the split hands it out");
  } else if (combine == 0) {
    check_shv_output("kvw_combine");
  }
  check_cleared();

  const char* to = kFormats[mode % kFormats.size()];
  const int convert = kvw_convert(kFile, p, n, to, (mode >> 3) & 1);
  check_outcome(convert, "kvw_convert");
  check_outputs_named();
  if (convert == 0 && std::strcmp(to, "shv") == 0 &&
      kind == static_cast<int>(ContentKind::kHucDesign))
    check_shv_output("kvw_convert to shv");
  check_cleared();

  check_picture(kvw_picture(kFile, p, n, static_cast<std::int32_t>(mode >> 4) - 1));
  check_cleared();

  check_misuse(p, n, mode);
  check_cleared();
  return 0;
}
