#include "frontend/file_types.hpp"

#include "formats/format_table.hpp"

namespace kvn::frontend {
namespace {

FileType type_of(const formats::Format& f) {
  FileType t;
  t.description = std::string(f.name) + " " + (f.family == formats::Family::kContainer
                                                   ? "containers"
                                                   : "designs");
  for (const auto e : f.extensions) t.extensions.emplace_back(e);
  return t;
}

bool is_design(const formats::Format& f) {
  return f.read != nullptr || f.family == formats::Family::kContainer ||
         f.family == formats::Family::kMakers;
}

}  // namespace

std::vector<FileType> open_file_types() {
  std::vector<FileType> types{{"Embroidery designs", {}}};
  for (const auto& f : formats::format_table()) {
    if (!is_design(f) || f.family == formats::Family::kPicture ||
        f.family == formats::Family::kDocument || f.unreadable != nullptr)
      continue;
    FileType t = type_of(f);
    types.front().extensions.insert(types.front().extensions.end(), t.extensions.begin(),
                                    t.extensions.end());
    types.push_back(std::move(t));
  }
  types.push_back({"All files", {}});
  return types;
}

std::vector<FileType> save_file_types(std::vector<std::string>* format_names) {
  std::vector<FileType> types;
  for (const auto& f : formats::format_table()) {
    if (!f.writable || f.family == formats::Family::kDocument ||
        f.family == formats::Family::kPicture)
      continue;
    types.push_back(type_of(f));
    if (format_names) format_names->emplace_back(f.extensions.front());
  }
  return types;
}

}  // namespace kvn::frontend
