#include "formats/pattern_read.hpp"

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/shv_pattern.hpp"

namespace kvn::formats {

namespace {

Error not_yet(const ByteReader& in, ContentKind kind) {
  return make_error(ErrorCode::kUnsupportedForm, in.file(),
                    std::string("korvane cannot read a ") + kind_name(kind) + " yet");
}

}  // namespace

Result<Pattern> read_pattern(const ByteReader& in, ContentKind kind) {
  switch (kind) {
    case ContentKind::kShvDesign:
      return read_shv(in);
    case ContentKind::kHucDesign:
      return read_huc(in);
    case ContentKind::kDst:
      return read_dst(in);
    case ContentKind::kExp:
      return read_exp(in);
    case ContentKind::kJef:
      return not_yet(in, kind);
    case ContentKind::kPes:
      return not_yet(in, kind);
    case ContentKind::kPec:
      return not_yet(in, kind);
    case ContentKind::kVp3:
      return not_yet(in, kind);
    case ContentKind::kHus:
      return not_yet(in, kind);
    case ContentKind::kVip:
      return not_yet(in, kind);
    case ContentKind::kXxx:
      return not_yet(in, kind);
    case ContentKind::kSew:
      return not_yet(in, kind);
    case ContentKind::kDhvContainer:
    case ContentKind::kVp4:
    case ContentKind::kPng:
    case ContentKind::kUnknown:
      break;
  }
  return make_error(ErrorCode::kWrongKind, in.file(),
                    std::string("this is a ") + kind_name(kind) + ", not a single design");
}

}  // namespace kvn::formats
