/* Compiled as C: the public header must stay plain C. */
#include <stdio.h>
#include <stdlib.h>

#include "korvane/korvane.h"

int main(void) {
  unsigned char b[4] = {0xFF, 0xFE, 0x12, 0x34};
  unsigned char* shv = NULL;
  int32_t sshv = -1;
  if (GetShort(b) != -2) return 1;
  if (GetLong(b) != 0xFFFE1234u) return 2;
  if (PutShort(b, 2, 0x1ABCD) != 4 || b[2] != 0xAB || b[3] != 0xCD) return 3;
  if (ReverseShort(0x1234) != 0x3412) return 4;
  /* Memory input that is far too short: a clean failure and a reason. */
  if (korvane(NULL, &shv, &sshv, "short.dhv", b, 4, 0, NULL) != -1) return 5;
  if (shv != NULL || sshv != -1 || korvane_last_error()[0] == '\0') return 6;
  puts(korvane_last_error());
  return 0;
}
