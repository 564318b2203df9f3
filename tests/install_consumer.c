/* A program of a library user: built only against the installed header and
 * library, found through pkg-config. Splits a container in memory.
 *   install_consumer CONTAINER DESIGNS */
#include <stdio.h>
#include <stdlib.h>

#include <korvane/korvane.h>

int main(int argc, char** argv) {
  static unsigned char dhv[1 << 16];
  unsigned char* shv = NULL;
  int32_t sshv = 0;
  void* out = NULL;
  FILE* f;
  size_t size;
  long want;
  if (argc != 3 || !(f = fopen(argv[1], "rb"))) return 2;
  size = fread(dhv, 1, sizeof dhv, f);
  fclose(f);
  want = strtol(argv[2], NULL, 10);
  if (korvane(NULL, &shv, &sshv, NULL, dhv, (int32_t)size, 0, &out) != KORVANE_OK) {
    fprintf(stderr, "%s (code %d)\n", korvane_last_error(), korvane_last_error_code());
    return 1;
  }
  if (((pbcb_list_t*)out)->count != (uint32_t)want) return 3;
  korvane_free_design_list(out);
  if (korvane(NULL, &shv, &sshv, NULL, dhv, 10, 0, &out) != KORVANE_FAILED ||
      korvane_last_error_code() == 0)
    return 4;
  printf("libkorvane %s: %ld designs split; then: %s\n", korvane_version_string(), want,
         korvane_strerror(korvane_last_error_code()));
  return korvane_version_number() == KORVANE_VERSION_NUMBER ? 0 : 5;
}
