#pragma once
// Pattern, code-page, path and log helpers shared by every page and worker.
// None keeps state between calls; all may be called from any thread.
#include <boost/regex.hpp>

#include <functional>
#include <string>
#include <string_view>

#include "platform/text/CString.h"
#include "platform/types.h"

// "\Data\": the data folder's name between the program folder and a file name.
extern CString g_DataDirName;

// Compiles `pattern` case-insensitively (Perl syntax: "." matches line breaks).
// Throws boost::regex_error for a pattern the library rejects.
boost::regex MakeRegex(CString pattern);

// One search of `pattern` in [first, last). Every text searched comes from
// outside (pages, replies, files), and on some the library gives up (the
// match grows too complex or too deep): such a search counts as one that
// found nothing, so the give-up never reaches a handler or a worker.
bool RegexSearch(const char* first, const char* last, boost::cmatch& match,
                 const boost::regex& pattern,
                 boost::match_flag_type flags = boost::match_default);

// Walks the matches of `pattern` over `text`: each search runs on the rest
// behind the end of the previous whole match, as if that rest were the whole
// text. `on_match` gets each match and returns false to stop. A search the
// library gives up on ends the walk; the matches before it stand. After a
// zero-length whole match the walk goes on one character behind the place it
// matched (two bytes for a GBK lead byte), so that no place is searched again
// forever and no match is reported twice.
template <typename OnMatch>
void WalkMatches(const std::string& text, const boost::regex& pattern, OnMatch on_match) {
  const char* rest = text.data();
  const char* const end = text.data() + text.size();
  boost::cmatch match;
  while (RegexSearch(rest, end, match, pattern)) {
    if (!on_match(match)) return;
    const char* next = match[0].second;
    if (match[0].first == next) {
      if (next == end) return;
      next += (IsGbkLeadByte(static_cast<unsigned char>(*next)) && next + 1 < end) ? 2 : 1;
    }
    rest = next;
  }
}

// The first non-empty capture group, walking the matches from the left; each
// search resumes behind the end of the previous whole match. Empty when none.
CString RegexFirst(CString& text, boost::regex pattern);

// Every non-empty capture group of every match, in order. The caller deletes
// the array.
CStringArray* RegexAllToArray(CString& text, boost::regex pattern);

// Converts `text` from one code page to another through UTF-16.
CString ConvertCodePage(CString text, UINT from_code_page, UINT to_code_page);

// Decodes every "\uXXXX" escape into its character in the ANSI code page.
CString UnescapeUnicode(const char* text);

// Reads `text` as UnescapeUnicode does and hands it on in order: each run of
// plain text (ANSI bytes, whole characters, a backslash that starts no
// escape included) to `plain`, the UTF-16 unit of each escape to `unit`.
void WalkUnicodeEscapes(const CString& text, const std::function<void(std::string_view)>& plain,
                        const std::function<void(char16_t)>& unit);

// A new zero-terminated UTF-16 copy of `text` (ANSI code page), or null.
// The caller frees it with free().
WCHAR* AnsiToWide(const char* text);

// Converts `text` from UTF-8 to the ANSI code page in place.
void Utf8ToAnsi(CString& text);

// Whether `answer`, the bytes of a JSON answer as they came, says that what
// was asked went through: one whole JSON object whose every top-level member
// named "success" (in any letter case, escapes read) is true or "true", or
// which has no such member. Anything else says it did not: not JSON, cut
// short, more than one value, a value other than an object, a "success" of
// any other value, a zero byte anywhere. White space around the value and
// one UTF-8 byte-order mark before it are not part of it; the bytes left are
// read as UTF-8 when they are valid UTF-8, otherwise in the ANSI code page.
bool JsonAnswerSucceeded(std::string_view answer);

// The program's folder (no trailing backslash), its data folder (with one)
// and the options file. Paths use "\" as the program builds them; the file
// layer maps them.
CString GetAppDir();
CString GetDataDir();
CString GetSystemIniPath();

// Appends `text` and a time stamp to the day's log file Log\YYYYMMDD.txt.
// Throws CFileException* when the file cannot be opened (no Log folder).
void WriteLog(CString text);
