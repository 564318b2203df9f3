// The page's way into the library: bytes in, bytes out, nothing touches a
// file. Every call leaves its outputs in one result list that the page reads
// and then clears; a failure leaves the plain-words line the command line
// would print, so the page and the program say the same thing.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "convert/entry.hpp"
#include "convert/file_io.hpp"
#include "convert/invocation.hpp"
#include "convert/naming.hpp"
#include "convert/output_plan.hpp"
#include "convert/pattern_convert.hpp"
#include "convert/pattern_write.hpp"
#include "formats/byte_reader.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "inspect/file_pictures.hpp"
#include "inspect/format_listing.hpp"
#include "inspect/info_text.hpp"
#include "inspect/survey.hpp"
#include "korvane/types.h"
#include "web/web_api.h"

namespace kvn::web {
namespace {

struct Output {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct Results {
  std::vector<Output> outputs;
  std::uint32_t width = 0;  // of a picture
  std::uint32_t height = 0;
  Error error;
};

Results& results() {
  static Results r;
  return r;
}

// The browser has no files: the one input is the dropped file's bytes under
// its name, and what a conversion writes is kept in memory, in order. A name
// that is neither is missing, so the output checks see a folder of one file.
class MemoryFileSystem final : public convert::FileSystem {
 public:
  MemoryFileSystem() = default;
  MemoryFileSystem(std::string input, std::span<const std::uint8_t> bytes)
      : input_(std::move(input)), bytes_(bytes) {}

  Result<std::vector<std::uint8_t>> read_whole(const std::string& path) override {
    if (path != input_ || input_.empty())
      return make_error(ErrorCode::kCannotOpen, path, "the page holds no such file");
    return std::vector<std::uint8_t>(bytes_.begin(), bytes_.end());
  }
  Status replace(const std::string& path, std::span<const std::uint8_t> bytes) override {
    written.push_back({path, {bytes.begin(), bytes.end()}});
    return Ok{};
  }
  convert::FileIdentity identify(const std::string& path) override {
    if (!input_.empty() && path == input_) return {convert::FileType::kRegular, 1, 1};
    for (std::size_t i = 0; i < written.size(); ++i)
      if (written[i].name == path) return {convert::FileType::kRegular, 1, i + 2};
    return {};
  }
  Status sync_written() override { return Ok{}; }

  struct File {
    std::string name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<File> written;

