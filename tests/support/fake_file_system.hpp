#pragma once

#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "convert/file_io.hpp"

namespace kvn::test {

/// Files in memory; `fail_writes_after` simulates a disk that fills up.
class FakeFileSystem final : public convert::FileSystem {
 public:
  std::map<std::string, std::vector<std::uint8_t>> files;
  int fail_writes_after = -1;  // writes that succeed before every later one fails
  int writes = 0;
  int syncs = 0;  // calls of sync_written()
  int reads = 0;  // calls of read_whole()
  // Folders hold the files named "folder/..."; an unreadable one cannot be listed.
  std::set<std::string> folders;
  std::set<std::string> unreadable;

  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    ++reads;
    auto it = files.find(path);
    if (it == files.end()) return make_error(ErrorCode::kCannotOpen, path, "No such file");
    return it->second;
  }
  Status replace(const std::string& path, std::span<const std::uint8_t> bytes, bool) override {
    if (fail_writes_after >= 0 && writes >= fail_writes_after)
      return make_error(ErrorCode::kCannotWrite, path, "No space left on device");
    ++writes;
    files[path] = {bytes.begin(), bytes.end()};
    return Ok{};
  }
  Result<std::vector<std::string>> regular_files_in(const std::string& dir,
                                                    bool recursive) override {
    if (!folders.count(dir) || unreadable.count(dir))
      return make_error(ErrorCode::kCannotRead, dir, "Permission denied");
    const std::string prefix = dir + "/";
    std::vector<std::string> found;
    // Backwards: a folder's own order is no order its callers may count on.
    for (auto it = files.rbegin(); it != files.rend(); ++it) {
      const std::string& name = it->first;
      if (name.rfind(prefix, 0) != 0) continue;
      if (recursive || name.find('/', prefix.size()) == std::string::npos) found.push_back(name);
    }
    return found;
  }
  convert::FileIdentity identify(const std::string& path) override {
    if (folders.count(path)) return {convert::FileType::kDirectory, 1, 0};
    auto it = files.find(path);
    if (it == files.end()) return {};
    // Each name its own file: the map's order gives a stable inode.
    return {convert::FileType::kRegular, 1,
            static_cast<std::uint64_t>(std::distance(files.begin(), it)) + 1};
  }
  Status sync_written() override {
    ++syncs;
    return Ok{};
  }
};

}  // namespace kvn::test
