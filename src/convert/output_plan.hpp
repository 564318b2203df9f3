#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "formats/error.hpp"

namespace kvn::convert {

/// One file an invocation means to write, and the input it is made from.
struct PlannedOutput {
  std::string name;
  std::string input;
};

/// Everything that would make writing `outputs` unsafe, one Error per offending
/// output, found before anything is written: an empty name, an output that is
/// any of `inputs` (compared by device and inode, so links count, and by name),
/// two outputs with one name, an output that exists and is not a regular file,
/// and whatever FileSystem::check_replaceable() refuses (`force` replaces a
/// write-protected file). Empty when the whole invocation may go ahead.
std::vector<Error> check_outputs(const std::vector<PlannedOutput>& outputs,
                                 const std::vector<std::string>& inputs, FileSystem& fs,
                                 bool force = false);

/// Writes the planned outputs of one invocation, each completely and in place
/// as soon as it is done, and makes them durable once, at the end.
class OutputWriter {
 public:
  /// With `force`, a write-protected file is replaced like any other.
  explicit OutputWriter(FileSystem& fs, bool force = false) : fs_(fs), force_(force) {}

  FileSystem& fs() { return fs_; }
  bool force() const { return force_; }

  /// Writes `name`; on success records it in `r.written` with `report`, on
  /// failure sets `r.error`, which also names what was written for that input
  /// before it.
  bool write(const std::string& name, std::span<const std::uint8_t> bytes, InputResult& r,
             FileReport report = {});

  /// As write(), with the bytes made by `produce` as they are written and,
  /// when `check` is given, read back and judged before the file takes `name`.
  bool write_streamed(const std::string& name, const Producer& produce, const ReadBackCheck& check,
                      InputResult& r, FileReport report = {});

  /// Makes every file written so far durable; a no-op when nothing was written.
  Status finish();

 private:
  bool record(const std::string& name, Status st, InputResult& r, FileReport report);

  FileSystem& fs_;
  bool force_ = false;
  bool wrote_ = false;
};

/// Runs `convert` (given an OutputWriter, giving an InputResult) as a run of
/// its own on `fs`, made durable at its end.
template <class F>
InputResult run_alone(FileSystem& fs, F&& convert) {
  OutputWriter out(fs);
  InputResult r = convert(out);
  if (auto st = out.finish(); !st && r) r.error = st.error();
  return r;
}

}  // namespace kvn::convert
