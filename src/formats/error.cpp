#include "formats/error.hpp"

#include <cinttypes>
#include <cstdio>

namespace kvn {

const char* describe(ErrorCode code) {
  switch (code) {
    case ErrorCode::kOk:
      return "no error";
    case ErrorCode::kCannotOpen:
      return "cannot open the file";
    case ErrorCode::kCannotRead:
      return "cannot read the file";
    case ErrorCode::kCannotWrite:
      return "cannot write the file";
    case ErrorCode::kTruncated:
      return "the file ends too early";
    case ErrorCode::kTableBeyondEnd:
      return "the design table reaches beyond the end of the file";
    case ErrorCode::kNoDesigns:
      return "the container holds no designs";
    case ErrorCode::kDesignInsideHead:
      return "a design begins inside the container's head";
    case ErrorCode::kDesignBeyondEnd:
      return "a design begins beyond the end of the file";
    case ErrorCode::kOffsetsNotRising:
      return "the designs are not stored one after another";
    case ErrorCode::kWouldOverwriteInput:
      return "refusing to overwrite the input file";
    case ErrorCode::kNoInputName:
      return "no file name to name the output after";
    case ErrorCode::kHucTooShort:
      return "the HUC design is shorter than its header and colour table";
    case ErrorCode::kTooManyColours:
      return "too many colours for one design";
    case ErrorCode::kTooManyWords:
      return "too many stitch words for one design";
    case ErrorCode::kCoordinateOutOfRange:
      return "a position lies outside the range a design can store";
    case ErrorCode::kDesignTruncated:
      return "a design is cut short";
    case ErrorCode::kNoColours:
      return "a design has no colours";
    case ErrorCode::kOutOfMemory:
      return "not enough memory";
    case ErrorCode::kNotRecognised:
      return "not a file korvane knows";
    case ErrorCode::kCannotEncode:
      return "cannot encode the picture";
    case ErrorCode::kBadSignature:
      return "the file does not carry the marks of its kind";
    case ErrorCode::kDuplicateOutput:
      return "two outputs of this run would have the same name";
    case ErrorCode::kNotRegularFile:
      return "not a regular file";
    case ErrorCode::kEmptyOutputName:
      return "the output name is empty";
    case ErrorCode::kWrongKind:
      return "the wrong kind of file";
    case ErrorCode::kBadArgument:
      return "a bad argument";
    case ErrorCode::kInternal:
      return "an internal error";
    case ErrorCode::kMalformedDesign:
      return "the design's data is damaged";
    case ErrorCode::kUnsupportedForm:
      return "this form of the format is not supported";
    case ErrorCode::kLargerThanHoops:
      return "the design is larger than every hoop";
  }
  return "unknown error";
}

namespace {

// A reader's refusal names what the file is and what is wrong with it in one
// phrase; other failures (opening, writing, arguments) keep their own words.
std::string with_kind(ErrorCode code, const std::string& kind) {
  if (kind.empty()) return describe(code);
  switch (code) {
    case ErrorCode::kTruncated:
    case ErrorCode::kDesignTruncated:
      return kind + ", cut short";
    case ErrorCode::kMalformedDesign:
      return kind + ", damaged";
    case ErrorCode::kCoordinateOutOfRange:
    case ErrorCode::kTooManyColours:
    case ErrorCode::kTooManyWords:
    case ErrorCode::kNoColours:
    case ErrorCode::kUnsupportedForm:
      return kind + ": " + describe(code);
    default:
      return describe(code);
  }
}

}  // namespace

std::string Error::message() const {
  std::string out = file.empty() ? std::string("(memory)") : file;
  // A file of another kind is told in one sentence of its own, which names the
  // kind found and the kind wanted; the fixed phrase would only repeat it.
  if ((code == ErrorCode::kWrongKind || code == ErrorCode::kNotRecognised) && !detail.empty())
    return out + ": " + detail;
  if (offset) {
    char buf[64];
    std::snprintf(buf, sizeof buf, ": byte %" PRIu64 " (0x%" PRIX64 ")", *offset, *offset);
    out += buf;
  }
  out += ": ";
  out += with_kind(code, kind);
  if (!detail.empty()) {
    out += ": ";
    out += detail;
  }
  return out;
}

Error make_error(ErrorCode code, std::string file, std::string detail,
                 std::optional<std::uint64_t> offset) {
  return Error{code, std::move(file), offset, std::move(detail), {}};
}

}  // namespace kvn
