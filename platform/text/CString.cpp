#include "platform/text/CString.h"

#include <cstdio>
#include <cstring>

namespace {

bool IsSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// Byte offsets at which the characters of `s` start, from `start` (itself
// the start of a character) on.
template <typename Fn>
void ForEachCharStart(std::string_view s, size_t start, Fn fn) {
  size_t i = start;
  while (i < s.size()) {
    if (!fn(i)) return;
    i += (IsGbkLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
  }
}

// How far a search start is checked back for lying inside a character.
constexpr size_t kAlignLookBack = 64;

// The first character start at or after `pos`, as far as the bytes before it
// tell. A byte outside the lead-byte range always ends a character (it is one,
// or the trail of one), so the bytes between the last such byte before `pos`
// and `pos` pair up as lead and trail. When no such byte lies within
// kAlignLookBack bytes, `pos` is taken as a character start, as callers pass
// positions that searches of the same text gave: reading further back would
// make a walk over a text of nothing but double-byte characters read the text
// from its start at every step.
size_t AlignToCharStart(std::string_view s, size_t pos) {
  if (pos == 0 || pos >= s.size()) return pos;
  const size_t limit = pos > kAlignLookBack ? pos - kAlignLookBack : 0;
  size_t run = pos;
  while (run > limit && IsGbkLeadByte(static_cast<unsigned char>(s[run - 1]))) --run;
  if (run == limit && limit > 0) return pos;
  return (pos - run) % 2 == 0 ? pos : pos + 1;
}

// Walks a text's character starts forwards, never back: the searches of one
// pass over a text cost the text's length together.
class CharCursor {
 public:
  // `start` must be the start of a character.
  CharCursor(std::string_view text, size_t start) : text_(text), at_(start) {}

  // The first occurrence of `sub` at a character start at or after the
  // cursor, which moves to it; npos when there is none.
  size_t Find(std::string_view sub) {
    size_t from = at_;
    while (true) {
      const size_t hit = text_.find(sub, from);
      if (hit == std::string_view::npos) return hit;
      SkipTo(hit);
      if (at_ == hit) return hit;
      from = at_;  // the hit began on a trail byte: go on behind that character
    }
  }

  // Moves to the first character start at or after `pos`.
  void SkipTo(size_t pos) {
    while (at_ < pos)
      at_ += (IsGbkLeadByte(static_cast<unsigned char>(text_[at_])) && at_ + 1 < text_.size())
                 ? 2
                 : 1;
  }

 private:
  std::string_view text_;
  size_t at_;
};

}  // namespace

int FindMultibyte(std::string_view text, std::string_view sub, size_t start) {
  if (start > text.size()) return -1;
  const size_t from = AlignToCharStart(text, start);
  if (sub.empty()) return static_cast<int>(from);
  const size_t hit = CharCursor(text, from).Find(sub);
  return hit == std::string_view::npos ? -1 : static_cast<int>(hit);
}

int CString::Find(char c, int start) const {
  if (start < 0) start = 0;
  return FindMultibyte(s_, std::string_view(&c, 1), static_cast<size_t>(start));
}

int CString::Find(const char* sub, int start) const {
  if (start < 0) start = 0;
  return FindMultibyte(s_, sub ? sub : "", static_cast<size_t>(start));
}

int CString::ReverseFind(char c) const {
  int last = -1;
  ForEachCharStart(s_, 0, [&](size_t i) {
    if (s_[i] == c) last = static_cast<int>(i);
    return true;
  });
  return last;
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (count < 0) count = 0;
  if (first >= GetLength()) return CString();
  return CString(s_.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  return CString(s_.substr(0, static_cast<size_t>(count)));
}

CString CString::Right(int count) const {
  if (count <= 0) return CString();
  if (count >= GetLength()) return *this;
  return CString(s_.substr(s_.size() - static_cast<size_t>(count)));
}

int CString::Replace(const char* old_text, const char* new_text) {
  std::string_view from = old_text ? old_text : "";
  std::string_view to = new_text ? new_text : "";
  if (from.empty()) return 0;
  CharCursor cursor(s_, 0);
  size_t hit = cursor.Find(from);
  if (hit == std::string_view::npos) return 0;
  std::string out;
  int count = 0;
  size_t pos = 0;
  do {
    out.append(s_, pos, hit - pos);
    out.append(to);
    pos = hit + from.size();
    ++count;
    // The replaced text may end inside a character; the next search begins
    // at the character after it, as a search from that position would.
    cursor.SkipTo(pos);
    hit = cursor.Find(from);
  } while (hit != std::string_view::npos);
  out.append(s_, pos, std::string::npos);
  s_ = std::move(out);
  return count;
}

int CString::Replace(char old_char, char new_char) {
  int count = 0;
  ForEachCharStart(s_, 0, [&](size_t i) {
    if (s_[i] == old_char) {
      s_[i] = new_char;
      ++count;
    }
    return true;
  });
  return count;
}

CString& CString::TrimLeft() {
  size_t i = 0;
  while (i < s_.size() && IsSpace(static_cast<unsigned char>(s_[i]))) ++i;
  s_.erase(0, i);
  return *this;
}

CString& CString::TrimRight() {
  // Walk forwards so that a trail byte is never taken for white space.
  size_t keep = 0;
  ForEachCharStart(s_, 0, [&](size_t i) {
    bool lead = IsGbkLeadByte(static_cast<unsigned char>(s_[i])) && i + 1 < s_.size();
    if (lead || !IsSpace(static_cast<unsigned char>(s_[i]))) keep = i + (lead ? 2 : 1);
    return true;
  });
  s_.erase(keep);
  return *this;
}

CString& CString::Trim() { return TrimRight().TrimLeft(); }

CString& CString::TrimLeft(char c) {
  size_t i = 0;
  while (i < s_.size() && s_[i] == c) ++i;
  s_.erase(0, i);
  return *this;
}

CString& CString::TrimRight(char c) {
  size_t keep = 0;
  ForEachCharStart(s_, 0, [&](size_t i) {
    bool lead = IsGbkLeadByte(static_cast<unsigned char>(s_[i])) && i + 1 < s_.size();
    if (lead || s_[i] != c) keep = i + (lead ? 2 : 1);
    return true;
  });
  s_.erase(keep);
  return *this;
}

CString& CString::Trim(char c) { return TrimRight(c).TrimLeft(c); }

void CString::FormatV(const char* fmt, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  if (n < 0) {
    s_.clear();
    return;
  }
  std::string out(static_cast<size_t>(n) + 1, '\0');
  std::vsnprintf(out.data(), out.size(), fmt, args);
  out.resize(static_cast<size_t>(n));
  s_ = std::move(out);
}

void CString::Format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  FormatV(fmt, args);
  va_end(args);
}

void CString::AppendFormat(const char* fmt, ...) {
  CString tail;
  va_list args;
  va_start(args, fmt);
  tail.FormatV(fmt, args);
  va_end(args);
  s_ += tail.s_;
}

int CString::Compare(const char* o) const { return std::strcmp(s_.c_str(), o ? o : ""); }
