#include "frontend/win32/win32_startup.hpp"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "convert/utf16.hpp"
#include "frontend/wildcards.hpp"

namespace kvn::frontend::win32 {
namespace {

using convert::from_wide;
using convert::to_wide;

std::vector<std::string> list_matches(const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW found;
  // Windows matches short 8.3 names too (`*.dhv` finds "garden.dhvx" through
  // "GARDEN~1.DHV"): expand_wildcards checks each long name again.
  HANDLE h = FindFirstFileExW(to_wide(pattern).c_str(), FindExInfoBasic, &found,
                              FindExSearchNameMatch, nullptr, 0);
  if (h == INVALID_HANDLE_VALUE) return names;
  do {
    names.push_back(from_wide(found.cFileName));
  } while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

UINT g_output_code_page = 0;
UINT g_input_code_page = 0;

void restore_code_pages() {
  // The console outlives korvane when cmd started it: leave it as it was found.
  std::fflush(stdout);
  std::fflush(stderr);
  if (g_output_code_page != 0) SetConsoleOutputCP(g_output_code_page);
  if (g_input_code_page != 0) SetConsoleCP(g_input_code_page);
}

bool is_console(DWORD which) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(which), &mode) != 0;
}

}  // namespace

std::vector<std::string> utf8_arguments(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(from_wide(argv[i]));
  return expand_wildcards(args, list_matches);
}

bool settle_console() {
  DWORD processes[2] = {};
  if (GetConsoleProcessList(processes, 2) == 1) {
    // Only streams that went to that console lose their way; one that the
    // caller redirected to a file or pipe stays.
    const bool out = is_console(STD_OUTPUT_HANDLE);
    const bool err = is_console(STD_ERROR_HANDLE);
    const bool in = is_console(STD_INPUT_HANDLE);
    FreeConsole();
    if (out) (void)std::freopen("NUL", "w", stdout);
    if (err) (void)std::freopen("NUL", "w", stderr);
    if (in) (void)std::freopen("NUL", "r", stdin);
    return true;
  }
  if (GetConsoleWindow() == nullptr) return false;
  g_output_code_page = GetConsoleOutputCP();
  g_input_code_page = GetConsoleCP();
  SetConsoleOutputCP(CP_UTF8);
  SetConsoleCP(CP_UTF8);
  std::atexit(restore_code_pages);
  return false;
}

}  // namespace kvn::frontend::win32
