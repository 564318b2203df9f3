#include "frontend/win32/win32_dialogs.hpp"

#include <cstdio>
#include <cstring>
#include <ostream>
#include <vector>

#include "convert/utf16.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend::win32 {
namespace {

using convert::from_wide;
using convert::to_wide;

class Win32Dialogs final : public Dialogs {
 public:
  explicit Win32Dialogs(std::ostream& err) : err_(err) {}

  std::optional<std::string> open_file() override {
    wchar_t file[kFileStrSize] = {};
    // Left empty: the dialog then opens in its usual folder.
    wchar_t dir[kDirStrSize] = {};
    const std::wstring pattern = to_wide(texts::kFilterPattern);
    pattern.copy(file, kFileStrSize - 1);
    const std::wstring filter = to_wide(filter_list());
    OPENFILENAMEW ofn;
    fill_open_file_name(ofn, file, dir, filter.c_str());
    if (GetOpenFileNameW(&ofn)) return from_wide(file);
    // Zero means cancelled unless the dialog says otherwise (a path longer
    // than the buffer, no memory); say so rather than end without a word.
    if (const DWORD code = CommDlgExtendedError(); code != 0) {
      char line[96];
      std::snprintf(line, sizeof line, "korvane: the file dialog failed (error 0x%lx)\n",
                    static_cast<unsigned long>(code));
      err_ << line << std::flush;
    }
    return std::nullopt;
  }

  void show_failure(const std::string& path) override {
    MessageBoxW(nullptr, to_wide(path).c_str(), to_wide(texts::kFailedCaption).c_str(),
                kFailureStyle);
  }

  bool ask_combine(const std::string& path) override {
    const std::string text = question_text(path);
    return MessageBoxW(nullptr, to_wide(text).c_str(), to_wide(texts::kCreatedCaption).c_str(),
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

std::string question_text(const std::string& path) {
  // Sized to the path: a long path must neither overrun nor be cut short.
  const int n = std::snprintf(nullptr, 0, texts::kQuestionFormat, path.c_str());
  if (n < 0) return path;
  std::vector<char> buf(static_cast<std::size_t>(n) + 1);
  std::snprintf(buf.data(), buf.size(), texts::kQuestionFormat, path.c_str());
  return std::string(buf.data(), static_cast<std::size_t>(n));
}

std::unique_ptr<Dialogs> make_win32_dialogs(std::ostream& err) {
  return std::make_unique<Win32Dialogs>(err);
}

}  // namespace kvn::frontend::win32
