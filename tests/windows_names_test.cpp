// Names as Windows hands them over: UTF-16 both ways, and the wildcards cmd
// leaves to the program. The conversions and the expansion run on every
// system; the last test uses the real Windows calls (under wine here).
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "convert/output_plan.hpp"
#include "convert/utf16.hpp"
#include "frontend/wildcards.hpp"
#include "korvane/korvane.hpp"
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

// std::filesystem would read these names in the ANSI code page on Windows.
TEST(Utf16, PathsTakeAndGiveBackUtf8Names) {
  const struct {
    const char* name;
    std::string path;
    std::string file_name;
  } kCases[] = {
      {"Ascii", "designs/garden.dhv", "garden.dhv"},
      {"Cjk", "\xE8\x8A\xB1/\xE8\x8A\xB1.dhv", "\xE8\x8A\xB1.dhv"},
      {"Latin", "ros\xC3\xA9 folder/ros\xC3\xA9.dhv", "ros\xC3\xA9.dhv"},
      {"BeyondTheBasicPlane", "\xF0\x9F\xA7\xB5.dhv", "\xF0\x9F\xA7\xB5.dhv"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto p = convert::path_from_utf8(c.path);
    EXPECT_EQ(convert::generic_utf8_from_path(p), c.path);
    EXPECT_EQ(convert::utf8_from_path(p.filename()), c.file_name);
    EXPECT_EQ(convert::path_from_utf8(convert::utf8_from_path(p)), p);
  }
  // Two outputs whose names differ only outside the code page are two files.
  const std::vector<convert::PlannedOutput> outputs = {{"out/\xE8\x8A\xB1.shv", "a.dhv"},
                                                       {"out/\xE8\x8F\xAF.shv", "b.dhv"},
                                                       {"out//./\xE8\x8A\xB1.shv", "c.dhv"}};
  const auto refusals =
      convert::check_outputs(outputs, {"a.dhv", "b.dhv", "c.dhv"}, convert::real_file_system());
  ASSERT_EQ(refusals.size(), 1u);
  EXPECT_EQ(refusals[0].code, ErrorCode::kDuplicateOutput);
  EXPECT_EQ(refusals[0].file, outputs[2].name);
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

  // Folders: made, recognised and listed under such names.
  const std::string sub = folder + "\xE8\x8A\xB1 ros\xC3\xA9";
  ASSERT_TRUE(make_directories(sub + "\\\xE8\x8F\xAF"));
  EXPECT_TRUE(is_directory(sub + "\\\xE8\x8F\xAF"));
  ASSERT_TRUE(fs.replace(sub + "\\\xE8\x8F\xAF\\ros\xC3\xA9.DHV", {}));
  const auto found = containers_in(folder, true);
  ASSERT_TRUE(found.has_value()) << found.error().message();
  EXPECT_EQ(*found,
            (std::vector<std::string>{folder + names[1], sub + "\\\xE8\x8F\xAF\\ros\xC3\xA9.DHV",
                                      folder + names[0], folder + names[2]}));

  std::wstring program = L"korvane.exe", pattern = convert::to_wide(folder + "*.dhv");
  wchar_t* argv[] = {program.data(), pattern.data()};
  EXPECT_EQ(frontend::win32::utf8_arguments(2, argv),
            (std::vector<std::string>{folder + names[1], folder + names[0], folder + names[2]}));
}
#endif

}  // namespace
}  // namespace kvn
