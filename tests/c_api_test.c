/* Compiled as C: the public header must stay plain C. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "korvane/korvane.h"

#define CHECK(cond)                                                      \
  do {                                                                   \
    if (!(cond)) {                                                       \
      fprintf(stderr, "%s:%d: failed: %s\n", __FILE__, __LINE__, #cond); \
      return 1;                                                          \
    }                                                                    \
  } while (0)

static void put32(unsigned char* p, uint32_t v) {
  p[0] = (unsigned char)(v >> 24);
  p[1] = (unsigned char)(v >> 16);
  p[2] = (unsigned char)(v >> 8);
  p[3] = (unsigned char)v;
}

/* A whole SHV image with no colours and no stitches, then `tail` bytes of
 * `fill`: 112 + tail bytes. */
static size_t empty_design(unsigned char* out, unsigned char fill, size_t tail) {
  memset(out, 0, 112);
  out[87 + 6 + 1] = 0xC4; /* header text, no name, a short dimension block, shvhdr_t */
  out[87 + 6 + 2] = 0x28;
  memset(out + 112, fill, tail);
  return 112 + tail;
}

/* A container of two designs with 5 and 3 bytes after their streams; returns its length. */
static size_t two_design_container(unsigned char* out) {
  size_t at = 86, i;
  memset(out, 0, 86);
  out[at++] = 1;
  out[at++] = 'g';
  memcpy(out + at, "\x12\x34\0\0\0\0", 6);
  at += 6;
  put32(out + at, 2);
  at += 4 + 8; /* the count, then two table entries filled below */
  for (i = 0; i < 2; ++i) {
    put32(out + 87 + 1 + 6 + 4 + 4 * i, (uint32_t)at);
    memset(out + at, 0, 7);
    at += 7;
    at += empty_design(out + at, (unsigned char)(i + 1), i == 0 ? 5 : 3);
  }
  return at;
}

static int byte_helpers(void) {
  unsigned char b[4] = {0xFF, 0xFE, 0x12, 0x34};
  CHECK(GetShort(b) == -2);
  CHECK(GetLong(b) == 0xFFFE1234u);
  CHECK(PutShort(b, 2, 0x1ABCD) == 4 && b[2] == 0xAB && b[3] == 0xCD);
  CHECK(ReverseShort(0x1234) == 0x3412);
  CHECK(korvane_version_number() == KORVANE_VERSION_NUMBER);
  CHECK(strcmp(korvane_version_string(), KORVANE_VERSION_STRING) == 0);
  return 0;
}

/* The bounded walks agree with the trusting ones where the bytes are there,
 * and fail without touching their outputs where they are not. */
static int bounded_walks(void) {
  /* A stitch (+1, +2), a long move (+300, -5), a stitch (-1, -1): 1 + 4 + 1 words. */
  static const unsigned char block[] = {1, 2, 0x80, 1, 0x01, 0x2C, 0xFF, 0xFB, 0x80, 2, 0xFF, 0xFF};
  static const struct {
    size_t size;
    int32_t n;
    int ok;
  } cases[] = {{12, 6, 1}, {12, 2, 1}, {9, 6, 0}, {10, 6, 0}, {2, 0, 1}, {1, 0, 0}};
  unsigned char shv[100] = {0};
  size_t i;
  for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    int16_t x = 10, y = 20, tx = 10, ty = 20;
    const int r = korvane_get_xy(block, cases[i].size, cases[i].n, &x, &y);
    CHECK(r == (cases[i].ok ? KORVANE_OK : KORVANE_FAILED));
    if (cases[i].ok) {
      GetXY(block, cases[i].n, &tx, &ty);
      CHECK(x == tx && y == ty && korvane_last_error_code() == 0);
    } else {
      CHECK(x == 10 && y == 20 && korvane_last_error_code() != 0);
    }
  }
  /* Name "ab", a short dimension block of 2 rows of 3 pixels: 4 bitmap bytes. */
  shv[86] = 2;
  shv[89] = 2;
  shv[90] = 3;
  CHECK(korvane_shv_stitch_pos(shv, 99) == 99);
  CHECK(GetShvStitchPos(shv) == shv + 99);
  CHECK(korvane_shv_stitch_pos(shv, 98) == -1);
  CHECK(korvane_last_error_code() == 16 && korvane_last_error()[0] != '\0');
  CHECK(korvane_shv_stitch_pos(shv, 80) == -1);
  return 0;
}

static int split_in_memory(void) {
  unsigned char dhv[512];
  unsigned char first[117], second[115];
  const int32_t size = (int32_t)two_design_container(dhv);
  unsigned char* shv = NULL;
  int32_t sshv = -1;
  void* out = NULL;
  const pbcb_list_t* list;

  CHECK(korvane(NULL, &shv, &sshv, NULL, dhv, size, 0, &out) == KORVANE_OK);
  CHECK(korvane_last_error_code() == 0 && korvane_last_error()[0] == '\0');
  list = (const pbcb_list_t*)out;
  CHECK(list != NULL && list->count == 2);
  CHECK(list->entry[0].cb == empty_design(first, 1, 5) &&
        memcmp(list->entry[0].pb, first, 117) == 0);
  CHECK(list->entry[1].cb == empty_design(second, 2, 3) &&
        memcmp(list->entry[1].pb, second, 115) == 0);
  korvane_free_design_list(out);
  korvane_free_design_list(NULL);

  /* The second design's offset points past the end: a malformed container
   * hands nothing out and says why, by number and in words. */
  out = NULL;
  sshv = -1;
  put32(dhv + 87 + 1 + 6 + 4 + 4, 0x7FFFFFF0u);
  CHECK(korvane(NULL, &shv, &sshv, NULL, dhv, size, 0, &out) == KORVANE_FAILED);
  CHECK(out == NULL && shv == NULL && sshv == -1);
  CHECK(korvane_last_error_code() > 0);
  CHECK(strstr(korvane_last_error(), korvane_strerror(korvane_last_error_code())) != NULL);
  puts(korvane_last_error());

  CHECK(korvane(NULL, &shv, &sshv, "short.dhv", dhv, 4, 0, NULL) == KORVANE_FAILED);
  CHECK(shv == NULL && sshv == -1 && korvane_last_error_code() == 4);
  return 0;
}

