#include "convert/pattern_write.hpp"

#include <algorithm>
#include <array>
#include <cctype>
#include <utility>

#include "convert/pattern_text.hpp"
#include "formats/dst.hpp"
#include "formats/exp.hpp"
#include "formats/jef.hpp"
#include "formats/pes.hpp"
#include "shvgen/shv_writer.hpp"

namespace kvn::convert {

namespace {

constexpr std::array<std::pair<DesignFormat, const char*>, 8> kExtensions{{
    {DesignFormat::kShv, "shv"},
    {DesignFormat::kDst, "dst"},
    {DesignFormat::kExp, "exp"},
    {DesignFormat::kJef, "jef"},
    {DesignFormat::kPes, "pes"},
    {DesignFormat::kSvg, "svg"},
    {DesignFormat::kCsv, "csv"},
    {DesignFormat::kJson, "json"},
}};

}  // namespace

std::optional<DesignFormat> design_format_named(std::string_view name) {
  const auto dot = name.rfind('.');
  if (dot != std::string_view::npos) name.remove_prefix(dot + 1);
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  for (const auto& [f, ext] : kExtensions) {
    if (lower == ext) return f;
  }
  return std::nullopt;
}

const char* extension_of(DesignFormat f) {
  for (const auto& [g, ext] : kExtensions) {
    if (g == f) return ext;
  }
  return "";
}

Result<std::vector<std::uint8_t>> write_pattern(const formats::Pattern& p, DesignFormat f,
                                                const std::string& file) {
  auto ok = formats::check_pattern(p, file);
  if (!ok) return ok.error();
  switch (f) {
    case DesignFormat::kShv:
      return shvgen::write_shv(p, file);
    case DesignFormat::kDst:
      return formats::write_dst(p, file);
    case DesignFormat::kExp:
      return formats::write_exp(p, file);
    case DesignFormat::kJef:
      return formats::write_jef(p, file);
    case DesignFormat::kPes:
      return formats::write_pes(p, file);
    case DesignFormat::kSvg:
      return write_svg(p);
    case DesignFormat::kCsv:
      return write_csv(p);
    case DesignFormat::kJson:
      return write_json(p);
  }
  return make_error(ErrorCode::kUnsupportedForm, file,
                    std::string("korvane cannot write ") + extension_of(f) + " yet");
}

}  // namespace kvn::convert
