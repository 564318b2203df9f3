#include "frontend/win32/win32_dialogs.hpp"

#include <objbase.h>
#include <shobjidl.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <optional>
#include <ostream>
#include <string_view>
#include <utility>
#include <vector>

#include "convert/utf16.hpp"
#include "frontend/messages.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend::win32 {
namespace {

using convert::from_wide;
using convert::to_wide;

std::string patterns_of(const FileType& type) {
  if (type.extensions.empty()) return "*.*";
  std::string patterns;
  std::vector<std::string> seen;
  for (const auto& e : type.extensions) {
    // Formats may share an extension; the combined filter names it once.
    if (std::find(seen.begin(), seen.end(), e) != seen.end()) continue;
    seen.push_back(e);
    if (!patterns.empty()) patterns += ';';
    patterns += "*.";
    patterns += e;
  }
  return patterns;
}

bool same_letters(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool has_extension(const FileType& type, std::string_view ext) {
  return std::any_of(type.extensions.begin(), type.extensions.end(),
                     [&](const std::string& e) { return same_letters(e, ext); });
}

std::wstring with_backslashes(std::string_view path) {
  std::wstring wide = to_wide(path);
  std::replace(wide.begin(), wide.end(), L'/', L'\\');
  return wide;
}

// A design named without a folder is in the current one, and so is where its
// dialog should open; left to itself Windows opens the folder it used last.
std::wstring folder_or_current(std::wstring folder) {
  if (!folder.empty()) return folder;
  const DWORD size = GetCurrentDirectoryW(0, nullptr);
  if (size == 0) return folder;
  folder.resize(size);
  const DWORD len = GetCurrentDirectoryW(size, folder.data());
  folder.resize(len < size ? len : 0);
  return folder;
}

// Zero from a common dialog means cancelled unless it says otherwise (a path
// longer than the buffer, no memory); say so rather than end without a word.
void report_dialog_failure(std::ostream& err) {
  if (const DWORD code = CommDlgExtendedError(); code != 0) {
    char words[64];
    std::snprintf(words, sizeof words, "the file dialog failed (error 0x%lx)",
                  static_cast<unsigned long>(code));
    print_cli_message(err, words);
  }
}

template <class T>
struct ComRelease {
  void operator()(T* p) const { p->Release(); }
};
template <class T>
using ComPtr = std::unique_ptr<T, ComRelease<T>>;

// The folder dialog is a COM object; the thread may already be in an
// apartment of another kind, which serves as well.
class ComApartment {
 public:
  ComApartment() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  HRESULT hr_;
};

class Win32Dialogs final : public Dialogs {
 public:
  explicit Win32Dialogs(std::ostream& err) : err_(err) {}

  std::vector<std::string> open_files(const std::vector<FileType>& types) override {
    // Static: large enough for many chosen names.
    static wchar_t file[kFileStrSize];
    std::fill(std::begin(file), std::end(file), L'\0');
    // Left empty: the dialog then opens in its usual folder.
    wchar_t dir[kDirStrSize] = {};
    const std::wstring filter = to_wide(filter_list(types));
    OPENFILENAMEW ofn;
    fill_open_file_name(ofn, file, dir, filter.c_str());
    if (!GetOpenFileNameW(&ofn)) {
      report_dialog_failure(err_);
      return {};
    }
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

  std::optional<SaveAnswer> save_file(const SaveRequest& request) override {
    SaveDialogTexts texts = save_dialog_texts(request);
    texts.folder = folder_or_current(std::move(texts.folder));
    std::vector<wchar_t> file(kFileStrSize, L'\0');
    const std::wstring name = with_backslashes(request.name);
    name.copy(file.data(), file.size() - 1);
    OPENFILENAMEW ofn;
    fill_save_file_name(ofn, texts, file);
    if (!GetSaveFileNameW(&ofn)) {
      report_dialog_failure(err_);
      return std::nullopt;
    }
    const std::size_t len = wcsnlen(file.data(), file.size());
    return save_answer(from_wide(std::wstring_view(file.data(), len)), ofn.nFilterIndex,
                       request.types);
  }

  std::optional<std::string> choose_folder(const std::string& title,
                                           const std::string& start) override {
    const ComApartment apartment;
    IFileOpenDialog* raw = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_PPV_ARGS(&raw));
    if (FAILED(hr)) return folder_failed(hr);
    const ComPtr<IFileOpenDialog> dialog(raw);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST |
                       FOS_NOCHANGEDIR);
    dialog->SetTitle(to_wide(title).c_str());
    if (const std::wstring at = folder_or_current(with_backslashes(start)); !at.empty()) {
      // A start folder that no longer exists just leaves the dialog where it
      // would open anyway.
      IShellItem* folder = nullptr;
      if (SUCCEEDED(SHCreateItemFromParsingName(at.c_str(), nullptr, IID_PPV_ARGS(&folder)))) {
        dialog->SetFolder(folder);
        folder->Release();
      }
    }
    hr = dialog->Show(nullptr);
    if (hr == HRESULT_FROM_WIN32(ERROR_CANCELLED)) return std::nullopt;
    if (FAILED(hr)) return folder_failed(hr);
    IShellItem* item = nullptr;
    if (hr = dialog->GetResult(&item); FAILED(hr)) return folder_failed(hr);
    const ComPtr<IShellItem> chosen(item);
    PWSTR path = nullptr;
    if (hr = chosen->GetDisplayName(SIGDN_FILESYSPATH, &path); FAILED(hr)) return folder_failed(hr);
    std::string folder = from_wide(path);
    CoTaskMemFree(path);
    return folder;
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
  std::optional<std::string> folder_failed(HRESULT hr) {
    char words[64];
    std::snprintf(words, sizeof words, "the folder dialog failed (error 0x%lx)",
                  static_cast<unsigned long>(hr));
    print_cli_message(err_, words);
    return std::nullopt;
  }

  std::ostream& err_;
};

}  // namespace

std::string filter_list(const std::vector<FileType>& types) {
  // An empty list would end the dialog's list at once and show nothing.
  static const std::vector<FileType> kAllFiles{{"All files", {}}};
  std::string list;
  for (const auto& t : types.empty() ? kAllFiles : types) {
    const std::string patterns = patterns_of(t);
    list += t.description;
    list += " (";
    list += patterns;
    list += ')';
    list += '\0';
    list += patterns;
    list += '\0';
  }
  list += '\0';
  return list;
}

void fill_open_file_name(OPENFILENAMEW& ofn, wchar_t (&file)[kFileStrSize],
                         wchar_t (&dir)[kDirStrSize], const wchar_t* filter) {
  // Static: the dialog reads the title while it runs, after this returns.
  static const std::wstring title = to_wide(texts::kOpenTitle);
  ofn.lStructSize = sizeof(OPENFILENAMEW);
  ofn.hwndOwner = nullptr;
  ofn.hInstance = nullptr;
  ofn.lpstrFilter = filter;
  ofn.lpstrCustomFilter = nullptr;
  ofn.nMaxCustFilter = 0;
  ofn.nFilterIndex = 1;
  // Empty: a pattern there would override the filter the user picks and
  // list only the files it matches.
  file[0] = L'\0';
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

SaveDialogTexts save_dialog_texts(const SaveRequest& request) {
  SaveDialogTexts t;
  t.filter = to_wide(filter_list(request.types));
  t.folder = with_backslashes(request.folder);
  t.title = to_wide(request.title);
  // A type asked for that the list lacks falls back to the first.
  const std::size_t type = request.type < request.types.size() ? request.type : 0;
  t.filter_index = static_cast<DWORD>(type + 1);
  if (type < request.types.size() && !request.types[type].extensions.empty())
    t.extension = to_wide(request.types[type].extensions.front());
  return t;
}

void fill_save_file_name(OPENFILENAMEW& ofn, const SaveDialogTexts& texts,
                         std::vector<wchar_t>& file) {
  // Every field not named here is null or zero: no owner, hook or template.
  ofn = OPENFILENAMEW{};
  ofn.lStructSize = sizeof(OPENFILENAMEW);
  ofn.lpstrFilter = texts.filter.c_str();
  ofn.nFilterIndex = texts.filter_index;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(std::min<std::size_t>(file.size(), kFileStrSize));
  ofn.lpstrInitialDir = texts.folder.empty() ? nullptr : texts.folder.c_str();
  ofn.lpstrTitle = texts.title.empty() ? nullptr : texts.title.c_str();
  ofn.Flags = kSaveFlags;
  // Set, it makes the dialog add the extension of whichever type is chosen
  // when it is shown, not only of this one.
  ofn.lpstrDefExt = texts.extension.empty() ? nullptr : texts.extension.c_str();
}

SaveAnswer save_answer(std::string path, DWORD filter_index, const std::vector<FileType>& types) {
  SaveAnswer answer;
  // Zero would be a custom filter, which this dialog never has.
  answer.type = filter_index >= 1 && filter_index <= types.size() ? filter_index - 1 : 0;
  const std::size_t slash = path.find_last_of("\\/");
  const std::size_t name_at = slash == std::string::npos ? 0 : slash + 1;
  // Windows drops a name's trailing dots: "garden." is "garden".
  while (path.size() > name_at && path.back() == '.') path.pop_back();
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < name_at) {
    if (answer.type < types.size() && !types[answer.type].extensions.empty()) {
      path += '.';
      path += types[answer.type].extensions.front();
    }
  } else if (answer.type < types.size()) {
    const std::string_view ext = std::string_view(path).substr(dot + 1);
    if (!has_extension(types[answer.type], ext)) {
      for (std::size_t i = 0; i < types.size(); ++i) {
        if (has_extension(types[i], ext)) {
          answer.type = i;
          break;
        }
      }
    }
  }
  answer.path = std::move(path);
  return answer;
}

std::unique_ptr<Dialogs> make_win32_dialogs(std::ostream& err) {
  return std::make_unique<Win32Dialogs>(err);
}

}  // namespace kvn::frontend::win32
