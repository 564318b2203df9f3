#include "frontend/inputs.hpp"

#include <algorithm>
#include <map>

#include "formats/format_table.hpp"

namespace kvn::frontend {
namespace {

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::string extension_of(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  const auto dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return lower(path.substr(dot + 1));
}

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// The files of one folder that `wanted` takes, and sentences for what it left out.
void expand_folder(const std::string& dir, bool recursive, FolderFiles wanted,
                   const std::string& skip_extension, convert::FileSystem& fs,
                   ExpandedInputs& out) {
  auto files = fs.regular_files_in(dir, recursive);
  if (!files) {
    out.items.push_back({dir, files.error().message()});
    return;
  }
  // The directory's own order is arbitrary; a batch should run the same way twice.
  std::sort(files->begin(), files->end());
  std::vector<std::string> taken;
  std::size_t not_containers = 0;
  std::size_t already = 0;
  std::map<std::string, std::size_t> unreadable;  // by format name
  const formats::Format* already_format = nullptr;
  for (auto& f : *files) {
    const std::string ext = extension_of(f);
    const formats::Format* format = ext.empty() ? nullptr : formats::format_named(ext);
    if (!format || format->family == formats::Family::kPicture ||
        format->family == formats::Family::kDocument)
      continue;  // not a design: nobody meant it
    const bool container = format->kind == formats::ContentKind::kDhvContainer;
    if (wanted == FolderFiles::kContainers) {
      if (container)
        taken.push_back(std::move(f));
      else
        ++not_containers;
    } else if (!skip_extension.empty() && ext == skip_extension) {
      ++already;
      already_format = format;
    } else if (container || format->read) {
      taken.push_back(std::move(f));
    } else {
      ++unreadable[format->name];
    }
  }
  std::vector<std::string> why;
  if (not_containers > 0)
    why.push_back(counted(not_containers, "file is a design, not a DHV container",
                          "files are designs, not DHV containers") +
                  ": use --convert to convert " + (not_containers == 1 ? "it" : "them"));
  if (already > 0)
    why.push_back("skipped " + std::to_string(already) + " " + already_format->name +
                  (already == 1 ? " design" : " designs") + ", already in the format asked for");
  for (const auto& [name, n] : unreadable)
    why.push_back("skipped " + std::to_string(n) + " " + name + (n == 1 ? " design" : " designs") +
                  ", which korvane cannot read");
  if (taken.empty()) {
    std::string problem =
        dir + (wanted == FolderFiles::kContainers ? ": the folder holds no DHV container"
                                                  : ": the folder holds no design korvane reads");
    if (!recursive) problem += " (--recursive looks in its subfolders)";
    for (const auto& w : why) problem.append("; ").append(w);
    out.items.push_back({dir, problem});
    return;
  }
  for (const auto& w : why) out.notes.push_back(dir + ": " + w);
  for (auto& f : taken) out.items.push_back({std::move(f), {}});
}

}  // namespace

ExpandedInputs expand_inputs(const std::vector<std::string>& args, bool recursive,
                             FolderFiles wanted, const std::string& skip_extension,
                             convert::FileSystem& fs) {
  ExpandedInputs out;
  for (const auto& a : args) {
    if (a.empty())
      out.items.push_back({a, "the file name is empty"});
    else if (!a.empty() && fs.identify(a).type == convert::FileType::kDirectory)
      expand_folder(a, recursive, wanted, lower(skip_extension), fs, out);
    else
      out.items.push_back({a, {}});
  }
  return out;
}

std::vector<InputItem> expand_inputs(const std::vector<std::string>& args, bool recursive,
                                     convert::FileSystem& fs) {
  return expand_inputs(args, recursive, FolderFiles::kContainers, {}, fs).items;
}

}  // namespace kvn::frontend
