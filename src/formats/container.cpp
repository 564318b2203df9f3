#include "formats/container.hpp"

#include <algorithm>
#include <string>

#include "formats/shv_design.hpp"

namespace kvn::formats {

Result<ContainerLayout> read_container(const ByteReader& in) {
  ContainerLayout out;
  // A file that came out of a failed download or copy holds nothing at all;
  // "byte 86" would only puzzle its owner.
  if (in.size() == 0) return in.error_at(0, ErrorCode::kTruncated, "it is empty");
  KORVANE_TRY(n, in.u8(kNameLengthAt, "the container's name length"));
  const std::size_t name_end = kNameAt + n;
  KORVANE_TRY(name, in.span_at(kNameAt, n, "the container's name"));
  out.name = name;
  KORVANE_TRY(count, in.u32(name_end + kDesignCountAfterName, "the design count"));
  if (count == 0)
    return in.error_at(name_end + kDesignCountAfterName, ErrorCode::kNoDesigns,
                       "the design count is 0");
  const std::size_t table = name_end + kTableAfterName;
  const std::uint64_t table_end = table + std::uint64_t{count} * 4;
  if (table_end > in.size())
    return in.error_at(table, ErrorCode::kTableBeyondEnd,
                       "a table of " + std::to_string(count) + " designs ends at byte " +
                           std::to_string(table_end) + ", beyond the end of the file (" +
                           std::to_string(in.size()) + " bytes)");
  out.designs.reserve(count);
  for (std::uint32_t i = 0; i < count; ++i) {
    KORVANE_TRY(at, in.u32(table + 4 * std::size_t{i}, "a design offset"));
    const std::string which = "design " + std::to_string(i + 1);
    if (i == 0 && at < table_end)
      return in.error_at(table, ErrorCode::kDesignInsideHead,
                         which + " begins at byte " + std::to_string(at) +
                             ", inside the container's head and table (" +
                             std::to_string(table_end) + " bytes)");
    if (std::uint64_t{at} + kPlacementPrefixSize > in.size())
      return in.error_at(table + 4 * std::size_t{i}, ErrorCode::kDesignBeyondEnd,
                         which + " begins at byte " + std::to_string(at) +
                             ", beyond the end of the file (" + std::to_string(in.size()) +
                             " bytes)");
    if (i > 0) {
      auto& prev = out.designs.back();
      if (prev.begin > at)
        return in.error_at(table + 4 * std::size_t{i}, ErrorCode::kOffsetsNotRising,
                           which + " begins at byte " + std::to_string(at) +
                               ", before the end of the placement of design " + std::to_string(i) +
                               " (byte " + std::to_string(prev.begin) + ")");
      prev.length = at - prev.begin;
    }
    KORVANE_TRY(x, in.s16(at + kXoffsetInPrefix, "a design's placement"));
    KORVANE_TRY(y, in.s16(at + kYoffsetInPrefix, "a design's placement"));
    const std::size_t begin = std::size_t{at} + kPlacementPrefixSize;
    out.designs.push_back({at, begin, in.size() - begin, x, y});
  }
  return out;
}

Status check_designs_whole(const ByteReader& in, const ContainerLayout& layout) {
  for (std::size_t i = 0; i < layout.designs.size(); ++i) {
    const auto& d = layout.designs[i];
    KORVANE_TRY(shv, in.window(d.begin, d.length, "a design"));
    if (auto design = read_shv_design(shv); !design) {
      Error e = design.error();
      e.detail = "design " + std::to_string(i + 1) + ": " + e.detail;
      return e;
    }
  }
  return Ok{};
}

}  // namespace kvn::formats
