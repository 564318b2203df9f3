#include "convert/output_plan.hpp"

#include <filesystem>
#include <map>
#include <utility>

#include "convert/utf16.hpp"

namespace kvn::convert {
namespace {

// Two spellings of one path ("pics/a.png", "pics//./a.png") must meet.
std::string normal(const std::string& path) {
  return generic_utf8_from_path(path_from_utf8(path).lexically_normal());
}

std::string join(const std::vector<std::string>& names) {
  std::string s;
  for (const auto& n : names) s += (s.empty() ? "" : ", ") + n;
  return s;
}

}  // namespace

std::vector<Error> check_outputs(const std::vector<PlannedOutput>& outputs,
                                 const std::vector<std::string>& inputs, FileSystem& fs,
                                 bool force) {
  struct Known {
    std::string name;
    FileIdentity id;
  };
  // Nothing to write, nothing to refuse: a split or combine into memory (each
  // of the page's) need not pay for normalising and looking up its input's name.
  if (outputs.empty()) return {};
  std::vector<Known> known_inputs;
  known_inputs.reserve(inputs.size());
  for (const auto& in : inputs) known_inputs.push_back({normal(in), fs.identify(in)});

  std::vector<Error> refusals;
  std::map<std::string, const PlannedOutput*> by_name;
  std::vector<std::pair<FileIdentity, const PlannedOutput*>> existing;
  for (const auto& out : outputs) {
    if (out.name.empty()) {
      refusals.push_back(
          make_error(ErrorCode::kEmptyOutputName, out.input, "an output must be named"));
      continue;
    }
    const std::string key = normal(out.name);
    const FileIdentity id = fs.identify(out.name);
    const std::string* input = nullptr;
    for (std::size_t i = 0; i < inputs.size() && !input; ++i) {
      const bool same_file = id.type != FileType::kMissing && id == known_inputs[i].id;
      if (same_file || key == known_inputs[i].name) input = &inputs[i];
    }
    if (input) {
      std::string why;
      if (*input != out.input)
        why =
            "it is the input " + *input + ", and the output of " + out.input + " would replace it";
      else if (key == normal(*input))
        why = "it would be its own output; name another output";
      else
        why = "it is the input " + *input + " under another name";
      refusals.push_back(make_error(ErrorCode::kWouldOverwriteInput, out.name, why));
      continue;
    }
    if (id.type == FileType::kDirectory || id.type == FileType::kOther) {
      refusals.push_back(make_error(ErrorCode::kNotRegularFile, out.name,
                                    id.type == FileType::kDirectory
                                        ? "it is a directory"
                                        : "it is a device, pipe or socket, never replaced"));
      continue;
    }
    if (auto st = fs.check_replaceable(out.name, force); !st) {
      refusals.push_back(st.error());
      continue;
    }
    const PlannedOutput* earlier = nullptr;
    if (auto it = by_name.find(key); it != by_name.end()) earlier = it->second;
    for (const auto& [other, from] : existing)
      if (!earlier && id.type != FileType::kMissing && other == id) earlier = from;
    if (earlier) {
      refusals.push_back(make_error(
          ErrorCode::kDuplicateOutput, out.name,
          earlier->input == out.input ? "named twice for " + out.input
                                      : "made from both " + earlier->input + " and " + out.input));
      continue;
    }
    by_name.emplace(key, &out);
    if (id.type != FileType::kMissing) existing.emplace_back(id, &out);
  }
  return refusals;
}

bool OutputWriter::write(const std::string& name, std::span<const std::uint8_t> bytes,
                         InputResult& r, FileReport report) {
  return record(name, fs_.replace(name, bytes, force_), r, std::move(report));
}

bool OutputWriter::write_streamed(const std::string& name, const Producer& produce,
                                  const ReadBackCheck& check, InputResult& r, FileReport report) {
  return record(name, fs_.replace_streamed(name, produce, check, force_), r, std::move(report));
}

bool OutputWriter::record(const std::string& name, Status st, InputResult& r, FileReport report) {
  if (!st) {
    Error e = st.error();
    if (!r.written.empty())
      e.detail +=
          (e.detail.empty() ? "" : "; ") + std::string("already written: ") + join(r.written);
    r.error = std::move(e);
    return false;
  }
  wrote_ = true;
  r.written.push_back(name);
  r.reports.push_back(std::move(report));
  return true;
}

Status OutputWriter::finish() {
  if (!wrote_) return Ok{};
  wrote_ = false;
  return fs_.sync_written();
}

}  // namespace kvn::convert
