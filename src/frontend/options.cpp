#include "frontend/options.hpp"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <ostream>

#include "convert/pattern_convert.hpp"
#include "inspect/format_listing.hpp"
#include "inspect/realistic.hpp"
#include "inspect/thumbnail.hpp"

namespace kvn::frontend {
namespace {

// A decimal number, all of `text`, finite and within [lo, hi].
std::optional<double> number_in(const std::string& text, double lo, double hi) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(v) || v < lo || v > hi)
    return std::nullopt;
  return v;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A fabric colour by name or as #RRGGBB; `none` leaves the background transparent.
bool fabric_colour(std::string text, PictureOptions& p) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  struct Named {
    const char* name;
    unsigned char r, g, b;
  };
  static constexpr Named kNamed[] = {
      {"white", 0xFF, 0xFF, 0xFF}, {"cream", 0xF5, 0xEE, 0xDC}, {"grey", 0x9A, 0x9A, 0x9A},
      {"gray", 0x9A, 0x9A, 0x9A},  {"black", 0x14, 0x14, 0x14}, {"navy", 0x1B, 0x24, 0x4A},
      {"red", 0xB0, 0x1E, 0x23},   {"denim", 0x3B, 0x55, 0x7A}, {"green", 0x2F, 0x5D, 0x3A},
  };
  if (text == "none") {
    p.transparent = true;
    return true;
  }
  for (const auto& n : kNamed)
    if (text == n.name) {
      p.transparent = false;
      p.fabric_r = n.r, p.fabric_g = n.g, p.fabric_b = n.b;
      return true;
    }
  if (!text.empty() && text[0] == '#') text.erase(0, 1);
  if (text.size() != 6) return false;
  unsigned char rgb[3];
  for (std::size_t i = 0; i < 3; ++i) {
    const int hi = hex_digit(text[2 * i]), lo = hex_digit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    rgb[i] = static_cast<unsigned char>(hi * 16 + lo);
  }
  p.transparent = false;
  p.fabric_r = rgb[0], p.fabric_g = rgb[1], p.fabric_b = rgb[2];
  return true;
}

// Where "-" may stand for the standard input or output: one design read, one
// file written, and nothing else sharing the stream.
bool standard_streams_fit(const Options& o, std::string& problem) {
  const auto dashes = std::count(o.files.begin(), o.files.end(), "-");
  const bool dash_out = o.output && *o.output == "-";
  const bool pictures = o.command == Command::kPreview || o.command == Command::kWorksheet;
  if (o.output_dir && *o.output_dir == "-")
    problem = "-O - names no folder; -o - sends one file to standard output";
  else if (dashes > 0 && o.files.size() > 1)
    problem = "'-' reads one design from standard input: give it alone";
  else if (dashes > 0 && pictures)
    problem =
        "--preview and --worksheet name their files after the input's name: give the file, "
        "not '-'";
  else if (dashes > 0 && o.command != Command::kInfo && !o.output)
    problem =
        "a design read from standard input has no name for its output: add -o FILE, or -o - "
        "for standard output";
  else if (dash_out && pictures)
    problem = "with --preview or --worksheet -o names a folder, and '-' is none";
  else if (dash_out && o.files.size() > 1)
    problem = "-o - sends one file to standard output: give one input";
  else if (dash_out && o.command == Command::kConvert && o.to.empty())
    problem = "-o - needs --to to say which format to write";
  else if (dash_out && o.json)
    problem = "--json and -o - would both print on standard output: leave one out";
  else
    return true;
  return false;
}

}  // namespace

