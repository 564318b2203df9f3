#include <cctype>
#include <filesystem>
#include <istream>
#include <ostream>
#include <string>

#include "frontend/dialogs.hpp"
#include "frontend/texts.hpp"

namespace kvn::frontend {
namespace {

class TerminalDialogs final : public Dialogs {
 public:
  TerminalDialogs(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

  std::optional<std::string> open_file() override {
    out_ << texts::kDialogTitle << "\n" << texts::kFilterDescription << "\n";
    for (;;) {
      out_ << "File name (empty to cancel): " << std::flush;
      std::string line;
      if (!std::getline(in_, line)) return std::nullopt;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) return std::nullopt;
      std::error_code ec;
      // As the Windows dialog's flags demand: an existing file in an existing folder.
      if (std::filesystem::is_regular_file(std::filesystem::path(line), ec)) return line;
      out_ << line << "\nFile not found.\nCheck the file name and try again.\n";
    }
  }

  void show_failure(const std::string& path) override {
    out_ << texts::kFailedCaption << "\n" << path << "\n[OK]\n" << std::flush;
  }

  bool ask_combine(const std::string& path) override {
    out_ << texts::kCreatedCaption << "\n"
         << path << "\n\n"
         << texts::kQuestion << " [yes/no] " << std::flush;
    std::string line;
    if (!std::getline(in_, line)) return false;
    std::string word;
    for (char c : line)
      if (!std::isspace(static_cast<unsigned char>(c)))
        word += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return word == "y" || word == "yes";
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
