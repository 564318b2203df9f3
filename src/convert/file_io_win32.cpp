// The file system of Windows.
#include "convert/file_io.hpp"
#include "convert/real_files.hpp"
#include "convert/utf16.hpp"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace kvn::convert {
namespace {

// win32_error_words() knows the codes by number, so that its table is checked
// on Linux too; here the numbers meet their names.
static_assert(ERROR_HANDLE_DISK_FULL == 39 && ERROR_DISK_FULL == 112 && ERROR_ACCESS_DENIED == 5 &&
              ERROR_SHARING_VIOLATION == 32 && ERROR_ALREADY_EXISTS == 183 &&
              ERROR_FILENAME_EXCED_RANGE == 206 && ERROR_NOT_ENOUGH_QUOTA == 1816);

using detail::directory_of;
using detail::kMaxInputBytes;
using detail::kTemporaryAttempts;
using detail::not_regular;
using detail::temporary_name;
using detail::TemporaryGuard;

// Names are UTF-8 here and UTF-16 for Windows: every call takes the W form.

std::string last_error_words() { return win32_error_words(GetLastError()); }

class Handle {
 public:
  explicit Handle(HANDLE h) : h_(h) {}
  ~Handle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return h_; }
  bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
  bool close_checked() {
    const BOOL ok = CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return ok != 0;
  }

 private:
  HANDLE h_;
};

/// Writes what it is given straight to a file; the first failure is kept and
/// ends the writing.
class HandleSink final : public ByteSink {
 public:
  explicit HandleSink(HANDLE h) : h_(h) {}
  void put(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (err_ == 0 && done < bytes.size()) {
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      if (!WriteFile(h_, bytes.data() + done, want, &n, nullptr))
        err_ = GetLastError();
      else if (n == 0)
        err_ = ERROR_WRITE_FAULT;
      done += n;
    }
    written_ += done;
  }
  bool good() const override { return err_ == 0; }
  DWORD error() const { return err_; }
  std::uint64_t written() const { return written_; }

 private:
  HANDLE h_;
  DWORD err_ = 0;
  std::uint64_t written_ = 0;
};

/// Fills `bytes` with the first `size` bytes of the open file `h`, as the disk
/// now holds them; 0, or the error of the failure.
DWORD read_back(HANDLE h, std::uint64_t size, std::vector<std::uint8_t>& bytes) {
  if (size > SIZE_MAX) return ERROR_NOT_ENOUGH_MEMORY;
  bytes.resize(static_cast<std::size_t>(size));
  LARGE_INTEGER start{};
  if (!SetFilePointerEx(h, start, nullptr, FILE_BEGIN)) return GetLastError();
  std::size_t got = 0;
  while (got < bytes.size()) {
    DWORD n = 0;
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
    if (!ReadFile(h, bytes.data() + got, want, &n, nullptr)) return GetLastError();
    if (n == 0) return ERROR_READ_FAULT;
    got += n;
  }
  return 0;
}

const char* kind_of_type(DWORD type) { return type == FILE_TYPE_PIPE ? "a pipe" : "a device"; }

