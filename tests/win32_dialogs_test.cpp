// The Windows dialogs' parameters; the dialogs themselves are driven under
// wine by tests/wine/run_wine_tests.sh.
#ifdef _WIN32

#include "frontend/win32/win32_dialogs.hpp"

#include "convert/utf16.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kvn::frontend::win32 {
namespace {

TEST(Win32OpenDialog, FilterListIsOnePairEndedByAnEmptyEntry) {
  const std::string f = filter_list();
  EXPECT_EQ(f.size(), 33u);
  EXPECT_EQ(f, std::string("Viking, Husqvarna (*.DHV)\0*.DHV\0\0", 33));
}

TEST(Win32OpenDialog, FillsEveryFieldOfTheRecord) {
  wchar_t file[kFileStrSize] = L"*.DHV";
  wchar_t dir[kDirStrSize] = {};
  const std::wstring filter = convert::to_wide(filter_list());
  OPENFILENAMEW ofn;
  // Garbage first: any field the front end forgets would show it.
  std::memset(&ofn, 0xA5, sizeof ofn);
  fill_open_file_name(ofn, file, dir, filter.c_str());

  EXPECT_EQ(ofn.lStructSize, sizeof(OPENFILENAMEW));
  EXPECT_EQ(ofn.hwndOwner, nullptr);
  EXPECT_EQ(ofn.hInstance, nullptr);
  EXPECT_EQ(ofn.lpstrFilter, filter.c_str());
  EXPECT_EQ(ofn.lpstrCustomFilter, nullptr);
  EXPECT_EQ(ofn.nMaxCustFilter, 0u);
  EXPECT_EQ(ofn.nFilterIndex, 1u);
  EXPECT_EQ(ofn.lpstrFile, file);
  EXPECT_EQ(ofn.nMaxFile, 32768u);
  EXPECT_EQ(ofn.lpstrFileTitle, nullptr);
  EXPECT_EQ(ofn.nMaxFileTitle, 0u);
  EXPECT_EQ(ofn.lpstrInitialDir, dir);
  EXPECT_STREQ(ofn.lpstrTitle, L"Select DHV file to convert");
  EXPECT_EQ(ofn.Flags, 0x91A04u);
  EXPECT_EQ(ofn.nFileOffset, 0);
  EXPECT_EQ(ofn.nFileExtension, 0);
  EXPECT_EQ(ofn.lpstrDefExt, nullptr);
  EXPECT_EQ(ofn.lCustData, 0);
  EXPECT_EQ(ofn.lpfnHook, nullptr);
  EXPECT_EQ(ofn.lpTemplateName, nullptr);
  EXPECT_EQ(ofn.pvReserved, nullptr);
  EXPECT_EQ(ofn.dwReserved, 0u);
  EXPECT_EQ(ofn.FlagsEx, 0u);
  // The buffers themselves are the caller's and stay as given.
  EXPECT_STREQ(file, L"*.DHV");
  EXPECT_STREQ(dir, L"");
}

TEST(Win32OpenDialog, ReadsOneOrSeveralChosenFiles) {
  const struct {
    const char* name;
    std::string buffer;
    std::vector<std::string> paths;
  } kCases[] = {
      {"One", std::string("C:\\d\\garden.DHV\0\0", 18), {"C:\\d\\garden.DHV"}},
      {"Several", std::string("C:\\d\0a.dhv\0b.DHV\0\0", 19), {"C:\\d\\a.dhv", "C:\\d\\b.DHV"}},
      {"InRoot", std::string("C:\\\0a.dhv\0b.dhv\0\0", 17), {"C:\\a.dhv", "C:\\b.dhv"}},
      // A buffer without its final NULs ends at its size, never past it.
      {"Unended", std::string("C:\\d\0a.dhv", 10), {"C:\\d\\a.dhv"}},
      {"Empty", std::string("\0\0", 2), {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(chosen_paths(c.buffer.data(), c.buffer.size()), c.paths);
  }
}

}  // namespace
}  // namespace kvn::frontend::win32

#endif  // _WIN32
