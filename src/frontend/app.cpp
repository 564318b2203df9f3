#include "frontend/app.hpp"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <ostream>

#include "convert/invocation.hpp"
#include "convert/naming.hpp"
#include "frontend/boxes.hpp"
#include "frontend/inputs.hpp"
#include "frontend/messages.hpp"
#include "frontend/options.hpp"
#include "frontend/progress.hpp"
#include "frontend/texts.hpp"
#include "frontend/file_types.hpp"
#include "formats/format_table.hpp"
#include "inspect/format_listing.hpp"
#include "inspect/info_text.hpp"
#include "inspect/text_out.hpp"
#include "korvane/korvane.hpp"
#include "korvane/process.hpp"
#include "korvane/survey.hpp"
#include "korvane/version.h"

namespace kvn::frontend {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

void print_error_line(std::ostream& out, int res) {
  char line[64];
  std::snprintf(line, sizeof line, texts::kErrorLine, res);
  out << line << std::flush;
}

void print_message(std::ostream& err, const Error& e) { print_cli_message(err, e.message()); }

std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s;
}

// Prints the refusals of a planned run; true when there were any (then
// nothing may be written).
bool refused(const Invocation& run, std::ostream& out, std::ostream& err) {
  if (run.refusals().empty()) return false;
  for (const auto& e : run.refusals()) print_message(err, e);
  err << std::flush;
  print_error_line(out, -1);
  return true;
}

// The reason for a box, which shows the path just above it.
std::string reason_under(const std::string& path, const Error& e) {
  std::string m = e.message();
  const std::string prefix = path + ": ";
  if (m.rfind(prefix, 0) == 0) m.erase(0, prefix.size());
  return m;
}

// Under the "wrote" line, what the conversion changed and whether the file
// was read back: the file's name leads each line only where several were written.
void print_written(std::ostream& out, const std::string& file, const Outcome& o) {
  if (o.written.empty()) return;
  out << file << ": wrote " << join(o.written) << "\n";
  for (std::size_t i = 0; i < o.written.size() && i < o.reports.size(); ++i) {
    const std::string lead = o.written.size() > 1 ? std::string("  ") + o.written[i] + ": " : "  ";
    for (const auto& a : o.reports[i].adjustments) out << lead << a.sentence << "\n";
    if (o.reports[i].checked) out << lead << "checked: read back, it holds the design\n";
  }
  out << std::flush;
}

// The whole run for scripts: each input, what it wrote, what changed, and
// whether each file was checked; a failed input carries its message.
void put_failed_json(inspect::JsonWriter& j, const std::string& input, const std::string& why) {
  j.open_object();
  j.name_field("input", input);
  j.field("ok", false);
  j.field("error", why);
  j.close_object();
}

void put_conversion_json(inspect::JsonWriter& j, const std::string& input,
                         const Result<Outcome>& r) {
  if (!r) return put_failed_json(j, input, r.error().message());
  j.open_object();
  j.name_field("input", input);
  j.field("ok", true);
  j.key("outputs").open_array();
  for (std::size_t i = 0; i < r->written.size(); ++i) {
    j.open_object();
    j.name_field("file", r->written[i]);
    const FileReport none;
    const FileReport& report = i < r->reports.size() ? r->reports[i] : none;
    j.field("checked", report.checked);
    j.key("adjustments").open_array();
    for (const auto& a : report.adjustments) {
      j.open_object(true);
      j.field("code", a.code);
      j.field("count", a.count);
      j.field("sentence", a.sentence);
      j.close_object();
    }
    j.close_array();
    j.close_object();
  }
  j.close_array();
  j.close_object();
}

// The folder part of `path`, with its separator; empty for a bare name.
std::string folder_part(const std::string& path) {
  return path.substr(0, convert::file_name_start(path));
}

std::string in_folder(const std::string& folder, const std::string& path) {
  std::string joined = folder;
#ifdef _WIN32
  if (!joined.empty() && joined.back() != '\\' && joined.back() != '/') joined += '\\';
#else
  if (!joined.empty() && joined.back() != '/') joined += '/';
#endif
  return joined + path.substr(convert::file_name_start(path));
}

