#include "shvgen/line_dda.hpp"

#ifdef _WIN32
#include <windows.h>
#endif

namespace kvn::shvgen {

void line_dda_portable(int x1, int y1, int x2, int y2, LineProc proc, std::intptr_t lpData) {
  dda_points(x1, y1, x2, y2, [&](int x, int y) { proc(x, y, lpData); });
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
