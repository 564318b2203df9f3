#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace kvn::frontend {

// Every line korvane says on standard error starts with its name, so that in a
// script's log it is told apart from what other programs say.
inline constexpr std::string_view kMessagePrefix = "korvane: ";

/// `text` as a message, without a line end (for a line redrawn in place).
inline std::string cli_message(std::string_view text) {
  return std::string(kMessagePrefix).append(text);
}

/// Prints `text` as a message line and flushes it, so that it comes before
/// whatever standard output says next.
inline void print_cli_message(std::ostream& err, std::string_view text) {
  err << kMessagePrefix << text << "\n" << std::flush;
}

}  // namespace kvn::frontend