// Lower case, as the format table lists them; empty when the name has none.
std::string extension_of(const std::string& path) {
  const auto dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < convert::file_name_start(path)) return {};
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

// The desktop takes folders of every design korvane reads, not only of
// containers: a folder of DST files is what most users bring.
std::vector<InputItem> desktop_inputs(const std::vector<std::string>& args, bool recursive) {
  const auto readable = open_file_types().front().extensions;
  std::vector<InputItem> items;
  for (const auto& a : args) {
    if (a.empty() || !is_directory(a)) {
      items.push_back({a, a.empty() ? std::optional<std::string>("the file name is empty")
                                    : std::nullopt});
      continue;
    }
    auto files = convert::real_file_system().regular_files_in(a, recursive);
    if (!files) {
      items.push_back({a, files.error().message()});
      continue;
    }
    std::vector<std::string> found;
    for (auto& f : *files)
      if (std::find(readable.begin(), readable.end(), extension_of(f)) != readable.end())
        found.push_back(std::move(f));
    std::sort(found.begin(), found.end());
    if (found.empty())
      items.push_back({a, a + ": the folder holds no design korvane reads" +
                              std::string(recursive ? "" : " (--recursive looks in its subfolders)")});
    for (auto& f : found) items.push_back({std::move(f), {}});
  }
  return items;
}

// One run of the desktop flow: the boxes say what was written where, and why
// anything failed; the console gets the same lines as a command line run.
class Desktop {
 public:
  Desktop(Dialogs& dialogs, const Options& o, std::ostream& out, std::ostream& err)
      : dialogs_(dialogs), o_(o), out_(out), err_(err) {}

  int run(const std::vector<std::string>& files) {
    const auto items = desktop_inputs(files, o_.recursive);
    batch_ = items.size() > 1 || std::any_of(files.begin(), files.end(), is_directory);
    bool designs = false;
    for (const auto& item : items) {
      if (item.problem) {
        print_cli_message(err_, *item.problem);
        dialogs_.show(split_failed_box(item.file, *item.problem));
        print_error_line(out_, -1);
        ++failed_;
        summary_.push_back(*item.problem);
        continue;
      }
      auto info = survey_file(item.file);
      // A file that cannot be surveyed still goes the way its name points,
      // so that its own conversion says what is wrong with it.
      const bool container =
          info ? info->kind == FileKind::kContainer : extension_of(item.file) == "dhv";
      if (container) {
        container_flow(item.file, info ? &*info : nullptr);
        continue;
      }
      designs = true;
      if (info && info->kind == FileKind::kDesign)
        shv_flow(item.file);
      else
        design_flow(item.file, info ? &*info : nullptr);
    }
    // Containers keep the boxes they always had; a summary is for the designs.
    if (batch_ && designs) dialogs_.show(summary_box(summary_, done_, failed_, skipped_));
    return failed_ > 0 ? kExitFailed : kExitOk;
  }

 private:
  // Converts `path` alone, into `output` when given. A file its folder will
  // not take offers another folder, which then takes every later output of
  // the run too: a user who once chose where to write expects it to stay.
  Result<Outcome> convert(Conversion what, const std::string& path, ConvertOptions options,
                          std::optional<std::string> output = std::nullopt) {
    options.force = o_.force;
    for (;;) {
      std::optional<std::string> out_dir;
      if (folder_ && !output) out_dir = folder_;
      Invocation run(what, {path}, output, options, out_dir);
      Result<Outcome> r = run.refusals().empty() ? run.convert(0)
                                                 : Result<Outcome>(run.refusals().front());
      if (r) {
        if (auto st = run.finish(); !st) r = st.error();
      }
      if (r) {
        for (const auto& w : r->written) written_.push_back(w);
        return r;
      }
      if (r.error().code != ErrorCode::kCannotWrite || r.error().file.empty()) return r;
      const bool exists = convert::real_file_system().identify(r.error().file).type !=
                          convert::FileType::kMissing;
      if (!dialogs_.ask(unwritable_box(r.error().file, r.error().detail, exists))) return r;
      const std::string start = folder_part(r.error().file);
      auto chosen = dialogs_.choose_folder(texts::kFolderTitle, start);
      if (!chosen || chosen->empty()) return r;
      folder_ = *chosen;
      if (output) output = in_folder(*folder_, *output);
    }
  }

