#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>

namespace kvn::frontend {

/// The desktop flow's three interactions, whatever draws them.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  /// The chosen existing container, or nothing when the user cancels.
  virtual std::optional<std::string> open_file() = 0;
  /// The outcome box after a failed conversion: its caption and the path.
  virtual void show_failure(const std::string& path) = 0;
  /// The question box after a split; true only for an explicit Yes.
  virtual bool ask_combine(const std::string& path) = 0;
};

enum class DialogChoice { kAuto, kGtk, kTerminal };

/// Dialogs on a terminal: prompts on `out`, answers read from `in`.
std::unique_ptr<Dialogs> make_terminal_dialogs(std::istream& in, std::ostream& out);

/// The dialogs this platform and session can show; says on `err` why it
/// falls back to the terminal when the requested kind cannot be had.
std::unique_ptr<Dialogs> make_dialogs(DialogChoice choice, std::ostream& err);

}  // namespace kvn::frontend
