#pragma once

#include <iosfwd>
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

/// The desktop flow's interactions, whatever draws them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  /// The chosen existing containers, or none when the user cancels.
  virtual std::vector<std::string> open_files() = 0;
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
