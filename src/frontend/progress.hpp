#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>

namespace kvn::frontend {

/// A batch of more files than this shows its progress on a terminal.
inline constexpr std::size_t kProgressAbove = 20;

/// True when the process's standard error is a terminal.
bool standard_error_is_terminal();

/// One line on standard error, rewritten in place, saying which file of a
/// batch is being worked on. It is cleared before anything else is printed,
/// so it never ends up inside the output.
class Progress {
 public:
  /// Shows nothing unless `enabled` and the batch has more than kProgressAbove files.
  Progress(std::ostream& err, std::size_t total, bool enabled);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  /// "korvane: file N of TOTAL: NAME", N being 1-based.
  void show(std::size_t n, const std::string& name);
  /// Blanks the line and returns to its start.
  void clear();

 private:
  std::ostream& err_;
  std::size_t total_;
  bool enabled_;
  std::size_t shown_ = 0;  // characters on the line now
};

}  // namespace kvn::frontend
