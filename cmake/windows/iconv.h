/* Declarations only, for the Windows compile check (scripts/windows-check.sh):
 * mingw-w64 ships no iconv.h, and a Windows build gets the real one from
 * libiconv (MSYS2: mingw-w64-ucrt-x86_64-libiconv). */
#pragma once
#include <stddef.h>

typedef void* iconv_t;

#ifdef __cplusplus
extern "C" {
#endif

iconv_t iconv_open(const char* tocode, const char* fromcode);
size_t iconv(iconv_t cd, char** inbuf, size_t* inbytesleft, char** outbuf, size_t* outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif
