#include <iostream>
#include <string>
#include <vector>

#include "frontend/app.hpp"
#include "korvane/process.hpp"

#ifdef _WIN32
#include "frontend/win32/win32_startup.hpp"

// Wide, so that names outside the ANSI code page arrive whole (linked with -municode).
int wmain(int argc, wchar_t** argv) {
  const bool own_console = kvn::frontend::win32::settle_console();
  const std::vector<std::string> args = kvn::frontend::arguments_for_start(
      kvn::frontend::win32::utf8_arguments(argc, argv), own_console);
#else
int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
  kvn::remove_temporaries_on_interrupt();
  return kvn::frontend::run(args, std::cout, std::cerr, [](kvn::frontend::DialogChoice c) {
    return kvn::frontend::make_dialogs(c, std::cerr);
  });
}
