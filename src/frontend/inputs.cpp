#include "frontend/inputs.hpp"

#include "convert/folders.hpp"

namespace kvn::frontend {

std::vector<InputItem> expand_inputs(const std::vector<std::string>& args, bool recursive,
                                     convert::FileSystem& fs) {
  std::vector<InputItem> items;
  for (const auto& a : args) {
    if (a.empty()) {
      items.push_back({a, "the file name is empty"});
    } else if (convert::is_folder(a, fs)) {
      auto found = convert::containers_in(a, recursive, fs);
      if (!found)
        items.push_back({a, found.error().message()});
      else if (found->empty())
        items.push_back({a, a + ": the folder holds no DHV container" +
                                (recursive ? "" : " (--recursive looks in its subfolders)")});
      for (auto& f : found ? *found : std::vector<std::string>{}) items.push_back({f, {}});
    } else {
      items.push_back({a, {}});
    }
  }
  return items;
}

}  // namespace kvn::frontend
