#pragma once
// Code-page conversions through iconv, in place of the system's
// MultiByteToWideChar / WideCharToMultiByte. Code pages: 0 (ANSI) and 1 (OEM)
// both mean 936 here; 936 is GBK, 65001 is UTF-8.
//
// Bytes that are not valid in the source code page become U+FFFD; a character
// the target code page lacks becomes "?". Never throws, never loops.
// Thread-safe: every call uses its own conversion state.
#include <string>
#include <string_view>

#include "platform/types.h"

std::u16string CodePageToUtf16(UINT code_page, std::string_view bytes);
std::string Utf16ToCodePage(UINT code_page, std::u16string_view text);

// Shorthands for the borders where text leaves the program (widgets, file
// names, console): GBK to UTF-8 and back.
std::string GbkToUtf8(std::string_view gbk);
std::string Utf8ToGbk(std::string_view utf8);

// The Windows-shaped calls, for code written in their terms. Lengths are in
// bytes / UTF-16 units; -1 means "up to and including the terminating zero".
// With an output size of 0 they return the size needed.
int MultiByteToWideChar(UINT code_page, DWORD flags, const char* src, int src_len,
                        WCHAR* dst, int dst_len);
int WideCharToMultiByte(UINT code_page, DWORD flags, const WCHAR* src, int src_len,
                        char* dst, int dst_len, const char* default_char,
                        BOOL* used_default);
