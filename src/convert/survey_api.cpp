// The C++ interface of include/korvane/survey.hpp, on the real file system.
#include <new>

#include "convert/file_io.hpp"
#include "inspect/survey.hpp"
#include "convert/previews.hpp"
#include "korvane/survey.hpp"

namespace kvn {

InfoReport survey_file(const std::string& path) {
  InfoReport r;
  r.info.file = path;
  try {
    auto bytes = convert::real_file_system().read_whole(path);
    if (!bytes) {
      r.message = bytes.error().message();
      return r;
    }
    auto info = inspect::survey_image(formats::ByteReader(*bytes, path));
    if (!info) {
      r.message = info.error().message();
      return r;
    }
    r.ok = true;
    r.info = std::move(*info);
  } catch (const std::bad_alloc&) {
    r = InfoReport{};
    r.info.file = path;
    r.message = make_error(ErrorCode::kOutOfMemory, path).message();
  }
  return r;
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
