#pragma once

// How the Windows build starts: its arguments as UTF-8 and its console.
// Only the Windows build compiles this.

#include <string>
#include <vector>

namespace kvn::frontend::win32 {

/// The arguments after the program's name, from UTF-16 to UTF-8, with
/// wildcards expanded (see expand_wildcards).
std::vector<std::string> utf8_arguments(int argc, wchar_t** argv);

/// Started from Explorer, Windows makes a console for korvane alone: let it
/// go, so only the dialogs show, send what would have gone there nowhere,
/// and return true. Otherwise the console shows UTF-8 until korvane ends.
bool settle_console();

}  // namespace kvn::frontend::win32
