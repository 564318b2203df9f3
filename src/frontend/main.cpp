#include <iostream>
#include <string>
#include <vector>

#include "frontend/app.hpp"
#include "korvane/process.hpp"

int main(int argc, char** argv) {
  kvn::remove_temporaries_on_interrupt();
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return kvn::frontend::run(args, std::cout, std::cerr, [](kvn::frontend::DialogChoice c) {
    return kvn::frontend::make_dialogs(c, std::cerr);
  });
}
