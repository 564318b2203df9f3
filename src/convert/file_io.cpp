#include "convert/file_io.hpp"
#include "convert/utf16.hpp"
#include "korvane/process.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <utility>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/xattr.h>
#endif
#endif

namespace kvn::convert {
namespace {

// Inputs are read whole into memory; anything larger is not a design container.
constexpr std::uint64_t kMaxInputBytes = 0x7FFFFFFFu;
// A name taken by another write (or another program) is tried again with new
// digits; this many clashes in a row mean something else is wrong.
constexpr int kTemporaryAttempts = 100;

std::string reason(int err) {
  return err ? std::string(std::strerror(err)) : std::string("unknown error");
}

// ---------------------------------------------------------------------------------------
// Win32 error codes in Linux's words. Numbers rather than the <windows.h> names so
// the table is also checked on Linux, against strerror itself.

struct Win32Words {
  std::uint32_t code;
  const char* words;
};

constexpr Win32Words kWin32Words[] = {
    {2, "No such file or directory"},   // ERROR_FILE_NOT_FOUND
    {3, "No such file or directory"},   // ERROR_PATH_NOT_FOUND
    {4, "Too many open files"},         // ERROR_TOO_MANY_OPEN_FILES
    {5, "Permission denied"},           // ERROR_ACCESS_DENIED
    {6, "Bad file descriptor"},         // ERROR_INVALID_HANDLE
    {8, "Cannot allocate memory"},      // ERROR_NOT_ENOUGH_MEMORY
    {14, "Cannot allocate memory"},     // ERROR_OUTOFMEMORY
    {15, "No such file or directory"},  // ERROR_INVALID_DRIVE
    {17, "Invalid cross-device link"},  // ERROR_NOT_SAME_DEVICE
    {19, "Read-only file system"},      // ERROR_WRITE_PROTECT
    {21, "No such device"},             // ERROR_NOT_READY
    {23, "Input/output error"},         // ERROR_CRC
    {29, "Input/output error"},         // ERROR_WRITE_FAULT
    {30, "Input/output error"},         // ERROR_READ_FAULT
    {32, "Device or resource busy"},    // ERROR_SHARING_VIOLATION
    {33, "Device or resource busy"},    // ERROR_LOCK_VIOLATION
    {39, "No space left on device"},    // ERROR_HANDLE_DISK_FULL
    {53, "No such file or directory"},  // ERROR_BAD_NETPATH
    {67, "No such file or directory"},  // ERROR_BAD_NET_NAME
    {80, "File exists"},                // ERROR_FILE_EXISTS
    {87, "Invalid argument"},           // ERROR_INVALID_PARAMETER
    {109, "Broken pipe"},               // ERROR_BROKEN_PIPE
    {112, "No space left on device"},   // ERROR_DISK_FULL
    // A name Windows cannot hold (a wildcard that matched nothing) names no
    // file, which is what Linux says of the same name.
    {123, "No such file or directory"},  // ERROR_INVALID_NAME
    {145, "Directory not empty"},        // ERROR_DIR_NOT_EMPTY
    {161, "No such file or directory"},  // ERROR_BAD_PATHNAME
    {183, "File exists"},                // ERROR_ALREADY_EXISTS
    {206, "File name too long"},         // ERROR_FILENAME_EXCED_RANGE
    {232, "Broken pipe"},                // ERROR_NO_DATA
    {267, "Not a directory"},            // ERROR_DIRECTORY
    {1117, "Input/output error"},        // ERROR_IO_DEVICE
    {1816, "Disk quota exceeded"},       // ERROR_NOT_ENOUGH_QUOTA
    {1920, "Permission denied"},         // ERROR_CANT_ACCESS_FILE
};

#ifdef _WIN32
static_assert(ERROR_HANDLE_DISK_FULL == 39 && ERROR_DISK_FULL == 112 && ERROR_ACCESS_DENIED == 5 &&
              ERROR_SHARING_VIOLATION == 32 && ERROR_ALREADY_EXISTS == 183 &&
              ERROR_FILENAME_EXCED_RANGE == 206 && ERROR_NOT_ENOUGH_QUOTA == 1816);
#endif

// ---------------------------------------------------------------------------------------
// Temporary files an interrupt must remove. The handler may only read what is
// lock-free and call async-signal-safe functions, so each path sits in a fixed
// buffer and is published by an atomic state. A few slots cover writes on several
// threads; a write that finds none free goes unguarded rather than waiting.

constexpr std::size_t kSlotPathBytes = 4096;
enum SlotState : int { kFree = 0, kClaimed = 1, kArmed = 2 };
static_assert(std::atomic<int>::is_always_lock_free, "the interrupt handler reads the state");

#ifdef _WIN32
using SlotChar = wchar_t;  // converted when armed: the handler may not allocate
#else
using SlotChar = char;
#endif

struct TemporarySlot {
  std::atomic<int> state{kFree};
  SlotChar path[kSlotPathBytes];
};

TemporarySlot g_slots[4];

void remove_armed_temporaries() {
  for (auto& slot : g_slots) {
    if (slot.state.load() != kArmed) continue;
#ifdef _WIN32
    DeleteFileW(slot.path);
#else
    ::unlink(slot.path);
#endif
  }
}

/// One write's claim on a slot, given back when the write ends however it ends.
class TemporaryGuard {
 public:
  TemporaryGuard() {
    for (auto& slot : g_slots) {
      int expected = kFree;
      if (slot.state.compare_exchange_strong(expected, kClaimed)) {
        slot_ = &slot;
        return;
      }
    }
  }
  ~TemporaryGuard() { disarm(); }
  TemporaryGuard(const TemporaryGuard&) = delete;
  TemporaryGuard& operator=(const TemporaryGuard&) = delete;

