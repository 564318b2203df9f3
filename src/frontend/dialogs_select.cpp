#include <iostream>
#include <string>

#include "frontend/dialogs.hpp"

// --- Windows: the system's own dialogs (win32/) ---
#ifdef _WIN32
#include "frontend/win32/win32_dialogs.hpp"
#endif
// --- end Windows ---

#ifndef _WIN32
#include <dlfcn.h>

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
    err << "korvane: no GTK dialogs (" << why << "); using the terminal\n" << std::flush;
  }
#else
  if (choice == DialogChoice::kGtk)
    err << "korvane: GTK dialogs are not available in this build; using the terminal\n";
#endif
  // Prompts go to standard error: standard output carries only the banner and the error line.
  return make_terminal_dialogs(std::cin, std::cerr);
}

}  // namespace kvn::frontend
