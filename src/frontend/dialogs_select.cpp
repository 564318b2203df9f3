#include <iostream>

#include "frontend/dialogs.hpp"

// --- Windows: the system's own dialogs (win32/) ---
#ifdef _WIN32
#include "frontend/win32/win32_dialogs.hpp"
#endif
// --- end Windows ---

namespace kvn::frontend {

std::unique_ptr<Dialogs> make_dialogs(DialogChoice choice, std::ostream& err) {
  // --- Windows: the system's own dialogs unless the terminal is asked for ---
#ifdef _WIN32
  if (choice == DialogChoice::kAuto) return win32::make_win32_dialogs(err);
#endif
  // --- end Windows ---
  if (choice == DialogChoice::kGtk)
    err << "korvane: GTK dialogs are not available in this build; using the terminal\n";
  // Prompts go to standard error: standard output carries only the banner and the error line.
  return make_terminal_dialogs(std::cin, std::cerr);
}

}  // namespace kvn::frontend
