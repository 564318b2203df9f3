#include "frontend/win32/win32_dialogs.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <ostream>
#include <vector>

#include "convert/utf16.hpp"
#include "frontend/messages.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend::win32 {
namespace {

using convert::from_wide;
using convert::to_wide;

class Win32Dialogs final : public Dialogs {
 public:
  explicit Win32Dialogs(std::ostream& err) : err_(err) {}

  std::vector<std::string> open_files(const std::vector<FileType>& /*types*/) override {
    // Static: large enough for many chosen names.
    static wchar_t file[kFileStrSize];
    std::fill(std::begin(file), std::end(file), L'\0');
    // Left empty: the dialog then opens in its usual folder.
    wchar_t dir[kDirStrSize] = {};
    const std::wstring pattern = to_wide(texts::kFilterPattern);
    pattern.copy(file, kFileStrSize - 1);
    const std::wstring filter = to_wide(filter_list());
    OPENFILENAMEW ofn;
    fill_open_file_name(ofn, file, dir, filter.c_str());
    if (GetOpenFileNameW(&ofn)) {
      // Each NUL-ended part in UTF-8, the list ended by an empty part.
      std::string parts;
      for (std::size_t at = 0; at < kFileStrSize && file[at] != L'\0';) {
        const std::size_t len = wcsnlen(file + at, kFileStrSize - at);
        parts += from_wide(std::wstring_view(file + at, len));
        parts += '\0';
        at += len + 1;
      }
      parts += '\0';
      return chosen_paths(parts.data(), parts.size());
    }
    // Zero means cancelled unless the dialog says otherwise (a path longer
    // than the buffer, no memory); say so rather than end without a word.
    if (const DWORD code = CommDlgExtendedError(); code != 0) {
      char words[64];
      std::snprintf(words, sizeof words, "the file dialog failed (error 0x%lx)",
                    static_cast<unsigned long>(code));
      print_cli_message(err_, words);
    }
    return {};
  }

  std::optional<SaveAnswer> save_file(const SaveRequest& /*request*/) override { return std::nullopt; }

  std::optional<std::string> choose_folder(const std::string& /*title*/,
                                           const std::string& /*start*/) override {
    return std::nullopt;
  }

  void show(const Box& box) override {
    MessageBoxW(nullptr, to_wide(box.text).c_str(), to_wide(box.caption).c_str(),
                box.icon == BoxIcon::kWarning ? kFailureStyle : kNoticeStyle);
  }

  bool ask(const Box& box) override {
    return MessageBoxW(nullptr, to_wide(box.text).c_str(), to_wide(box.caption).c_str(),
                       kQuestionStyle) == IDYES;
  }

 private:
  std::ostream& err_;
};

}  // namespace

std::string filter_list() {
  std::string list = texts::kFilterDescription;
  list += '\0';
  list += texts::kFilterPattern;
  list += '\0';
  list += '\0';
  return list;
}

void fill_open_file_name(OPENFILENAMEW& ofn, wchar_t (&file)[kFileStrSize],
                         wchar_t (&dir)[kDirStrSize], const wchar_t* filter) {
  // Static: the dialog reads the title while it runs, after this returns.
  static const std::wstring title = to_wide(texts::kDialogTitle);
  ofn.lStructSize = sizeof(OPENFILENAMEW);
  ofn.hwndOwner = nullptr;
  ofn.hInstance = nullptr;
  ofn.lpstrFilter = filter;
  ofn.lpstrCustomFilter = nullptr;
  ofn.nMaxCustFilter = 0;
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file;
  ofn.nMaxFile = kFileStrSize;
  ofn.lpstrFileTitle = nullptr;
  ofn.nMaxFileTitle = 0;
  ofn.lpstrInitialDir = dir;
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = kOpenFlags;
  ofn.nFileOffset = 0;
  ofn.nFileExtension = 0;
  ofn.lpstrDefExt = nullptr;
  ofn.lCustData = 0;
  ofn.lpfnHook = nullptr;
  ofn.lpTemplateName = nullptr;
  // The fields that newer headers add; the dialog reads them because
  // lStructSize says the record has them.
  ofn.pvReserved = nullptr;
  ofn.dwReserved = 0;
  ofn.FlagsEx = 0;
}

std::vector<std::string> chosen_paths(const char* buffer, std::size_t size) {
  std::vector<std::string> parts;
  std::size_t at = 0;
  while (at < size && buffer[at] != '\0') {
    const std::size_t len = strnlen(buffer + at, size - at);
    parts.emplace_back(buffer + at, len);
    at += len + 1;
  }
  if (parts.size() <= 1) return parts;
  // The folder comes first; a drive's root already ends in a backslash.
  const std::string folder = parts.front();
  const std::string sep = !folder.empty() && folder.back() == '\\' ? "" : "\\";
  std::vector<std::string> paths;
  for (std::size_t i = 1; i < parts.size(); ++i) paths.push_back(folder + sep + parts[i]);
  return paths;
}

std::unique_ptr<Dialogs> make_win32_dialogs(std::ostream& err) {
  return std::make_unique<Win32Dialogs>(err);
}

}  // namespace kvn::frontend::win32
