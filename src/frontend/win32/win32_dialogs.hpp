#pragma once

// The Windows build's dialogs: the common file dialogs, the folder picker and
// message boxes. Only the Windows build compiles this; the core never sees
// <windows.h>.

#ifndef NOMINMAX
#define NOMINMAX  // keep std::min and std::max usable after <windows.h>
#endif
#include <windows.h>

#include <commdlg.h>

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "frontend/dialogs.hpp"

namespace kvn::frontend::win32 {

// Room for many chosen names: several files come back as one folder and
// their names, each ended by a NUL.
inline constexpr std::size_t kFileStrSize = 32768;
inline constexpr std::size_t kDirStrSize = 261;

inline constexpr DWORD kOpenFlags = OFN_EXPLORER | OFN_NOTESTFILECREATE | OFN_FILEMUSTEXIST |
                                    OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ALLOWMULTISELECT;
static_assert(kOpenFlags == 0x91A04);
// A name that exists is written over only after the user agrees; a read-only
// file is refused in the dialog, where another name can still be typed; the
// working folder stays where relative names were given.
inline constexpr DWORD kSaveFlags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST |
                                    OFN_HIDEREADONLY | OFN_NOREADONLYRETURN | OFN_NOCHANGEDIR;
inline constexpr UINT kFailureStyle = MB_OK | MB_ICONWARNING;
static_assert(kFailureStyle == 0x30);
inline constexpr UINT kNoticeStyle = MB_OK | MB_ICONINFORMATION;
static_assert(kNoticeStyle == 0x40);
inline constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONINFORMATION;
static_assert(kQuestionStyle == 0x44);

/// A dialog's filter list for `types`: for each, the description with its
/// patterns ("DST designs (*.dst)"), NUL, the patterns joined by ';', NUL; and
/// the NUL that ends the list. A type without extensions matches every file.
/// size() counts every byte but the string's own terminator.
std::string filter_list(const std::vector<FileType>& types);

/// Fills every field of `ofn` for the open dialog, and empties `file` (the
/// file field); `filter` is filter_list() in UTF-16. All three buffers must
/// outlive the dialog call.
void fill_open_file_name(OPENFILENAMEW& ofn, wchar_t (&file)[kFileStrSize],
                         wchar_t (&dir)[kDirStrSize], const wchar_t* filter);

/// The paths the dialog returned in `buffer` (of `size` bytes): one full path,
/// or with several files the folder, then each name, every part ended by a
/// NUL and the list by an empty part.
std::vector<std::string> chosen_paths(const char* buffer, std::size_t size);

/// What the save dialog is given, in UTF-16; fill_save_file_name points the
/// record into it, so it must outlive the dialog call.
struct SaveDialogTexts {
  std::wstring filter;     // filter_list(request.types)
  std::wstring folder;     // with '\' as the separator
  std::wstring title;
  std::wstring extension;  // the first type's first extension, no dot; empty: none
  DWORD filter_index = 1;  // the first type's filter, counted from 1
};
SaveDialogTexts save_dialog_texts(const SaveRequest& request);

/// Fills every field of `ofn` for the save dialog; `file` (at least one
/// element) holds the suggested name and receives the chosen path.
void fill_save_file_name(OPENFILENAMEW& ofn, const SaveDialogTexts& texts,
                         std::vector<wchar_t>& file);

/// The answer for `path` chosen with filter `filter_index` (counted from 1)
/// among `types`: a name without extension gets the chosen type's, and a name
/// that ends in another type's extension is that type, since the file is
/// written in the format its name announces.
SaveAnswer save_answer(std::string path, DWORD filter_index, const std::vector<FileType>& types);

/// Dialogs drawn by Windows; a dialog that fails (rather than being
/// cancelled) is reported on `err`.
std::unique_ptr<Dialogs> make_win32_dialogs(std::ostream& err);

}  // namespace kvn::frontend::win32
