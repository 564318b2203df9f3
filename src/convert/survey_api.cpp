// survey_file() of include/korvane/survey.hpp, on the real file system.
#include <new>

#include "convert/file_io.hpp"
#include "inspect/survey.hpp"
#include "korvane/survey.hpp"

namespace kvn {

Result<FileInfo> survey_file(const std::string& path, bool events) {
  try {
    auto bytes = convert::real_file_system().read_whole(path);
    if (!bytes) return bytes.error();
    return inspect::survey_image(formats::ByteReader(*bytes, path), events);
  } catch (const std::bad_alloc&) {
    return make_error(ErrorCode::kOutOfMemory, path);
  }
}

}  // namespace kvn
