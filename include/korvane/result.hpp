// korvane's one result shape: a value or an Error with a stable code and a
// plain-words message. The library, its C++ interface and the front ends share it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace kvn {

// Stable numbers: append new codes, never renumber or reuse one.
enum class ErrorCode : int {
  kOk = 0,
  kCannotOpen = 1,
  kCannotRead = 2,
  kCannotWrite = 3,
  kTruncated = 4,
  kTableBeyondEnd = 5,
  kNoDesigns = 6,
  kDesignInsideHead = 7,
  kDesignBeyondEnd = 8,
  kOffsetsNotRising = 9,
  kWouldOverwriteInput = 10,
  kNoInputName = 11,
  kHucTooShort = 12,
  kTooManyColours = 13,
  kTooManyWords = 14,
  kCoordinateOutOfRange = 15,
  kDesignTruncated = 16,
  kNoColours = 17,
  kOutOfMemory = 18,
  // 19 is retired: never reuse it.
  kNotRecognised = 20,
  kCannotEncode = 21,
  kBadSignature = 22,
  kDuplicateOutput = 23,
  kNotRegularFile = 24,
  kEmptyOutputName = 25,
  kWrongKind = 26,
  kBadArgument = 27,
  kInternal = 28,
  kMalformedDesign = 29,
  kUnsupportedForm = 30,
  kLargerThanHoops = 31,
};

/// The fixed phrase of a code, written once.
const char* describe(ErrorCode code);

struct Error {
  ErrorCode code = ErrorCode::kOk;
  std::string file;                     // as the user named it
  std::optional<std::uint64_t> offset;  // byte offset in that file, when one applies
  std::string detail;                   // the values that disagree
  // What the file was taken for, when its reader refused it ("a SEW design"):
  // a damaged file is then told as the kind it is, not as an unknown one.
  std::string kind;

  /// "garden.dhv: byte 5120 (0x1400): <phrase>: <detail>"; with a kind,
  /// "star.sew: byte 8000 (0x1F40): a SEW design, cut short: <detail>"
  std::string message() const;
};

Error make_error(ErrorCode code, std::string file, std::string detail = {},
                 std::optional<std::uint64_t> offset = std::nullopt);

struct Ok {};

/// A value or the Error that prevented it; shaped like std::expected.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}      // NOLINT: implicit by design
  Result(Error error) : v_(std::move(error)) {}  // NOLINT

  bool has_value() const { return v_.index() == 0; }
  explicit operator bool() const { return has_value(); }
  T& value() { return std::get<0>(v_); }
  const T& value() const { return std::get<0>(v_); }
  T& operator*() { return value(); }
  const T& operator*() const { return value(); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const Error& error() const { return std::get<1>(v_); }

 private:
  std::variant<T, Error> v_;
};

using Status = Result<Ok>;

}  // namespace kvn
