// Code-page conversion between byte encodings and UTF-16, addressed by Windows
// code page numbers. On Windows the system's MultiByteToWideChar /
// WideCharToMultiByte do the work (win32/code_page.cpp); elsewhere our own
// layer over iconv (posix/code_page.cpp) keeps the same contract. UTF-16 in
// bytes (1200/1201) and HZ (52936) are our own codecs on both; where the two
// systems' converters differ is listed in docs/platforms.md.
//
// Contract (the subset of the Win32 functions the system relies on; no flags,
// no default-character override):
//  - `count` of -1 means the input runs up to and including its terminating
//    NUL (the NUL is converted and counted too); otherwise exactly `count`
//    units are read, embedded NULs included. A count of 0 or a null input fails.
//  - With `capacity` 0 the output pointer is ignored and the function returns
//    the number of units the conversion needs. Otherwise it converts into the
//    output and returns the number of units written, or 0 when they do not
//    fit (nothing useful is left in the output then).
//  - 0 is also returned for an unsupported code page.
//  - Lenient: bytes that do not decode become U+FFFD, characters the code page
//    cannot represent become its default character "?". Nothing else fails.
//
// Supported: 65001 (UTF-8), 1200/1201 (UTF-16 LE/BE), 936, 20936, 52936 (HZ),
// 54936, 950, 932, 949, 20127 and 0: on POSIX the codeset of the calling
// thread's current locale (LC_CTYPE), on Windows the default ANSI code page of
// the thread's locale. Other numbers are tried as the platform's "CPnnn"
// converter (POSIX) or passed to the system (Windows).
#pragma once

#include <cstdint>

namespace corvo::platform {

// Well-known code page numbers.
inline constexpr uint32_t kCodePageDefault = 0;  // CP_ACP: the current locale's codeset
inline constexpr uint32_t kCodePageUtf8 = 65001;
inline constexpr uint32_t kCodePageUtf16Le = 1200;
inline constexpr uint32_t kCodePageUtf16Be = 1201;
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageGb2312 = 20936;
inline constexpr uint32_t kCodePageHz = 52936;
inline constexpr uint32_t kCodePageGb18030 = 54936;
inline constexpr uint32_t kCodePageBig5 = 950;
inline constexpr uint32_t kCodePageShiftJis = 932;
inline constexpr uint32_t kCodePageKorean = 949;
inline constexpr uint32_t kCodePageUsAscii = 20127;

// Bytes in `codePage` to UTF-16. See the contract above.
int MultiByteToWideChar(uint32_t codePage, const char* bytes, int count, char16_t* wide,
                        int capacity);

// UTF-16 to bytes in `codePage`. See the contract above.
int WideCharToMultiByte(uint32_t codePage, const char16_t* wide, int count, char* bytes,
                        int capacity);

}  // namespace corvo::platform
