#include "convert/pattern_convert.hpp"

#include <optional>
#include <utility>

#include "convert/combine.hpp"
#include "convert/fitting.hpp"
#include "convert/naming.hpp"
#include "convert/placement.hpp"
#include "formats/container.hpp"
#include "formats/file_kind.hpp"
#include "formats/huc_layout.hpp"
#include "formats/pattern_read.hpp"
#include "formats/shv_pattern.hpp"
#include "inspect/survey.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::convert {
namespace {

using formats::NeedleOp;
using formats::Pattern;

std::string written_formats() { return formats::writable_extensions(); }

}  // namespace

Result<std::vector<Pattern>> container_patterns(const formats::ByteReader& in, bool combine,
                                                std::optional<Error>* beyond_combining) {
  if (!combine) return formats::read_dhv_designs(in);
  // Read from combining's own image, so that each design's first record is
  // sewn as combining sews it. Combinations beyond what one HUC image holds,
  // which combining refuses, are still put together pattern by pattern.
  KORVANE_TRY(layout, formats::read_container(in));
  if (layout.designs.size() >= 2) {
    auto huc = build_combined_huc(in, layout);
    if (huc) {
      KORVANE_TRY(all, formats::read_huc(formats::ByteReader(*huc, in.file())));
      all.name.assign(layout.name.begin(), layout.name.end());
      return std::vector<Pattern>{std::move(all)};
    }
    if (beyond_combining) *beyond_combining = huc.error();
  }
  KORVANE_TRY(all, formats::read_dhv_combined(in));
  return std::vector<Pattern>{std::move(all)};
}

bool names_folder(const std::string* output, FileSystem& fs) {
  if (!output || output->empty()) return false;
  const char last = output->back();
  return last == '/' || last == '\\' || fs.identify(*output).type == FileType::kDirectory;
}

Result<const formats::Format*> target_format(const ConvertOptions& options, const std::string* output,
                                   bool output_is_folder) {
  if (!options.to.empty()) {
    // --to takes a bare name only: "dst", not "x.dst".
    if (auto f = writable_format_named(options.to); f && options.to.find('.') == std::string::npos)
      return f;
    return make_error(ErrorCode::kBadArgument, "--to " + options.to,
                      "korvane writes " + written_formats());
  }
  if (output && !output_is_folder) {
    if (auto f = writable_format_named(*output);
        f && output->find('.', file_name_start(*output)) != std::string::npos)
      return f;
    return make_error(ErrorCode::kBadArgument, *output,
                      "the name does not tell which format to write; give it one of the "
                      "extensions " +
                          written_formats() + ", or use --to");
  }
  return formats::format_of(formats::ContentKind::kShvDesign);
}

Result<std::vector<std::string>> converted_names(const std::string& input,
                                                 const std::string* output,
                                                 const ConvertOptions& options,
                                                 const formats::ByteReader& in, FileSystem& fs) {
  const bool folder = names_folder(output, fs);
  KORVANE_TRY(format, target_format(options, output, folder));
  const std::string ext(format->extensions.front());
  // Beside the input, or in the folder -o names, with the input's file-name part.
  std::string base = input;
  if (folder) {
    base = *output;
    if (base.back() != '/' && base.back() != '\\') base += '/';
    base += input.substr(file_name_start(input));
  }
  const auto kind = formats::recognise_kind(in.bytes());
  std::size_t designs = 1;
  if (kind == formats::ContentKind::kDhvContainer) {
    KORVANE_TRY(layout, formats::read_container(in));
    if (!options.combine) designs = layout.designs.size();
  } else if (kind != formats::ContentKind::kShvDesign && kind != formats::ContentKind::kHucDesign &&
             !inspect::pattern_readable(kind)) {
    return inspect::not_readable(in, kind);
  }
  const bool named = output && !folder;
  if (designs == 1) return std::vector<std::string>{named ? *output : with_extension(base, ext)};
  std::vector<std::string> names;
  for (std::size_t i = 0; i < designs; ++i)
    names.push_back(numbered_name(named ? *output : base, static_cast<unsigned>(i + 1), ext));
  return names;
}

