#pragma once

#include <string>
#include <vector>

#include "formats/error.hpp"
#include "formats/format_table.hpp"
#include "formats/pattern.hpp"
#include "korvane/korvane.hpp"

namespace kvn::convert {

/// The design placed where `target`'s machines expect it (its origin or
/// start point at the design's centre, turned as `options` ask) and checked
/// against the target's hoops. Each change is added to `adjustments`; a
/// design that fits no hoop is an error naming the turn that would fit,
/// unless `options` allow it. Documents and pictures are only turned.
/// `file` names the input in errors.
Result<formats::Pattern> place_for_target(formats::Pattern p, const formats::Format& target,
                                          const ConvertOptions& options,
                                          std::vector<Adjustment>& adjustments,
                                          const std::string& file);

}  // namespace kvn::convert
