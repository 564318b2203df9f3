#include <iostream>

#include "frontend/dialogs.hpp"

namespace kvn::frontend {

std::unique_ptr<Dialogs> make_dialogs(DialogChoice choice, std::ostream& err) {
  if (choice == DialogChoice::kGtk)
    err << "korvane: GTK dialogs are not available in this build; using the terminal\n";
  // Prompts go to standard error: standard output carries only the banner and the error line.
  return make_terminal_dialogs(std::cin, std::cerr);
}

}  // namespace kvn::frontend
