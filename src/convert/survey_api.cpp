// The C++ interface of include/korvane/survey.hpp, on the real file system.
#include <new>

#include "convert/file_io.hpp"
#include "inspect/survey.hpp"
#include "convert/previews.hpp"
#include "korvane/survey.hpp"

namespace kvn {

Result<FileInfo> survey_file(const std::string& path) {
  try {
    auto bytes = convert::real_file_system().read_whole(path);
    if (!bytes) return bytes.error();
    return inspect::survey_image(formats::ByteReader(*bytes, path));
  } catch (const std::bad_alloc&) {
    return make_error(ErrorCode::kOutOfMemory, path);
  }
}

Report write_previews(const std::string& path, const std::string* out_dir) {
  convert::Diagnostics diag;
  Report r;
  try {
    r.result = convert::run_previews(path, out_dir, convert::real_file_system(), diag);
  } catch (const std::bad_alloc&) {
    diag.errors.push_back(make_error(ErrorCode::kOutOfMemory, path));
    r.result = -1;
  }
  r.written = diag.written;
  for (const auto& e : diag.errors) r.messages.push_back(e.message());
  return r;
}

}  // namespace kvn
