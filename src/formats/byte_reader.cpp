#include "formats/byte_reader.hpp"
#include "formats/error.hpp"

namespace kvn::formats {

Error ByteReader::truncated(std::size_t off, std::size_t len, std::string_view what) const {
  std::string detail(what);
  detail += " needs " + std::to_string(len) + (len == 1 ? " byte at byte " : " bytes at byte ") + std::to_string(base_ + off) +
            ", but only " + bytes_there(off <= bytes_.size() ? bytes_.size() - off : 0);
  return make_error(ErrorCode::kTruncated, file_, std::move(detail), base_ + off);
}

}  // namespace kvn::formats
