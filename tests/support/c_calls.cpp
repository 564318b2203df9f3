#include "support/c_calls.hpp"

#include <utility>

#include "convert/c_shim.hpp"
#include "convert/entry.hpp"
#include "convert/output_plan.hpp"
#include "convert/previews.hpp"
#include "korvane/korvane.h"
#include "korvane/korvane.hpp"

namespace kvn::test {
namespace {

// Passes everything on and notes the names written, in order.
class Recording final : public convert::FileSystem {
 public:
  Recording(convert::FileSystem& inner, std::vector<std::string>& written)
      : inner_(inner), written_(written) {}
  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    return inner_.read_whole(path);
  }
  Status replace(const std::string& path, std::span<const std::uint8_t> bytes,
                 bool force) override {
    auto st = inner_.replace(path, bytes, force);
    if (st) written_.push_back(path);
    return st;
  }
  Status check_replaceable(const std::string& path, bool force) override {
    return inner_.check_replaceable(path, force);
  }
  convert::FileIdentity identify(const std::string& path) override { return inner_.identify(path); }
  Status sync_written() override { return inner_.sync_written(); }

 private:
  convert::FileSystem& inner_;
  std::vector<std::string>& written_;
};

void last_error(Seen& seen) {
  seen.code = static_cast<ErrorCode>(korvane_last_error_code());
  seen.message = korvane_last_error();
}

int from(convert::InputResult r, Seen& seen, Conversion what) {
  if (r) return 0;
  seen.code = r.error->code;
  seen.message = r.error->message();
  seen.file = r.error->file;
  return c_result(what, *r.error);
}

}  // namespace

int korvane_seen(const KorvaneArgs& a, convert::FileSystem& fs, Seen& seen) {
  seen = {};
  Recording recording(fs, seen.written);
  const int r = convert::korvane_on(recording, a.pFileShv, a.pshv, a.sshv, a.pFileDhv, a.pdhv,
                                    a.sdhv, a.lParamIn, a.lpParamOut);
  last_error(seen);
  return r;
}

int lumbrel_seen(const LumbrelArgs& a, convert::FileSystem& fs, Seen& seen) {
  seen = {};
  Recording recording(fs, seen.written);
  const int r =
      convert::lumbrel_on(recording, a.pFileShv, a.pshv, a.sshv, a.pFileHuc, a.phuc, a.shuc);
  last_error(seen);
  return r;
}

int lumbrel_seen(const LumbrelArgs& a, convert::FileSystem& fs, Seen& seen,
                 const std::string& protected_input) {
  if (protected_input.empty()) return lumbrel_seen(a, fs, seen);
  seen = {};
  Recording recording(fs, seen.written);
  auto huc = convert::read_huc_input({a.pFileHuc, std::nullopt}, recording);
  if (!huc) {
    seen.code = huc.error().code;
    seen.message = huc.error().message();
    return KORVANE_HUC_UNREADABLE;
  }
  return from(convert::run_alone(recording,
                                 [&](convert::OutputWriter& out) {
                                   return convert::shv_from_huc(
                                       std::move(*huc), {a.pFileShv, a.pshv != nullptr, false}, out,
                                       protected_input);
                                 }),
              seen, Conversion::kHuc);
}

int previews_seen(const std::string& path, const std::string* out_dir, convert::FileSystem& fs,
                  Seen& seen) {
  seen = {};
  Recording recording(fs, seen.written);
  return from(convert::run_alone(recording,
                                 [&](convert::OutputWriter& out) {
                                   return convert::run_previews(path, out_dir, out);
                                 }),
              seen, Conversion::kPreview);
}

}  // namespace kvn::test