// CON, NUL, COM1, LPT1... name a device in every folder and with any
// extension; Windows (and wine) report a write to one in words no user knows.
bool names_device(const std::string& path) {
  const auto start = path.find_last_of("/\\:");
  std::string base = path.substr(start == std::string::npos ? 0 : start + 1);
  base = base.substr(0, base.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  for (auto& c : base) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$")
    return true;
  return base.size() == 4 && (base.rfind("COM", 0) == 0 || base.rfind("LPT", 0) == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

class RealFileSystem final : public FileSystem {
 public:
  explicit RealFileSystem(WriteHook hook) : hook_(hook) {}

  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return not_regular(path, "a directory");
    Handle h{CreateFileW(to_wide(path).c_str(), GENERIC_READ,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (!h.valid()) return make_error(ErrorCode::kCannotOpen, path, last_error_words());
    const DWORD type = GetFileType(h.get());
    if (type != FILE_TYPE_DISK) return not_regular(path, kind_of_type(type));
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size))
      return make_error(ErrorCode::kCannotRead, path, last_error_words());
    if (size.QuadPart < 0 || static_cast<std::uint64_t>(size.QuadPart) > kMaxInputBytes)
      return make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart));
    std::size_t got = 0;
    while (got < bytes.size()) {
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - got, 1u << 30));
      if (!ReadFile(h.get(), bytes.data() + got, want, &n, nullptr))
        return make_error(ErrorCode::kCannotRead, path, last_error_words());
      if (n == 0) break;
      got += n;
    }
    if (got != bytes.size())
      return make_error(
          ErrorCode::kCannotRead, path,
          "read " + std::to_string(got) + " of " + std::to_string(bytes.size()) + " bytes");
    return bytes;
  }

  Status check_replaceable(const std::string& path, bool force) override {
    if (auto refused = refuse_unless_regular_or_missing(path); !refused) return refused;
    const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
    if (!force && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
      return make_error(ErrorCode::kCannotWrite, path,
                        "it is write-protected; --force replaces it all the same");
    return Ok{};
  }

  Status replace(const std::string& path, std::span<const std::uint8_t> bytes,
                 bool force) override {
    return replace_streamed(
        path,
        [bytes](ByteSink& sink) -> Status {
          sink.put(bytes);
          return Ok{};
        },
        nullptr, force);
  }

  Status replace_streamed(const std::string& path, const Producer& produce,
                          const ReadBackCheck& check, bool force) override {
    if (auto refused = check_replaceable(path, force); !refused) return refused;
    const std::string directory = directory_of(path);
    TemporaryGuard guard;
    std::string tmp;
    HANDLE created = INVALID_HANDLE_VALUE;
    DWORD err = 0;
    for (int attempt = 0; attempt < kTemporaryAttempts && created == INVALID_HANDLE_VALUE;
         ++attempt) {
      tmp = temporary_name(directory);
      // FILE_SHARE_DELETE lets the console handler remove it while it is open.
      // Readable too: the check reads the file back before it is renamed.
      created = CreateFileW(to_wide(tmp).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_DELETE,
                            nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
      err = GetLastError();
      if (created != INVALID_HANDLE_VALUE)
        guard.arm(tmp);
      else if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS)
        break;
    }
    if (created == INVALID_HANDLE_VALUE)
      return make_error(ErrorCode::kCannotWrite, path, win32_error_words(err));
    Handle h{created};

    const auto fail = [&](DWORD e) -> Status {
      if (h.valid()) h.close_checked();
      DeleteFileW(to_wide(tmp).c_str());
      return make_error(ErrorCode::kCannotWrite, path, win32_error_words(e));
    };
    HandleSink sink{h.get()};
    if (auto made = produce(sink); !made) {
      h.close_checked();
      DeleteFileW(to_wide(tmp).c_str());
      return made;
    }
    if (!sink.good()) return fail(sink.error());
    if (check) {
      std::vector<std::uint8_t> back;
      if (const DWORD e = read_back(h.get(), sink.written(), back)) return fail(e);
      if (auto st = check(back); !st) {
        h.close_checked();
        DeleteFileW(to_wide(tmp).c_str());
        return st;
      }
    }
    // Windows has no syncfs an ordinary user may call (flushing a volume needs
    // administrator rights), and MOVEFILE_WRITE_THROUGH flushes a rename within
    // one volume but not the data: so each file is flushed here, and
    // sync_written() has nothing left to do.
    if (!FlushFileBuffers(h.get())) return fail(GetLastError());
    if (!h.close_checked()) return fail(GetLastError());
    if (hook_) hook_(tmp);
    if (auto refused = refuse_unless_regular_or_missing(path); !refused) {
      DeleteFileW(to_wide(tmp).c_str());
      return refused;
    }
    // A read-only file (replaced only with --force) cannot be renamed over;
    // the new one is made read-only in its turn.
    const DWORD attributes = GetFileAttributesW(to_wide(path).c_str());
    const bool read_only =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (read_only)
      SetFileAttributesW(to_wide(path).c_str(), attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
    if (!MoveFileExW(to_wide(tmp).c_str(), to_wide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      const DWORD e = GetLastError();
      if (read_only) SetFileAttributesW(to_wide(path).c_str(), attributes);
      return fail(e);
    }
    if (read_only) SetFileAttributesW(to_wide(path).c_str(), attributes);
    guard.disarm();
    return Ok{};
  }

  Result<std::vector<std::string>> regular_files_in(const std::string& dir,
                                                    bool recursive) override {
    return detail::list_regular_files(dir, recursive);
  }

  FileIdentity identify(const std::string& path) override {
    FileIdentity id;
    if (names_device(path)) {
      id.type = FileType::kOther;
      return id;
    }
    // No access asked for: examining a file must not fail on how others share it.
    Handle h{CreateFileW(to_wide(path).c_str(), 0,
                         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr)};
    if (!h.valid()) return id;
    if (GetFileType(h.get()) != FILE_TYPE_DISK) {
      id.type = FileType::kOther;
      return id;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(h.get(), &info)) return id;
    id.type = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileType::kDirectory
                                                                 : FileType::kRegular;
    id.device = info.dwVolumeSerialNumber;
    id.inode = (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
    return id;
  }

  Status sync_written() override { return Ok{}; }

 private:
  Status refuse_unless_regular_or_missing(const std::string& path) {
    const FileIdentity id = identify(path);
    if (id.type == FileType::kDirectory) return not_regular(path, "a directory");
    if (id.type == FileType::kOther) return not_regular(path, "a device");
    return Ok{};
  }

  WriteHook hook_;
};

}  // namespace

FileSystem& real_file_system() {
  static RealFileSystem fs{nullptr};
  return fs;
}

std::unique_ptr<FileSystem> make_real_file_system(WriteHook hook) {
  return std::make_unique<RealFileSystem>(hook);
}

}  // namespace kvn::convert
