#pragma once

#include <iosfwd>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvn::frontend {

enum class BoxIcon { kInformation, kWarning };

/// A message box as every kind of dialogs shows it: `caption` is its title,
/// and `text` begins with the caption's statement, so that a title bar too
/// narrow for the caption hides nothing.
struct Box {
  std::string caption;
  std::string text;
  BoxIcon icon = BoxIcon::kInformation;
};

/// One entry of a file dialog's list of types.
struct FileType {
  std::string description;              // "Embroidery designs", "DST designs", "All files"
  std::vector<std::string> extensions;  // lower case, no dot; empty: every file
};

/// What a save dialog offers: the folder it opens in, the name it suggests
/// (without extension) and the types to choose from, `type` chosen first.
struct SaveRequest {
  std::string title;
  std::string folder;
  std::string name;
  std::vector<FileType> types;
  std::size_t type = 0;
};

/// The file a save dialog named, and which of its types was chosen.
struct SaveAnswer {
  std::string path;
  std::size_t type = 0;
};

/// The desktop flow's interactions, whatever draws them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  /// The chosen existing files, or none when the user cancels; `types` is the
  /// list of filters, the first one chosen.
  virtual std::vector<std::string> open_files(const std::vector<FileType>& types) = 0;
  /// The file to write, or none when the user cancels.
  virtual std::optional<SaveAnswer> save_file(const SaveRequest& request) = 0;
  /// A folder to write in, opening at `start`; none when the user cancels.
  virtual std::optional<std::string> choose_folder(const std::string& title,
                                                   const std::string& start) = 0;
  /// A box with one OK button.
  virtual void show(const Box& box) = 0;
  /// A box with Yes and No; true only for an explicit Yes.
  virtual bool ask(const Box& box) = 0;
};

enum class DialogChoice { kAuto, kGtk, kTerminal };

/// Dialogs on a terminal: prompts on `out`, answers read from `in`.
std::unique_ptr<Dialogs> make_terminal_dialogs(std::istream& in, std::ostream& out);

/// The dialogs this platform and session can show; says on `err` why it
/// falls back to the terminal when the requested kind cannot be had. Null
/// when nothing can ask the user: then the reason has been shown by whatever
/// means the desktop offers.
std::unique_ptr<Dialogs> make_dialogs(DialogChoice choice, std::ostream& err);

}  // namespace kvn::frontend
