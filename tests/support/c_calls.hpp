#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/error.hpp"

namespace kvn::test {

/// The arguments of korvane() and lumbrel(), in their order, for tables of calls.
struct KorvaneArgs {
  const char* pFileShv = nullptr;
  std::uint8_t** pshv = nullptr;
  std::int32_t* sshv = nullptr;
  const char* pFileDhv = nullptr;
  const std::uint8_t* pdhv = nullptr;
  std::int32_t sdhv = 0;
  std::int32_t lParamIn = 0;
  void** lpParamOut = nullptr;
};
struct LumbrelArgs {
  const char* pFileShv = nullptr;
  std::uint8_t** pshv = nullptr;
  std::int32_t* sshv = nullptr;
  const char* pFileHuc = nullptr;
  const std::uint8_t* phuc = nullptr;
  std::int32_t shuc = 0;
};

/// What a call reported: the files it wrote, in order, and its last error
/// (code kOk after a success).
struct Seen {
  std::vector<std::string> written;
  ErrorCode code = ErrorCode::kOk;
  std::string message;
  std::string file;  // of the error, where the call tells it
};

/// korvane() and lumbrel() on `fs`, as the C functions run on the real one.
int korvane_seen(const KorvaneArgs& a, convert::FileSystem& fs, Seen& seen);
int lumbrel_seen(const LumbrelArgs& a, convert::FileSystem& fs, Seen& seen);
/// lumbrel() for the design combining makes from the container
/// `protected_input`, which its output must never replace.
int lumbrel_seen(const LumbrelArgs& a, convert::FileSystem& fs, Seen& seen,
                 const std::string& protected_input);
/// The pictures of --preview, as a run of its own on `fs`: 0 or -1.
int previews_seen(const std::string& path, const std::string* out_dir, convert::FileSystem& fs,
                  Seen& seen);

}  // namespace kvn::test
