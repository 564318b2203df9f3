#include "convert/invocation.hpp"

#include "convert/naming.hpp"
#include "convert/pattern_convert.hpp"
#include "convert/previews.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "inspect/survey.hpp"

namespace kvn::convert {
namespace {

// The files one input gives; none when it cannot be read, is malformed or is
// plainly another kind of file, which converting it then says.
std::vector<std::string> outputs_of(Conversion what, const std::string& input,
                                    const std::string* output, FileSystem& fs,
                                    const ConvertOptions& options) {
  auto bytes = fs.read_whole(input);
  if (!bytes) return {};
  struct KeepForConversion {
    FileSystem& fs;
    const std::string& input;
    std::vector<std::uint8_t>& bytes;
    ~KeepForConversion() { fs.keep_for_next_read(input, std::move(bytes)); }
  } keep{fs, input, *bytes};
  const auto kind = formats::recognise_kind(*bytes);
  if (what == Conversion::kHuc) {
    const bool other =
        kind != formats::ContentKind::kHucDesign && kind != formats::ContentKind::kUnknown;
    if (other) return {};
    return {output ? *output : shv_name(input)};
  }
  const formats::ByteReader in(*bytes, input);
  if (what == Conversion::kConvert) {
    auto names = converted_names(input, output, options, in, fs);
    if (!names) return {};
    return std::move(*names);
  }
  if (what == Conversion::kPreview) {
    auto names = preview_names(input, output, in);
    if (!names) return {};
    return std::move(*names);
  }
  if (kind != formats::ContentKind::kDhvContainer) return {};
  auto layout = formats::read_container(in);
  if (!layout) return {};
  return container_file_names(input.c_str(), Targets{output ? output->c_str() : nullptr, false, false},
                              what == Conversion::kCombine, layout->designs.size());
}

}  // namespace

std::vector<Error> plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                                   const std::string* output, FileSystem& fs,
                                   const ConvertOptions& options) {
  std::vector<std::string> outputs;
  if (output) outputs.assign(inputs.size(), *output);
  return plan_invocation(what, inputs, outputs, fs, options);
}

std::string output_in_folder(Conversion what, const std::string& input, const std::string& dir) {
  if (what == Conversion::kPreview) return dir;
  if (what == Conversion::kConvert) {
    // A folder: the conversion names its outputs there itself.
    if (dir.empty()) return "./";
    const char last = dir.back();
    return last == '/' || last == '\\' ? dir : dir + "/";
  }
  std::string name = shv_name(std::string_view(input).substr(file_name_start(input)));
  if (dir.empty()) return name;
  const char last = dir.back();
  return last == '/' || last == '\\' ? dir + name : dir + "/" + name;
}

std::vector<Error> plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                                   const std::vector<std::string>& outputs, FileSystem& fs,
                                   const ConvertOptions& options) {
  std::vector<PlannedOutput> planned;
  std::vector<Error> refusals;
  if (what == Conversion::kConvert && !inputs.empty()) {
    // A format korvane cannot write refuses the whole run, before any input is read.
    const std::string* first = outputs.empty() ? nullptr : &outputs.front();
    auto f = target_format(options, first, names_folder(first, fs));
    if (!f) return {f.error()};
    formats::Pattern probe;
    probe.events.push_back({0, 0, formats::NeedleOp::kEnd});
    auto w = write_pattern(probe, *f, first && !names_folder(first, fs) ? *first : inputs.front());
    if (!w && w.error().code == ErrorCode::kUnsupportedForm) return {w.error()};
  }
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    const std::string& input = inputs[i];
    const std::string* output = outputs.empty() ? nullptr : &outputs[i];
    if (output && output->empty()) {
      refusals.push_back(make_error(ErrorCode::kEmptyOutputName, input,
                                    what == Conversion::kPreview
                                        ? "-o '' names no directory for the pictures"
                                        : "-o '' names no output file"));
      continue;
    }
    for (auto& name : outputs_of(what, input, output, fs, options))
      planned.push_back({std::move(name), input});
  }
  for (auto& e : check_outputs(planned, inputs, fs)) refusals.push_back(std::move(e));
  return refusals;
}

InputResult convert_input(Conversion what, const std::string& input, const std::string* output,
                          OutputWriter& out, const ConvertOptions& options) {
  const Source in{input.c_str(), std::nullopt};
  const Targets to{output ? output->c_str() : nullptr, false, false};
  switch (what) {
    case Conversion::kConvert:
      return convert_pattern(input, output, options, out);
    case Conversion::kHuc: {
      auto huc = read_huc_input(in, out.fs());
      if (!huc) return failure(huc.error());
      return shv_from_huc(std::move(*huc), to, out);
    }
    case Conversion::kPreview:
      return run_previews(input, output, out);
    case Conversion::kCombine:
      return combine(in, to, out);
    case Conversion::kSplit:
      break;
  }
  return split(in, to, out);
}

}  // namespace kvn::convert
