/* korvane: split and combine DHV embroidery containers into SHV designs.
 *
 * The C interface. What each function trusts is said beside it:
 *
 *  - korvane(), lumbrel(), MakeShvBmp(), korvane_get_xy() and
 *    korvane_shv_stitch_pos() check every byte they read against the size
 *    they are given. Malformed input gives a failure result, never a read
 *    outside those bytes. They do trust that a pointer really covers the size
 *    given with it and that strings end with a NUL.
 *  - GetShort(), GetLong(), PutShort(), GetXY() and GetShvStitchPos() take
 *    no length: they trust the caller's pointer to cover what they read or
 *    write, and say exactly how much that is.
 *
 * Memory is handed out only on success: an SHV image through `pshv` and a
 * design list through `lpParamOut` come from malloc(). Release an image with
 * free() and a design list with korvane_free_design_list(). After a failure
 * nothing was handed out and nothing needs freeing.
 */
#ifndef KORVANE_KORVANE_H
#define KORVANE_KORVANE_H

#include <stddef.h>
#include <stdint.h>

#include "korvane/types.h"
#include "korvane/version.h"

/* KORVANE_API marks what the library exports.
 * Windows: the library's own sources define KORVANE_EXPORTS (dllexport);
 * programs using the DLL define nothing (dllimport); programs linking the
 * static library define KORVANE_STATIC. Elsewhere the library is built with
 * hidden visibility and only these names are visible. */
#if defined(_WIN32) || defined(__CYGWIN__)
#if defined(KORVANE_EXPORTS)
#define KORVANE_API __declspec(dllexport)
#elif defined(KORVANE_STATIC)
#define KORVANE_API
#else
#define KORVANE_API __declspec(dllimport)
#endif
#elif defined(__GNUC__) && __GNUC__ >= 4
#define KORVANE_API __attribute__((visibility("default")))
#else
#define KORVANE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif


/** Splits a DHV container into SHV designs, or combines its designs into one.
 *
 *  The container is `pdhv`/`sdhv` when `pdhv` is non-null (it stays the
 *  caller's; `pdhv` must cover `sdhv` bytes), otherwise the file `pFileDhv`,
 *  read whole. Outputs follow the requested mix of `pFileShv` (file name),
 *  `pshv`/`sshv` (an image in memory for a one-design container or a combined
 *  design) and `lpParamOut` (a `pbcb_list_t*` for several designs split in
 *  memory). Without `pFileShv` and `pshv`, file names are derived from
 *  `pFileDhv`: "garden.dhv" gives "garden.shv", or "garden001.shv",
 *  "garden002.shv", ... for several designs. Every file is written
 *  completely or not at all, and the container itself is never overwritten.
 *  Every byte of the container is checked against its size.
 *
 *  Returns KORVANE_OK or KORVANE_FAILED (an unreadable or malformed
 *  container, an output that cannot be written, a combined design beyond what
 *  an SHV design can hold); combining returns what lumbrel() returns. */
KORVANE_API int korvane(const char* pFileShv, unsigned char** pshv, int32_t* sshv,
                        const char* pFileDhv, const unsigned char* pdhv, int32_t sdhv,
                        int32_t lParamIn, void** lpParamOut);

/** Builds an SHV design from a HUC design image: `phuc`/`shuc` when `phuc`
 *  is non-null (checked against `shuc`), else the file `pFileHuc`. Writes the
 *  file `pFileShv`, hands the image out through `pshv`/`sshv`, or both; with
 *  neither, the file is named after `pFileHuc` with the extension "shv". The
 *  design name is the output's (or else the HUC file's) file-name part
 *  without its extension.
 *
 *  Returns KORVANE_OK, KORVANE_HUC_UNREADABLE when the HUC design cannot be
 *  read or is too short, KORVANE_FAILED when the SHV design cannot be made or
 *  written (nothing is written or handed out). */
KORVANE_API int lumbrel(const char* pFileShv, unsigned char** pshv, int32_t* sshv,
                        const char* pFileHuc, const unsigned char* phuc, int32_t shuc);

/** Releases a design list handed out by korvane(): every `pb`, then the list.
 *  A null list is fine. */
KORVANE_API void korvane_free_design_list(void* list);

