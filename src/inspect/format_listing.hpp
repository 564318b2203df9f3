#pragma once

#include <string>

namespace kvn::inspect {

/// The format table for people: one aligned line per format with what it
/// is, its extensions, whether korvane reads and writes it, and what a
/// written file can hold.
std::string formats_text();

/// The same for scripts: {"formats": [{"format": "DST", ...}, ...]}.
std::string formats_json();

/// The extensions --convert writes, as a sentence: "shv, dst, ..., csv or json".
std::string writable_list();

}  // namespace kvn::inspect
