#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <istream>
#include <ostream>
#include <string>
#include <vector>

#include "convert/utf16.hpp"
#include "frontend/dialogs.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend {
namespace {

bool is_file(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_regular_file(convert::path_from_utf8(path), ec);
}

// "~" and "~/..." as a shell reads them; a path from a terminal is typed or
// dragged in, and either way the user expects what the shell would do.
std::string expand_home(const std::string& word) {
#ifdef _WIN32
  const bool separator = word.size() > 1 && (word[1] == '/' || word[1] == '\\');
#else
  const bool separator = word.size() > 1 && word[1] == '/';
#endif
  if (word.empty() || word[0] != '~' || (word.size() > 1 && !separator)) return word;
#ifdef _WIN32
  // The narrow environment is in the ANSI code page there; a user's folder
  // may well have a name outside it. PowerShell reads "~" as the profile.
  const wchar_t* wide = _wgetenv(L"USERPROFILE");
  if (wide == nullptr || *wide == L'\0') return word;
  const std::string home = convert::from_wide(wide);
#else
  const char* home = std::getenv("HOME");
  if (home == nullptr || *home == '\0') return word;
#endif
  return home + word.substr(1);
}

// The words of a line as a shell splits them: blanks separate, quotes
// (single or double) and backslashes keep what they enclose or precede.
// Dragging files into a terminal writes them so.
std::vector<std::string> shell_words(const std::string& line) {
#ifdef _WIN32
  // Backslashes separate folders there: they escape nothing.
  constexpr bool kBackslashEscapes = false;
#else
  constexpr bool kBackslashEscapes = true;
#endif
  std::vector<std::string> words;
  std::string word;
  bool in_word = false, expandable = false;
  char quote = 0;
  auto end_word = [&] {
    if (in_word) words.push_back(expandable ? expand_home(word) : word);
    word.clear();
    in_word = expandable = false;
  };
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quote != 0) {
      if (c == quote)
        quote = 0;
      else if (kBackslashEscapes && c == '\\' && quote == '"' && i + 1 < line.size())
        word += line[++i];
      else
        word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      in_word = true;
    } else if (kBackslashEscapes && c == '\\' && i + 1 < line.size()) {
      word += line[++i];
      in_word = true;
    } else if (std::isspace(static_cast<unsigned char>(c))) {
      end_word();
    } else {
      if (!in_word) expandable = c == '~';
      word += c;
      in_word = true;
    }
  }
  end_word();
  return words;
}

std::string lower_word(const std::string& line) {
  std::string word;
  for (char c : line)
    if (!std::isspace(static_cast<unsigned char>(c)))
      word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return word;
}

#ifdef _WIN32
constexpr const char* kSeparators = "/\\";
constexpr char kSeparator = '\\';
#else
constexpr const char* kSeparators = "/";
constexpr char kSeparator = '/';
#endif

std::string with_separator(const std::string& folder) {
  if (folder.empty()) return folder;
  if (std::string(kSeparators).find(folder.back()) != std::string::npos) return folder;
  return folder + kSeparator;
}

// "Embroidery designs (*.dst *.exp ...)", as a file dialog lists a type.
std::string type_line(const FileType& t) {
  std::string line = t.description + " (";
  if (t.extensions.empty()) line += "*";
  for (std::size_t i = 0; i < t.extensions.size(); ++i)
    line += (i ? " *." : "*.") + t.extensions[i];
  return line + ")";
}

bool has_extension(const std::string& path, const std::vector<std::string>& extensions) {
  const auto dot = path.find_last_of('.');
  const auto slash = path.find_last_of(kSeparators);
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::find(extensions.begin(), extensions.end(), ext) != extensions.end();
}