/** One plain-words line saying why the last failing call on this thread
 *  failed, naming the file and, where one applies, the byte offset. Empty
 *  when the last call succeeded. Valid until the next call on this thread. */
KORVANE_API const char* korvane_last_error(void);

/** The error code of the last failing call on this thread, 0 after a success.
 *  The numbers are stable from one release to the next: a code keeps its
 *  meaning and new codes only ever get new numbers. Set by korvane(),
 *  lumbrel(), korvane_get_xy() and korvane_shv_stitch_pos(). */
KORVANE_API int korvane_last_error_code(void);

/** The fixed phrase of an error code ("the file ends too early");
 *  "unknown error" for a number that is no code. Never null; static storage. */
KORVANE_API const char* korvane_strerror(int code);

/** The library's version: KORVANE_VERSION_NUMBER and KORVANE_VERSION_STRING
 *  of the library actually loaded, which may differ from the header's. */
KORVANE_API unsigned korvane_version_number(void);
KORVANE_API const char* korvane_version_string(void);

/** The big-endian 16-bit value at pBytes as a signed number (0xFFFF is -1).
 *  Trusts pBytes to cover 2 bytes. */
KORVANE_API int16_t GetShort(const unsigned char* pBytes);

/** The big-endian 32-bit value at pBytes. Trusts pBytes to cover 4 bytes. */
KORVANE_API uint32_t GetLong(const unsigned char* pBytes);

/** Stores the low 16 bits of `value` big-endian at pBytes[offset] and
 *  pBytes[offset + 1]; returns offset + 2. Trusts both bytes to be writable. */
KORVANE_API int32_t PutShort(unsigned char* pBytes, int32_t offset, int32_t value);

/** Exchanges the two bytes of a 16-bit value. Takes no pointer. */
KORVANE_API uint16_t ReverseShort(uint16_t us);

/** Where the `shvhdr_t` of the SHV design image at `pShvIn` begins: the byte
 *  after its name, dimension block and preview bitmap; null for a null image.
 *  Trusts the image: reads the name length n at byte 86, then the dimension
 *  block at byte 87 + n (6 bytes, or 15 when it starts 255, 255), and cannot
 *  tell whether the preview bitmap it steps over is really there. Prefer
 *  korvane_shv_stitch_pos(). */
KORVANE_API unsigned char* GetShvStitchPos(unsigned char* pShvIn);

/** GetShvStitchPos() for an image of `size` bytes: the offset of its
 *  `shvhdr_t`, or -1 when the name, dimension block or preview bitmap does not
 *  lie inside those bytes. Reads nothing outside them. */
KORVANE_API int64_t korvane_shv_stitch_pos(const unsigned char* shv, size_t size);

/** Walks one colour block of `n` words starting at `phucst` from the
 *  position (*xx, *yy) and stores where it ends (16-bit wrap-around).
 *  Trusts `phucst` to cover the block's records, 2 bytes each or 8 for a long
 *  move (0x80 0x01 dx dy 0x80 0x02): at most 2 * n + 6 bytes, and 8 when
 *  n < 1 (the first record is always read). Trusts `xx` and `yy`.
 *  Prefer korvane_get_xy(). */
KORVANE_API void GetXY(const unsigned char* phucst, int32_t n, int16_t* xx, int16_t* yy);

/** GetXY() on a stitch stream of `size` bytes. Returns KORVANE_OK, or
 *  KORVANE_FAILED when the block runs past the end of those bytes; then
 *  *xx and *yy are left as they were. */
KORVANE_API int korvane_get_xy(const unsigned char* phucst, size_t size, int32_t n, int16_t* xx,
                               int16_t* yy);

/** Draws the 4-bit preview of the HUC design image `phuc`/`shuc` into
 *  `pshvout`. Never reads past `shuc` bytes of `phuc`; trusts `pshvout` to
 *  hold `pixels` * ((`scanlines` + 1) / 2) bytes and writes only there.
 *  Returns 0. */
KORVANE_API int32_t MakeShvBmp(unsigned char* pshvout, const unsigned char* phuc, int32_t shuc,
                               int32_t pixels, int32_t scanlines);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_KORVANE_H */
