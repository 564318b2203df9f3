// Runs a fuzz target's entry over saved inputs without a fuzzing engine, so
// the ordinary and sanitizer test builds replay every corpus and every input
// that once crashed. Arguments: files or directories of inputs.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "convert/file_io.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
  std::vector<std::string> inputs;
  for (int i = 1; i < argc; ++i) {
    std::error_code ec;
    if (std::filesystem::is_directory(argv[i], ec)) {
      for (const auto& e : std::filesystem::directory_iterator(argv[i], ec))
        // Dot files keep empty directories in the repository; they are no inputs.
        if (e.is_regular_file() && e.path().filename().string()[0] != '.')
          inputs.push_back(e.path().string());
    } else if (std::filesystem::is_regular_file(argv[i], ec)) {
      inputs.push_back(argv[i]);
    } else {
      std::fprintf(stderr, "replay: %s: no such file or directory\n", argv[i]);
      return 1;
    }
  }
  std::sort(inputs.begin(), inputs.end());
  for (const auto& path : inputs) {
    auto bytes = kvn::convert::real_file_system().read_whole(path);
    if (!bytes) {
      std::fprintf(stderr, "replay: %s\n", bytes.error().message().c_str());
      return 1;
    }
    // An exactly sized copy: a read past the input's end is a read past the buffer.
    std::vector<std::uint8_t> exact(bytes->begin(), bytes->end());
    std::fprintf(stderr, "replay: %s (%zu bytes)\n", path.c_str(), exact.size());
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
  }
  std::printf("replayed %zu inputs\n", inputs.size());
  return inputs.empty() ? 1 : 0;
}
