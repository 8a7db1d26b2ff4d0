#pragma once
// Pattern, code-page, path and log helpers shared by every page and worker.
// None keeps state between calls; all may be called from any thread.
#include <boost/regex.hpp>

#include "platform/text/CString.h"
#include "platform/types.h"

// "\Data\": the data folder's name between the program folder and a file name.
extern CString g_DataDirName;

// Compiles `pattern` case-insensitively (Perl syntax: "." matches line breaks).
// Throws boost::regex_error for a pattern the library rejects.
boost::regex MakeRegex(CString pattern);

// The first non-empty capture group, walking the matches from the left; each
// search resumes behind the end of the previous whole match. Empty when none.
// Throws std::runtime_error (boost's) when the library gives up on a text.
CString RegexFirst(CString& text, boost::regex pattern);

// Every non-empty capture group of every match, in order. The caller deletes
// the array.
CStringArray* RegexAllToArray(CString& text, boost::regex pattern);

// Converts `text` from one code page to another through UTF-16.
CString ConvertCodePage(CString text, UINT from_code_page, UINT to_code_page);

// Decodes every "\uXXXX" escape into its character in the ANSI code page.
CString UnescapeUnicode(const char* text);

// A new zero-terminated UTF-16 copy of `text` (ANSI code page), or null.
// The caller frees it with free().
WCHAR* AnsiToWide(const char* text);

// Converts `text` from UTF-8 to the ANSI code page in place.
void Utf8ToAnsi(CString& text);

// The program's folder (no trailing backslash), its data folder (with one)
// and the options file. Paths use "\" as the program builds them; the file
// layer maps them.
CString GetAppDir();
CString GetDataDir();
CString GetSystemIniPath();

// Appends `text` and a time stamp to the day's log file Log\YYYYMMDD.txt.
// Throws CFileException* when the file cannot be opened (no Log folder).
void WriteLog(CString text);
