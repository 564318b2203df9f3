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

void print_banner(std::ostream& out);

}  // namespace kvn::frontend
