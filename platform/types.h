#pragma once
// The handful of Windows type names the program's own code is written with.
#include <cstdint>

using BOOL = int;
using BYTE = unsigned char;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = unsigned int;
using LONG = std::int32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using WCHAR = char16_t;  // one UTF-16 code unit
using LPVOID = void*;
using HMODULE = void*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPCTSTR = const char*;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = std::uint32_t;

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

constexpr COLORREF RGB(int r, int g, int b) {
  return COLORREF(r & 0xFF) | (COLORREF(g & 0xFF) << 8) | (COLORREF(b & 0xFF) << 16);
}

constexpr int MAX_PATH = 260;  // the path buffer size the program's code uses

constexpr UINT CP_ACP = 0;      // the ANSI code page: always 936 here
constexpr UINT CP_OEMCP = 1;    // the OEM code page: also 936 here
constexpr UINT CP_GBK = 936;
constexpr UINT CP_UTF8 = 65001;
