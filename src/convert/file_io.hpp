#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "formats/error.hpp"

namespace kvn::convert {

/// The only place that touches files. Tests swap in their own to simulate a
/// full disk or an unreadable file.
class FileSystem {
 public:
  virtual ~FileSystem() = default;
  /// The whole file in one read; a short read is an error.
  virtual Result<std::vector<std::uint8_t>> read_whole(const std::string& path) = 0;
  /// Writes `bytes` to a temporary file beside `path` and renames it over
  /// `path` once complete: a failure leaves any earlier `path` untouched.
  virtual Status replace(const std::string& path, std::span<const std::uint8_t> bytes) = 0;
  /// True when both names reach one existing file, however spelt.
  virtual bool same_file(const std::string& a, const std::string& b) = 0;
};

FileSystem& real_file_system();

}  // namespace kvn::convert
