#include "frontend/app.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <ostream>

#include "frontend/info_output.hpp"
#include "frontend/options.hpp"
#include "frontend/progress.hpp"
#include "frontend/texts.hpp"
#include "korvane/survey.hpp"
#include "korvane/korvane.hpp"
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

void print_messages(std::ostream& err, const Report& r) {
  for (const auto& m : r.messages) err << "korvane: " << m << "\n";
  err << std::flush;
}

// The described program: banner, one split, the error line when it failed.
int run_command_line(const std::string& path, std::ostream& out, std::ostream& err) {
  print_banner(out);
  const Report r = convert_container(path, false);
  print_messages(err, r);
  if (r.result != 0) {
    print_error_line(out, r.result);
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
  const Report split = convert_container(*path, false);
  print_messages(err, split);
  if (split.result < 0) {
    dialogs->show_failure(*path);
    print_error_line(out, split.result);
    return kExitFailed;
  }
  if (!dialogs->ask_combine(*path)) return kExitOk;
  const Report combined = convert_container(*path, true);
  print_messages(err, combined);
  if (combined.result != 0) {
    dialogs->show_failure(*path);
    print_error_line(out, combined.result);
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

Report convert_one(const Options& o, const std::string& file) {
  const std::string* output = o.output ? &*o.output : nullptr;
  switch (o.command) {
    case Command::kHuc: return convert_huc(file, output);
    case Command::kPreview: return write_previews(file, output);
    case Command::kCombine: return convert_container(file, true, output);
    case Command::kSplit: break;
    // Not conversions: run() never sends these here.
    case Command::kHelp:
    case Command::kVersion:
    case Command::kDialogs:
    case Command::kInfo: break;
  }
  return convert_container(file, false, output);
}

int run_conversions(const Options& o, std::ostream& out, std::ostream& err) {
  print_banner(out);
  bool any_failed = false;
  Progress progress(err, o.files.size(), progress_wanted(err));
  for (std::size_t i = 0; i < o.files.size(); ++i) {
    const std::string& file = o.files[i];
    progress.show(i + 1, file);
    const Report r = convert_one(o, file);
    progress.clear();
    print_messages(err, r);
    if (r.result != 0) {
      any_failed = true;
      print_error_line(out, r.result);
    } else if (!r.written.empty()) {
      out << file << ": wrote " << join(r.written) << "\n";
    }
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
    Result<FileInfo> r = survey_file(o.files[i]);
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
    err << "korvane: " << problem << "\n" << "Try 'korvane --help'.\n";
    return kExitUsage;
  }
  switch (o->command) {
    case Command::kHelp: print_help(out); return kExitOk;
    case Command::kVersion: out << "korvane " << KORVANE_VERSION_STRING << "\n"; return kExitOk;
    case Command::kDialogs: return run_dialogs(o->dialogs, out, err, dialogs);
    case Command::kInfo: return run_info(*o, out, err);
    case Command::kSplit:
    case Command::kCombine:
    case Command::kHuc:
    case Command::kPreview: return run_conversions(*o, out, err);
  }
  return kExitUsage;
}

}  // namespace kvn::frontend
