// korvane's C++ interface for front ends: the conversions of korvane.h with
// every result in the one shape of korvane/result.hpp.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "korvane/result.hpp"

namespace kvn {

/// One kind of change a conversion made so that its target holds the design
/// as the machine expects it.
struct Adjustment {
  std::string code;       // stable, for scripts: "recentred", "stitches-split", ...
  std::size_t count = 0;  // how many of them
  std::string sentence;   // the change in plain words
};

/// What korvane did to one file it wrote from a design.
struct FileReport {
  std::vector<Adjustment> adjustments;
  bool checked = false;  // its bytes were read back and hold the design as fitted
};

/// What a conversion wrote, in order.
struct Outcome {
  std::vector<std::string> written;
  /// One per file of `written`: no adjustments and not checked for a design
  /// copied byte for byte.
  std::vector<FileReport> reports;
};

/// kConvert turns designs of any format korvane reads into the format of
/// ConvertOptions.
/// kWorksheet writes one printable HTML page per input.
enum class Conversion { kSplit, kCombine, kHuc, kPreview, kConvert, kWorksheet };

/// How kPreview draws stitches and layouts.
struct PictureOptions {
  bool lines = false;            // one-pixel lines on a grey checker instead of threads
  double thread_width_mm = 0.4;  // the width a thread lies on the fabric
  double pixels_per_mm = 10;
  bool transparent = false;  // no fabric: the background stays transparent
  unsigned char fabric_r = 0xFF, fabric_g = 0xFF, fabric_b = 0xFF;
};

/// The rules of a worksheet's estimates.
struct WorksheetOptions {
  double stitches_per_minute = 400;
  double seconds_per_colour_change = 60;  // stop, rethread, start again
  double seconds_per_trim = 5;
  double take_up = 1.2;  // thread used for each millimetre of stitch, with what goes through the fabric
};

/// How far a conversion turns a design, clockwise as it lies in the hoop.
/// kToFit turns by 90 degrees only when that makes it fit a hoop it does not
/// fit as it lies.
enum class Turn { kNone, k90, k180, k270, kToFit };

struct ConvertOptions {
  std::string to;        // the output format ("dst", "svg", ...); empty: from -o, else SHV
  bool combine = false;  // a DHV container gives one design of all its designs
  Turn rotate = Turn::kNone;
  bool keep_origin = false;     // the source's origin stays, not the design's middle
  bool allow_oversize = false;  // a design no hoop holds is written all the same
  bool force = false;    // a write-protected output is replaced too
  double min_stitch = 0;  // mm; shorter stitches merge into the next (0: none)
  PictureOptions picture;
  WorksheetOptions worksheet;
};

namespace convert {
class FileSystem;
}

/// One run of a conversion over several inputs, as a command line asks for it.
/// Making it plans the output names of every input (reading each one) and
/// checks them together: an output that is any of the inputs (however named,
/// links included), two outputs with one name, an output that exists and is
/// not a regular file, or an empty output name is refused. When anything is
/// refused, nothing may be converted. Otherwise each input is converted on
/// its own, every file renamed into place when complete, and finish() makes
/// the whole run durable once.
class Invocation {
 public:
  /// `output` is the output file of a single input, or with kPreview the
  /// directory for the pictures; with kConvert either. `output_dir`, when
  /// given instead, puts every output there under the name it would have
  /// beside its input.
  Invocation(Conversion what, std::vector<std::string> inputs,
             std::optional<std::string> output = std::nullopt, ConvertOptions convert = {},
             std::optional<std::string> output_dir = std::nullopt);
  /// The same on a file system of korvane's own making rather than the real
  /// one (its command line's, which reads and writes "-" as the standard
  /// streams); a library user has none to give.
  Invocation(convert::FileSystem& fs, Conversion what, std::vector<std::string> inputs,
             std::optional<std::string> output, ConvertOptions convert,
             std::optional<std::string> output_dir);
  ~Invocation();
  Invocation(Invocation&&) noexcept;
  Invocation& operator=(Invocation&&) noexcept;

  /// One Error per refused output; empty when the run may go ahead.
  const std::vector<Error>& refusals() const;

  /// Converts input `i`. An input that cannot be read or is malformed fails
  /// alone; after a failure part-way the Error names the files already written.
  Result<Outcome> convert(std::size_t i);

  /// Makes every file written so far durable; once, at the end of the run.
  Status finish();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

/// Combines the container's designs in memory only, writing nothing: whether
/// combining it would succeed, and if not, why.
Status check_combine(const std::string& dhv_path);

/// True when `path` names an existing folder.
bool is_directory(const std::string& path);

/// The DHV containers in `dir` (by extension, in any letter case), in its
/// subfolders too when `recursive`, sorted by path.
Result<std::vector<std::string>> containers_in(const std::string& dir, bool recursive);

/// Makes `dir` and any missing parents; succeeds when it already exists.
Status make_directories(const std::string& dir);

/// The number the C function behind `what` returns when converting a file
/// fails with `e`: lumbrel() gives KORVANE_HUC_UNREADABLE (1) for a HUC file it
/// cannot open or read or that is too short, everything else KORVANE_FAILED
/// (-1).
int c_result(Conversion what, const Error& e);

}  // namespace kvn
