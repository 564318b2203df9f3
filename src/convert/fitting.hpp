#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "formats/error.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern.hpp"
#include "korvane/korvane.hpp"

namespace kvn::convert {

/// The design within `target`'s limits (the writer's row of the format
/// table): every change is added to `adjustments`, so that the writer that
/// follows has nothing left to change.
Result<formats::Pattern> fit_to_limits(formats::Pattern p, const formats::Format& target,
                                       const ConvertOptions& options,
                                       std::vector<Adjustment>& adjustments);

/// Reads `written` back with `target`'s own reader and compares it with
/// `fitted`, the design it was written from, at the format's resolution: a
/// difference is an error naming the first event that differs.
Status check_written(std::span<const std::uint8_t> written, const formats::Pattern& fitted,
                     const formats::Format& target, const std::string& file);

/// Tests only: changes a writer's bytes between writing and the check, to
/// see that the check catches a writer's fault. An empty function turns it off.
using WrittenDamage = std::function<void(std::vector<std::uint8_t>&, const formats::Format&)>;
void damage_written_for_tests(WrittenDamage damage);
void damage_if_asked(std::vector<std::uint8_t>& written, const formats::Format& target);
bool damage_asked();

}  // namespace kvn::convert
