#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace kvn::test {

/// A fresh directory removed with everything in it when the test ends.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }
  /// Names of the regular files in the directory, sorted.
  std::vector<std::string> files() const;

 private:
  std::filesystem::path path_;
};

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_bytes(const std::string& path);

}  // namespace kvn::test
