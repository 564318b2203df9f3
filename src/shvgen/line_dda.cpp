#include "shvgen/line_dda.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kvn::shvgen {

void line_dda_portable(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData) {
  // 64-bit error terms: twice a 32-bit extent does not fit in an int.
  const std::int64_t dx = std::int64_t{x2} - x1;
  const std::int64_t dy = std::int64_t{y2} - y1;
  const int xstep = dx < 0 ? -1 : 1;
  const int ystep = dy < 0 ? -1 : 1;
  const std::int64_t adx = dx < 0 ? -dx : dx;
  const std::int64_t ady = dy < 0 ? -dy : dy;
  const bool x_major = adx > ady;
  const std::int64_t major = x_major ? adx : ady;
  const std::int64_t minor = x_major ? ady : adx;
  std::int64_t err = 2 * minor - major;
  int x = x1;
  int y = y1;
  for (std::int64_t i = 0; i < major; ++i) {
    proc(x, y, lpData);
    if (err > 0) {
      if (x_major)
        y += ystep;
      else
        x += xstep;
      err += 2 * minor - 2 * major;
    } else {
      err += 2 * minor;
    }
    if (x_major)
      x += xstep;
    else
      y += ystep;
  }
}

#ifdef _WIN32
namespace {

struct Forward {
  LineProc proc;
  std::intptr_t lpData;
};

// GDI's callback type spells its data LPARAM, which need not be the same type
// as std::intptr_t; a forwarding callback avoids calling through a cast pointer.
VOID CALLBACK forward_point(int X, int Y, LPARAM lp) {
  const auto* f = reinterpret_cast<const Forward*>(lp);
  f->proc(X, Y, f->lpData);
}

}  // namespace

void line_dda(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData) {
  static_assert(sizeof(LPARAM) == sizeof(std::intptr_t), "LPARAM must carry a pointer");
  Forward f{proc, lpData};
  ::LineDDA(x1, y1, x2, y2, forward_point, reinterpret_cast<LPARAM>(&f));
}
#else
void line_dda(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData) {
  line_dda_portable(x1, y1, x2, y2, proc, lpData);
}
#endif

}  // namespace kvn::shvgen
