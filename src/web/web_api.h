/* The page's C interface (web_api.cpp), exported from the WebAssembly module.
 * Bytes in, bytes out: nothing here opens a file. Each call replaces the
 * outputs and the error of the call before; read them, then kvw_clear(). */
#ifndef KORVANE_WEB_API_H
#define KORVANE_WEB_API_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

void kvw_clear(void);
int kvw_recognise(const uint8_t* p, int32_t n);
const char* kvw_kind_name(int kind);
const char* kvw_formats(void);
int kvw_info(const char* file, const uint8_t* p, int32_t n);
int kvw_split(const char* file, const uint8_t* p, int32_t n);
int kvw_combine(const char* file, const uint8_t* p, int32_t n);
int kvw_convert(const char* file, const uint8_t* p, int32_t n, const char* to, int combine);
int kvw_convert_turned(const char* file, const uint8_t* p, int32_t n, const char* to, int combine,
                       const char* turn);
int kvw_picture(const char* file, const uint8_t* p, int32_t n, int32_t design);
int kvw_realistic(const char* file, const uint8_t* p, int32_t n, int32_t design);
int kvw_worksheet(const char* file, const uint8_t* p, int32_t n);
uint32_t kvw_picture_width(void);
uint32_t kvw_picture_height(void);
int32_t kvw_result_count(void);
const char* kvw_result_name(int32_t i);
const uint8_t* kvw_result_data(int32_t i);
int32_t kvw_result_size(int32_t i);
const char* kvw_error(void);
int kvw_error_code(void);
const char* kvw_report(void);
const char* kvw_shv_threads(void);

#ifdef __cplusplus
}
#endif

#endif /* KORVANE_WEB_API_H */
