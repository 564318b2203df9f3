// The Windows dialogs' parameters and answers; the dialogs themselves are
// driven under wine by tests/wine/run_wine_tests.sh.
#ifdef _WIN32

#include "frontend/win32/win32_dialogs.hpp"

#include "convert/utf16.hpp"
#include "frontend/file_types.hpp"
#include "frontend/texts.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace kvn::frontend::win32 {
namespace {

using namespace std::string_literals;

const std::vector<FileType> kTypes = {
    {"SHV designs", {"shv"}}, {"DST designs", {"dst"}}, {"PES designs", {"pes", "pec"}}};

TEST(Win32Dialogs, FilterListNamesEachTypeWithItsPatterns) {
  const struct {
    const char* name;
    std::vector<FileType> types;
    std::string list;
  } kCases[] = {
      {"OpenList",
       {{"Embroidery designs", {"dhv", "dst", "dhv"}}, {"DST designs", {"dst"}}, {"All files", {}}},
       "Embroidery designs (*.dhv;*.dst)\0*.dhv;*.dst\0DST designs (*.dst)\0*.dst\0"
       "All files (*.*)\0*.*\0\0"s},
      {"SeveralExtensions", {kTypes[2]}, "PES designs (*.pes;*.pec)\0*.pes;*.pec\0\0"s},
      // An empty list would show a dialog that lists nothing.
      {"NoTypes", {}, "All files (*.*)\0*.*\0\0"s},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(filter_list(c.types), c.list);
  }
}

TEST(Win32Dialogs, OpenFilterListOffersEveryFormatFirstAndAllFilesLast) {
  const auto types = open_file_types();
  const std::string list = filter_list(types);
  EXPECT_EQ(list.rfind("Embroidery designs (*.", 0), 0u);
  const std::string first = list.substr(0, list.find('\0'));
  for (const char* ext : {"*.dhv", "*.shv", "*.dst", "*.pes", "*.jef"})
    EXPECT_NE(first.find(ext), std::string::npos) << ext;
  EXPECT_EQ(list.substr(list.size() - 21), "All files (*.*)\0*.*\0\0"s);
  // Two parts per type and the empty one that ends the list.
  EXPECT_EQ(static_cast<std::size_t>(std::count(list.begin(), list.end(), '\0')),
            2 * types.size() + 1);
}

TEST(Win32Dialogs, FillsEveryFieldOfTheOpenRecord) {
  wchar_t file[kFileStrSize] = L"*.DHV";
  wchar_t dir[kDirStrSize] = {};
  const std::wstring filter = convert::to_wide(filter_list(open_file_types()));
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
  EXPECT_STREQ(ofn.lpstrTitle, convert::to_wide(texts::kOpenTitle).c_str());
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
  // A pattern left in the file field would hide what the filters offer.
  EXPECT_STREQ(file, L"");
}

TEST(Win32Dialogs, FillsTheSaveRecord) {
  const struct {
    const char* name;
    std::size_t type;
    DWORD index;
    const wchar_t* extension;  // null: none
  } kCases[] = {
      {"ChosenType", 1, 2, L"dst"},
      {"FirstExtensionOfSeveral", 2, 3, L"pes"},
      {"TypeNotListed", 7, 1, L"shv"},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    SaveRequest request{"Convert to", "C:/designs/out", "garden", kTypes, c.type};
    const SaveDialogTexts texts = save_dialog_texts(request);
    std::vector<wchar_t> file(kFileStrSize, L'\0');
    OPENFILENAMEW ofn;
    std::memset(&ofn, 0xA5, sizeof ofn);
    fill_save_file_name(ofn, texts, file);

    EXPECT_EQ(ofn.lStructSize, sizeof(OPENFILENAMEW));
    EXPECT_EQ(std::wstring(ofn.lpstrFilter, texts.filter.size()),
              convert::to_wide(filter_list(kTypes)));
    EXPECT_EQ(ofn.nFilterIndex, c.index);
    EXPECT_EQ(ofn.lpstrFile, file.data());
    EXPECT_EQ(ofn.nMaxFile, 32768u);
    EXPECT_STREQ(ofn.lpstrInitialDir, L"C:\\designs\\out");
    EXPECT_STREQ(ofn.lpstrTitle, L"Convert to");
    EXPECT_EQ(ofn.Flags, static_cast<DWORD>(OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST |
                                            OFN_HIDEREADONLY | OFN_NOREADONLYRETURN |
                                            OFN_NOCHANGEDIR));
    EXPECT_STREQ(ofn.lpstrDefExt, c.extension);
    // The fields left unnamed are cleared: one near each end of the record.
    EXPECT_EQ(ofn.hwndOwner, nullptr);
    EXPECT_EQ(ofn.FlagsEx, 0u);
  }
}

TEST(Win32Dialogs, SaveAnswerGivesTheNameItsTypesExtension) {
  const struct {
    const char* name;
    std::string path;
    DWORD index;
    std::string answer;
    std::size_t type;
  } kCases[] = {
      {"NoExtension", "C:\\d\\garden", 2, "C:\\d\\garden.dst", 1},
      {"ItsOwn", "C:\\d\\garden.DST", 2, "C:\\d\\garden.DST", 1},
      {"DotInFolderOnly", "C:\\d.v1\\garden", 2, "C:\\d.v1\\garden.dst", 1},
      {"TrailingDots", "C:\\d\\garden..", 3, "C:\\d\\garden.pes", 2},
      // Typed over the chosen type: the file is what its name says.
      {"AnotherTypesExtension", "C:\\d\\garden.pec", 1, "C:\\d\\garden.pec", 2},
      {"UnknownExtension", "C:\\d\\garden.v2", 2, "C:\\d\\garden.v2", 1},
      {"IndexOutOfRange", "C:\\d\\garden", 9, "C:\\d\\garden.shv", 0},
      {"NoIndex", "C:\\d\\garden", 0, "C:\\d\\garden.shv", 0},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    const SaveAnswer a = save_answer(c.path, c.index, kTypes);
    EXPECT_EQ(a.path, c.answer);
    EXPECT_EQ(a.type, c.type);
  }
}

TEST(Win32Dialogs, ReadsOneOrSeveralChosenFiles) {
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
