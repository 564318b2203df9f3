#include "formats/pattern_read.hpp"

#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/hus.hpp"
#include "formats/jef.hpp"
#include "formats/pes.hpp"
#include "formats/sew.hpp"
#include "formats/shv_pattern.hpp"
#include "formats/vp3.hpp"
#include "formats/xxx.hpp"

namespace kvn::formats {

namespace {

// No open description of the format is known: it stays unread rather than guessed at.
Error unread(const ByteReader& in, ContentKind kind) {
  return make_error(ErrorCode::kUnsupportedForm, in.file(),
                    std::string("korvane cannot read a ") + kind_name(kind) +
                        "; save it in another format with embroidery software first");
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
      return read_jef(in);
    case ContentKind::kPes:
      return read_pes(in);
    case ContentKind::kPec:
      return read_pec(in);
    case ContentKind::kVp3:
      return read_vp3(in);
    case ContentKind::kHus:
      return read_hus(in);
    case ContentKind::kVip:
      return read_vip(in);
    case ContentKind::kXxx:
      return read_xxx(in);
    case ContentKind::kSew:
      return read_sew(in);
    case ContentKind::kVp4:
      return unread(in, kind);
    case ContentKind::kDhvContainer:
    case ContentKind::kPng:
    case ContentKind::kUnknown:
      break;
  }
  return make_error(ErrorCode::kWrongKind, in.file(),
                    std::string("this is a ") + kind_name(kind) + ", not a single design");
}

}  // namespace kvn::formats