/* Arguments the header allows to be refused with a result: each call fails with
 * the documented result and error code, hands nothing out and never aborts. */
static unsigned char* g_shv;
static int32_t g_sshv;
static void* g_list;
static int16_t g_x, g_y;
static unsigned char g_dhv[512];
static int32_t g_dhv_size;
static const unsigned char g_huc_short[20] = {0, 0xC4};

static int64_t no_container(void) { return korvane(NULL, &g_shv, &g_sshv, NULL, NULL, 0, 0, NULL); }
static int64_t negative_container_size(void) {
  return korvane(NULL, &g_shv, &g_sshv, NULL, g_dhv, -1, 0, &g_list);
}
static int64_t empty_output_name(void) {
  return korvane("", &g_shv, &g_sshv, NULL, g_dhv, g_dhv_size, 0, &g_list);
}
static int64_t several_designs_without_a_list(void) {
  return korvane(NULL, &g_shv, &g_sshv, NULL, g_dhv, g_dhv_size, 0, NULL);
}
static int64_t nothing_to_name_the_files_after(void) {
  return korvane(NULL, NULL, NULL, NULL, g_dhv, g_dhv_size, 0, &g_list);
}
static int64_t no_huc(void) { return lumbrel(NULL, &g_shv, &g_sshv, NULL, NULL, 0); }
static int64_t negative_huc_size(void) {
  return lumbrel(NULL, &g_shv, &g_sshv, NULL, g_huc_short, -5);
}
static int64_t short_huc(void) {
  return lumbrel(NULL, &g_shv, &g_sshv, NULL, g_huc_short, (int32_t)sizeof g_huc_short);
}
static int64_t empty_shv_name(void) {
  return lumbrel("", &g_shv, &g_sshv, NULL, g_huc_short, (int32_t)sizeof g_huc_short);
}
static int64_t null_stream(void) { return korvane_get_xy(NULL, 4, 1, &g_x, &g_y); }
static int64_t null_position(void) {
  return korvane_get_xy(g_huc_short, sizeof g_huc_short, 1, NULL, &g_y);
}
static int64_t empty_stream(void) { return korvane_get_xy(g_huc_short, 0, -7, &g_x, &g_y); }
static int64_t null_shv(void) { return korvane_shv_stitch_pos(NULL, 200); }
static int64_t empty_shv(void) { return korvane_shv_stitch_pos(g_huc_short, 0); }

static int hostile_arguments(void) {
  static const struct {
    const char* name;
    int64_t (*call)(void);
    int64_t result;
    int code;
  } cases[] = {
      {"no container", no_container, KORVANE_FAILED, 11},
      {"negative container size", negative_container_size, KORVANE_FAILED, 2},
      {"empty output name", empty_output_name, KORVANE_FAILED, 25},
      {"several designs without a list", several_designs_without_a_list, KORVANE_FAILED, 27},
      {"nothing to name the files after", nothing_to_name_the_files_after, KORVANE_FAILED, 11},
      {"no HUC design", no_huc, KORVANE_HUC_UNREADABLE, 11},
      {"negative HUC size", negative_huc_size, KORVANE_HUC_UNREADABLE, 2},
      {"short HUC design", short_huc, KORVANE_HUC_UNREADABLE, 12},
      {"empty SHV name", empty_shv_name, KORVANE_FAILED, 25},
      {"null stream", null_stream, KORVANE_FAILED, 27},
      {"null position", null_position, KORVANE_FAILED, 27},
      {"empty stream", empty_stream, KORVANE_FAILED, 4},
      {"null SHV image", null_shv, -1, 27},
      {"empty SHV image", empty_shv, -1, 4},
  };
  size_t i;
  g_dhv_size = (int32_t)two_design_container(g_dhv);
  for (i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
    int64_t r;
    g_shv = NULL;
    g_sshv = -1;
    g_list = NULL;
    g_x = 3;
    g_y = 4;
    korvane_get_xy(g_huc_short, 2, 1, &g_x, &g_y); /* a success first: the code must change */
    g_x = 3;
    g_y = 4;
    r = cases[i].call();
    if (r != cases[i].result || korvane_last_error_code() != cases[i].code ||
        korvane_last_error()[0] == '\0' || g_shv != NULL || g_sshv != -1 || g_list != NULL ||
        g_x != 3 || g_y != 4) {
      fprintf(stderr, "%s: result %lld, code %d: %s\n", cases[i].name, (long long)r,
              korvane_last_error_code(), korvane_last_error());
      return 1;
    }
  }
  CHECK(GetShvStitchPos(NULL) == NULL);
  CHECK(MakeShvBmp(NULL, g_huc_short, 20, 4, 4) == 0);
  return 0;
}

int main(void) {
  CHECK(KORVANE_OK == 0 && KORVANE_FAILED == -1 && KORVANE_HUC_UNREADABLE == 1);
  CHECK(strcmp(korvane_strerror(0), "no error") == 0);
  CHECK(strcmp(korvane_strerror(4), "the file ends too early") == 0);
  CHECK(strcmp(korvane_strerror(100000), "unknown error") == 0);
  CHECK(strcmp(korvane_strerror(-7), "unknown error") == 0);
  return byte_helpers() || bounded_walks() || split_in_memory() || hostile_arguments();
}
