// Names as Windows hands them over: UTF-16 both ways, and the wildcards cmd
// leaves to the program. The conversions and the expansion run on every
// system; the last test uses the real Windows calls (under wine here).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "convert/utf16.hpp"
#include "frontend/wildcards.hpp"
#include "support/temp_dir.hpp"

#ifdef _WIN32
#include "frontend/win32/win32_startup.hpp"
#endif

namespace kvn {
namespace {

using convert::utf16_from_utf8;
using convert::utf8_from_utf16;

TEST(Utf16, EveryNameSurvivesTheTripThereAndBack) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  } kCases[] = {
      {"Empty", "", u""},
      {"Ascii", "C:\\designs\\garden.dhv", u"C:\\designs\\garden.dhv"},
      {"Latin", "ros\xC3\xA9.dhv", u"ros\u00E9.dhv"},
      {"Cjk", "\xE8\x8A\xB1.dhv", u"\u82B1.dhv"},
      {"BeyondTheBasicPlane", "\xF0\x9F\xA7\xB5.dhv", u"\U0001F9F5.dhv"},
      {"EmbeddedNul", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      // Windows allows a lone surrogate in a name; it keeps its code unit.
      {"LoneHighSurrogate", "x\xED\xA0\x80y", std::u16string{u'x', char16_t{0xD800}, u'y'}},
      {"LoneLowSurrogateAtEnd", "x\xED\xB0\x80", std::u16string{u'x', char16_t{0xDC00}}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16);
    EXPECT_EQ(utf8_from_utf16(c.utf16), c.utf8);
  }
}

TEST(Utf16, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  const struct {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  } kCases[] = {
      {"Latin1Byte", "ros\xE9.dhv", u"ros\uFFFD.dhv"},
      {"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"PastTheLastCharacter", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"CutShort", "a\xE8\x8A", u"a\uFFFD\uFFFD"},
      {"LoneContinuation", "\x80z", u"\uFFFDz"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(utf16_from_utf8(c.utf8), c.utf16);
  }
}

TEST(Wildcards, MatchLikeWindowsNames) {
  const struct {
    const char* pattern;
    const char* name;
    bool match;
  } kCases[] = {
      {"*.dhv", "garden.dhv", true},
      {"*.dhv", "GARDEN.DHV", true},
      {"*.dhv", "garden.dhvx", false},
      {"*.dhv", "garden.shv", false},
      {"g?rden.*", "garden.dhv", true},
      {"g?rden.*", "grden.dhv", false},
      {"?.dhv", "\xE8\x8A\xB1.dhv", true},  // one character, three bytes
      {"*", "", true},
      {"a*b*c", "aXbYbZc", true},
      {"a*b*c", "aXbYbZ", false},
      {"**x", "x", true},
      {"ros\xC3\xA9*", "ros\xC3\xA9.dhv", true},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.pattern) + " / " + c.name);
    EXPECT_EQ(frontend::wildcard_match(c.pattern, c.name), c.match);
  }
}

TEST(Wildcards, ExpandIntoSortedNamesKeepingTheFolderPart) {
  // What a folder listing returns for each pattern: more than matches (as
  // Windows does through short names), and in no particular order.
  const std::map<std::string, std::vector<std::string>> listings = {
      {"*.dhv", {"b.dhv", "A.dhv", "garden.dhvx", "\xE8\x8A\xB1.dhv", ".", ".."}},
      {"sub\\*.dhv", {"z.dhv", "y.DHV"}},
      {"C:*.shv", {"one.shv"}},
  };
  const auto list = [&](const std::string& pattern) {
    const auto it = listings.find(pattern);
    return it == listings.end() ? std::vector<std::string>{} : it->second;
  };
  using Args = std::vector<std::string>;
  const struct {
    const char* name;
    Args args;
    Args expanded;
  } kCases[] = {
      {"SortedIgnoringCase", {"--info", "*.dhv"}, {"--info", "A.dhv", "b.dhv", "\xE8\x8A\xB1.dhv"}},
      {"FolderKept", {"sub\\*.dhv"}, {"sub\\y.DHV", "sub\\z.dhv"}},
      {"DrivePrefixKept", {"C:*.shv"}, {"C:one.shv"}},
      {"NoMatchStaysAsTyped", {"*.xyz", "plain.dhv"}, {"*.xyz", "plain.dhv"}},
      {"WildcardInFolderStays", {"s*\\*.dhv"}, {"s*\\*.dhv"}},
      {"OptionsStay", {"--output=*.dhv", "-o*.dhv"}, {"--output=*.dhv", "-o*.dhv"}},
      {"AfterDoubleDashEvenADashName",
       {"--", "-*.dhv", "*.dhv"},
       {"--", "-*.dhv", "A.dhv", "b.dhv", "\xE8\x8A\xB1.dhv"}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(frontend::expand_wildcards(c.args, list), c.expanded);
  }
}

#ifdef _WIN32
// The real calls: names outside any ANSI code page are written, found by a
// wildcard, read back and told apart.
TEST(WindowsNames, UnicodeNamesWorkThroughTheFileCallsAndWildcards) {
  test::ScopedTempDir dir;
  const std::string folder = convert::from_wide(dir.path().wstring()) + "\\";
  const std::vector<std::string> names = {"\xE8\x8A\xB1.dhv", "ros\xC3\xA9.dhv",
                                          "\xF0\x9F\xA7\xB5.dhv"};
  auto& fs = convert::real_file_system();
  for (const auto& n : names) {
    const std::vector<std::uint8_t> bytes(n.begin(), n.end());
    ASSERT_TRUE(fs.replace(folder + n, bytes)) << n;
    auto back = fs.read_whole(folder + n);
    ASSERT_TRUE(back.has_value()) << n << ": " << back.error().message();
    EXPECT_EQ(*back, bytes);
    EXPECT_EQ(fs.identify(folder + n).type, convert::FileType::kRegular);
  }
  EXPECT_FALSE(fs.same_file(folder + names[0], folder + names[1]));

  std::wstring program = L"korvane.exe", pattern = convert::to_wide(folder + "*.dhv");
  wchar_t* argv[] = {program.data(), pattern.data()};
  EXPECT_EQ(frontend::win32::utf8_arguments(2, argv),
            (std::vector<std::string>{folder + names[1], folder + names[0], folder + names[2]}));
}
#endif

}  // namespace
}  // namespace kvn
