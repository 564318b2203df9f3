#include "convert/naming.hpp"

#include <cstdio>

namespace kvn::convert {
namespace {

// The end of the stem: the last '.' of the file-name part, or the end of the path.
std::size_t stem_end(std::string_view path) {
  const std::size_t start = file_name_start(path);
  const std::size_t dot = path.rfind('.');
  return (dot != std::string_view::npos && dot >= start) ? dot : path.size();
}

}  // namespace

std::size_t file_name_start(std::string_view path) {
  const std::size_t sep = path.find_last_of("/\\");
  return sep == std::string_view::npos ? 0 : sep + 1;
}

std::string shv_name(std::string_view path) {
  return std::string(path.substr(0, stem_end(path))) + ".shv";
}

std::string numbered_name(std::string_view path, unsigned number) {
  return numbered_name(path, number, "shv");
}

std::string with_extension(std::string_view path, std::string_view ext) {
  return std::string(path.substr(0, stem_end(path))) + "." + std::string(ext);
}

std::string numbered_name(std::string_view path, unsigned number, std::string_view ext) {
  char num[32];
  std::snprintf(num, sizeof num, "%03u.", number);
  return std::string(path.substr(0, stem_end(path))) + num + std::string(ext);
}

std::string design_name(std::string_view path) {
  const std::size_t start = file_name_start(path);
  return std::string(path.substr(start, stem_end(path) - start));
}

}  // namespace kvn::convert
