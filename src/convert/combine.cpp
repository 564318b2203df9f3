#include "convert/combine.hpp"

namespace kvn::convert {

Result<std::vector<std::uint8_t>> build_combined_huc(const formats::ByteReader& in,
                                                     const formats::ContainerLayout&) {
  return make_error(ErrorCode::kBadUsage, in.file(), "combining is not built yet");
}

}  // namespace kvn::convert
