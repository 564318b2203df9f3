/* In-process reading with the open C library libembroidery, timed as
 * read_files_bench times korvane: each file read and decoded into the
 * library's stitch list RUNS times, the median of the CPU time printed on
 * stderr (the library itself prints on stdout). Not built with the
 * project: open_libraries.sh compiles it against a copy of the library
 * fetched into a temporary folder.
 *   libembroidery_read RUNS FILE... */
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

#include "embroidery.h"

static double now_us(void) { return 1e6 * (double)clock() / CLOCKS_PER_SEC; }

static int by_value(const void* a, const void* b) {
  const double x = *(const double*)a, y = *(const double*)b;
  return (x > y) - (x < y);
}

int main(int argc, char** argv) {
  int runs, i, r;
  double* us;
  if (argc < 3) {
    fprintf(stderr, "usage: libembroidery_read RUNS FILE...\n");
    return 2;
  }
  runs = atoi(argv[1]);
  if (runs < 1) runs = 1;
  us = malloc(sizeof(double) * (size_t)runs);
  if (!us) return 1;
  for (i = 2; i < argc; ++i) {
    int stitches = 0;
    for (r = 0; r < runs; ++r) {
      EmbPattern* p;
      double t0 = now_us(), t1;
      p = embp_create();
      if (!p || !embp_read_auto(p, argv[i])) {
        fprintf(stderr, "libembroidery_read: %s: the library could not read it\n", argv[i]);
        return 1;
      }
      t1 = now_us();
      stitches = p->stitch_list->count;
      embp_free(p);
      us[r] = t1 - t0;
    }
    qsort(us, (size_t)runs, sizeof(double), by_value);
    fprintf(stderr, "%s: %.1f us CPU median of %d, %d stitches\n", argv[i], us[runs / 2], runs, stitches);
  }
  free(us);
  return 0;
}
