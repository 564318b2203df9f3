#pragma once

#include <cstdint>

// The calling convention GDI requires of a LineDDA callback.
#ifdef _WIN32
#define KORVANE_CALLBACK __stdcall
#else
#define KORVANE_CALLBACK
#endif

namespace kvn::shvgen {

/// Receives one point of a line and the caller's data, unchanged.
using LineProc = void(KORVANE_CALLBACK*)(int X, int Y, std::intptr_t lpData);

/// Reports the points of the segment from (x1, y1) to (x2, y2) to `proc`, in
/// order, synchronously: the start point is reported and the end point is not,
/// so a zero-length segment reports nothing. Windows builds use GDI's own
/// LineDDA, everything else line_dda_portable; both step alike.
void line_dda(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData);

/// The stepping of GDI's LineDDA, written out: along the major axis (x when
/// |dx| > |dy|, else y), err starts at 2*minor - major; at each step the current
/// point is reported, then the minor axis steps when err > 0 (err += 2*minor -
/// 2*major), else err += 2*minor; then the major axis steps.
void line_dda_portable(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData);

}  // namespace kvn::shvgen
