#pragma once

#include <cstddef>

#include "frontend/dialogs.hpp"

// What korvane and its GTK dialogs module agree on. The module is opened with
// dlopen only in dialog mode, so the entry is looked up by its C name; both
// sides come from one build with one compiler, so it may hand over a C++
// object. Change the entry's name whenever Dialogs or this signature changes:
// an older module then fails to load instead of calling through a stale table.

/// Initialises GTK and returns dialogs the caller owns and deletes, or null
/// with the reason written to `why` (at most `why_size` bytes, terminated)
/// when GTK cannot open the display. Never throws.
using KvnCreateGtkDialogs = kvn::frontend::Dialogs* (*)(char* why, std::size_t why_size) noexcept;

/// The name under which the module exports its KvnCreateGtkDialogs entry.
inline constexpr const char* kKvnGtkEntryName = "kvn_create_gtk_dialogs_v2";
