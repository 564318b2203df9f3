#include "frontend/progress.hpp"
#include "frontend/messages.hpp"

#include <cstdio>
#include <ostream>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kvn::frontend {

bool standard_error_is_terminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

Progress::Progress(std::ostream& err, std::size_t total, bool enabled)
    : err_(err), total_(total), enabled_(enabled && total > kProgressAbove) {}

Progress::~Progress() { clear(); }

void Progress::show(std::size_t n, const std::string& name) {
  if (!enabled_) return;
  const std::string line =
      cli_message("file " + std::to_string(n) + " of " + std::to_string(total_) + ": " + name);
  // Carriage returns only: no terminal control sequences, so any console shows it.
  err_ << '\r' << line;
  if (line.size() < shown_) err_ << std::string(shown_ - line.size(), ' ') << '\r' << line;
  err_ << std::flush;
  shown_ = line.size();
}

void Progress::clear() {
  if (!enabled_ || shown_ == 0) return;
  err_ << '\r' << std::string(shown_, ' ') << '\r' << std::flush;
  shown_ = 0;
}

}  // namespace kvn::frontend