  /// Call once `path` exists: from now on an interrupt removes it.
  void arm(const std::string& path) {
#ifdef _WIN32
    const std::wstring native = to_wide(path);
#else
    const std::string& native = path;
#endif
    if (!slot_ || native.size() >= kSlotPathBytes) return;
    std::memcpy(slot_->path, native.c_str(), (native.size() + 1) * sizeof(SlotChar));
    slot_->state.store(kArmed);
  }
  /// Call once the file is renamed or removed. Between that and this call the
  /// handler removes a name that no longer exists, which is harmless.
  void disarm() {
    if (slot_) slot_->state.store(kFree);
    slot_ = nullptr;
  }

 private:
  TemporarySlot* slot_ = nullptr;
};

#ifndef _WIN32
/// Holds SIGINT, SIGTERM and SIGHUP back for a moment: between creating a
/// temporary file and arming its slot an interrupt would leave it behind.
class InterruptsHeld {
 public:
  InterruptsHeld() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &set, &old_);
  }
  ~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
  InterruptsHeld(const InterruptsHeld&) = delete;
  InterruptsHeld& operator=(const InterruptsHeld&) = delete;

 private:
  sigset_t old_;
};

void on_interrupt(int sig) {
  const int saved = errno;
  remove_armed_temporaries();
  // The default action gives the caller the status it expects from this
  // signal. The signal is blocked while its handler runs, so it is delivered
  // the moment the handler returns.
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  sigaction(sig, &dfl, nullptr);
  raise(sig);
  errno = saved;
}
#else
BOOL WINAPI on_console_event(DWORD) {
  // Runs on a thread of its own while the write may still hold the file open:
  // the file is opened with FILE_SHARE_DELETE, so it goes when the process does.
  remove_armed_temporaries();
  return FALSE;  // the default handler ends the process as usual
}
#endif

// ---------------------------------------------------------------------------------------
// Names

/// The directory part of `path` with its separator, or empty for the current one.
std::string directory_of(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("/\\:");
#else
  const auto cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

/// Seeds the temporary names. std::random_device may throw: on x86 it asks the
/// processor (RDSEED, then RDRAND), which can come up empty under load or in a
/// virtual machine. A clash only costs another try, so the clock and where this
/// thread's stack lies stand in then: a write must not fail for want of entropy.
std::uint32_t name_seed() noexcept {
  const int on_stack = 0;
  std::uint32_t seed =
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(&on_stack) >> 4);
  try {
    seed ^= std::random_device{}();
  } catch (...) {
  }
  return seed;
}

/// A name of its own rather than one derived from the target's, so a target
/// name of the longest legal length still leaves room.
std::string temporary_name(const std::string& directory) {
  static thread_local std::mt19937 rng{name_seed()};
  char name[32];
  std::snprintf(name, sizeof name, "%s%08x%s", kTemporaryPrefix, static_cast<unsigned>(rng()),
                kTemporarySuffix);
  return directory + name;
}

Error not_regular(const std::string& path, const char* what) {
  return make_error(ErrorCode::kNotRegularFile, path, what);
}

// ---------------------------------------------------------------------------------------
#ifndef _WIN32

