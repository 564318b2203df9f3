#pragma once

#include <cstdint>
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
  virtual Status replace(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
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

FileSystem& real_file_system();

}  // namespace kvn::convert
