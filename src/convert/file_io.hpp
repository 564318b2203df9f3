#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/error.hpp"

namespace kvn::convert {

/// What a name leads to, following symbolic links.
enum class FileType { kMissing, kRegular, kDirectory, kOther /* device, FIFO, socket */ };

struct FileIdentity {
  FileType type = FileType::kMissing;
  // Together they tell one file from another however it is named (hard and
  // symbolic links included); meaningful only when the file exists.
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

/// Takes a file's bytes in order, a piece at a time, as they are made, so that
/// a large output never has to be held whole.
class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void put(std::span<const std::uint8_t> bytes) = 0;
  /// False once a write has failed: whatever is put after that goes nowhere,
  /// and a producer may stop early.
  virtual bool good() const = 0;
};

/// A sink that keeps everything, for the callers who want the bytes themselves.
class MemorySink final : public ByteSink {
 public:
  void put(std::span<const std::uint8_t> b) override { bytes.insert(bytes.end(), b.begin(), b.end()); }
  bool good() const override { return true; }
  std::vector<std::uint8_t> bytes;
};

/// Makes one file's bytes into a sink; an error stops the write, and nothing
/// is written.
using Producer = std::function<Status(ByteSink&)>;

/// Judges a finished file, read back from where it was written, before it
/// replaces anything; an error leaves nothing written.
using ReadBackCheck = std::function<Status(std::span<const std::uint8_t>)>;

/// The only place that touches files. Tests swap in their own to simulate a
/// full disk or an unreadable file.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  /// The whole file in one read; a short read is an error. Refuses what is not
  /// a regular file before opening it.
  virtual Result<std::vector<std::uint8_t>> read_whole(const std::string& path) = 0;
  /// Writes `bytes` to a temporary file beside `path` and renames it over
  /// `path` once complete: a failure leaves any earlier `path` untouched.
  /// Refuses what check_replaceable() refuses. A symbolic link stays: the file
  /// it leads to is the one replaced, beside it; a replaced file keeps its
  /// permissions (and its owner where the process may give it).
  virtual Status replace(const std::string& path, std::span<const std::uint8_t> bytes,
                         bool force = false) = 0;
  /// As replace(), with the bytes made by `produce` while they are written;
  /// `check`, when given, reads the finished file back first. A file system
  /// that cannot write piece by piece gathers the bytes and replaces them whole.
  virtual Status replace_streamed(const std::string& path, const Producer& produce,
                                  const ReadBackCheck& check, bool force = false);
  /// Why `path` may not be replaced: a directory, device or FIFO there, a link
  /// that leads nowhere, to a program's open file (/dev/stdout) or into a
  /// folder that cannot be written, or, unless `force`, a write-protected file.
  /// A file system without such things has nothing to refuse.
  virtual Status check_replaceable(const std::string& path, bool force) {
    (void)path;
    (void)force;
    return Ok{};
  }
  /// The regular files (links followed) in the folder `dir`, and with
  /// `recursive` in its subfolders too, in the folder's own order. A subfolder
  /// that cannot be read is skipped; `dir` itself not being readable is an error.
  /// A file system without folders has nothing to list.
  virtual Result<std::vector<std::string>> regular_files_in(const std::string& dir,
                                                            bool recursive) {
    (void)recursive;
    return make_error(ErrorCode::kCannotRead, dir, "Not a directory");
  }
  /// What `path` is; a name that cannot be examined is reported as missing.
  virtual FileIdentity identify(const std::string& path) = 0;
  /// Makes everything replace() wrote so far durable, once for the whole run.
  virtual Status sync_written() = 0;
  /// True when both names reach one existing file, however spelt.
  bool same_file(const std::string& a, const std::string& b) {
    const FileIdentity x = identify(a);
    return x.type != FileType::kMissing && x == identify(b);
  }
};

// Inline: the page's module has file systems of its own and none of the real ones.
inline Status FileSystem::replace_streamed(const std::string& path, const Producer& produce,
                                           const ReadBackCheck& check, bool force) {
  MemorySink sink;
  if (auto made = produce(sink); !made) return made;
  if (check)
    if (auto st = check(sink.bytes); !st) return st;
  return replace(path, sink.bytes, force);
}

FileSystem& real_file_system();

/// Called by a real file system once a temporary file holds all its bytes,
/// just before it is renamed into place; lets tests interrupt a write there.
using WriteHook = void (*)(const std::string& temporary);

/// A real file system of its own (its own record of what to sync), with an
/// optional hook.
std::unique_ptr<FileSystem> make_real_file_system(WriteHook hook = nullptr);

/// The temporary files are named `.korvane-` + 8 hex digits + `.tmp`, beside
/// their target: short, so any name the target may have still works.
inline constexpr char kTemporaryPrefix[] = ".korvane-";
inline constexpr char kTemporarySuffix[] = ".tmp";

/// The same plain words strerror() gives on Linux for a Win32 error code, so a
/// full disk reads "No space left on device" on every system.
std::string win32_error_words(std::uint32_t code);

}  // namespace kvn::convert
