// What a program built on korvane sets up for its own process.
#pragma once

#include <iosfwd>
#include <string>

#include "korvane/result.hpp"

namespace kvn {

/// From here on SIGINT, SIGTERM and SIGHUP (on Windows: Ctrl+C, Ctrl+Break and
/// closing the console) remove the temporary file of a write in progress, then
/// end the program as the signal would have. Signals the program was started
/// with ignored stay ignored. Call once, early in main(): a library has no
/// business taking over a process's signals on its own.
void remove_temporaries_on_interrupt();

/// Flushes `out` and reports a failure in the same words as a failed file
/// write, naming it `name` (e.g. "standard output"): output sent to a full disk
/// or a closed pipe must not pass as success.
Status flush_output(std::ostream& out, const std::string& name);

}  // namespace kvn
