#include "platform/file/profile.h"

#include <cstring>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file/file.h"
#include "platform/text/CString.h"

namespace {

// One lock for every profile file: a call reads or rewrites a small file, and
// a read must never see another thread's half-written file.
std::mutex g_profile_mutex;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (IsBlank(s.front()) || s.front() == '\r')) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Case-insensitive for ASCII letters only, walking by GBK characters so that
// a trail byte that looks like a letter is compared as it stands.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (IsGbkLeadByte(x) && i + 1 < a.size()) {
      if (x != y || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

// One line of the file, without its line end; `end` is the line end as found
// ("\r\n", "\n" or "" for a last line without one).
struct Line {
  std::string text;
  std::string end;
};

std::vector<Line> SplitLines(const std::string& bytes) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t nl = bytes.find('\n', pos);
    if (nl == std::string::npos) {
      lines.push_back({bytes.substr(pos), ""});
      break;
    }
    size_t stop = (nl > pos && bytes[nl - 1] == '\r') ? nl - 1 : nl;
    lines.push_back({bytes.substr(pos, stop - pos), bytes.substr(stop, nl + 1 - stop)});
    pos = nl + 1;
  }
  return lines;
}

// The section name of a "[name]" line; false for any other line.
bool SectionName(const std::string& line, std::string_view& name) {
  std::string_view s = TrimBlanks(line);
  if (s.empty() || s.front() != '[') return false;
  s.remove_prefix(1);
  int close = FindMultibyte(s, "]");
  if (close >= 0) s = s.substr(0, static_cast<size_t>(close));
  name = TrimBlanks(s);
  return true;
}

bool IsComment(const std::string& line) {
  std::string_view s = TrimBlanks(line);
  return !s.empty() && s.front() == ';';
}

// The key and value of a "key=value" line; false for a line without "=".
bool KeyValue(const std::string& line, std::string_view& key, std::string_view& value) {
  if (IsComment(line)) return false;
  int eq = FindMultibyte(line, "=");
  if (eq < 0) return false;
  std::string_view s = line;
  key = TrimBlanks(s.substr(0, static_cast<size_t>(eq)));
  value = TrimBlanks(s.substr(static_cast<size_t>(eq) + 1));
  return true;
}

// Index range [first, last) of the lines inside the first section named
// `section` (after its header); false when there is no such section.
bool FindSection(const std::vector<Line>& lines, std::string_view section, size_t& header,
                 size_t& last) {
  std::string_view name;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (!SectionName(lines[i].text, name) || !SameName(name, section)) continue;
    header = i;
    last = i + 1;
    while (last < lines.size() && !SectionName(lines[last].text, name)) ++last;
    return true;
  }
  return false;
}

bool ReadWholeFile(const char* path, std::string& bytes) {
  CFile file;
  if (!file.Open(path, CFile::modeRead | CFile::shareDenyWrite)) return false;
  try {
    ULONGLONG length = file.GetLength();
    bytes.assign(static_cast<size_t>(length), '\0');
    bytes.resize(file.Read(bytes.data(), static_cast<UINT>(length)));
  } catch (CFileException* e) {
    e->Delete();
    return false;
  }
  return true;
}

bool WriteWholeFile(const char* path, const std::string& bytes) {
  CFile file;
  if (!file.Open(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive))
    return false;
  try {
    file.Write(bytes.data(), static_cast<UINT>(bytes.size()));
    file.Close();
  } catch (CFileException* e) {
    e->Delete();
    return false;
  }
  return true;
}

// Copies `value` into `out` as Windows does: cut to `size` - 1 bytes without
// splitting a double-byte character, then a zero. Returns the bytes copied.
DWORD CopyOut(std::string_view value, char* out, DWORD size) {
  if (!out || size == 0) return 0;
  size_t room = size - 1;
  size_t n = 0;
  while (n < value.size()) {
    size_t step = IsGbkLeadByte(static_cast<unsigned char>(value[n])) && n + 1 < value.size() ? 2 : 1;
    if (n + step > room) break;
    n += step;
  }
  std::memcpy(out, value.data(), n);
  out[n] = '\0';
  return static_cast<DWORD>(n);
}

