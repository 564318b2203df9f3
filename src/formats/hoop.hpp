#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace kvn::formats {

/// One hoop class of shvhdr_t::Hoop: the largest design it takes (width along
/// x, height along y, tenths of a millimetre) and the code written for it.
/// `takes_option` marks the classes whose code a HUC hoop option replaces.
struct HoopClassLimits {
  std::int32_t width;
  std::int32_t height;
  std::uint8_t code;
  bool takes_option;
};

/// The classes smallest first; a design belongs to the first that holds it.
inline constexpr HoopClassLimits kHoopClasses[] = {
    {1000, 1000, 0x30, false},  // 100 x 100 mm
    {1000, 1700, 0x10, false},  // 100 x 170 mm
    {1500, 1500, 0x50, true},   // 150 x 150 mm
    {1500, 2400, 0x90, true},   // 150 x 240 mm
    {1500, 3600, 0xB7, false},  // 150 x 360 mm
};
inline constexpr std::size_t kHoopClassCount = std::size(kHoopClasses);
/// The code of a design no class holds.
inline constexpr std::uint8_t kHoopLargerCode = 0x00;

/// Index into kHoopClasses of the class a `width` x `height` design calls
/// for, or kHoopClassCount when none holds it. Designs are never turned to fit.
constexpr std::size_t hoop_class_index(std::int32_t width, std::int32_t height) {
  std::size_t i = 0;
  while (i < kHoopClassCount &&
         !(width <= kHoopClasses[i].width && height <= kHoopClasses[i].height))
    ++i;
  return i;
}

/// A hoop a format's machines take: the largest design it holds, in tenths
/// of a millimetre, width along x and height along y as the design lies.
struct HoopSize {
  std::int32_t width;
  std::int32_t height;
};

/// The SHV classes as hoops, smallest first.
inline constexpr HoopSize kShvHoops[] = {
    {kHoopClasses[0].width, kHoopClasses[0].height}, {kHoopClasses[1].width, kHoopClasses[1].height},
    {kHoopClasses[2].width, kHoopClasses[2].height}, {kHoopClasses[3].width, kHoopClasses[3].height},
    {kHoopClasses[4].width, kHoopClasses[4].height},
};
static_assert(std::size(kShvHoops) == kHoopClassCount);

/// The hoops a JEF header names, smallest first: the JEF writer picks among them.
inline constexpr HoopSize kJanomeHoops[] = {
    {500, 500}, {1100, 1100}, {1260, 1100}, {1400, 2000}, {2000, 2000},
};

/// The hoops of the machines that read PES and PEC, smallest first: the two a
/// PES header names (100 x 100 and 130 x 180 mm) and the larger frames of
/// the same machines, up to 240 x 360 mm.
inline constexpr HoopSize kBrotherHoops[] = {
    {1000, 1000}, {1300, 1800}, {1600, 2600}, {2000, 3000}, {2400, 3600},
};

}  // namespace kvn::formats
