// What the real file systems of every platform share: temporary files that an
// interrupt removes, their names, and the words of a failure. Only the file
// system's own sources include this.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/file_io.hpp"

#ifndef _WIN32
#include <signal.h>
#endif

namespace kvn::convert::detail {

// Inputs are read whole into memory; anything larger is not a design container.
inline constexpr std::uint64_t kMaxInputBytes = 0x7FFFFFFFu;
// A name taken by another write (or another program) is tried again with new
// digits; this many clashes in a row mean something else is wrong.
inline constexpr int kTemporaryAttempts = 100;

/// strerror()'s words for `err`.
std::string reason(int err);

Error not_regular(const std::string& path, const char* what);

/// The directory part of `path` with its separator, or empty for the current one.
std::string directory_of(const std::string& path);

/// A fresh temporary name in `directory` (as directory_of() gives it).
std::string temporary_name(const std::string& directory);

struct TemporarySlot;

/// One write's claim on a slot, given back when the write ends however it ends.
class TemporaryGuard {
 public:
  TemporaryGuard();
  ~TemporaryGuard() { disarm(); }
  TemporaryGuard(const TemporaryGuard&) = delete;
  TemporaryGuard& operator=(const TemporaryGuard&) = delete;

  /// Call once `path` exists: from now on an interrupt removes it.
  void arm(const std::string& path);
  /// Call once the file is renamed or removed. Between that and this call the
  /// handler removes a name that no longer exists, which is harmless.
  void disarm();

 private:
  TemporarySlot* slot_ = nullptr;
};

#ifndef _WIN32
/// Holds SIGINT, SIGTERM and SIGHUP back for a moment: between creating a
/// temporary file and arming its slot an interrupt would leave it behind.
class InterruptsHeld {
 public:
  InterruptsHeld();
  ~InterruptsHeld();
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t old_;
};
#endif

/// The real folder listing behind FileSystem::regular_files_in().
Result<std::vector<std::string>> list_regular_files(const std::string& dir, bool recursive);

}  // namespace kvn::convert::detail
