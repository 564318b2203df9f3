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

class TerminalDialogs final : public Dialogs {
 public:
  TerminalDialogs(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  std::vector<std::string> open_files(const std::vector<FileType>& /*types*/) override {
    out_ << texts::kDialogTitle << "\n" << texts::kFilterDescription << "\n";
    for (;;) {
      out_ << "File names (empty to cancel): " << std::flush;
      std::string line;
      if (!std::getline(in_, line)) return {};
      if (!line.empty() && line.back() == '\r') line.pop_back();
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

  std::optional<SaveAnswer> save_file(const SaveRequest& /*request*/) override { return std::nullopt; }

  std::optional<std::string> choose_folder(const std::string& /*title*/,
                                           const std::string& /*start*/) override {
    return std::nullopt;
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
  std::istream& in_;
  std::ostream& out_;
};

}  // namespace

std::unique_ptr<Dialogs> make_terminal_dialogs(std::istream& in, std::ostream& out) {
  return std::make_unique<TerminalDialogs>(in, out);
}

}  // namespace kvn::frontend
