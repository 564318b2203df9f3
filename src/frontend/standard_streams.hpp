// "-" on the command line: the standard input read as one design, or the
// standard output taking the one file a run writes.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "convert/file_io.hpp"

namespace kvn::frontend {

/// The names "-" stands for inside a run. They are what messages show, and
/// never "-" itself, so that the input and the output cannot be taken for
/// one file, and no file named "-" is ever written.
inline constexpr char kStandardInput[] = "(standard input)";
inline constexpr char kStandardOutput[] = "(standard output)";

/// The real file system, but for the two names above: the first reads `in`
/// to its end (once; later reads give the same bytes), the second writes to
/// `out`. While the standard output is the run's output, nothing else may be
/// written: a run that would make more files is refused before it starts.
class StandardStreams final : public convert::FileSystem {
 public:
  StandardStreams(convert::FileSystem& real, std::istream& in, std::ostream& out,
                  bool output_is_standard)
      : real_(real), in_(in), out_(out), output_is_standard_(output_is_standard) {}

  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override;
  Status replace(const std::string& path, std::span<const std::uint8_t> bytes,
                 bool force = false) override;
  Status replace_streamed(const std::string& path, const convert::Producer& produce,
                          const convert::ReadBackCheck& check, bool force = false) override;
  Status check_replaceable(const std::string& path, bool force) override;
  Result<std::vector<std::string>> regular_files_in(const std::string& dir,
                                                    bool recursive) override {
    return real_.regular_files_in(dir, recursive);
  }
  convert::FileIdentity identify(const std::string& path) override;
  Status sync_written() override { return real_.sync_written(); }

 private:
  static Status more_than_one(const std::string& path);

  convert::FileSystem& real_;
  std::istream& in_;
  std::ostream& out_;
  bool output_is_standard_;
  std::optional<Result<std::vector<std::uint8_t>>> read_;
  bool more_told_ = false;
};

}  // namespace kvn::frontend