const char* kind_of(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a plain file";
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  /// Closes now and says whether the close reported an error (some file
  /// systems report failed writes only here).
  int close_checked() {
    const int r = ::close(fd_);
    fd_ = -1;
    return r == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

/// Existing and not a regular file (following links): rename() would put a
/// regular file in place of a device or FIFO that others rely on.
Status refuse_unless_regular_or_missing(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    return not_regular(path, kind_of(st.st_mode));
  return Ok{};
}

class RealFileSystem final : public FileSystem {
 public:
  explicit RealFileSystem(WriteHook hook) : hook_(hook) {
    // Read without changing it for long: the only way POSIX offers.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    new_file_mode_ = 0666 & ~mask;
  }
  ~RealFileSystem() override {
    drop_spare();
    for (const auto& w : written_) ::close(w.second);
  }
  RealFileSystem(const RealFileSystem&) = delete;
  RealFileSystem& operator=(const RealFileSystem&) = delete;

  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    // A FIFO or terminal would block the open or the read, and a device may act
    // on being opened: refuse them by name before opening anything...
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
      return not_regular(path, kind_of(st.st_mode));
    Descriptor fd{::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)};
    if (fd.get() < 0) return make_error(ErrorCode::kCannotOpen, path, reason(errno));
    // ...and by what was opened, in case the name changed in between; the
    // non-blocking open kept a FIFO that appeared meanwhile from hanging.
    if (::fstat(fd.get(), &st) != 0) return make_error(ErrorCode::kCannotRead, path, reason(errno));
    if (!S_ISREG(st.st_mode)) return not_regular(path, kind_of(st.st_mode));
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags >= 0) ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK);

    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMaxInputBytes) return make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return make_error(ErrorCode::kCannotRead, path, reason(errno));
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    if (got != bytes.size())
      return make_error(
          ErrorCode::kCannotRead, path,
          "read " + std::to_string(got) + " of " + std::to_string(bytes.size()) + " bytes");
    return bytes;
  }

  Status replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    if (auto refused = refuse_unless_regular_or_missing(path); !refused) return refused;
    const std::string directory = directory_of(path);
    TemporaryGuard guard;
    std::string tmp;
    int created = take_spare(directory, guard, tmp);
    const bool reused = created >= 0;
    int err = 0;
    for (int attempt = 0; attempt < kTemporaryAttempts && created < 0; ++attempt) {
      tmp = temporary_name(directory);
      InterruptsHeld held;
      created = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
      err = errno;
      if (created >= 0)
        guard.arm(tmp);
      else if (err != EEXIST)
        break;
    }
    if (created < 0) return make_error(ErrorCode::kCannotWrite, path, reason(err));
    Descriptor fd{created};

    const auto fail = [&](int e) -> Status {
      ::unlink(tmp.c_str());
      return make_error(ErrorCode::kCannotWrite, path, reason(e));
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return fail(n < 0 ? errno : EIO);
      done += static_cast<std::size_t>(n);
    }
    // A reused file is overwritten in place and then cut to length: an output
    // of the same size as the one it replaces then frees and allocates nothing.
    if (reused && ::ftruncate(fd.get(), static_cast<off_t>(done)) != 0) return fail(errno);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(errno);
    if (const int e = fd.close_checked()) return fail(e);
    if (hook_) hook_(tmp);
    struct stat old {};
    const bool exists = ::stat(path.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
      ::unlink(tmp.c_str());
      return not_regular(path, kind_of(old.st_mode));
    }
    const bool keep_old = exists && keep_as_spare(path, old, st.st_dev, directory);
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
      if (keep_old) drop_spare();
      return fail(errno);
    }
    guard.disarm();
    remember_written(st.st_dev, directory);
    return Ok{};
  }

  FileIdentity identify(const std::string& path) override {
    struct stat st {};
    FileIdentity id;
    if (::stat(path.c_str(), &st) != 0) return id;
    id.type = S_ISREG(st.st_mode)   ? FileType::kRegular
              : S_ISDIR(st.st_mode) ? FileType::kDirectory
                                    : FileType::kOther;
    id.device = static_cast<std::uint64_t>(st.st_dev);
    id.inode = static_cast<std::uint64_t>(st.st_ino);
    return id;
  }

  Status sync_written() override {
    drop_spare();
    std::lock_guard lock{mutex_};
    Status status = Ok{};
    for (std::size_t i = 0; i < written_.size(); ++i) {
      const int fd = written_[i].second;
#ifdef __linux__
      // One call for everything this file system holds: far cheaper than a
      // flush per file, and it covers the files' data and their renames alike.
      const int r = ::syncfs(fd);
#else
      // The renames are entries of the directory.
      const int r = ::fsync(fd);
#endif
      if (r != 0 && status)
        status = make_error(ErrorCode::kCannotWrite, written_names_[i], reason(errno));
      ::close(fd);
    }
    written_.clear();
    written_names_.clear();
    return status;
  }

 private:
  /// Keeps a directory open for sync_written(): one per file system on Linux,
  /// one per directory elsewhere. Opened once, so a run of many files costs
  /// nothing more here.
  void remember_written(dev_t device, const std::string& directory) {
    std::lock_guard lock{mutex_};
    const std::string name = directory.empty() ? std::string(".") : directory;
    for (std::size_t i = 0; i < written_.size(); ++i) {
#ifdef __linux__
      if (written_[i].first == device) return;
#else
      if (written_names_[i] == name) return;
#endif
    }
    const int fd = ::open(name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;  // the file is written; only the sync has nothing to hold on to
    written_.emplace_back(device, fd);
    written_names_.push_back(name);
  }

  // An output replaced by a newer one leaves its file behind, which the next
  // write reuses as its temporary file. Freeing a file and creating another
  // makes a file system like ext4 hunt past every recently freed inode for a
  // new one, which made replacing 1,000 outputs cost three times writing
  // them afresh; reusing the file is what overwriting in place costs, without
  // giving up the rename that keeps every output whole.
  //
  // Only a file that looks exactly like a new one is kept: a single link,
  // ours, the mode a new file gets and no extended attributes, so that
  // nothing of the old file's rights reaches another output.
  bool keep_as_spare(const std::string& path, const struct stat& old, dev_t device,
                     const std::string& directory) {
    if (old.st_nlink != 1 || old.st_uid != ::geteuid() || old.st_dev != device ||
        (old.st_mode & 07777) != new_file_mode_)
      return false;
#ifdef __linux__
    if (::listxattr(path.c_str(), nullptr, 0) != 0) return false;
#endif
    std::lock_guard lock{mutex_};
    if (spare_guard_) return false;  // one is kept already (several writers)
    auto guard = std::make_unique<TemporaryGuard>();
    const std::string name = temporary_name(directory);
    InterruptsHeld held;
    if (::link(path.c_str(), name.c_str()) != 0) return false;
    guard->arm(name);
    spare_ = name;
    spare_directory_ = directory;
    spare_guard_ = std::move(guard);
    return true;
  }

  /// Opens the kept file as the temporary file of a write to `directory`, with
  /// `guard` armed for it; -1 when there is none to take. The caller cuts it
  /// to the length it writes.
  int take_spare(const std::string& directory, TemporaryGuard& guard, std::string& tmp) {
    std::unique_ptr<TemporaryGuard> kept;
    std::string name;
    {
      std::lock_guard lock{mutex_};
      if (!spare_guard_ || spare_directory_ != directory) return -1;
      kept = std::move(spare_guard_);
      name = std::move(spare_);
    }
    InterruptsHeld held;
    const int fd = ::open(name.c_str(), O_WRONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_nlink != 1) {
      if (fd >= 0) ::close(fd);
      ::unlink(name.c_str());
      return -1;
    }
    guard.arm(name);
    tmp = std::move(name);
    return fd;
  }

  void drop_spare() {
    std::lock_guard lock{mutex_};
    if (!spare_guard_) return;
    ::unlink(spare_.c_str());
    spare_guard_.reset();
    spare_.clear();
  }

  WriteHook hook_;
  mode_t new_file_mode_ = 0644;
  std::mutex mutex_;
  std::string spare_;
  std::string spare_directory_;
  std::unique_ptr<TemporaryGuard> spare_guard_;
  std::vector<std::pair<dev_t, int>> written_;
  std::vector<std::string> written_names_;
};

