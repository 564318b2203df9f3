#include "convert/naming.hpp"

#include <algorithm>
#include <charconv>

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
  // "%03u." without printf, which is slow enough in WebAssembly to show in
  // the time a split of many designs takes.
  char digits[16];
  const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
  const auto n = static_cast<std::size_t>(end - digits);
  std::string out(path.substr(0, stem_end(path)));
  out.reserve(out.size() + std::max<std::size_t>(n, 3) + 1 + ext.size());
  out.append(n < 3 ? 3 - n : 0, '0').append(digits, n).append(1, '.').append(ext);
  return out;
}

std::string design_name(std::string_view path) {
  const std::size_t start = file_name_start(path);
  return std::string(path.substr(start, stem_end(path) - start));
}

}  // namespace kvn::convert