class TerminalDialogs final : public Dialogs {
 public:
  TerminalDialogs(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  std::vector<std::string> open_files(const std::vector<FileType>& types) override {
    out_ << texts::kOpenTitle << "\n";
    // The first type says what is taken; the rest only name its parts.
    if (!types.empty()) out_ << type_line(types.front()) << "\n";
    for (;;) {
      out_ << "File names (empty to cancel): " << std::flush;
      std::string line;
      if (!read_line(line)) return {};
      // A name with blanks typed as it is stays one name.
      if (is_file(line)) return {line};
      const auto words = shell_words(line);
      if (words.empty()) return {};
      // As the Windows dialog's flags demand: existing files in existing folders.
      bool all_there = true;
      for (const auto& w : words) {
        if (is_file(w)) continue;
        out_ << w << "\nFile not found.\nCheck the file name and try again.\n";
        all_there = false;
      }
      if (all_there) return words;
    }
  }

  std::optional<SaveAnswer> save_file(const SaveRequest& request) override {
    if (request.types.empty()) return std::nullopt;
    out_ << request.title << "\n";
    for (std::size_t i = 0; i < request.types.size(); ++i)
      out_ << "  " << i + 1 << ". " << type_line(request.types[i]) << "\n";
    const std::size_t first = request.type < request.types.size() ? request.type : 0;
    std::size_t type = first;
    for (;;) {
      out_ << "Type (1-" << request.types.size() << ", empty for " << first + 1
           << "; 0 to cancel): " << std::flush;
      std::string line;
      if (!read_line(line)) return std::nullopt;
      const std::string word = lower_word(line);
      if (word.empty()) break;
      if (word == "0") return std::nullopt;
      char* end = nullptr;
      const unsigned long n = std::strtoul(word.c_str(), &end, 10);
      if (*end == '\0' && n >= 1 && n <= request.types.size()) {
        type = n - 1;
        break;
      }
      out_ << "Please answer with a number from the list.\n";
    }
    const auto& extensions = request.types[type].extensions;
    std::string suggested = request.name;
    if (!extensions.empty()) suggested += "." + extensions.front();
    const std::string folder = with_separator(request.folder);
    out_ << "File name (empty for " << folder << suggested << "; a single '-' to cancel): "
         << std::flush;
    std::string line;
    if (!read_line(line)) return std::nullopt;
    const auto words = shell_words(line);
    if (line == "-") return std::nullopt;
    std::string path = words.empty() ? folder + suggested : words.front();
    if (!words.empty() && path.find_first_of(kSeparators) == std::string::npos)
      path = folder + path;
    // As the graphical dialogs do: a name typed without the type's extension gets it.
    if (!extensions.empty() && !has_extension(path, extensions)) path += "." + extensions.front();
    return SaveAnswer{path, type};
  }

  std::optional<std::string> choose_folder(const std::string& title,
                                           const std::string& start) override {
    out_ << title << "\n";
    for (;;) {
      out_ << "Folder (empty to cancel; now " << (start.empty() ? "." : start) << "): "
           << std::flush;
      std::string line;
      if (!read_line(line)) return std::nullopt;
      const auto words = shell_words(line);
      if (words.empty()) return std::nullopt;
      std::error_code ec;
      if (std::filesystem::is_directory(convert::path_from_utf8(words.front()), ec))
        return words.front();
      out_ << words.front() << "\nNo such folder.\n";
    }
  }

  void show(const Box& box) override { out_ << box.text << "\n[OK]\n" << std::flush; }

  bool ask(const Box& box) override {
    out_ << box.text << " [yes/no] " << std::flush;
    for (;;) {
      std::string line;
      if (!std::getline(in_, line)) return false;
      const std::string word = lower_word(line);
      if (word == "y" || word == "yes") return true;
      if (word == "n" || word == "no") return false;
      out_ << "Please answer yes or no: " << std::flush;
    }
  }

 private:
  bool read_line(std::string& line) {
    if (!std::getline(in_, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
  }

  std::istream& in_;
  std::ostream& out_;
};

}  // namespace

std::unique_ptr<Dialogs> make_terminal_dialogs(std::istream& in, std::ostream& out) {
  return std::make_unique<TerminalDialogs>(in, out);
}

}  // namespace kvn::frontend