  void failed(const Error& e, Conversion what) {
    print_message(err_, e);
    print_error_line(out_, c_result(what, e));
    ++failed_;
  }

  // As the desktop has always done it: split, then offer to combine.
  void container_flow(const std::string& path, const FileInfo* info) {
    const auto split = convert(Conversion::kSplit, path, {});
    if (!split) {
      dialogs_.show(split_failed_box(path, reason_under(path, split.error())));
      failed(split.error(), Conversion::kSplit);
      summary_.push_back(name_of(path) + ": NOT split: " + reason_under(path, split.error()));
      return;
    }
    if (!o_.quiet) print_written(out_, path, *split);
    ++done_;
    summary_.push_back(name_of(path) + ": split into " + std::to_string(split->written.size()) +
                       (split->written.size() == 1 ? " design" : " designs"));
    // Asked only when combining can succeed: a No must never be the only
    // way to avoid a failure the program could foresee.
    std::optional<std::string> cannot;
    if (auto st = check_combine(path); !st) cannot = reason_under(path, st.error());
    std::optional<std::string> warning;
    if (info != nullptr) warning = hoop_warning(*info);
    const Box done = split_done_box(path, split->written, warning, cannot);
    if (cannot) {
      dialogs_.show(done);
      return;
    }
    if (!dialogs_.ask(done)) return;
    const auto combined = convert(Conversion::kCombine, path, {});
    if (!combined) {
      dialogs_.show(
          combine_failed_box(path, split->written, reason_under(path, combined.error())));
      print_message(err_, combined.error());
      print_error_line(out_, -1);
      ++failed_;
      return;
    }
    if (!o_.quiet) print_written(out_, path, *combined);
    dialogs_.show(combined_box(path, combined->written));
  }

  // A design no hoop of the target holds as it lies, but one holds turned:
  // the question to ask, if any.
  static std::optional<Box> turn_question(const std::string& path, const FileInfo* info,
                                          const std::string& to) {
    const formats::Format* f = formats::format_named(to.empty() ? "shv" : to);
    if (f == nullptr || info == nullptr || info->designs.size() != 1) return std::nullopt;
    const auto hoops = f->limits.hoops;
    const DesignInfo& d = info->designs.front();
    for (const auto& h : hoops) {
      if (d.height > h.width || d.width > h.height) continue;
      TooLarge t{d.width, d.height, f->name, hoops.back().width, hoops.back().height,
                 h.width, h.height};
      return too_large_box(path, t);
    }
    return std::nullopt;
  }

  // Converts with the target's rules; a design that fits only turned is
  // turned when the user says so. Nothing: the user declined.
  std::optional<Result<Outcome>> convert_design(const std::string& path, const FileInfo* info,
                                                ConvertOptions options,
                                                std::optional<std::string> output) {
    auto r = convert(Conversion::kConvert, path, options, output);
    if (r || r.error().code != ErrorCode::kLargerThanHoops) return r;
    const auto question = turn_question(path, info, options.to);
    if (!question) return r;
    if (!dialogs_.ask(*question)) return std::nullopt;
    options.rotate = Turn::kToFit;
    return convert(Conversion::kConvert, path, options, output);
  }

  void converted(const std::string& path, const std::optional<Result<Outcome>>& r) {
    if (!r) {
      ++skipped_;
      summary_.push_back(name_of(path) + ": NOT converted: it fits no hoop, and was not turned");
      return;
    }
    if (!*r) {
      const std::string why = reason_under(path, r->error());
      failed(r->error(), Conversion::kConvert);
      summary_.push_back(name_of(path) + ": NOT converted: " + why);
      if (!batch_) dialogs_.show(convert_failed_box(path, why));
      return;
    }
    const Outcome& o = **r;
    if (!o_.quiet) print_written(out_, path, o);
    ++done_;
    std::string entry = name_of(path) + ": wrote " + join(names_of(o.written));
    for (const auto& report : o.reports)
      for (const auto& a : report.adjustments) entry += "\n    " + a.sentence;
    summary_.push_back(entry);
    if (!batch_) dialogs_.show(converted_box(path, o));
  }