// Lists of names, each ended by a zero and the whole by another zero, cut to
// fit as Windows cuts them (the return is then `size` - 2).
DWORD CopyNames(const std::vector<std::string_view>& names, char* out, DWORD size) {
  if (!out || size == 0) return 0;
  if (size == 1) {
    out[0] = '\0';
    return 0;
  }
  std::string all;
  for (std::string_view n : names) {
    all.append(n);
    all.push_back('\0');
  }
  if (all.size() + 1 <= size) {
    std::memcpy(out, all.data(), all.size());
    out[all.size()] = '\0';
    return static_cast<DWORD>(all.size());
  }
  std::memcpy(out, all.data(), size - 2);
  out[size - 2] = '\0';
  out[size - 1] = '\0';
  return size - 2;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR out,
                               DWORD size, LPCSTR path) {
  std::string bytes;
  bool have_file;
  {
    std::lock_guard<std::mutex> lock(g_profile_mutex);
    have_file = path != nullptr && ReadWholeFile(path, bytes);
  }
  std::vector<Line> lines = have_file ? SplitLines(bytes) : std::vector<Line>();

  if (section == nullptr) {  // the names of all sections
    std::vector<std::string_view> names;
    std::string_view name;
    for (const Line& l : lines)
      if (SectionName(l.text, name)) names.push_back(name);
    return CopyNames(names, out, size);
  }

  size_t header = 0, last = 0;
  bool found = FindSection(lines, section, header, last);
  if (key == nullptr) {  // the keys of one section
    std::vector<std::string_view> names;
    std::string_view k, v;
    if (found)
      for (size_t i = header + 1; i < last; ++i)
        if (KeyValue(lines[i].text, k, v)) names.push_back(k);
    return CopyNames(names, out, size);
  }

  if (found) {
    std::string_view k, v;
    for (size_t i = header + 1; i < last; ++i) {
      if (!KeyValue(lines[i].text, k, v) || !SameName(k, key)) continue;
      // A value in a pair of quotes loses them.
      if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
      return CopyOut(v, out, size);
    }
  }
  std::string_view fallback = default_value ? default_value : "";
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
  return CopyOut(fallback, out, size);
}

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR path) {
  if (section == nullptr || path == nullptr) return FALSE;
  std::lock_guard<std::mutex> lock(g_profile_mutex);

  std::string bytes;
  bool have_file = ReadWholeFile(path, bytes);
  std::vector<Line> lines = SplitLines(bytes);

  size_t header = 0, last = 0;
  bool found = FindSection(lines, section, header, last);
  if (key == nullptr) {
    if (!found) return have_file ? TRUE : FALSE;
    lines.erase(lines.begin() + static_cast<long>(header), lines.begin() + static_cast<long>(last));
  } else if (!found) {
    if (value == nullptr) return have_file ? TRUE : FALSE;
    if (!lines.empty() && lines.back().end.empty()) lines.back().end = "\r\n";
    lines.push_back({std::string("[") + section + "]", "\r\n"});
    lines.push_back({std::string(key) + "=" + value, "\r\n"});
  } else {
    size_t at = last;
    std::string_view k, v;
    for (size_t i = header + 1; i < last; ++i) {
      if (KeyValue(lines[i].text, k, v) && SameName(k, key)) {
        at = i;
        break;
      }
    }
    if (at < last) {
      if (value == nullptr) {
        lines.erase(lines.begin() + static_cast<long>(at));
      } else {
        // Keep the key as it was spelt in the file.
        lines[at].text = std::string(k) + "=" + value;
        if (lines[at].end.empty()) lines[at].end = "\r\n";
      }
    } else if (value != nullptr) {
      // A new key goes behind the section's last entry, before blank lines
      // that separate it from the next section.
      size_t insert = last;
      while (insert > header + 1 && TrimBlanks(lines[insert - 1].text).empty()) --insert;
      if (lines[insert - 1].end.empty()) lines[insert - 1].end = "\r\n";
      lines.insert(lines.begin() + static_cast<long>(insert),
                   Line{std::string(key) + "=" + value, "\r\n"});
    } else {
      return TRUE;
    }
  }

  std::string out;
  out.reserve(bytes.size() + 64);
  for (const Line& l : lines) {
    out += l.text;
    out += l.end;
  }
  return WriteWholeFile(path, out) ? TRUE : FALSE;
}