// ---------------------------------------------------------------------------------------
#else  // _WIN32
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

const char* kind_of_type(DWORD type) { return type == FILE_TYPE_PIPE ? "a pipe" : "a device"; }

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

  Status replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    if (auto refused = refuse_unless_regular_or_missing(path); !refused) return refused;
    const std::string directory = directory_of(path);
    TemporaryGuard guard;
    std::string tmp;
    HANDLE created = INVALID_HANDLE_VALUE;
    DWORD err = 0;
    for (int attempt = 0; attempt < kTemporaryAttempts && created == INVALID_HANDLE_VALUE;
         ++attempt) {
      tmp = temporary_name(directory);
      // FILE_SHARE_DELETE lets the console handler remove it while it is open.
      created = CreateFileW(to_wide(tmp).c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr,
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
    std::size_t done = 0;
    while (done < bytes.size()) {
      DWORD n = 0;
      const DWORD want = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
      if (!WriteFile(h.get(), bytes.data() + done, want, &n, nullptr)) return fail(GetLastError());
      if (n == 0) return fail(ERROR_WRITE_FAULT);
      done += n;
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
    if (!MoveFileExW(to_wide(tmp).c_str(), to_wide(path).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return fail(GetLastError());
    guard.disarm();
    return Ok{};
  }

  FileIdentity identify(const std::string& path) override {
    FileIdentity id;
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
#endif

}  // namespace

std::string win32_error_words(std::uint32_t code) {
  for (const auto& w : kWin32Words)
    if (w.code == code) return w.words;
  return "Windows error " + std::to_string(code);
}

FileSystem& real_file_system() {
  static RealFileSystem fs{nullptr};
  return fs;
}

std::unique_ptr<FileSystem> make_real_file_system(WriteHook hook) {
  return std::make_unique<RealFileSystem>(hook);
}

}  // namespace kvn::convert

namespace kvn {

void remove_temporaries_on_interrupt() {
#ifdef _WIN32
  SetConsoleCtrlHandler(convert::on_console_event, TRUE);
#else
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // Started under nohup or in the background with interrupts ignored: keep it so.
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = convert::on_interrupt;
    sigemptyset(&sa.sa_mask);
    // A second signal while the first is handled waits, so the cleanup finishes.
    sigaddset(&sa.sa_mask, SIGINT);
    sigaddset(&sa.sa_mask, SIGTERM);
    sigaddset(&sa.sa_mask, SIGHUP);
    sa.sa_flags = SA_RESTART;
    sigaction(sig, &sa, nullptr);
  }
#endif
}

Status flush_output(std::ostream& out, const std::string& name) {
  errno = 0;
  out.flush();
  int err = errno;
  bool failed = !out;
  // std::cout hands its bytes to stdio's stdout, where a failure may wait.
  if (&out == &std::cout && (std::fflush(stdout) != 0 || std::ferror(stdout))) {
    failed = true;
    if (!err) err = errno;
  }
  if (!failed) return Ok{};
  return make_error(ErrorCode::kCannotWrite, name,
                    err ? convert::reason(err) : std::string("the write failed"));
}

}  // namespace kvn

namespace kvn {

namespace {

bool has_dhv_extension(const std::filesystem::path& p) {
  std::string ext = convert::utf8_from_path(p.extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return ext == ".dhv";
}

}  // namespace

bool is_directory(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::is_directory(convert::path_from_utf8(path), ec);
}

Result<std::vector<std::string>> containers_in(const std::string& dir, bool recursive) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  auto take = [&](const fs::directory_entry& e) {
    std::error_code type_ec;
    if (has_dhv_extension(e.path()) && e.is_regular_file(type_ec))
      found.push_back(convert::utf8_from_path(e.path()));
  };
  // A subfolder that cannot be read is skipped rather than ending the walk:
  // the user asked for every container that can be had.
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    fs::recursive_directory_iterator it(convert::path_from_utf8(dir), options, ec), end;
    for (; !ec && it != end; it.increment(ec)) take(*it);
  } else {
    fs::directory_iterator it(convert::path_from_utf8(dir), options, ec), end;
    for (; !ec && it != end; it.increment(ec)) take(*it);
  }
  if (ec) return make_error(ErrorCode::kCannotRead, dir, ec.message());
  // The directory's own order is arbitrary; a batch should run the same way twice.
  std::sort(found.begin(), found.end());
  return found;
}

Status make_directories(const std::string& dir) {
  std::error_code ec;
  if (dir.empty()) return make_error(ErrorCode::kEmptyOutputName, dir, "no folder was named");
  std::filesystem::create_directories(convert::path_from_utf8(dir), ec);
  if (ec)
    return make_error(ErrorCode::kCannotWrite, dir, "cannot make the folder: " + ec.message());
  if (!is_directory(dir)) return make_error(ErrorCode::kNotRegularFile, dir, "is not a folder");
  return Ok{};
}

}  // namespace kvn