  // Any design but an SHV one becomes SHV beside it.
  void design_flow(const std::string& path, const FileInfo* info) {
    // Two designs of one name in one folder (rose.dst, rose.pes) would give
    // one SHV: the second must not replace what the first just wrote.
    const std::string target = folder_ ? convert::output_in_folder(Conversion::kConvert, path,
                                                                   *folder_)
                                       : convert::shv_name(path);
    if (std::find(written_.begin(), written_.end(), target) != written_.end()) {
      // Only a batch has written anything before: the summary tells it.
      const std::string why =
          name_of(target) + " was written from another design just before; open this one alone "
                            "to replace it";
      failed(make_error(ErrorCode::kDuplicateOutput, path, why), Conversion::kConvert);
      summary_.push_back(name_of(path) + ": NOT converted: " + why);
      return;
    }
    converted(path, convert_design(path, info, {}, std::nullopt));
  }

  // An SHV design is what korvane makes; the question is which other format
  // it should go to. In a batch it stays as it is: a folder already
  // converted holds the SHV files of the last run.
  void shv_flow(const std::string& path) {
    if (batch_) {
      ++skipped_;
      summary_.push_back(name_of(path) +
                         ": left as it is (an SHV design; open it alone to convert it to another "
                         "format)");
      return;
    }
    auto info = survey_file(path, true);
    if (!info) return converted(path, Result<Outcome>(info.error()));
    if (!dialogs_.ask(shv_box(path, *info))) return;
    std::vector<std::string> formats;
    SaveRequest request;
    request.title = texts::kSaveTitle;
    request.folder = folder_ ? *folder_ : folder_part(path);
    request.name = convert::design_name(path);
    request.types = save_file_types(&formats);
    const auto dst = std::find(formats.begin(), formats.end(), "dst");
    request.type = dst == formats.end() ? 0 : static_cast<std::size_t>(dst - formats.begin());
    const auto answer = dialogs_.save_file(request);
    if (!answer || answer->path.empty()) return;
    ConvertOptions options;
    // A type the dialog does not know leaves the format to the name.
    if (answer->type < formats.size()) options.to = formats[answer->type];
    converted(path, convert_design(path, &*info, options, answer->path));
  }

  static std::string name_of(const std::string& path) {
    return path.substr(convert::file_name_start(path));
  }
  static std::vector<std::string> names_of(const std::vector<std::string>& paths) {
    std::vector<std::string> names;
    for (const auto& p : paths) names.push_back(name_of(p));
    return names;
  }

  Dialogs& dialogs_;
  const Options& o_;
  std::ostream& out_;
  std::ostream& err_;
  bool batch_ = false;
  std::optional<std::string> folder_;  // chosen when a design's own could not be written
  std::vector<std::string> written_;   // every file this run wrote
  std::vector<std::string> summary_;
  std::size_t done_ = 0, failed_ = 0, skipped_ = 0;
};

int run_dialogs(DialogChoice choice, const Options& o, bool banner, std::ostream& out,
                std::ostream& err, const DialogsFactory& factory) {
  if (banner) print_banner(out);
  auto dialogs = factory(choice);
  if (!dialogs) return kExitFailed;
  const auto files = o.files.empty() ? dialogs->open_files(open_file_types()) : o.files;
  return Desktop(*dialogs, o, out, err).run(files);
}

// Progress goes only to the process's own standard error, and only when a
// person is watching it.
bool progress_wanted(const std::ostream& err) {
  return &err == &std::cerr && standard_error_is_terminal();
}

