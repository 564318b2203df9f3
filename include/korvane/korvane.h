/* korvane: split and combine DHV embroidery containers into SHV designs.
 *
 * The C interface. Every function is safe on any input bytes: a malformed
 * container or design gives a failure result, never a crash, and nothing is
 * written. Memory that a function hands to its caller (an SHV image through
 * `pshv`, the design list through `lpParamOut` and every `pb` in it) is
 * allocated with malloc(); the caller releases each block with free().
 */
#ifndef KORVANE_KORVANE_H
#define KORVANE_KORVANE_H

#include <stddef.h>
#include <stdint.h>

#include "korvane/version.h"

#if defined(_WIN32) && defined(KORVANE_SHARED)
#define KORVANE_API __declspec(dllexport)
#else
#define KORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** One design of a design list: a malloc'ed copy of its SHV image and its length. */
typedef struct pbcb_t {
  unsigned char* pb;
  uint32_t cb;
} pbcb_t;

/** The design list handed out through `lpParamOut`: the number of entries
 *  filled, then one `pbcb_t` per design in container order. Release every
 *  `entry[i].pb`, then the list itself, with free(). */
typedef struct pbcb_list_t {
  uint32_t count;
  pbcb_t entry[1];
} pbcb_list_t;


/** Bit 0 of `lParamIn`: combine all designs into one instead of splitting. */
#define KORVANE_COMBINE 1

/** Splits a DHV container into SHV designs, or combines its designs into one.
 *
 *  The container is `pdhv`/`sdhv` when `pdhv` is non-null (it stays the
 *  caller's), otherwise the file `pFileDhv`, read whole. Outputs follow the
 *  requested mix of `pFileShv` (file name), `pshv`/`sshv` (an image in memory
 *  for a one-design container or a combined design) and `lpParamOut` (a
 *  `pbcb_list_t*` for several designs split in memory). Without `pFileShv`
 *  and `pshv`, file names are derived from `pFileDhv`: "garden.dhv" gives
 *  "garden.shv", or "garden001.shv", "garden002.shv", ... for several designs.
 *  Every file is written completely or not at all, and the container itself
 *  is never overwritten.
 *
 *  Returns 0 on success and -1 on failure (an unreadable or malformed
 *  container, an output that cannot be written, a combined design beyond what
 *  an SHV design can hold); combining returns what lumbrel() returns.
 *  korvane_last_error() then tells why. */
KORVANE_API int korvane(const char* pFileShv, unsigned char** pshv, int32_t* sshv,
                        const char* pFileDhv, const unsigned char* pdhv, int32_t sdhv,
                        int32_t lParamIn, void** lpParamOut);

/** Builds an SHV design from a HUC design image: `phuc`/`shuc` when `phuc`
 *  is non-null, else the file `pFileHuc`. Writes the file `pFileShv`, hands
 *  the image out through `pshv`/`sshv`, or both; with neither, the file is
 *  named after `pFileHuc` with the extension "shv". The design name is the
 *  output's (or else the HUC file's) file-name part without its extension.
 *
 *  Returns 0 on success, 1 when the HUC file cannot be read or is too short,
 *  -1 when the SHV file cannot be written (nothing is written or handed out). */
KORVANE_API int lumbrel(const char* pFileShv, unsigned char** pshv, int32_t* sshv,
                        const char* pFileHuc, const unsigned char* phuc, int32_t shuc);

/** One plain-words line saying why the last failing call on this thread
 *  failed, naming the file and, where one applies, the byte offset. Empty
 *  when the last call succeeded. Valid until the next call on this thread. */
KORVANE_API const char* korvane_last_error(void);

/** The big-endian 16-bit value at pBytes as a signed number (0xFFFF is -1). */
KORVANE_API int16_t GetShort(const unsigned char* pBytes);

/** The big-endian 32-bit value at pBytes. */
KORVANE_API uint32_t GetLong(const unsigned char* pBytes);

/** Stores the low 16 bits of `value` big-endian at pBytes[offset]; returns offset + 2. */
KORVANE_API int32_t PutShort(unsigned char* pBytes, int32_t offset, int32_t value);

/** Exchanges the two bytes of a 16-bit value. */
KORVANE_API uint16_t ReverseShort(uint16_t us);

/** The `shvhdr_t` of a whole SHV design image starting at `pShvIn`: the byte
 *  after its name, dimension block and preview bitmap. Reads only the name
 *  length and the dimension block; the caller guarantees they are there. */
KORVANE_API unsigned char* GetShvStitchPos(unsigned char* pShvIn);

/** Walks one colour block of `n` words starting at `phucst` from the
 *  position (*xx, *yy) and stores where it ends (16-bit wrap-around). Reads at
 *  most 2 * n bytes, plus 6 when the block's last record is a long move and
 *  8 in all when n < 1. */
KORVANE_API void GetXY(const unsigned char* phucst, int32_t n, int16_t* xx, int16_t* yy);

/** Draws the 4-bit preview of the HUC design image `phuc`/`shuc` into
 *  `pshvout`, which holds `pixels` rows of (`scanlines` + 1) / 2 bytes.
 *  Never reads past `shuc` bytes or writes outside that area. Returns 0. */
KORVANE_API int32_t MakeShvBmp(unsigned char* pshvout, const unsigned char* phuc, int32_t shuc,
                               int32_t pixels, int32_t scanlines);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_KORVANE_H */
