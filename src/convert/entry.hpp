#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "convert/file_io.hpp"
#include "formats/error.hpp"

namespace kvn::convert {

class OutputWriter;

/// What a call did, for the front ends: files written and failures.
struct Diagnostics {
  std::vector<std::string> written;
  std::vector<Error> errors;
};

/// The parameters of korvane(), in its order.
struct KorvaneCall {
  const char* pFileShv = nullptr;
  std::uint8_t** pshv = nullptr;
  std::int32_t* sshv = nullptr;
  const char* pFileDhv = nullptr;
  const std::uint8_t* pdhv = nullptr;
  std::int32_t sdhv = 0;
  std::int32_t lParamIn = 0;
  void** lpParamOut = nullptr;
};

/// The parameters of lumbrel(), in its order.
struct LumbrelCall {
  const char* pFileShv = nullptr;
  std::uint8_t** pshv = nullptr;
  std::int32_t* sshv = nullptr;
  const char* pFileHuc = nullptr;
  const std::uint8_t* phuc = nullptr;
  std::int32_t shuc = 0;
};

inline constexpr int kKorvaneFailed = -1;
inline constexpr int kLumbrelCannotRead = 1;
inline constexpr int kLumbrelCannotWrite = -1;

/// One call is one invocation: its outputs are checked together before any
/// is written, and made durable once at its end. Memory reaches the caller
/// only when everything succeeded.
int run_korvane(const KorvaneCall& call, FileSystem& fs, Diagnostics& diag);

/// `protected_input`, when non-empty, names a file the output must never
/// replace (the container a combined design was made from). A HUC image from
/// outside is checked whole first; `built_here` marks combining's own image,
/// which is consistent by construction.
int run_lumbrel(const LumbrelCall& call, FileSystem& fs, Diagnostics& diag,
                const std::string& protected_input = {}, bool built_here = false);

/// The same as parts of a larger invocation whose writer makes the run durable.
int run_korvane(const KorvaneCall& call, OutputWriter& out, Diagnostics& diag);
int run_lumbrel(const LumbrelCall& call, OutputWriter& out, Diagnostics& diag,
                const std::string& protected_input = {}, bool built_here = false);

/// The files a korvane() call writes for a container of `designs` designs, in
/// order; empty when everything goes to memory or no name can be made.
std::vector<std::string> korvane_file_names(const KorvaneCall& call, std::size_t designs);

}  // namespace kvn::convert
