/* korvane: the plain values and records of the C interface, shared with the
 * library's own layers, which never include korvane.h itself. */
#ifndef KORVANE_TYPES_H
#define KORVANE_TYPES_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Results of korvane() and lumbrel(). */
#define KORVANE_OK 0
/** The call failed: korvane_last_error_code() and korvane_last_error() tell why. */
#define KORVANE_FAILED (-1)
/** lumbrel() only: the HUC design cannot be read or is shorter than its header. */
#define KORVANE_HUC_UNREADABLE 1

/** One design of a design list: a malloc'ed copy of its SHV image and its length. */
typedef struct pbcb_t {
  unsigned char* pb;
  uint32_t cb;
} pbcb_t;

/** The design list handed out through `lpParamOut`: the number of entries,
 *  then one `pbcb_t` per design in container order. Release it with
 *  korvane_free_design_list(). */
typedef struct pbcb_list_t {
  uint32_t count;
  pbcb_t entry[1];
} pbcb_list_t;

/** Bit 0 of `lParamIn`: combine all designs into one instead of splitting. */
#define KORVANE_COMBINE 1

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_TYPES_H */