InputResult convert_pattern(const std::string& input, const std::string* output,
                            const ConvertOptions& options, OutputWriter& out,
                            const PlannedConversion* planned) {
  std::vector<std::uint8_t> loaded;
  if (!planned) {
    auto r = out.fs().read_whole(input);
    if (!r) return failure(r.error());
    loaded = std::move(*r);
  }
  const formats::ByteReader in(planned ? planned->bytes : loaded, input);
  auto names = planned && planned->names ? Result<std::vector<std::string>>(*planned->names)
                                         : converted_names(input, output, options, in, out.fs());
  if (!names) return failure(names.error());
  auto format = planned && planned->format
                    ? Result<const formats::Format*>(*planned->format)
                    : target_format(options, output, names_folder(output, out.fs()));
  if (!format) return failure(format.error());

  const auto kind = formats::recognise_kind(in.bytes());
  // The SHV design of a HUC image, its stream unchanged, as --huc writes it.
  auto write_shv_of = [&](const formats::ByteReader& huc) {
    auto shv = shvgen::build_shv(huc, design_name(names->front()));
    if (!shv) return failure(shv.error());
    InputResult r;
    out.write(names->front(), *shv, r);
    return r;
  };
  // A design asked to turn is rewritten whatever it was; otherwise the
  // designs of HUC images and containers go into SHV as they are.
  const bool turning = options.rotate == Turn::k90 || options.rotate == Turn::k180 ||
                       options.rotate == Turn::k270;
  // A HUC design's stream is already SHV's: it goes over unchanged, exactly
  // as --huc writes it, so that both commands give one file the same bytes.
  if (kind == formats::ContentKind::kHucDesign && !turning &&
      (*format)->kind == formats::ContentKind::kShvDesign) {
    if (auto whole = formats::check_huc_image(in); !whole) return failure(whole.error());
    return write_shv_of(in);
  }

  // A container into SHV gives the files splitting or combining writes:
  // each design byte for byte, or the very file --combine writes.
  if (kind == formats::ContentKind::kDhvContainer && !turning &&
      (*format)->kind == formats::ContentKind::kShvDesign) {
    auto layout = formats::read_container(in);
    if (!layout) return failure(layout.error());
    if (!options.combine || layout->designs.size() == 1) {
      if (auto whole = formats::check_designs_whole(in, *layout); !whole)
        return failure(whole.error());
      if (layout->designs.size() != names->size())
        return failure(make_error(ErrorCode::kInternal, input, "the designs changed while read"));
      std::vector<std::span<const std::uint8_t>> designs;
      for (const auto& d : layout->designs) {
        auto design = in.span_at(d.begin, d.length, "a design");
        if (!design) return failure(design.error());
        designs.push_back(*design);
      }
      InputResult r;
      for (std::size_t i = 0; i < designs.size(); ++i)
        if (!out.write((*names)[i], designs[i], r)) break;
      return r;
    }
    // Into SHV, --convert --combine is --combine: it refuses what combining
    // refuses, in the same words, rather than making an SHV file of its own.
    auto huc = build_combined_huc(in, *layout);
    if (!huc) return failure(huc.error());
    return write_shv_of(formats::ByteReader(*huc, input));
  }

  std::vector<Pattern> patterns;
  std::optional<Error> beyond_combining;
  if (kind == formats::ContentKind::kDhvContainer) {
    auto all = container_patterns(in, options.combine, &beyond_combining);
    if (!all) return failure(all.error());
    patterns = std::move(*all);
  } else {
    auto p = formats::read_pattern(in, kind);
    if (!p) return failure(p.error());
    patterns.push_back(std::move(*p));
  }
  // A design without a name of its own takes the input's.
  for (auto& p : patterns)
    if (p.name.empty()) p.name = design_name(input);
  if (patterns.size() != names->size())
    return failure(make_error(ErrorCode::kInternal, input, "the designs changed while read"));
  // The file's bytes are not needed again, and beside a design of millions
  // of stitches and its output they would be a third of the memory it takes.
  std::vector<std::uint8_t>().swap(loaded);
  if (planned && planned->owner) std::vector<std::uint8_t>().swap(*planned->owner);

  std::vector<FileReport> reports(patterns.size());
  if (beyond_combining && !reports.empty())
    reports.front().adjustments.push_back(
        {"combined-beyond-shv", 1,
         "combined although --combine refuses these designs (" + beyond_combining->detail +
             "): no SHV design could hold them"});
  const formats::Format& target = **format;
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    auto& adjustments = reports[i].adjustments;
    auto placed = place_for_target(std::move(patterns[i]), target, options, adjustments, input);
    if (!placed) return failure(placed.error());
    auto fitted = fit_to_limits(std::move(*placed), target, options, adjustments);
    if (!fitted) return failure(fitted.error());
    patterns[i] = std::move(*fitted);
    reports[i].checked = target.read != nullptr;
  }
  // Several files are each encoded and checked before the first is written,
  // so that a design that cannot be written leaves nothing behind. One file,
  // which may be a design of millions of stitches, is never held whole: it is
  // checked as read back from its temporary file, which a failure removes.
  const bool one_file = patterns.size() == 1;
  if (!one_file) {
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      if (!target.read) {
        if (auto ok = formats::check_pattern(patterns[i], (*names)[i]); !ok)
          return failure(ok.error());
        continue;
      }
      auto image = write_pattern(patterns[i], target.kind, (*names)[i]);
      if (!image) return failure(image.error());
      damage_if_asked(*image, target);
      if (auto checked = check_written(*image, patterns[i], target, (*names)[i]); !checked)
        return failure(checked.error());
    }
  }
  InputResult r;
  for (std::size_t i = 0; i < patterns.size(); ++i) {
    const auto produce = [&](ByteSink& sink) {
      return stream_pattern(patterns[i], target.kind, (*names)[i], sink);
    };
    ReadBackCheck check;
    if (one_file && target.read)
      check = [&](std::span<const std::uint8_t> written) {
        return check_written(written, patterns[i], target, (*names)[i]);
      };
    if (!out.write_streamed((*names)[i], produce, check, r, std::move(reports[i]))) break;
  }
  return r;
}

}  // namespace kvn::convert
