#include "convert/file_io.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kvn::convert {
namespace {

namespace fs = std::filesystem;

std::string reason(int err) { return err ? std::string(std::strerror(err)) : std::string(); }

std::string temp_name_beside(const std::string& path) {
  static thread_local std::mt19937 rng{std::random_device{}()};
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".korvane-%08x.tmp", static_cast<unsigned>(rng()));
  return path + suffix;
}

bool rename_over(const std::string& from, const std::string& to) {
#ifdef _WIN32
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
  return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

class RealFileSystem final : public FileSystem {
 public:
  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return make_error(ErrorCode::kCannotOpen, path, reason(errno));
    std::vector<std::uint8_t> bytes;
    std::error_code ec;
    const auto size = fs::file_size(fs::path(path), ec);
    if (!ec && size > 0x7FFFFFFFu) {
      std::fclose(f);
      return make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
    }
    if (!ec) bytes.resize(static_cast<std::size_t>(size));
    const std::size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), f);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (ec || failed || got != bytes.size())
      return make_error(ErrorCode::kCannotRead, path,
                        ec ? ec.message() : "read " + std::to_string(got) + " of " +
                                                std::to_string(bytes.size()) + " bytes");
    return bytes;
  }

  Status replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    const std::string tmp = temp_name_beside(path);
    std::FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return make_error(ErrorCode::kCannotWrite, path, reason(errno));
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = ok ? 0 : errno;
    if (std::fflush(f) != 0 && ok) ok = false, err = errno;
    if (std::fclose(f) != 0 && ok) ok = false, err = errno;
    if (ok && !rename_over(tmp, path)) ok = false, err = errno;
    if (!ok) {
      std::remove(tmp.c_str());
      return make_error(ErrorCode::kCannotWrite, path, reason(err));
    }
    return Ok{};
  }

  FileIdentity identify(const std::string& path) override {
    std::error_code ec;
    const auto st = fs::status(fs::path(path), ec);
    FileIdentity id;
    if (ec || !fs::exists(st)) return id;
    id.type = fs::is_regular_file(st) ? FileType::kRegular
              : fs::is_directory(st)  ? FileType::kDirectory
                                      : FileType::kOther;
    // Stand-in until the platform's own identity is read: equal names only.
    id.device = 0;
    id.inode = std::hash<std::string>{}(fs::weakly_canonical(fs::path(path), ec).string());
    return id;
  }

  Status sync_written() override { return Ok{}; }
};

}  // namespace

FileSystem& real_file_system() {
  static RealFileSystem fs;
  return fs;
}

}  // namespace kvn::convert
