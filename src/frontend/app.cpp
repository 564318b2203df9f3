#include "frontend/app.hpp"

#include <cstdio>
#include <ostream>

#include "frontend/options.hpp"
#include "frontend/texts.hpp"
#include "korvane/korvane.hpp"

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

int run_conversions(const Options& o, std::ostream& out, std::ostream& err) {
  print_banner(out);
  bool any_failed = false;
  for (const auto& file : o.files) {
    const std::string* shv = o.output ? &*o.output : nullptr;
    const Report r = o.command == Command::kHuc ? convert_huc(file, shv)
                                                : convert_container(file, o.command == Command::kCombine, shv);
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
    case Command::kVersion: out << "korvane " << kVersion << "\n"; return kExitOk;
    case Command::kDialogs: return run_dialogs(o->dialogs, out, err, dialogs);
    case Command::kSplit:
    case Command::kCombine:
    case Command::kHuc: return run_conversions(*o, out, err);
  }
  return kExitUsage;
}

}  // namespace kvn::frontend
