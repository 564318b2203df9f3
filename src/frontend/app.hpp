#pragma once

#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "frontend/dialogs.hpp"

namespace kvn::frontend {

using DialogsFactory = std::function<std::unique_ptr<Dialogs>(DialogChoice)>;

/// The whole program: `args` excludes the program name. Returns the exit code.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const DialogsFactory& dialogs);
/// The same with `in` for a design read from "-" (otherwise the process's own).
int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
        std::ostream& err, const DialogsFactory& dialogs);

void print_banner(std::ostream& out);

/// The arguments to run with. `own_console` is true when Windows made a
/// console for korvane alone (Explorer starts it so, with the files dropped
/// on it or opened with it); that console is gone before any message, so
/// files given the classic way go to the dialogs, which show what happened.
/// Otherwise `args` are returned as they are.
std::vector<std::string> arguments_for_start(std::vector<std::string> args, bool own_console);

}  // namespace kvn::frontend