Conversion conversion_of(Command c) {
  switch (c) {
    case Command::kHuc:
      return Conversion::kHuc;
    case Command::kPreview:
      return Conversion::kPreview;
    case Command::kWorksheet:
      return Conversion::kWorksheet;
    case Command::kCombine:
      return Conversion::kCombine;
    case Command::kConvert:
      return Conversion::kConvert;
    case Command::kSplit:
    // Not conversions: run() never sends these here.
    case Command::kHelp:
    case Command::kVersion:
    case Command::kFormats:
    case Command::kDialogs:
    case Command::kInfo:
      break;
  }
  return Conversion::kSplit;
}

// Every output of the whole command line is planned and checked before the
// first file is written; then each input converts on its own, a malformed one
// failing alone. The classic form keeps its banner and, for one file, its
// bare error line; elsewhere each error line names its file.
int run_conversions(const Options& o, bool classic, std::ostream& out, std::ostream& err) {
  if (classic) print_banner(out);
  const Conversion what = conversion_of(o.command);
  if (o.output_dir && o.output_dir->empty()) {
    print_cli_message(
        err, "-O '' names no folder; name one, or leave -O out to write beside each input");
    err << std::flush;
    print_error_line(out, -1);
    return kExitFailed;
  }
  if (o.output_dir) {
    if (auto st = make_directories(*o.output_dir); !st) {
      print_message(err, st.error());
      err << std::flush;
      print_error_line(out, -1);
      return kExitFailed;
    }
  }
  const auto items = expand_inputs(o.files, o.recursive);
  std::vector<std::string> inputs;
  for (const auto& item : items)
    if (!item.problem) inputs.push_back(item.file);
  ConvertOptions convert;
  convert.to = o.to;
  convert.combine = o.combine;
  convert.rotate = o.rotate;
  convert.keep_origin = o.keep_origin;
  convert.allow_oversize = o.allow_oversize;
  convert.force = o.force;
  convert.min_stitch = o.min_stitch;
  convert.picture = o.picture;
  convert.worksheet = o.worksheet;
  Invocation run(what, inputs, o.output, convert, o.output_dir);
  if (refused(run, out, err)) return kExitFailed;
  // With --json standard output carries the one document, nothing else.
  const bool json = o.json && what == Conversion::kConvert;
  inspect::JsonWriter doc;
  doc.open_object().key("conversions").open_array();
  const bool batch = items.size() > 1;
  const bool bare_error_line = classic && !batch;
  std::size_t failed = 0;
  auto fail = [&](const std::string& file, const std::string& message, int number) {
    ++failed;
    print_cli_message(err, message);
    if (json) return;
    if (!bare_error_line) out << (file.empty() ? "\"\"" : file) << ": ";
    print_error_line(out, number);
  };
  Progress progress(err, items.size(), progress_wanted(err));
  std::size_t next = 0;  // the next of `inputs`
  for (std::size_t i = 0; i < items.size(); ++i) {
    const InputItem& item = items[i];
    if (item.problem) {
      fail(item.file, *item.problem, -1);
      if (json) put_failed_json(doc, item.file, *item.problem);
      continue;
    }
    progress.show(i + 1, item.file);
    const auto r = run.convert(next++);
    progress.clear();
    if (json) put_conversion_json(doc, item.file, r);
    if (!r)
      fail(item.file, r.error().message(), c_result(what, r.error()));
    else if (!o.quiet && !json)
      print_written(out, item.file, *r);
  }
  if (auto st = run.finish(); !st) {
    failed = std::max<std::size_t>(failed, 1);
    print_message(err, st.error());
    err << std::flush;
    if (!json) print_error_line(out, -1);
  }
  if (json) {
    doc.close_array().close_object();
    out << doc.text() << "\n" << std::flush;
  } else if (batch && (failed > 0 || !o.quiet)) {
    const std::size_t done = items.size() - std::min(failed, items.size());
    out << done << (done == 1 ? " file" : " files") << " converted";
    if (failed > 0) out << ", " << failed << " failed";
    out << "\n" << std::flush;
  }
  return failed > 0 ? kExitFailed : kExitOk;
}

