#include "frontend/app.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <ostream>

#include "frontend/info_output.hpp"
#include "frontend/options.hpp"
#include "frontend/progress.hpp"
#include "frontend/texts.hpp"
#include "korvane/korvane.hpp"
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

void print_message(std::ostream& err, const Error& e) { err << "korvane: " << e.message() << "\n"; }

// The number the error line shows is what the C function returns: lumbrel()
// tells a HUC file it cannot read (1) from an SHV file it cannot write (-1).
int error_number(Conversion what, const Error& e) {
  const bool unreadable_huc = e.code == ErrorCode::kHucTooShort ||
                              e.code == ErrorCode::kCannotOpen || e.code == ErrorCode::kCannotRead;
  return what == Conversion::kHuc && unreadable_huc ? 1 : -1;
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

// Converts one container planned alone; prints the failure. The error line is
// left to the caller, who may show a dialog first.
std::optional<int> convert_alone(Conversion what, const std::string& path, std::ostream& err) {
  Invocation run(what, {path});
  if (!run.refusals().empty()) {
    for (const auto& e : run.refusals()) print_message(err, e);
    err << std::flush;
    return -1;
  }
  auto r = run.convert(0);
  auto st = run.finish();
  if (!r) print_message(err, r.error());
  if (!st) print_message(err, st.error());
  err << std::flush;
  if (!r) return error_number(what, r.error());
  if (!st) return -1;
  return std::nullopt;
}

// The described program: banner, one split, the error line when it failed.
int run_command_line(const std::string& path, std::ostream& out, std::ostream& err) {
  print_banner(out);
  if (const auto failed = convert_alone(Conversion::kSplit, path, err)) {
    print_error_line(out, *failed);
    return kExitFailed;
  }
  return kExitOk;
}

int run_dialogs(DialogChoice choice, std::ostream& out, std::ostream& err,
                const DialogsFactory& factory) {
  print_banner(out);
  auto dialogs = factory(choice);
  const auto path = dialogs->open_file();
  if (!path) return kExitOk;
  if (const auto failed = convert_alone(Conversion::kSplit, *path, err)) {
    dialogs->show_failure(*path);
    print_error_line(out, *failed);
    return kExitFailed;
  }
  if (!dialogs->ask_combine(*path)) return kExitOk;
  if (const auto failed = convert_alone(Conversion::kCombine, *path, err)) {
    dialogs->show_failure(*path);
    print_error_line(out, *failed);
    return kExitFailed;
  }
  return kExitOk;
}

std::string join(const std::vector<std::string>& v) {
  std::string s;
  for (const auto& x : v) s += (s.empty() ? "" : ", ") + x;
  return s;
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
    case Command::kCombine:
      return Conversion::kCombine;
    case Command::kConvert:
      return Conversion::kConvert;
    case Command::kSplit:
    // Not conversions: run() never sends these here.
    case Command::kHelp:
    case Command::kVersion:
    case Command::kDialogs:
    case Command::kInfo:
      break;
  }
  return Conversion::kSplit;
}

// Every output of the whole command line is planned and checked before the
// first file is written; then each input converts on its own, a malformed one
// failing alone.
int run_conversions(const Options& o, std::ostream& out, std::ostream& err) {
  print_banner(out);
  const Conversion what = conversion_of(o.command);
  Invocation run(what, o.files, o.output, ConvertOptions{o.to, o.combine});
  if (refused(run, out, err)) return kExitFailed;
  bool any_failed = false;
  Progress progress(err, o.files.size(), progress_wanted(err));
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    const std::string& file = o.files[i];
    progress.show(i + 1, file);
    const auto r = run.convert(i);
    progress.clear();
    if (!r) {
      any_failed = true;
      print_message(err, r.error());
      err << std::flush;
      print_error_line(out, error_number(what, r.error()));
    } else if (!r->written.empty()) {
      out << file << ": wrote " << join(r->written) << "\n";
    }
  }
  if (auto st = run.finish(); !st) {
    any_failed = true;
    print_message(err, st.error());
    err << std::flush;
    print_error_line(out, -1);
  }
  return any_failed ? kExitFailed : kExitOk;
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
      err << "korvane: " << r.error().message() << "\n" << std::flush;
    } else if (!o.json) {
      if (any_shown) out << "\n";
      any_shown = true;
      print_info_table(out, *r);
      out << std::flush;
    }
    if (o.json) results.push_back(std::move(r));
    if (!out) break;
  }
  if (o.json && out) print_info_json(out, results);
  if (out) errno = 0;  // else it already tells why the first write failed
  out.flush();
  if (!out) {
    const int why = errno;
    Error e = make_error(ErrorCode::kCannotWrite, "(standard output)",
                         why != 0 ? std::strerror(why) : std::string());
    err << "korvane: " << e.message() << "\n" << std::flush;
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

int run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
        const DialogsFactory& dialogs) {
  if (args.empty()) return run_dialogs(DialogChoice::kAuto, out, err, dialogs);
  // Only a first argument that starts with '-' is read as options: any other
  // command line is the described one, with every further argument ignored.
  if (args[0].empty() || args[0][0] != '-') return run_command_line(args[0], out, err);
  std::string problem;
  const auto o = parse_options(args, problem);
  if (!o) {
    err << "korvane: " << problem << "\n"
        << "Try 'korvane --help'.\n";
    return kExitUsage;
  }
  switch (o->command) {
    case Command::kHelp:
      print_help(out);
      return kExitOk;
    case Command::kVersion:
      out << "korvane " << KORVANE_VERSION_STRING << "\n";
      return kExitOk;
    case Command::kDialogs:
      return run_dialogs(o->dialogs, out, err, dialogs);
    case Command::kInfo:
      return run_info(*o, out, err);
    case Command::kSplit:
    case Command::kCombine:
    case Command::kHuc:
    case Command::kPreview:
    case Command::kConvert:
      return run_conversions(*o, out, err);
  }
  return kExitUsage;
}

}  // namespace kvn::frontend