std::optional<Options> parse_options(const std::vector<std::string>& args, std::string& problem) {
  Options o;
  bool command_seen = false;
  auto set_command = [&](Command c, const std::string& arg) {
    if (command_seen && o.command != c) {
      problem = "'" + arg + "' cannot be combined with another command";
      return false;
    }
    o.command = c;
    command_seen = true;
    return true;
  };
  // An option with a value, in each GNU spelling: "-o FILE", "-oFILE",
  // "--output FILE" and "--output=FILE". kMissing when the value is not there.
  enum class Valued { kNo, kYes, kMissing };
  std::string value;
  bool rotate_seen = false;
  auto valued = [&](std::size_t& i, const char* short_form, const std::string& long_form) {
    const std::string& a = args[i];
    if (a == short_form || a == long_form) {
      if (i + 1 >= args.size()) return Valued::kMissing;
      value = args[++i];
      return Valued::kYes;
    }
    const std::string long_with_value = long_form + "=";
    if (a.rfind(long_with_value, 0) == 0) {
      value = a.substr(long_with_value.size());
      return Valued::kYes;
    }
    if (a.size() > 2 && a.rfind(short_form, 0) == 0) {
      value = a.substr(2);
      return Valued::kYes;
    }
    return Valued::kNo;
  };
  // A long option with a value: "--scale 12" or "--scale=12".
  auto long_valued = [&](std::size_t& i, const std::string& long_form) {
    const std::string& a = args[i];
    if (a == long_form) {
      if (i + 1 >= args.size()) return Valued::kMissing;
      value = args[++i];
      return Valued::kYes;
    }
    if (a.rfind(long_form + "=", 0) == 0) {
      value = a.substr(long_form.size() + 1);
      return Valued::kYes;
    }
    return Valued::kNo;
  };
  // A long option whose value is a number within [lo, hi]; false on a mistake.
  auto long_number = [&](std::size_t& i, const std::string& long_form, Valued& found, double lo,
                         double hi, const char* what, double& to) {
    found = long_valued(i, long_form);
    if (found == Valued::kNo) return true;
    const auto n = found == Valued::kYes ? number_in(value, lo, hi) : std::nullopt;
    if (!n) {
      // Built by appending: GCC 12 at -O3 takes assigning a literal here for an overlapping copy.
      problem.assign(1, '\'');
      problem.append(long_form).append("' needs ").append(what);
      return false;
    }
    to = *n;
    return true;
  };
  double weight = 0;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    Valued v = Valued::kNo;
    Valued picture = Valued::kNo;
    Valued sheet = Valued::kNo;
    if (!long_number(i, "--scale", picture, inspect::kMinPixelsPerMm, inspect::kMaxPixelsPerMm,
                     "pixels per millimetre, from 1 to 50", o.picture.pixels_per_mm) ||
        (picture == Valued::kNo &&
         !long_number(i, "--thread-width", picture, inspect::kMinThreadWidth,
                      inspect::kMaxThreadWidth, "a width in millimetres, from 0.05 to 3",
                      o.picture.thread_width_mm)) ||
        (picture == Valued::kNo &&
         !long_number(i, "--thread-weight", picture, 30, 60, "a thread weight: 30, 40 or 60",
                      weight)) ||
        !long_number(i, "--speed", sheet, 1, 5000, "stitches a minute, from 1 to 5000",
                     o.worksheet.stitches_per_minute) ||
        (sheet == Valued::kNo &&
         !long_number(i, "--change-time", sheet, 0, 3600, "seconds, from 0 to 3600",
                      o.worksheet.seconds_per_colour_change)) ||
        (sheet == Valued::kNo &&
         !long_number(i, "--trim-time", sheet, 0, 600, "seconds, from 0 to 600",
                      o.worksheet.seconds_per_trim)) ||
        (sheet == Valued::kNo &&
         !long_number(i, "--take-up", sheet, 1, 10, "a factor from 1 to 10", o.worksheet.take_up)))
      return std::nullopt;
    if (a.rfind("--thread-weight", 0) == 0 && picture == Valued::kYes) {
      const auto w = inspect::thread_width_for_weight(static_cast<int>(weight));
      if (!w || weight != std::floor(weight)) {
        problem = "'--thread-weight' needs a thread weight: 30, 40 or 60";
        return std::nullopt;
      }
      o.picture.thread_width_mm = *w;
    }
    if (picture == Valued::kNo) {
      picture = long_valued(i, "--fabric");
      if (picture == Valued::kMissing || (picture == Valued::kYes && !fabric_colour(value, o.picture))) {
        problem = "'--fabric' needs a colour: white, cream, grey, black, navy, red, denim, green, "
                  "#RRGGBB or none";
        return std::nullopt;
      }
    }
    if (picture == Valued::kNo) {
      picture = long_valued(i, "--style");
      if (picture == Valued::kYes && (value == "lines" || value == "threads")) {
        o.picture.lines = value == "lines";
      } else if (picture != Valued::kNo) {
        problem = "'--style' needs threads or lines";
        return std::nullopt;
      }
    }
    if (picture != Valued::kNo) {
      o.picture_options = true;
      continue;
    }
    if (sheet != Valued::kNo) {
      o.worksheet_options = true;
      continue;
    }
    if (a == "-h" || a == "--help") {
      o.command = Command::kHelp;
      return o;
    }
    if (a == "--version") {
      o.command = Command::kVersion;
      return o;
    }
    if (a == "--split") {
      if (!set_command(Command::kSplit, a)) return std::nullopt;
    } else if (a == "--combine") {
      // With --convert, --combine only says how a container is converted.
      o.combine = true;
      if (!(command_seen && o.command == Command::kConvert) && !set_command(Command::kCombine, a))
        return std::nullopt;
    } else if (a == "--convert") {
      if (command_seen && o.command == Command::kCombine) o.command = Command::kConvert;
      if (!set_command(Command::kConvert, a)) return std::nullopt;
    } else if (a == "--to") {
      if (i + 1 >= args.size()) {
        problem = "'--to' needs a format, such as shv, dst or svg";
        return std::nullopt;
      }
      o.to = args[++i];
    } else if (a == "--rotate" || a.rfind("--rotate=", 0) == 0) {
      std::string turn;
      if (a != "--rotate") {
        turn = a.substr(9);
      } else if (i + 1 < args.size()) {
        turn = args[++i];
      }
      if (turn == "90")
        o.rotate = Turn::k90;
      else if (turn == "180")
        o.rotate = Turn::k180;
      else if (turn == "270")
        o.rotate = Turn::k270;
      else if (turn == "fit")
        o.rotate = Turn::kToFit;
      else {
        problem = "'--rotate' needs 90, 180, 270 or fit";
        return std::nullopt;
      }
      rotate_seen = true;
    } else if (a == "--keep-origin") {
      o.keep_origin = true;
    } else if (a == "--allow-oversize") {
      o.allow_oversize = true;
    } else if (a == "--min-stitch") {
      // A length in millimetres, "0.3" or "0,3" as Windows users write it.
      std::string mm = i + 1 < args.size() ? args[i + 1] : std::string();
      std::replace(mm.begin(), mm.end(), ',', '.');
      char* end = nullptr;
      const double length = mm.empty() ? -1 : std::strtod(mm.c_str(), &end);
      if (mm.empty() || *end != '\0' || !(length >= 0 && length <= 10)) {
        problem = "'--min-stitch' needs a length in millimetres from 0 to 10, such as 0.3";
        return std::nullopt;
      }
      o.min_stitch = length;
      ++i;
    } else if (a == "--stitches") {
      o.stitches = true;
    } else if (a == "--formats") {
      if (!set_command(Command::kFormats, a)) return std::nullopt;
    } else if (a == "--huc") {
      if (!set_command(Command::kHuc, a)) return std::nullopt;
    } else if (a == "--info") {
      if (!set_command(Command::kInfo, a)) return std::nullopt;
    } else if (a == "--preview") {
      if (!set_command(Command::kPreview, a)) return std::nullopt;
    } else if (a == "--thumbnail") {
      // As a file manager's thumbnailer calls it: --thumbnail SIZE IN OUT.
      const auto size = i + 1 < args.size() ? number_in(args[i + 1], inspect::kMinThumbnailSize,
                                                        inspect::kMaxThumbnailSize)
                                            : std::nullopt;
      if (!size || *size != std::floor(*size)) {
        problem =
            "'--thumbnail' needs a size in pixels from 8 to 2048, then the design and the "
            "picture: --thumbnail 256 rose.dst rose.png";
        return std::nullopt;
      }
      o.thumbnail_size = static_cast<unsigned>(*size);
      ++i;
      if (!set_command(Command::kThumbnail, a)) return std::nullopt;
    } else if (a == "--worksheet") {
      if (!set_command(Command::kWorksheet, a)) return std::nullopt;
    } else if (a == "--json") {
      o.json = true;
    } else if (a == "--dialogs" || a.rfind("--dialogs=", 0) == 0) {
      const std::string kind = a.size() > 10 ? a.substr(10) : "auto";
      if (kind == "auto")
        o.dialogs = DialogChoice::kAuto;
      else if (kind == "gtk")
        o.dialogs = DialogChoice::kGtk;
      else if (kind == "terminal")
        o.dialogs = DialogChoice::kTerminal;
      else {
        problem = "unknown dialogs '" + kind + "' (use auto, gtk or terminal)";
        return std::nullopt;
      }
      if (!set_command(Command::kDialogs, a)) return std::nullopt;
    } else if ((v = valued(i, "-o", "--output")) != Valued::kNo) {
      if (v == Valued::kMissing) {
        problem = "'" + a + "' needs a file name";
        return std::nullopt;
      }
      o.output = value;
    } else if ((v = valued(i, "-O", "--output-dir")) != Valued::kNo) {
      if (v == Valued::kMissing) {
        problem = "'" + a + "' needs a folder name";
        return std::nullopt;
      }
      o.output_dir = value;
    } else if (a == "-q" || a == "--quiet") {
      o.quiet = true;
    } else if (a == "-r" || a == "--recursive") {
      o.recursive = true;
    } else if (a == "--force") {
      o.force = true;
    } else if (a == "--") {
      for (++i; i < args.size(); ++i) o.files.push_back(args[i]);
    } else if (a == "-") {
      o.files.push_back(a);
    } else if (!a.empty() && a[0] == '-') {
      problem = "unknown option '" + a + "'";
      return std::nullopt;
    } else {
      o.files.push_back(a);
    }
  }
  // Without a command, options mode splits.
  if (o.output && o.output_dir) {
    problem = "-o and -O cannot go together: -o names one file, -O a folder for all";
    return std::nullopt;
  }
  // With files the dialogs skip the open dialog; without, they ask for them.
  if (o.command == Command::kDialogs) {
    if (std::count(o.files.begin(), o.files.end(), "-") > 0) {
      problem = "--dialogs opens files by their names: '-' is none";
      return std::nullopt;
    }
    if (o.output || o.output_dir) {
      problem = "--dialogs writes beside each container: it takes no -o or -O";
      return std::nullopt;
    }
    return o;
  }
  if (o.command == Command::kFormats) {
    if (!o.files.empty() || o.output || o.output_dir) {
      problem = "--formats lists the formats korvane knows: it takes no files";
      return std::nullopt;
    }
    return o;
  }
  if (o.command == Command::kThumbnail) {
    // The picture is the second file, or -o.
    if (o.files.size() == 2 && !o.output && !o.output_dir) {
      o.output = o.files.back();
      o.files.pop_back();
    }
    if (o.files.size() != 1 || !o.output || o.output_dir) {
      problem = "--thumbnail draws one design into one picture: --thumbnail 256 rose.dst rose.png";
      return std::nullopt;
    }
  }
  if (o.files.empty()) {
    problem = "no input file given";
    return std::nullopt;
  }
  if (o.json && o.command != Command::kInfo && o.command != Command::kConvert) {
    problem = "--json goes with --info, --convert or --formats";
    return std::nullopt;
  }
  if (o.stitches && !o.json) {
    problem = "--stitches goes with --info --json";
    return std::nullopt;
  }
  if (!o.to.empty() && o.command != Command::kConvert) {
    problem = "--to goes with --convert";
    return std::nullopt;
  }
  if ((rotate_seen || o.keep_origin || o.allow_oversize || o.min_stitch > 0) &&
      o.command != Command::kConvert) {
    problem = "--rotate, --keep-origin, --allow-oversize and --min-stitch go with --convert";
    return std::nullopt;
  }
  // A format korvane cannot write is a slip in the command, like an unknown
  // option: told before any file is read, in the words the page uses too.
  if (o.command == Command::kConvert && !o.to.empty()) {
    ConvertOptions to;
    to.to = o.to;
    if (auto f = convert::target_format(to, nullptr, false); !f) {
      problem = f.error().message();
      return std::nullopt;
    }
  }
  if (!standard_streams_fit(o, problem)) return std::nullopt;
  if (o.command != Command::kConvert) o.combine = false;
  if (o.picture_options && o.command != Command::kPreview && o.command != Command::kWorksheet) {
    problem = "--style, --scale, --fabric and --thread-width or --thread-weight go with --preview "
              "or --worksheet";
    return std::nullopt;
  }
  if (o.picture_options && o.command == Command::kWorksheet && o.picture.lines) {
    problem = "a worksheet shows the threads: --style lines goes with --preview";
    return std::nullopt;
  }
  if (o.worksheet_options && o.command != Command::kWorksheet) {
    problem = "--speed, --change-time, --trim-time and --take-up go with --worksheet";
    return std::nullopt;
  }
  if ((o.output || o.output_dir) && o.command == Command::kInfo) {
    problem = "--info prints what it finds and writes no file: it takes no -o or -O";
    return std::nullopt;
  }
  if (o.output && o.files.size() > 1 && o.command != Command::kPreview &&
      o.command != Command::kConvert && o.command != Command::kWorksheet) {
    problem = "-o names the output of one input file only";
    return std::nullopt;
  }
  return o;
}