// No banner: standard output carries only what was found, so that scripts
// can read it. What was found is only delivered once standard output has
// taken it: a failed write or flush fails the run.
int run_info(const Options& o, std::ostream& out, std::ostream& err) {
  bool any_failed = false;
  bool any_shown = false;
  std::vector<Result<FileInfo>> results;
  Progress progress(err, o.files.size(), progress_wanted(err));
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    progress.show(i + 1, o.files[i]);
    Result<FileInfo> r = survey_file(o.files[i], o.stitches);
    progress.clear();
    if (!r) {
      any_failed = true;
      print_cli_message(err, r.error().message());
    } else if (!o.json) {
      if (any_shown) out << "\n";
      any_shown = true;
      out << inspect::info_table(*r);
      if (const auto warning = hoop_warning(*r)) out << "Warning: " << *warning << "\n";
      out << std::flush;
    }
    if (o.json) results.push_back(std::move(r));
    if (!out) break;
  }
  if (o.json && out) out << inspect::info_json(results);
  if (out) errno = 0;  // else it already tells why the first write failed
  out.flush();
  if (!out) {
    const int why = errno;
    Error e = make_error(ErrorCode::kCannotWrite, "(standard output)",
                         why != 0 ? std::strerror(why) : std::string());
    print_cli_message(err, e.message());
    return kExitFailed;
  }
  return any_failed ? kExitFailed : kExitOk;
}

}  // namespace

void print_banner(std::ostream& out) {
  out << texts::kBannerFirstLine << " " << texts::kBannerNotice << "\n\n\n";
  out << texts::kBannerMakers << "\n\n\n";
  for (const char* line : texts::kLogo) out << line << "\n";
  out << "\n\n";
  out << texts::kWebAddress << "\n";
  out << texts::kContactAddress << "\n";
  out << std::flush;
}

std::vector<std::string> arguments_for_start(std::vector<std::string> args, bool own_console) {
  // Options were typed by someone (a shortcut, a script): they get what they
  // asked for. "--" keeps a name that starts with a dash a name.
  const bool classic = !args.empty() && (args[0].empty() || args[0][0] != '-');
  if (!own_console || !classic) return args;
  args.insert(args.begin(), {"--dialogs", "--"});
  return args;
}

namespace {

// `info_checked`: --info stops at a failed output and says so itself.
int run_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                const DialogsFactory& dialogs, bool& info_checked) {
  if (args.empty()) return run_dialogs(DialogChoice::kAuto, Options{}, true, out, err, dialogs);
  // A first argument that is no option is the classic form: every argument
  // is a container (as Windows passes the files dropped on the program), and
  // the banner comes first.
  if (args[0].empty() || args[0][0] != '-') {
    Options classic;
    classic.files = args;
    return run_conversions(classic, true, out, err);
  }
  std::string problem;
  const auto o = parse_options(args, problem);
  if (!o) {
    print_cli_message(err, problem);
    err << "Try 'korvane --help'.\n";
    return kExitUsage;
  }
  switch (o->command) {
    case Command::kHelp:
      print_help(out);
      return kExitOk;
    case Command::kVersion:
      out << "korvane " << KORVANE_VERSION_STRING << "\n";
      return kExitOk;
    case Command::kFormats:
      out << (o->json ? inspect::formats_json() : inspect::formats_text());
      return kExitOk;
    case Command::kDialogs:
      return run_dialogs(o->dialogs, *o, false, out, err, dialogs);
    case Command::kInfo:
      info_checked = true;
      return run_info(*o, out, err);
    case Command::kSplit:
    case Command::kCombine:
    case Command::kHuc:
    case Command::kPreview:
    case Command::kConvert:
    case Command::kWorksheet:
      return run_conversions(*o, false, out, err);
  }
  return kExitUsage;
}

}  // namespace

// Whatever the command, what it printed counts only once standard output has
// taken it: "korvane --help > /dev/full" must not pass for success.
int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const DialogsFactory& dialogs) {
  bool info_checked = false;
  const int code = run_command(args, out, err, dialogs, info_checked);
  if (info_checked) return code;
  if (auto st = flush_output(out, "(standard output)"); !st) {
    print_cli_message(err, st.error().message());
    err << std::flush;
    return code == kExitOk ? kExitFailed : code;
  }
  return code;
}

}  // namespace kvn::frontend
