// Shows one of the Windows dialogs as korvane does and prints its answer, so
// that tests/wine/run_wine_tests.sh can drive each dialog on its own:
//   korvane_dialog_probe open
//   korvane_dialog_probe save TITLE FOLDER NAME TYPE   (TYPE: a format, as --to takes it)
//   korvane_dialog_probe folder TITLE START
// Prints each chosen path on a line of its own ("save" adds the chosen format
// after a '|'), nothing when cancelled; exit code 2 for a wrong call.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "convert/utf16.hpp"
#include "frontend/file_types.hpp"
#include "frontend/win32/win32_dialogs.hpp"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(kvn::convert::from_wide(argv[i]));
  const auto dialogs = kvn::frontend::win32::make_win32_dialogs(std::cerr);
  if (args.size() == 1 && args[0] == "open") {
    for (const auto& p : dialogs->open_files(kvn::frontend::open_file_types()))
      std::printf("%s\n", p.c_str());
    return 0;
  }
  if (args.size() == 5 && args[0] == "save") {
    std::vector<std::string> formats;
    kvn::frontend::SaveRequest request{args[1], args[2], args[3],
                                       kvn::frontend::save_file_types(&formats), 0};
    const auto at = std::find(formats.begin(), formats.end(), args[4]);
    if (at == formats.end()) return 2;
    request.type = static_cast<std::size_t>(at - formats.begin());
    if (const auto answer = dialogs->save_file(request))
      std::printf("%s|%s\n", answer->path.c_str(), formats.at(answer->type).c_str());
    return 0;
  }
  if (args.size() == 3 && args[0] == "folder") {
    if (const auto folder = dialogs->choose_folder(args[1], args[2]))
      std::printf("%s\n", folder->c_str());
    return 0;
  }
  return 2;
}
