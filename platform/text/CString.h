#pragma once
// CString: a byte string in the ANSI code page (936, GBK).
//
// Searching members walk the text by characters: a GBK lead byte (0x81-0xFE)
// and the byte after it form one character, so a trail byte that happens to
// be an ASCII letter or a backslash is never found on its own. Mid, Left,
// Right and GetLength count bytes, as the class library does.
//
// Not thread-safe for concurrent writes to one object; copies are independent.
#include <string>
#include <string_view>
#include <vector>
#include <cstdarg>

#include "platform/types.h"

class CString {
 public:
  CString() = default;
  CString(const char* s) : s_(s ? s : "") {}
  CString(const char* s, int len) : s_(s ? std::string(s, s + len) : std::string()) {}
  CString(std::string s) : s_(std::move(s)) {}
  CString(std::string_view s) : s_(s) {}
  CString(char c, int repeat = 1) : s_(repeat > 0 ? repeat : 0, c) {}

  int GetLength() const { return static_cast<int>(s_.size()); }
  bool IsEmpty() const { return s_.empty(); }
  void Empty() { s_.clear(); }
  char GetAt(int i) const { return s_[static_cast<size_t>(i)]; }
  char operator[](int i) const { return GetAt(i); }

  // Byte index of the first occurrence at or after `start` (a byte index), or -1.
  // `start` is meant to be a character start (0, or a position that a search
  // of this text gave, or the end of what it found): the search starts there
  // and costs the distance to the hit, so a walk that passes each hit's end
  // as the next start reads the text once. A start inside a character moves
  // on to the next character when a single-byte character or a trail byte
  // outside the lead-byte range lies within the 64 bytes before it; behind a
  // longer run of double-byte characters it is taken as it stands.
  int Find(char c, int start = 0) const;
  int Find(const char* sub, int start = 0) const;
  int ReverseFind(char c) const;

  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  CString Left(int count) const;
  CString Right(int count) const;

  // Replaces every non-overlapping occurrence, left to right, in one pass;
  // returns the count.
  int Replace(const char* old_text, const char* new_text);
  int Replace(char old_char, char new_char);

  CString& Trim();
  CString& TrimLeft();
  CString& TrimRight();
  CString& Trim(char c);
  CString& TrimLeft(char c);
  CString& TrimRight(char c);

  void Format(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void AppendFormat(const char* fmt, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* fmt, va_list args);

  CString& operator=(const char* s) { s_ = s ? s : ""; return *this; }
  CString& operator+=(const CString& o) { s_ += o.s_; return *this; }
  CString& operator+=(const char* s) { if (s) s_ += s; return *this; }
  CString& operator+=(char c) { s_ += c; return *this; }

  operator const char*() const { return s_.c_str(); }
  const char* GetString() const { return s_.c_str(); }
  const std::string& str() const { return s_; }
  std::string& str() { return s_; }

  int Compare(const char* o) const;

  friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
  friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
  friend bool operator==(const char* a, const CString& b) { return b == a; }
  friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
  friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
  friend bool operator!=(const char* a, const CString& b) { return !(b == a); }
  friend bool operator<(const CString& a, const CString& b) { return a.s_ < b.s_; }

  friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
  friend CString operator+(const CString& a, const char* b) { return CString(a.s_ + (b ? b : "")); }
  friend CString operator+(const char* a, const CString& b) { return CString((a ? a : "") + b.s_); }
  friend CString operator+(const CString& a, char b) { return CString(a.s_ + b); }

 private:
  std::string s_;
};

// True when `b` starts a two-byte character of code page 936.
inline bool IsGbkLeadByte(unsigned char b) { return b >= 0x81 && b <= 0xFE; }

// Byte offset of the first occurrence of `sub` in `text` at or after `start`
// that begins on a character boundary; -1 when there is none.
int FindMultibyte(std::string_view text, std::string_view sub, size_t start = 0);

// A growable array of texts, as the class library's CStringArray.
class CStringArray {
 public:
  int GetSize() const { return static_cast<int>(items_.size()); }
  int GetCount() const { return GetSize(); }
  bool IsEmpty() const { return items_.empty(); }
  int Add(const CString& s) { items_.push_back(s); return GetSize() - 1; }
  const CString& GetAt(int i) const { return items_[static_cast<size_t>(i)]; }
  CString& ElementAt(int i) { return items_[static_cast<size_t>(i)]; }
  const CString& operator[](int i) const { return GetAt(i); }
  CString& operator[](int i) { return ElementAt(i); }
  void SetAt(int i, const CString& s) { items_[static_cast<size_t>(i)] = s; }
  void RemoveAll() { items_.clear(); }
  void RemoveAt(int i) { items_.erase(items_.begin() + i); }

 private:
  std::vector<CString> items_;
};
