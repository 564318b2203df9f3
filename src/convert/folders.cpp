// Folders: what is in them, and making them.
#include "convert/folders.hpp"
#include "convert/real_files.hpp"
#include "convert/utf16.hpp"
#include "korvane/korvane.hpp"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace kvn::convert {
namespace {

bool has_dhv_extension(const std::string& name) {
  std::string ext = utf8_from_path(path_from_utf8(name).extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  });
  return ext == ".dhv";
}

}  // namespace

namespace detail {

Result<std::vector<std::string>> list_regular_files(const std::string& dir, bool recursive) {
  namespace fs = std::filesystem;
  std::vector<std::string> found;
  std::error_code ec;
  auto take = [&](const fs::directory_entry& e) {
    std::error_code type_ec;
    if (e.is_regular_file(type_ec)) found.push_back(utf8_from_path(e.path()));
  };
  // A subfolder that cannot be read is skipped rather than ending the walk:
  // the user asked for every container that can be had.
  const auto options = fs::directory_options::skip_permission_denied;
  if (recursive) {
    fs::recursive_directory_iterator it(path_from_utf8(dir), options, ec), end;
    for (; !ec && it != end; it.increment(ec)) take(*it);
  } else {
    fs::directory_iterator it(path_from_utf8(dir), options, ec), end;
    for (; !ec && it != end; it.increment(ec)) take(*it);
  }
  if (ec) return make_error(ErrorCode::kCannotRead, dir, ec.message());
  return found;
}

}  // namespace detail

bool is_folder(const std::string& path, FileSystem& fs) {
  return !path.empty() && fs.identify(path).type == FileType::kDirectory;
}

Result<std::vector<std::string>> containers_in(const std::string& dir, bool recursive,
                                               FileSystem& fs) {
  auto files = fs.regular_files_in(dir, recursive);
  if (!files) return files.error();
  std::vector<std::string> found;
  for (auto& f : *files)
    if (has_dhv_extension(f)) found.push_back(std::move(f));
  // The directory's own order is arbitrary; a batch should run the same way twice.
  std::sort(found.begin(), found.end());
  return found;
}

}  // namespace kvn::convert

namespace kvn {

bool is_directory(const std::string& path) {
  return convert::is_folder(path, convert::real_file_system());
}

Result<std::vector<std::string>> containers_in(const std::string& dir, bool recursive) {
  return convert::containers_in(dir, recursive, convert::real_file_system());
}

Status make_directories(const std::string& dir) {
  std::error_code ec;
  if (dir.empty()) return make_error(ErrorCode::kEmptyOutputName, dir, "no folder was named");
  std::filesystem::create_directories(convert::path_from_utf8(dir), ec);
  if (ec)
    return make_error(ErrorCode::kCannotWrite, dir, "cannot make the folder: " + ec.message());
  if (!is_directory(dir)) return make_error(ErrorCode::kNotRegularFile, dir, "is not a folder");
  return Ok{};
}

}  // namespace kvn
