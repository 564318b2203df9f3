// The file system of POSIX systems.
#include "convert/file_io.hpp"
#include "convert/real_files.hpp"

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/magic.h>
#include <sys/vfs.h>
#include <sys/xattr.h>
#endif

namespace kvn::convert {
namespace {

using detail::directory_of;
using detail::InterruptsHeld;
using detail::kMaxInputBytes;
using detail::kTemporaryAttempts;
using detail::not_regular;
using detail::reason;
using detail::temporary_name;
using detail::TemporaryGuard;

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

/// Writes what it is given straight to a descriptor; the first failure is kept
/// and ends the writing.
class DescriptorSink final : public ByteSink {
 public:
  explicit DescriptorSink(int fd) : fd_(fd) {}
  void put(std::span<const std::uint8_t> bytes) override {
    std::size_t done = 0;
    while (err_ == 0 && done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        err_ = n < 0 ? errno : EIO;
        break;
      }
      done += static_cast<std::size_t>(n);
    }
    written_ += done;
  }
  bool good() const override { return err_ == 0; }
  int error() const { return err_; }
  std::uint64_t written() const { return written_; }

 private:
  int fd_;
  int err_ = 0;
  std::uint64_t written_ = 0;
};

/// Fills `bytes` with the first `size` bytes of the open file `fd`, as the
/// disk now holds them; 0, or the errno of the failure.
int read_back(int fd, std::uint64_t size, std::vector<std::uint8_t>& bytes) {
  if (size > SIZE_MAX) return EFBIG;
  bytes.resize(static_cast<std::size_t>(size));
  std::size_t got = 0;
  while (got < bytes.size()) {
    const ssize_t n = ::pread(fd, bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

// Links in /proc stand for a file some process has open, whatever it is at
// the moment: /dev/stdout leads through one to wherever the caller's output
// went. Writing "through" it would replace that file, never the user's.
bool is_process_link(const std::string& link) {
#ifdef __linux__
  const std::string dir = directory_of(link);
  struct statfs fs {};
  return ::statfs(dir.empty() ? "." : dir.c_str(), &fs) == 0 && fs.f_type == PROC_SUPER_MAGIC;
#else
  (void)link;
  return false;
#endif
}

/// Where writing a name really goes.
struct Target {
  std::string name;  // the name itself, or the file its links lead to
  bool through_link = false;
  bool exists = false;
  struct stat st {};  // when it exists
};

// Root may write anything, so for root only a file nobody may write counts as
// write-protected; anyone else is asked about as the system would judge them.
bool write_protected(const Target& t) {
  if (::geteuid() == 0) return (t.st.st_mode & 0222) == 0;
  return ::faccessat(AT_FDCWD, t.name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES;
}

/// Follows `path` link by link, so that a user's link to a design stays a link
/// and the design it leads to is what gets replaced; then refuses what must not
/// be replaced.
Result<Target> target_of(const std::string& path, bool force) {
  constexpr int kMaxLinks = 40;  // what the kernel follows before ELOOP
  Target t{path};
  for (int hops = 0;; ++hops) {
    if (hops == kMaxLinks) return make_error(ErrorCode::kCannotWrite, path, reason(ELOOP));
    struct stat st {};
    if (::lstat(t.name.c_str(), &st) != 0) {
      if (errno == ENOENT && t.through_link)
        return make_error(ErrorCode::kCannotWrite, path,
                          "it is a link to " + t.name + ", which does not exist");
      break;  // a new file, or one the write itself will fail to reach
    }
    if (!S_ISLNK(st.st_mode)) {
      // What lstat() says of a name that is no link, stat() would say again:
      // one call a name fewer in a batch of many.
      t.exists = true;
      t.st = st;
      break;
    }
    if (is_process_link(t.name))
      return not_regular(path, "it leads to a file a program has open (as /dev/stdout does)");
    std::string to(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4095) + 1, '\0');
    const ssize_t n = ::readlink(t.name.c_str(), to.data(), to.size());
    if (n < 0) return make_error(ErrorCode::kCannotWrite, path, reason(errno));
    if (static_cast<std::size_t>(n) >= to.size())
      return make_error(ErrorCode::kCannotWrite, path, "its link changed while it was read");
    to.resize(static_cast<std::size_t>(n));
    t.name = !to.empty() && to[0] == '/' ? to : directory_of(t.name) + to;
    t.through_link = true;
  }
  // rename() would put a regular file in place of a device or FIFO that
  // others rely on.
  if (t.exists && !S_ISREG(t.st.st_mode)) return not_regular(path, kind_of(t.st.st_mode));
  if (t.through_link) {
    const std::string dir = directory_of(t.name);
    if (::faccessat(AT_FDCWD, dir.empty() ? "." : dir.c_str(), W_OK | X_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EROFS))
      return make_error(ErrorCode::kCannotWrite, path,
                        "it is a link to " + t.name + ", in a folder korvane may not write to (" +
                            reason(errno) + ")");
  }
  if (t.exists && !force && write_protected(t))
    return make_error(ErrorCode::kCannotWrite, path,
                      "it is write-protected; --force replaces it all the same");
  return t;
}

// The replaced file's permissions, and its owner and group where this process
// may give them: a private file stays private. The set-ID bits go with the
// owner only.
int keep_rights(int fd, const struct stat& now, const struct stat& old) {
  bool owner_kept = now.st_uid == old.st_uid && now.st_gid == old.st_gid;
  if (!owner_kept) {
    owner_kept = ::fchown(fd, old.st_uid, old.st_gid) == 0;
    if (!owner_kept && now.st_gid != old.st_gid)
      (void)::fchown(fd, static_cast<uid_t>(-1), old.st_gid);
  }
  const mode_t mode = old.st_mode & (owner_kept ? 07777 : 0777);
  return ::fchmod(fd, mode) == 0 ? 0 : errno;
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
    // A plain file reads the same with the flag left on; a file system that
    // says "try again" all the same gets blocking reads from then on.
    const auto blocking = [&] {
      const int flags = ::fcntl(fd.get(), F_GETFL);
      return flags >= 0 && (flags & O_NONBLOCK) &&
             ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) == 0;
    };

    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > kMaxInputBytes) return make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::size_t got = 0;
    while (got < bytes.size()) {
      const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
      if (n < 0 && (errno == EINTR || (errno == EAGAIN && blocking()))) continue;
      if (n < 0) return make_error(ErrorCode::kCannotRead, path, reason(errno));
      if (n == 0) break;
      got += static_cast<std::size_t>(n);
    }
    // Files under /proc and the like say they are empty and hold text all the
    // same: with nothing to go by, read until the end.
    while (size == 0 && got == bytes.size() && got <= kMaxInputBytes) {
      bytes.resize(got + 65536);
      const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
      if (n < 0 && (errno == EINTR || (errno == EAGAIN && blocking()))) {
        bytes.resize(got);
        continue;
      }
      if (n < 0) return make_error(ErrorCode::kCannotRead, path, reason(errno));
      got += static_cast<std::size_t>(n);
      bytes.resize(got);
      if (n == 0) break;
    }
    if (got > kMaxInputBytes) return make_error(ErrorCode::kCannotRead, path, "larger than 2 GiB");
    if (got != bytes.size())
      return make_error(
          ErrorCode::kCannotRead, path,
          "read " + std::to_string(got) + " of " + std::to_string(bytes.size()) + " bytes");
    return bytes;
  }

  Status check_replaceable(const std::string& path, bool force) override {
    auto t = target_of(path, force);
    if (!t) return t.error();
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
    auto target = target_of(path, force);
    if (!target) return target.error();
    const Target& t = *target;
    const std::string directory = directory_of(t.name);
    TemporaryGuard guard;
    std::string tmp;
    int created = take_spare(directory, guard, tmp);
    const bool reused = created >= 0;
    int err = 0;
    for (int attempt = 0; attempt < kTemporaryAttempts && created < 0; ++attempt) {
      tmp = temporary_name(directory);
      InterruptsHeld held;
      // Readable too: the check reads the file back before it is renamed.
      created = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOCTTY | O_CLOEXEC, 0666);
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
    const auto give_up = [&](Status why) {
      ::unlink(tmp.c_str());
      return why;
    };
    DescriptorSink sink{fd.get()};
    if (auto made = produce(sink); !made) return give_up(made);
    if (!sink.good()) return fail(sink.error());
    const std::uint64_t done = sink.written();
    // A reused file is overwritten in place and then cut to length: an output
    // of the same size as the one it replaces then frees and allocates nothing.
    if (reused && ::ftruncate(fd.get(), static_cast<off_t>(done)) != 0) return fail(errno);
    if (check) {
      std::vector<std::uint8_t> back;
      if (const int e = read_back(fd.get(), done, back)) return fail(e);
      if (auto st = check(back); !st) return give_up(st);
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return fail(errno);
    if (t.exists)
      if (const int e = keep_rights(fd.get(), st, t.st)) return fail(e);
    if (const int e = fd.close_checked()) return fail(e);
    if (hook_) hook_(tmp);
    struct stat old {};
    const bool exists = ::stat(t.name.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
      ::unlink(tmp.c_str());
      return not_regular(path, kind_of(old.st_mode));
    }
    const bool keep_old = exists && keep_as_spare(t.name, old, st.st_dev, directory);
    if (::rename(tmp.c_str(), t.name.c_str()) != 0) {
      if (keep_old) drop_spare();
      return fail(errno);
    }
    guard.disarm();
    remember_written(st.st_dev, directory);
    return Ok{};
  }

  Result<std::vector<std::string>> regular_files_in(const std::string& dir,
                                                    bool recursive) override {
    return detail::list_regular_files(dir, recursive);
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
    const int fd = ::open(name.c_str(), O_RDWR | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
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

}  // namespace

FileSystem& real_file_system() {
  static RealFileSystem fs{nullptr};
  return fs;
}

std::unique_ptr<FileSystem> make_real_file_system(WriteHook hook) {
  return std::make_unique<RealFileSystem>(hook);
}

}  // namespace kvn::convert
