// The C++ interface of include/korvane/korvane.hpp, on the real file system.
#include <new>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/invocation.hpp"
#include "convert/output_plan.hpp"
#include "korvane/korvane.hpp"
#include "korvane/survey.hpp"

namespace kvn {
namespace {

Result<Outcome> to_result(convert::InputResult r) {
  if (!r) return std::move(*r.error);
  return Outcome{std::move(r.written), std::move(r.reports)};
}

}  // namespace

struct Invocation::State {
  convert::FileSystem& fs;
  Conversion what;
  std::vector<std::string> inputs;
  ConvertOptions convert;
  convert::Plan plan;
  std::vector<bool> converted;  // a planned input is consumed by its conversion
  convert::OutputWriter writer{fs, convert.force};
};

Invocation::Invocation(Conversion what, std::vector<std::string> inputs,
                       std::optional<std::string> output, ConvertOptions convert,
                       std::optional<std::string> output_dir)
    : Invocation(convert::real_file_system(), what, std::move(inputs), std::move(output),
                 std::move(convert), std::move(output_dir)) {}

Invocation::Invocation(convert::FileSystem& fs, Conversion what, std::vector<std::string> inputs,
                       std::optional<std::string> output, ConvertOptions convert,
                       std::optional<std::string> output_dir)
    : state_(new State{fs, what, std::move(inputs), std::move(convert), {}, {}}) {
  auto& s = *state_;
  try {
    if (output_dir && !output) {
      std::vector<std::string> dir_outputs;
      for (const auto& input : s.inputs)
        dir_outputs.push_back(convert::output_in_folder(what, input, *output_dir));
      s.plan = convert::plan_invocation(what, s.inputs, dir_outputs, s.writer.fs(), s.convert);
    } else {
      s.plan = convert::plan_invocation(what, s.inputs, output ? &*output : nullptr, s.writer.fs(),
                                        s.convert);
    }
    s.converted.assign(s.inputs.size(), false);
  } catch (const std::bad_alloc&) {
    // Planning could not finish: refuse rather than run unchecked.
    s.plan = {};
    s.plan.refusals = {make_error(ErrorCode::kOutOfMemory, s.inputs.empty() ? "" : s.inputs.front(),
                                  "while planning the outputs")};
  }
}

Invocation::~Invocation() = default;
Invocation::Invocation(Invocation&&) noexcept = default;
Invocation& Invocation::operator=(Invocation&&) noexcept = default;

const std::vector<Error>& Invocation::refusals() const { return state_->plan.refusals; }

Result<Outcome> Invocation::convert(std::size_t i) {
  auto& s = *state_;
  if (i >= s.inputs.size())
    return make_error(ErrorCode::kBadArgument, "", "no input number " + std::to_string(i));
  const std::string& input = s.inputs[i];
  if (!s.plan.refusals.empty())
    return make_error(ErrorCode::kBadArgument, input, "the run's outputs were refused");
  if (s.converted[i])
    return make_error(ErrorCode::kBadArgument, input, "it was converted already in this run");
  s.converted[i] = true;
  try {
    return to_result(
        convert::convert_input(s.what, std::move(s.plan.inputs[i]), s.writer, s.convert));
  } catch (const std::bad_alloc&) {
    return make_error(ErrorCode::kOutOfMemory, input);
  }
}

Status Invocation::finish() { return state_->writer.finish(); }


Status check_combine(const std::string& dhv_path) {
  try {
    // In memory only: the design made is dropped with the result.
    auto r = convert::run_alone(convert::real_file_system(), [&](convert::OutputWriter& out) {
      return convert::combine({dhv_path.c_str(), std::nullopt}, {nullptr, true, false}, out);
    });
    if (!r) return std::move(*r.error);
    return Ok{};
  } catch (const std::bad_alloc&) {
    return make_error(ErrorCode::kOutOfMemory, dhv_path);
  }
}

}  // namespace kvn