 private:
  std::string input_;
  std::span<const std::uint8_t> bytes_;
};

std::span<const std::uint8_t> bytes_of(const std::uint8_t* p, std::int32_t n) {
  if (!p || n <= 0) return {};
  return {p, static_cast<std::size_t>(n)};
}

int fail(Error e) {
  results().error = std::move(e);
  return -1;
}

int fail_first(convert::Diagnostics& diag, const std::string& file) {
  if (diag.errors.empty()) return fail(make_error(ErrorCode::kInternal, file, "failed"));
  return fail(std::move(diag.errors.front()));
}

void add(std::string name, std::span<const std::uint8_t> bytes) {
  results().outputs.push_back({std::move(name), {bytes.begin(), bytes.end()}});
}

// Hands the bytes korvane()/lumbrel() malloc'ed for a caller over to the results.
void take_block(std::string name, std::uint8_t* block, std::int32_t size) {
  add(std::move(name), bytes_of(block, size));
  std::free(block);
}

int run_container(const char* file, const std::uint8_t* p, std::int32_t n, bool combine) {
  convert::KorvaneCall call;
  call.pFileDhv = file;
  call.pdhv = p ? p : reinterpret_cast<const std::uint8_t*>("");
  call.sdhv = n;
  call.lParamIn = combine ? KORVANE_COMBINE : 0;
  std::uint8_t* single = nullptr;
  std::int32_t single_size = 0;
  void* list = nullptr;
  call.pshv = &single;
  call.sshv = &single_size;
  call.lpParamOut = &list;
  MemoryFileSystem fs;
  convert::Diagnostics diag;
  if (convert::run_korvane(call, fs, diag) != 0 || !diag.errors.empty())
    return fail_first(diag, file);
  if (single) {
    take_block(convert::shv_name(file), single, single_size);
    return 0;
  }
  auto* designs = static_cast<pbcb_list_t*>(list);
  const std::size_t count = designs ? designs->count : 0;
  // The names the command line gives the files of the same split.
  call.pshv = nullptr;
  const auto names = convert::korvane_file_names(call, count);
  for (std::size_t i = 0; i < count; ++i) {
    const auto& d = designs->entry[i];
    add(i < names.size() ? names[i] : convert::numbered_name(file, static_cast<unsigned>(i + 1)),
        {d.pb, d.cb});
  }
  for (std::size_t i = 0; i < count; ++i) std::free(designs->entry[i].pb);
  std::free(designs);
  return 0;
}

void add_rgba(const inspect::Picture& pic) {
  auto& r = results();
  r.width = pic.width;
  r.height = pic.height;
  std::vector<std::uint8_t> rgba(std::size_t{pic.width} * pic.height * 4);
  for (std::size_t i = 0; i < pic.pixels.size(); ++i) {
    const auto idx = pic.pixels[i];
    const auto c = idx < pic.palette.size() ? pic.palette[idx] : inspect::Rgb{};
    rgba[i * 4 + 0] = c.r;
    rgba[i * 4 + 1] = c.g;
    rgba[i * 4 + 2] = c.b;
    rgba[i * 4 + 3] = 0xFF;
  }
  r.outputs.push_back({"picture", std::move(rgba)});
}

}  // namespace
}  // namespace kvn::web

using kvn::web::results;

extern "C" {

/// Forgets the outputs and the error of the call before.
void kvw_clear(void) { results() = {}; }

/// What the bytes are, as formats::ContentKind's number.
int kvw_recognise(const std::uint8_t* p, std::int32_t n) {
  return static_cast<int>(kvn::formats::recognise_kind(kvn::web::bytes_of(p, n)));
}

/// "DHV container", "SHV design", ... for a number from kvw_recognise().
const char* kvw_kind_name(int kind) {
  return kvn::formats::kind_name(static_cast<kvn::formats::ContentKind>(kind));
}

/// The --info --json document of one file as output 0; -1 when the file
/// cannot be surveyed (the document then says why, as the program's does).
int kvw_info(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  auto info = kvn::inspect::survey_image(kvn::formats::ByteReader(kvn::web::bytes_of(p, n), file));
  if (info) info->file = file;
  const std::string text = kvn::inspect::info_json({info});
  kvn::web::add("info.json", {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  if (!info) {
    results().error = info.error();
    return -1;
  }
  return 0;
}

/// The SHV files a split of the container gives, named as the program names them.
int kvw_split(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  return kvn::web::run_container(file, p, n, false);
}

/// The one SHV design combining the container's designs gives.
int kvw_combine(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  return kvn::web::run_container(file, p, n, true);
}

/// A design in the format `to` names ("shv", "dst", ...), as `korvane
/// --convert FILE --to FORMAT` makes it, through the stitch pattern readers
/// and writers; a HUC design too, so the page's SHV file is the program's
/// (--huc, which copies its stream unchanged, is not what Convert offers).
/// `combine` (non-zero) makes one design of a container's designs.
int kvw_convert(const char* file, const std::uint8_t* p, std::int32_t n, const char* to,
                int combine) {
  using namespace kvn;
  kvw_clear();
  const auto image = web::bytes_of(p, n);
  // Planned and run as the command line runs it, so the page refuses what
  // the program refuses, in the same words.
  web::MemoryFileSystem fs(file, image);
  ConvertOptions options;
  options.to = to;
  options.combine = combine != 0;
  const std::vector<std::string> inputs{file};
  if (auto refusals = convert::plan_invocation(Conversion::kConvert, inputs, nullptr, fs, options);
      !refusals.empty())
    return web::fail(std::move(refusals.front()));
  convert::OutputWriter out(fs);
  convert::Diagnostics diag;
  if (convert::convert_input(Conversion::kConvert, file, nullptr, out, diag, options) != 0 ||
      !diag.errors.empty())
    return web::fail_first(diag, file);
  for (auto& f : fs.written) web::add(f.name, f.bytes);
  return 0;
}

/// Draws design `design` (0-based) of a container or SHV design as RGBA, or
/// with -1 the layout of all designs of a container; output 0 holds the
/// pixels, kvw_picture_width/height their size.
int kvw_picture(const char* file, const std::uint8_t* p, std::int32_t n, std::int32_t design) {
  using namespace kvn;
  kvw_clear();
  auto picture = inspect::design_picture(formats::ByteReader(web::bytes_of(p, n), file), design);
  if (!picture) return web::fail(picture.error());
  web::add_rgba(*picture);
  return 0;
}

std::uint32_t kvw_picture_width(void) { return results().width; }
std::uint32_t kvw_picture_height(void) { return results().height; }
std::int32_t kvw_result_count(void) { return static_cast<std::int32_t>(results().outputs.size()); }
const char* kvw_result_name(std::int32_t i) {
  return results().outputs.at(static_cast<std::size_t>(i)).name.c_str();
}
const std::uint8_t* kvw_result_data(std::int32_t i) {
  return results().outputs.at(static_cast<std::size_t>(i)).bytes.data();
}
std::int32_t kvw_result_size(std::int32_t i) {
  return static_cast<std::int32_t>(results().outputs.at(static_cast<std::size_t>(i)).bytes.size());
}

/// The line the program would print after "korvane: " for the last failure;
/// empty after a success. Valid until the next call.
const char* kvw_error(void) {
  static std::string text;
  const auto& e = results().error;
  text = e.code == kvn::ErrorCode::kOk ? std::string() : e.message();
  return text.c_str();
}
int kvw_error_code(void) { return static_cast<int>(results().error.code); }

/// The format table as --formats --json prints it: which formats the page
/// can offer to write comes from here, so that a new row needs no page code.
const char* kvw_formats(void) {
  static const std::string json = kvn::inspect::formats_json();
  return json.c_str();
}

}  // extern "C"
