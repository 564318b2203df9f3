// The page's way into the library: bytes in, bytes out, nothing touches a
// file. Every call leaves its outputs in one result list that the page reads
// and then clears; a failure leaves the plain-words line the command line
// would print, so the page and the program say the same thing.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
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
#include "convert/previews.hpp"
#include "formats/byte_reader.hpp"
#include "formats/file_kind.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_threads.hpp"
#include "inspect/file_pictures.hpp"
#include "inspect/format_listing.hpp"
#include "inspect/info_text.hpp"
#include "inspect/survey.hpp"
#include "inspect/text_out.hpp"
#include "inspect/worksheet.hpp"
#include "web/web_api.h"

namespace kvn::web {
namespace {

struct Output {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

struct Results {
  std::vector<Output> outputs;
  std::vector<FileReport> reports;  // what a conversion changed, one per output when given
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
  Status replace(const std::string& path, std::span<const std::uint8_t> bytes, bool) override {
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

// The module's other callers are not the page, which never passes these: each
// misuse is a failure in words, never a crash.
bool misused(const char* file, const std::uint8_t* p, std::int32_t n) {
  std::string why;
  if (!file)
    why = "no file name was given (null)";
  else if (n < 0)
    why = "a size of " + std::to_string(n) + " bytes";
  else if (!p && n > 0)
    why = "no bytes were given (null) for a size of " + std::to_string(n);
  if (why.empty()) return false;
  fail(make_error(ErrorCode::kBadArgument, file ? file : "", why));
  return true;
}

void add(std::string name, std::span<const std::uint8_t> bytes) {
  results().outputs.push_back({std::move(name), {bytes.begin(), bytes.end()}});
}

int run_container(const char* file, const std::uint8_t* p, std::int32_t n, bool combining) {
  const convert::Source in{file, bytes_of(p, n)};
  const convert::Targets to{nullptr, true, true};
  MemoryFileSystem fs;
  auto r = convert::run_alone(fs, [&](convert::OutputWriter& out) {
    return combining ? convert::combine(in, to, out) : convert::split(in, to, out);
  });
  if (!r) return fail(std::move(*r.error));
  results().reports = std::move(r.reports);
  const std::size_t count = r.memory.size();
  if (count == 1 && !r.memory.is_list()) {
    add(convert::shv_name(file), r.memory.block(0));
    return 0;
  }
  // The names the command line gives the files of the same split.
  const auto names = convert::container_file_names(file, {}, false, count);
  for (std::size_t i = 0; i < count; ++i)
    add(i < names.size() ? names[i] : convert::numbered_name(file, static_cast<unsigned>(i + 1)),
        r.memory.block(i));
  return 0;
}

// The page's calls run inside this: no exception crosses into the page.
template <class F, class R = int>
R guarded(F&& f, R on_exception = -1) noexcept {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    results().error = Error{ErrorCode::kOutOfMemory, {}, {}, {}, {}};
  } catch (...) {
    results().error = Error{ErrorCode::kInternal, {}, {}, "the call failed unexpectedly", {}};
  }
  return on_exception;
}

// Output `i` of the call before, or null (with an error) for no such output.
const Output* output_at(std::int32_t i) noexcept {
  auto& outputs = results().outputs;
  if (i >= 0 && static_cast<std::size_t>(i) < outputs.size())
    return &outputs[static_cast<std::size_t>(i)];
  Error& e = results().error;
  e.code = ErrorCode::kBadArgument;
  e.file.clear();
  e.offset.reset();
  e.detail = "no output number " + std::to_string(i) + "; the call before gave " +
             std::to_string(outputs.size());
  return nullptr;
}

void add_rgba(const inspect::Picture& pic) {
  auto& r = results();
  r.width = pic.width;
  r.height = pic.height;
  // Each pixel is one 4-byte copy from a table of the whole palette: a large
  // container's picture has millions of them, and byte by byte they cost the
  // WebAssembly build several times what they cost natively.
  std::array<std::array<std::uint8_t, 4>, 256> table{};
  for (std::size_t i = 0; i < table.size(); ++i) {
    const auto c = i < pic.palette.size() ? pic.palette[i] : inspect::Rgb{};
    table[i] = {c.r, c.g, c.b, 0xFF};
  }
  std::vector<std::uint8_t> rgba(std::size_t{pic.width} * pic.height * 4);
  const std::size_t count = std::min(pic.pixels.size(), rgba.size() / 4);
  for (std::size_t i = 0; i < count; ++i) std::memcpy(&rgba[i * 4], table[pic.pixels[i]].data(), 4);
  r.outputs.push_back({"picture", std::move(rgba)});
}

// The reports of the call before as JSON, for the page to say what changed.
std::string reports_json() {
  inspect::JsonWriter j;
  j.open_array(true);
  for (const auto& report : results().reports) {
    j.open_object(true);
    j.field("checked", report.checked);
    j.key("adjustments").open_array(true);
    for (const auto& a : report.adjustments) {
      j.open_object(true);
      j.key("code").string(a.code);
      j.field("count", a.count);
      j.key("sentence").string(a.sentence);
      j.close_object();
    }
    j.close_array();
    j.close_object();
  }
  j.close_array();
  return j.take();
}

int picture(const char* file, const std::uint8_t* p, std::int32_t n, std::int32_t design) {
  if (misused(file, p, n)) return -1;
  if (design < -1)
    return web::fail(make_error(ErrorCode::kBadArgument, file,
                                "no design number " + std::to_string(std::int64_t{design} + 1)));
  auto drawn = inspect::design_picture(formats::ByteReader(web::bytes_of(p, n), file), design);
  if (!drawn) return web::fail(drawn.error());
  web::add_rgba(*drawn);
  return 0;
}

int realistic(const char* file, const std::uint8_t* p, std::int32_t n, std::int32_t design) {
  if (misused(file, p, n)) return -1;
  if (design < -1)
    return web::fail(make_error(ErrorCode::kBadArgument, file,
                                "no design number " + std::to_string(std::int64_t{design} + 1)));
  // The look `korvane --preview` draws with when given no options, so that
  // the page shows the program's picture.
  auto drawn = inspect::realistic_design_picture(formats::ByteReader(web::bytes_of(p, n), file),
                                                 design, convert::picture_style({}).look);
  if (!drawn) return web::fail(drawn.error());
  auto& r = results();
  r.width = drawn->width;
  r.height = drawn->height;
  r.outputs.push_back({"picture", std::move(drawn->rgba)});
  return 0;
}

// The command line's words for a turn: nothing or "" for none.
std::optional<Turn> turn_named(const char* word) {
  const std::string w = word ? word : "";
  if (w.empty() || w == "0") return Turn::kNone;
  if (w == "90") return Turn::k90;
  if (w == "180") return Turn::k180;
  if (w == "270") return Turn::k270;
  if (w == "fit") return Turn::kToFit;
  return std::nullopt;
}

}  // namespace
}  // namespace kvn::web

using kvn::web::results;

extern "C" {

/// Forgets the outputs and the error of the call before.
void kvw_clear(void) { results() = {}; }

/// What the bytes are, as formats::ContentKind's number.
int kvw_recognise(const std::uint8_t* p, std::int32_t n) {
  return kvn::web::guarded(
      [&] { return static_cast<int>(kvn::formats::recognise_kind(kvn::web::bytes_of(p, n))); },
      static_cast<int>(kvn::formats::ContentKind::kUnknown));
}

/// "DHV container", "SHV design", ... for a number from kvw_recognise().
const char* kvw_kind_name(int kind) {
  return kvn::formats::kind_name(static_cast<kvn::formats::ContentKind>(kind));
}

/// The --info --json document of one file as output 0; -1 when the file
/// cannot be surveyed (the document then says why, as the program's does).
int kvw_info(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  return kvn::web::guarded([&] {
    if (kvn::web::misused(file, p, n)) return -1;
    auto info =
        kvn::inspect::survey_image(kvn::formats::ByteReader(kvn::web::bytes_of(p, n), file));
    if (info) info->file = file;
    const std::string text = kvn::inspect::info_json({info});
    kvn::web::add("info.json", {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    if (!info) {
      results().error = info.error();
      return -1;
    }
    return 0;
  });
}

/// The SHV files a split of the container gives, named as the program names them.
int kvw_split(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  return kvn::web::guarded([&] {
    return kvn::web::misused(file, p, n) ? -1 : kvn::web::run_container(file, p, n, false);
  });
}

/// The one SHV design combining the container's designs gives.
int kvw_combine(const char* file, const std::uint8_t* p, std::int32_t n) {
  kvw_clear();
  return kvn::web::guarded([&] {
    return kvn::web::misused(file, p, n) ? -1 : kvn::web::run_container(file, p, n, true);
  });
}

/// A design in the format `to` names ("shv", "dst", ...), as `korvane
/// --convert FILE --to FORMAT` makes it, through the stitch pattern readers
/// and writers; a HUC design too, so the page's SHV file is the program's
/// (--huc, which copies its stream unchanged, is not what Convert offers).
/// `combine` (non-zero) makes one design of a container's designs.
int kvw_convert(const char* file, const std::uint8_t* p, std::int32_t n, const char* to,
                int combine) {
  return kvw_convert_turned(file, p, n, to, combine, nullptr);
}

/// kvw_convert() with the design turned as `korvane --rotate TURN` turns it:
/// "90", "180", "270" (clockwise) or "fit"; null or "" leaves it as it lies.
int kvw_convert_turned(const char* file, const std::uint8_t* p, std::int32_t n, const char* to,
                       int combine, const char* turn) {
  using namespace kvn;
  kvw_clear();
  return web::guarded([&] {
    if (web::misused(file, p, n)) return -1;
    if (!to)
      return web::fail(make_error(ErrorCode::kBadArgument, file, "no format was named (null)"));
    const auto turned = web::turn_named(turn);
    if (!turned)
      return web::fail(make_error(ErrorCode::kBadArgument, file,
                                  std::string("a turn needs 90, 180, 270 or fit, not ") + turn));
    const auto image = web::bytes_of(p, n);
    // Planned and run as the command line runs it, so the page refuses what
    // the program refuses, in the same words.
    web::MemoryFileSystem fs(file, image);
    ConvertOptions options;
    options.to = to;
    options.combine = combine != 0;
    options.rotate = *turned;
    const std::vector<std::string> inputs{file};
    auto plan = convert::plan_invocation(Conversion::kConvert, inputs, nullptr, fs, options);
    if (!plan.refusals.empty()) return web::fail(std::move(plan.refusals.front()));
    auto r = convert::run_alone(fs, [&](convert::OutputWriter& out) {
      return convert::convert_input(Conversion::kConvert, std::move(plan.inputs.front()), out,
                                    options);
    });
    if (!r) return web::fail(std::move(*r.error));
    for (auto& f : fs.written) web::add(f.name, f.bytes);
    results().reports = std::move(r.reports);
    return 0;
  });
}

/// Draws design `design` (0-based) of a container or SHV design as RGBA, or
/// with -1 the layout of all designs of a container; output 0 holds the
/// pixels, kvw_picture_width/height their size.
int kvw_picture(const char* file, const std::uint8_t* p, std::int32_t n, std::int32_t design) {
  kvw_clear();
  return kvn::web::guarded([&] { return kvn::web::picture(file, p, n, design); });
}
/// kvw_picture() drawn as threads on fabric, as `korvane --preview` draws
/// it: RGBA, not premultiplied; transparent nowhere, the fabric being white.
int kvw_realistic(const char* file, const std::uint8_t* p, std::int32_t n, std::int32_t design) {
  kvw_clear();
  return kvn::web::guarded([&] { return kvn::web::realistic(file, p, n, design); });
}

/// The page `korvane --worksheet` writes for the file, with the program's
/// rules for its estimates, as output 0.
int kvw_worksheet(const char* file, const std::uint8_t* p, std::int32_t n) {
  using namespace kvn;
  kvw_clear();
  return web::guarded([&] {
    if (web::misused(file, p, n)) return -1;
    const ConvertOptions options;
    auto page = inspect::worksheet_html(formats::ByteReader(web::bytes_of(p, n), file),
                                        convert::picture_style(options.picture).look,
                                        options.worksheet);
    if (!page) return web::fail(page.error());
    web::add(convert::worksheet_name(file, nullptr),
             {reinterpret_cast<const std::uint8_t*>(page->data()), page->size()});
    return 0;
  });
}

std::uint32_t kvw_picture_width(void) { return results().width; }
std::uint32_t kvw_picture_height(void) { return results().height; }
std::int32_t kvw_result_count(void) { return static_cast<std::int32_t>(results().outputs.size()); }
// An index with no output gives null or -1, and the error kBadArgument.
const char* kvw_result_name(std::int32_t i) {
  const auto* o = kvn::web::output_at(i);
  return o ? o->name.c_str() : nullptr;
}
const std::uint8_t* kvw_result_data(std::int32_t i) {
  const auto* o = kvn::web::output_at(i);
  return o ? o->bytes.data() : nullptr;
}
std::int32_t kvw_result_size(std::int32_t i) {
  const auto* o = kvn::web::output_at(i);
  return o ? static_cast<std::int32_t>(o->bytes.size()) : -1;
}

/// The line the program would print after "korvane: " for the last failure;
/// empty after a success. Valid until the next call.
const char* kvw_error(void) {
  static std::string text;
  text.clear();
  kvn::web::guarded([&] {
    const auto& e = results().error;
    if (e.code != kvn::ErrorCode::kOk) text = e.message();
    return 0;
  });
  return text.c_str();
}
int kvw_error_code(void) { return static_cast<int>(results().error.code); }

/// The format table as --formats --json prints it: which formats the page
/// can offer to write comes from here, so that a new row needs no page code.
const char* kvw_formats(void) {
  static std::string json;
  kvn::web::guarded([&] {
    if (json.empty()) json = kvn::inspect::formats_json();
    return 0;
  });
  return json.c_str();
}

/// What the conversion before changed in each file it made, as a JSON array
/// in the order of the outputs: {"checked", "adjustments": [{"code", "count",
/// "sentence"}]}; empty when it made none. Valid until the next call.
const char* kvw_report(void) {
  static std::string json;
  json = "[]";
  kvn::web::guarded([&] {
    json = kvn::web::reports_json();
    return 0;
  });
  return json.c_str();
}

/// The SHV machines' thread chart as a JSON array of {"code", "name", "rgb"}:
/// the page draws the swatches of a container's colour codes in the colours
/// its pictures use, which --info does not give.
const char* kvw_shv_threads(void) {
  static std::string json;
  kvn::web::guarded([&] {
    if (!json.empty()) return 0;
    kvn::inspect::JsonWriter j;
    j.open_array(true);
    for (const auto& t : kvn::formats::shv_thread_chart()) {
      j.open_object(true);
      j.field("code", t.code);
      j.key("name").string(t.name);
      j.key("rgb").string(kvn::inspect::hex_colour(t.r, t.g, t.b));
      j.close_object();
    }
    j.close_array();
    json = j.take();
    return 0;
  });
  return json.c_str();
}

}  // extern "C"
