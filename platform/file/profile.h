#pragma once
// Profile (.ini) files as a Windows user knows them: sections and keys are
// found case-insensitively, lines end in CR LF, values are GBK bytes as they
// stand. Paths are built with "\" as the program builds them.
// Each call reads (and a write rewrites) the whole file; calls on one file
// from several threads are serialised inside.
#include "platform/types.h"

// Copies the value of `key` in `section` of file `path` into `out` (at most
// `size` - 1 bytes, then a zero byte); `default_value` when the file, the
// section or the key is missing. Returns the number of bytes copied.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value,
                               LPSTR out, DWORD size, LPCSTR path);

// Sets `key` in `section` to `value`, creating the file, section or key when
// missing; other sections, keys and comments stay as they are. A null `value`
// removes the key; a null `key` removes the whole section. FALSE on failure.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path);
