// Temporary files: their names, and their removal when the program is interrupted
// part-way through a write.
#include "convert/real_files.hpp"
#include "convert/utf16.hpp"
#include "korvane/process.hpp"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace kvn::convert::detail {

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

namespace {

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

}  // namespace

TemporaryGuard::TemporaryGuard() {
  for (auto& slot : g_slots) {
    int expected = kFree;
    if (slot.state.compare_exchange_strong(expected, kClaimed)) {
      slot_ = &slot;
      return;
    }
  }
}

void TemporaryGuard::arm(const std::string& path) {
#ifdef _WIN32
  const std::wstring native = to_wide(path);
#else
  const std::string& native = path;
#endif
  if (!slot_ || native.size() >= kSlotPathBytes) return;
  std::memcpy(slot_->path, native.c_str(), (native.size() + 1) * sizeof(SlotChar));
  slot_->state.store(kArmed);
}

void TemporaryGuard::disarm() {
  if (slot_) slot_->state.store(kFree);
  slot_ = nullptr;
}

namespace {

#ifndef _WIN32
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

}  // namespace

#ifndef _WIN32
InterruptsHeld::InterruptsHeld() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &set, &old_);
}

InterruptsHeld::~InterruptsHeld() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }
#endif

// ---------------------------------------------------------------------------------------
// Names

std::string directory_of(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("/\\:");
#else
  const auto cut = path.find_last_of('/');
#endif
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

namespace {

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

}  // namespace

/// A name of its own rather than one derived from the target's, so a target
/// name of the longest legal length still leaves room.
std::string temporary_name(const std::string& directory) {
  static thread_local std::mt19937 rng{name_seed()};
  char name[32];
  std::snprintf(name, sizeof name, "%s%08x%s", kTemporaryPrefix, static_cast<unsigned>(rng()),
                kTemporarySuffix);
  return directory + name;
}

}  // namespace kvn::convert::detail

namespace kvn {

void remove_temporaries_on_interrupt() {
#ifdef _WIN32
  SetConsoleCtrlHandler(convert::detail::on_console_event, TRUE);
#else
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction old {};
    // Started under nohup or in the background with interrupts ignored: keep it so.
    if (sigaction(sig, nullptr, &old) != 0 || old.sa_handler == SIG_IGN) continue;
    struct sigaction sa {};
    sa.sa_handler = convert::detail::on_interrupt;
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

}  // namespace kvn
