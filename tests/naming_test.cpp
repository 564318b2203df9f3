#include <gtest/gtest.h>

#include "convert/naming.hpp"

namespace kvn::convert {
namespace {

struct NameCase {
  const char* input;
  const char* single;
  const char* second;  // design 2 of several
  const char* design;  // the name stored inside an SHV file
};

const NameCase kNames[] = {
    {"garden.dhv", "garden.shv", "garden002.shv", "garden"},
    {"GARDEN.DHV", "GARDEN.shv", "GARDEN002.shv", "GARDEN"},
    {"my.designs/garden", "my.designs/garden.shv", "my.designs/garden002.shv", "garden"},
    {"C:\\my.designs\\garden", "C:\\my.designs\\garden.shv", "C:\\my.designs\\garden002.shv",
     "garden"},
    {"C:\\designs\\flowers.big.DHV", "C:\\designs\\flowers.big.shv",
     "C:\\designs\\flowers.big002.shv", "flowers.big"},
    {"garden", "garden.shv", "garden002.shv", "garden"},
    {"dir/.hidden", "dir/.shv", "dir/002.shv", ""},
    {"out.shv", "out.shv", "out002.shv", "out"},
};

TEST(Naming, DerivesOutputAndDesignNamesFromTheFileNamePartOnly) {
  for (const auto& c : kNames) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(shv_name(c.input), c.single);
    EXPECT_EQ(numbered_name(c.input, 2), c.second);
    EXPECT_EQ(design_name(c.input), c.design);
  }
}

TEST(Naming, NumbersHaveAtLeastThreeDigits) {
  EXPECT_EQ(numbered_name("garden.shv", 1), "garden001.shv");
  EXPECT_EQ(numbered_name("garden.shv", 999), "garden999.shv");
  EXPECT_EQ(numbered_name("garden.shv", 1000), "garden1000.shv");
}

}  // namespace
}  // namespace kvn::convert
