#include "convert/invocation.hpp"

#include "convert/naming.hpp"
#include "convert/pattern_convert.hpp"
#include "convert/previews.hpp"
#include "formats/container.hpp"
#include "inspect/survey.hpp"

namespace kvn::convert {
namespace {

// The files one input gives; unset when it cannot be read, is malformed or
// is plainly another kind of file, which converting it then says.
std::optional<std::vector<std::string>> outputs_of(Conversion what, const PlannedInput& p,
                                                   FileSystem& fs, const ConvertOptions& options) {
  if (!p.bytes) return std::nullopt;
  const std::string* output = p.output ? &*p.output : nullptr;
  if (what == Conversion::kHuc) {
    const bool other =
        p.kind != formats::ContentKind::kHucDesign && p.kind != formats::ContentKind::kUnknown;
    if (other) return std::nullopt;
    return std::vector<std::string>{output ? *output : shv_name(p.input)};
  }
  const formats::ByteReader in(*p.bytes, p.input);
  if (what == Conversion::kConvert) {
    auto names = converted_names(p.input, output, options, in, fs);
    if (!names) return std::nullopt;
    return std::move(*names);
  }
  if (what == Conversion::kWorksheet) {
    auto names = worksheet_names(p.input, output, in);
    if (!names) return std::nullopt;
    return std::move(*names);
  }
  if (what == Conversion::kPreview) {
    auto names = preview_names(p.input, output, in);
    if (!names) return std::nullopt;
    return std::move(*names);
  }
  if (p.kind != formats::ContentKind::kDhvContainer) return std::nullopt;
  auto layout = formats::read_container(in);
  if (!layout) return std::nullopt;
  return container_file_names(p.input.c_str(), {output ? output->c_str() : nullptr},
                              what == Conversion::kCombine, layout->designs.size());
}

}  // namespace

Plan plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                     const std::string* output, FileSystem& fs, const ConvertOptions& options) {
  std::vector<std::string> outputs;
  if (output) outputs.assign(inputs.size(), *output);
  return plan_invocation(what, inputs, outputs, fs, options);
}

std::string output_in_folder(Conversion what, const std::string& input, const std::string& dir) {
  if (what == Conversion::kPreview || what == Conversion::kWorksheet) return dir;
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

Plan plan_invocation(Conversion what, const std::vector<std::string>& inputs,
                     const std::vector<std::string>& outputs, FileSystem& fs,
                     const ConvertOptions& options) {
  Plan plan;
  if (what == Conversion::kConvert && !inputs.empty()) {
    // A format korvane cannot write refuses the whole run, before any input is read.
    // An empty name is refused below as empty, not as naming no format.
    const std::string* first =
        outputs.empty() || outputs.front().empty() ? nullptr : &outputs.front();
    if (auto f = target_format(options, first, names_folder(first, fs)); !f)
      return {{}, {f.error()}};
  }
  std::vector<PlannedOutput> planned;
  plan.inputs.reserve(inputs.size());
  for (std::size_t i = 0; i < inputs.size(); ++i) {
    PlannedInput& p = plan.inputs.emplace_back();
    p.input = inputs[i];
    if (!outputs.empty()) p.output = outputs[i];
    if (p.output && p.output->empty()) {
      plan.refusals.push_back(make_error(ErrorCode::kEmptyOutputName, p.input,
                                         what == Conversion::kPreview || what == Conversion::kWorksheet
                                             ? "-o '' names no directory for the pictures"
                                             : "-o '' names no output file"));
      continue;
    }
    p.bytes = fs.read_whole(p.input);
    if (p.bytes) p.kind = formats::recognise_kind(*p.bytes);
    if (what == Conversion::kConvert && p.bytes) {
      const std::string* output = p.output ? &*p.output : nullptr;
      if (auto f = target_format(options, output, names_folder(output, fs))) p.format = *f;
    }
    p.names = outputs_of(what, p, fs, options);
    for (const auto& name : p.names ? *p.names : std::vector<std::string>{})
      planned.push_back({name, p.input});
  }
  for (auto& e : check_outputs(planned, inputs, fs, options.force))
    plan.refusals.push_back(std::move(e));
  return plan;
}

InputResult convert_input(Conversion what, PlannedInput&& planned, OutputWriter& out,
                          const ConvertOptions& options) {
  // The plan's bytes are used and then released with it.
  PlannedInput p = std::move(planned);
  if (!p.bytes) return failure(p.bytes.error());
  const std::string* output = p.output ? &*p.output : nullptr;
  const std::vector<std::string>* names = p.names ? &*p.names : nullptr;
  const Source in{p.input.c_str(), std::span<const std::uint8_t>(*p.bytes), true};
  const Targets to{output ? output->c_str() : nullptr, false, false, names};
  switch (what) {
    case Conversion::kConvert: {
      const PlannedConversion planned_conversion{*p.bytes, names, p.format, &*p.bytes};
      return convert_pattern(p.input, output, options, out, &planned_conversion);
    }
    case Conversion::kHuc: {
      auto huc = read_huc_input(in, out.fs());
      if (!huc) return failure(huc.error());
      return shv_from_huc(std::move(*huc), to, out);
    }
    case Conversion::kWorksheet:
      return run_worksheet(p.input, output, out, *in.bytes, options);
    case Conversion::kPreview:
      return run_previews(p.input, output, out, *in.bytes, names, options.picture);
    case Conversion::kCombine:
      return combine(in, to, out);
    case Conversion::kSplit:
      break;
  }
  return split(in, to, out);
}

}  // namespace kvn::convert
