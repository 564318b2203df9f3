#include <iostream>
#include <string>

#include "frontend/dialogs.hpp"
#include "frontend/messages.hpp"

// --- Windows: the system's own dialogs (win32/) ---
#ifdef _WIN32
#include "frontend/win32/win32_dialogs.hpp"
#endif
// --- end Windows ---

#ifndef _WIN32
#include <dlfcn.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "frontend/gtk/gtk_module.hpp"
#endif

namespace kvn::frontend {

#ifndef _WIN32
namespace {

namespace fs = std::filesystem;

bool has_display() {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') return true;
  }
  return false;
}

// Beside the executable first, so a build tree uses its own module; then
// where an install put it relative to the executable (an install may be moved,
// or made under another prefix); then where this build's install rules put it.
std::vector<fs::path> module_candidates() {
  std::vector<fs::path> dirs;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (!ec) {
    dirs.push_back(exe.parent_path());
    dirs.push_back(exe.parent_path() / KORVANE_GTK_MODULE_RELDIR);
  }
  dirs.emplace_back(KORVANE_GTK_MODULE_DIR);
  for (auto& d : dirs) d /= KORVANE_GTK_MODULE_FILE;
  return dirs;
}

std::unique_ptr<Dialogs> load_gtk_dialogs(std::string& why) {
  const auto candidates = module_candidates();
  for (const auto& path : candidates) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) continue;
    // Never closed: the dialogs' code lives in the module, and GTK cannot be
    // unloaded from a process once it has been initialised.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* e = dlerror();
      why = e != nullptr ? e : path.string() + " cannot be loaded";
      return nullptr;
    }
    const auto create = reinterpret_cast<KvnCreateGtkDialogs>(dlsym(module, kKvnGtkEntryName));
    if (create == nullptr) {
      why = path.string() + " is from another version of korvane";
      return nullptr;
    }
    char reason[256] = {};
    std::unique_ptr<Dialogs> dialogs(create(reason, sizeof reason));
    if (!dialogs) why = reason;
    return dialogs;
  }
  why = std::string(KORVANE_GTK_MODULE_FILE) + " is in none of";
  for (std::size_t i = 0; i < candidates.size(); ++i)
    why += (i == 0 ? " " : ", ") + candidates[i].parent_path().lexically_normal().string();
  return nullptr;
}

extern "C" char** environ;

// Runs a helper program and waits for it; true when it ran and succeeded.
bool run_program(std::vector<std::string> argv) {
  std::vector<char*> args;
  for (auto& a : argv) args.push_back(a.data());
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0)
    if (errno != EINTR) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Started from a desktop menu with neither GTK nor a terminal, nothing of
// korvane's own can be seen: the reason goes out by whatever the desktop has,
// a box from zenity or kdialog, else a line in the journal.
void tell_desktop(const std::string& reason) {
  const std::string text = "korvane cannot show its dialogs: " + reason;
  if (run_program({"zenity", "--error", "--title=korvane", "--no-markup", "--text=" + text}))
    return;
  if (run_program({"kdialog", "--title", "korvane", "--error", text})) return;
  run_program({"logger", "-t", "korvane", "--", text});
}

}  // namespace
#endif

std::unique_ptr<Dialogs> make_dialogs(DialogChoice choice, std::ostream& err) {
  // --- Windows: the system's own dialogs unless the terminal is asked for ---
#ifdef _WIN32
  if (choice == DialogChoice::kAuto) return win32::make_win32_dialogs(err);
#endif
    // --- end Windows ---
#ifndef _WIN32
  // Without a display the terminal is simply the way; a display that GTK
  // cannot serve is worth one line, since the user expected a window.
  if (choice == DialogChoice::kGtk || (choice == DialogChoice::kAuto && has_display())) {
    std::string why;
    if (auto dialogs = load_gtk_dialogs(why)) return dialogs;
    if (choice == DialogChoice::kAuto && isatty(STDIN_FILENO) == 0) {
      print_cli_message(err, "no GTK dialogs (" + why + ") and no terminal to ask on");
      tell_desktop("no GTK dialogs (" + why + ") and no terminal to ask on");
      return nullptr;
    }
    print_cli_message(err, "no GTK dialogs (" + why + "); using the terminal");
  }
#else
  if (choice == DialogChoice::kGtk)
    print_cli_message(err, "GTK dialogs are not available in this build; using the terminal");
#endif
  // Prompts go to standard error: standard output carries only the banner and the error line.
  return make_terminal_dialogs(std::cin, std::cerr);
}

}  // namespace kvn::frontend
