// survey_file() of include/korvane/survey.hpp, on the real file system.
#include <new>

#include "convert/file_io.hpp"
#include "inspect/survey.hpp"
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

}  // namespace kvn
