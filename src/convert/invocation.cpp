#include "convert/invocation.hpp"

#include "convert/naming.hpp"
#include "convert/pattern_convert.hpp"
#include "convert/previews.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "inspect/survey.hpp"
#include "korvane/types.h"

namespace kvn::convert {
namespace {

KorvaneCall korvane_call(Conversion what, const std::string& input, const std::string* output) {
  KorvaneCall call;
  call.pFileShv = output ? output->c_str() : nullptr;
  call.pFileDhv = input.c_str();
  call.lParamIn = what == Conversion::kCombine ? KORVANE_COMBINE : 0;
  return call;
}

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
  return korvane_file_names(korvane_call(what, input, output), layout->designs.size());
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
    if (auto f = target_format(options, first, names_folder(first, fs)); !f) return {f.error()};
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

int convert_input(Conversion what, const std::string& input, const std::string* output,
                  OutputWriter& out, Diagnostics& diag, const ConvertOptions& options) {
  switch (what) {
    case Conversion::kConvert:
      return run_pattern_conversion(input, output, options, out, diag);
    case Conversion::kHuc: {
      LumbrelCall call;
      call.pFileShv = output ? output->c_str() : nullptr;
      call.pFileHuc = input.c_str();
      return run_lumbrel(call, out, diag);
    }
    case Conversion::kPreview:
      return run_previews(input, output, out, diag);
    case Conversion::kSplit:
    case Conversion::kCombine:
      break;
  }
  return run_korvane(korvane_call(what, input, output), out, diag);
}

}  // namespace kvn::convert