namespace {

// The words of `text` on lines that start at column `indent` and end
// before column 80; the first line goes on from where the caller stands.
std::string wrapped(const std::string& text, std::size_t first_column, std::size_t indent) {
  std::string out, word;
  std::size_t column = first_column;
  auto put = [&] {
    if (word.empty()) return;
    if (column > indent && column + 1 + word.size() > 79) {
      out.append("\n").append(indent, ' ');
      column = indent;
    } else if (column > first_column || column > indent) {
      out += ' ';
      ++column;
    }
    out += word;
    column += word.size();
    word.clear();
  };
  for (const char c : text) {
    if (c == ' ')
      put();
    else
      word += c;
  }
  put();
  return out;
}

}  // namespace

void print_help(std::ostream& out) {
  // The --to line lists what the format table writes, so it grows with it.
  constexpr std::size_t kDescriptionColumn = 27;
  // Appended piece by piece: GCC 12 at -O3 takes "literal" + std::string
  // for an overlapping copy and warns.
  std::string to_text = "with --convert: write ";
  to_text.append(inspect::writable_list()).append(" (shv is the default)");
  std::string to_line = "  --to FORMAT              ";
  to_line.append(wrapped(to_text, kDescriptionColumn - 1, kDescriptionColumn));
  out << "Usage:\n"
         "  korvane                  pick a container in a dialog, split it, then offer to "
         "combine\n"
         "  korvane FILE...          split each DHV container FILE; a folder gives every\n"
         "                           container in it\n"
         "  korvane OPTIONS FILE...  when the first argument starts with '-'; '--' ends\n"
         "                           the options\n"
         "\n"
         "Options:\n"
         "  --split FILE...          split each container into SHV designs (the default)\n"
         "  --combine FILE...        combine all designs of each container into one SHV design\n"
         "  --huc FILE               build an SHV design from a HUC design file\n"
         "  --convert FILE...        convert designs of any format korvane reads; a folder\n"
         "                           gives every design in it\n"
      << to_line << "\n"
      << "  --rotate 90|180|270|fit  with --convert: turn designs clockwise; fit turns\n"
         "                           one by 90 only when that makes it fit a hoop\n"
         "  --keep-origin            with --convert: keep the design's own start point\n"
         "                           instead of starting at its middle\n"
         "  --allow-oversize         with --convert: write designs larger than any hoop\n"
         "  --min-stitch MM          with --convert: merge stitches shorter than MM\n"
         "                           millimetres into the next (off by default)\n"
         "  --info FILE...           tell what each container or design holds\n"
         "  --json                   with --info, --convert or --formats: print one JSON\n"
         "                           document\n"
         "  --stitches               with --info --json: list every needle event too\n"
         "  --preview FILE...        write PNG pictures of each container or design\n"
         "  --style threads|lines    with --preview: draw stitches as threads on fabric\n"
         "                           (the default) or as one-pixel lines\n"
         "  --scale PX               pixels per millimetre, 1 to 50 (default 10)\n"
         "  --fabric COLOUR          white (default), cream, grey, black, navy, red,\n"
         "                           denim, green, #RRGGBB, or none (transparent)\n"
         "  --thread-width MM        the thread's width on the fabric (default 0.4)\n"
         "  --thread-weight 30|40|60 the same by the thread's weight (30: 0.46, 60: 0.33)\n"
         "  --worksheet FILE...      write a printable HTML page of each design: picture,\n"
         "                           colour sequence, totals, thread and time estimates\n"
         "  --thumbnail SIZE IN PNG  draw the design IN as threads into the picture PNG,\n"
         "                           SIZE pixels on its longer side (for file managers)\n"
         "  --speed SPM              with --worksheet: stitches a minute (default 400)\n"
         "  --change-time S          seconds a colour change costs (default 60)\n"
         "  --trim-time S            seconds a trim costs (default 5)\n"
         "  --take-up F              thread used per millimetre of stitch (default 1.2)\n"
         "  -o, --output OUT         name the output of a single input file;\n"
         "                           with --preview or --worksheet, the directory;\n"
         "                           with --convert, a file (its extension names the\n"
         "                           format) or an existing folder\n"
         "  -O, --output-dir DIR     put every output in DIR (made when missing)\n"
         "  -                        as the one FILE: the design on standard input; as\n"
         "                           -o -: the one file written on standard output\n"
         "  -r, --recursive          a folder given includes its subfolders\n"
         "  -q, --quiet              print nothing for what succeeded\n"
         "  --force                  replace outputs that are write-protected too\n"
         "  --dialogs[=auto|gtk|terminal] [FILE...]\n"
         "                           run the dialog flow with the system's or the chosen\n"
         "                           dialogs; with files, without the open dialog\n"
         "  --formats                list the formats korvane reads and writes\n"
         "  -h, --help               show this help\n"
         "  --version                show the version\n"
         "\n"
         "Output names: garden.dhv gives garden.shv (one design) or garden001.shv,\n"
         "garden002.shv, ... (several designs); combining gives garden.shv.\n"
         "Pictures: garden-preview-001.png, garden-stitches-001.png, ... per design\n"
         "and garden-layout.png for a container; rose-preview.png and\n"
         "rose-stitches.png for the design rose.shv. Worksheets: garden-worksheet.html.\n"
         "Converting: rose.dst gives rose.shv; garden.dhv gives garden001.shv, ...\n"
         "(one per design) or with --combine garden.shv.\n"
         "Exit status: 0 success, 1 a conversion failed, 2 bad command line.\n";
}

}  // namespace kvn::frontend
