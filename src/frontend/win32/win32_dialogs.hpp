#pragma once

// The Windows build's dialogs: the common file-open dialog and message boxes.
// Only the Windows build compiles this; the core never sees <windows.h>.

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
inline constexpr UINT kFailureStyle = MB_OK | MB_ICONWARNING;
static_assert(kFailureStyle == 0x30);
inline constexpr UINT kNoticeStyle = MB_OK | MB_ICONINFORMATION;
static_assert(kNoticeStyle == 0x40);
inline constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONINFORMATION;
static_assert(kQuestionStyle == 0x44);

/// The dialog's filter list: description, NUL, pattern, NUL, and the NUL that
/// ends the list; size() counts every byte but the string's own terminator.
std::string filter_list();

/// Fills every field of `ofn` for the container dialog. `file` must already
/// hold the initial file name; `filter` is filter_list() in UTF-16. All three
/// buffers must outlive the dialog call.
void fill_open_file_name(OPENFILENAMEW& ofn, wchar_t (&file)[kFileStrSize],
                         wchar_t (&dir)[kDirStrSize], const wchar_t* filter);

/// The paths the dialog returned in `buffer` (of `size` bytes): one full path,
/// or with several files the folder, then each name, every part ended by a
/// NUL and the list by an empty part.
std::vector<std::string> chosen_paths(const char* buffer, std::size_t size);

/// Dialogs drawn by Windows; a dialog that fails (rather than being
/// cancelled) is reported on `err`.
std::unique_ptr<Dialogs> make_win32_dialogs(std::ostream& err);

}  // namespace kvn::frontend::win32
