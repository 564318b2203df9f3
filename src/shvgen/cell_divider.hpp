#pragma once

#include <cstdint>

namespace kvn::shvgen {

// Truncating division by one positive factor, for the millions of positions
// a drawing divides: by a multiply and a shift for 0 <= v < 2^31 (the
// method of Granlund and Montgomery, exact there with a 32-bit multiplier
// and a shift of 31 + ceil(log2 factor)), by a plain division otherwise.
class CellDivider {
 public:
  explicit CellDivider(std::int64_t factor) : factor_(factor) {
    if (factor < 1 || factor >= kFastLimit) return;
    unsigned l = 0;
    while ((std::int64_t{1} << l) < factor) ++l;
    shift_ = 31 + l;
    const auto f = static_cast<std::uint64_t>(factor);
    multiplier_ = ((std::uint64_t{1} << shift_) + f - 1) / f;
    fast_below_ = kFastLimit;
  }
  std::int64_t operator()(std::int64_t v) const {
    if (static_cast<std::uint64_t>(v) < fast_below_) [[likely]]
      return static_cast<std::int64_t>((static_cast<std::uint64_t>(v) * multiplier_) >> shift_);
    return v / factor_;
  }

 private:
  static constexpr std::int64_t kFastLimit = std::int64_t{1} << 31;
  std::int64_t factor_;
  std::uint64_t multiplier_ = 0;
  unsigned shift_ = 0;
  // One compare for both conditions of the fast path: kFastLimit with a multiplier, else 0.
  std::uint64_t fast_below_ = 0;
};

}  // namespace kvn::shvgen
