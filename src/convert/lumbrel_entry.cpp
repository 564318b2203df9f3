#include "convert/entry.hpp"

namespace kvn::convert {

int run_lumbrel(const LumbrelCall& call, FileSystem&, Diagnostics& diag, const std::string&) {
  diag.errors.push_back(make_error(ErrorCode::kBadUsage, call.pFileHuc ? call.pFileHuc : "",
                                   "the SHV writer is not built yet"));
  return kLumbrelCannotWrite;
}

}  // namespace kvn::convert
