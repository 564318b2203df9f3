#include "frontend/gtk/file_pattern.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace kvn::frontend {
namespace {

struct PatternCase {
  std::string_view name;
  std::string_view pattern;
  bool matches;
};

// The open dialog's filter is "*.DHV" and must match as Windows matches it.
const PatternCase kDhvFilter[] = {
    {"garden.DHV", "*.DHV", true},
    {"garden.dhv", "*.DHV", true},
    {"garden.Dhv", "*.DHV", true},
    {".dhv", "*.DHV", true},
    {"my.designs.dhv", "*.DHV", true},
    {"garden.dhv.bak", "*.DHV", false},
    {"garden.dh", "*.DHV", false},
    {"garden.dhvx", "*.DHV", false},
    {"gardendhv", "*.DHV", false},
    {"dhv", "*.DHV", false},
    {"", "*.DHV", false},
};

const PatternCase kWildcards[] = {
    {"a.dhv.dhv", "*.dhv", true},  // the star must give back what the suffix needs
    {"abc", "a?c", true},
    {"ac", "a?c", false},
    {"abc", "*", true},
    {"", "*", true},
    {"", "", true},
    {"a", "", false},
    {"aXbXc", "a*b*c", true},
    {"aXbX", "a*b*c", false},
    {"G\xC3\xA4RTEN.DHV", "g\xC3\xA4rten.dhv", true},   // bytes past ASCII match exactly
    {"G\xC3\x84RTEN.DHV", "g\xC3\xA4rten.dhv", false},  // and are not folded
};

TEST(FilePattern, MatchesTheDhvFilterInAnyLetterCase) {
  for (const auto& c : kDhvFilter) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(matches_file_pattern(c.name, c.pattern), c.matches);
  }
}

TEST(FilePattern, HandlesStarsAndQuestionMarks) {
  for (const auto& c : kWildcards) {
    SCOPED_TRACE(std::string(c.name) + " ~ " + std::string(c.pattern));
    EXPECT_EQ(matches_file_pattern(c.name, c.pattern), c.matches);
  }
}

}  // namespace
}  // namespace kvn::frontend
